#include "unpack_simd.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QZCAM_UNPACK_SSSE3 1
#endif

namespace BGAPI2 {
namespace imaging {

#ifdef QZCAM_UNPACK_SSSE3
namespace {

using pixel::Packing;

// 16 samples take 24 bytes, read as two 16-byte loads at 0 and 12.
constexpr std::size_t kBlock = 16;
constexpr std::size_t kBlockBytes = 24;
constexpr std::size_t kReadBytes = 28;

// Whole blocks of `count` samples whose reads stay inside `bytes`.
std::size_t wholeBlocks(std::size_t bytes, std::size_t count) {
    const std::size_t readable = bytes >= kReadBytes ? (bytes - kReadBytes) / kBlockBytes + 1 : 0;
    return std::min(count / kBlock, readable);
}

bool haveSsse3() {
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
}

// Four 3-byte groups as eight 16-bit lanes: lane 2j = bytes 3j, 3j+1 and lane
// 2j+1 = bytes 3j+1, 3j+2, so that each sample sits at a fixed shift.
__attribute__((target("ssse3"))) __m128i overlappingLanes(const std::uint8_t* at) {
    const __m128i spread = _mm_setr_epi8(0, 1, 1, 2, 3, 4, 4, 5, 6, 7, 7, 8, 9, 10, 10, 11);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), spread);
}

// 12-bit stream: even samples are lane & 0xFFF, odd ones lane >> 4.
__attribute__((target("ssse3"))) __m128i bitStream12(const std::uint8_t* at) {
    const __m128i lanes = overlappingLanes(at);
    const __m128i even = _mm_setr_epi16(0x0FFF, 0, 0x0FFF, 0, 0x0FFF, 0, 0x0FFF, 0);
    const __m128i odd = _mm_setr_epi16(0, -1, 0, -1, 0, -1, 0, -1);
    return _mm_or_si128(_mm_and_si128(lanes, even), _mm_and_si128(_mm_srli_epi16(lanes, 4), odd));
}

__attribute__((target("ssse3"))) std::size_t bitStream12To8(const std::uint8_t* src,
                                                            std::size_t bytes, std::size_t count,
                                                            std::uint8_t* dst) {
    const std::size_t blocks = wholeBlocks(bytes, count);
    for (std::size_t block = 0, i = 0; block < blocks; ++block, i += kBlock) {
        const std::uint8_t* at = src + block * kBlockBytes;
        const __m128i low = _mm_srli_epi16(bitStream12(at), 4);
        const __m128i high = _mm_srli_epi16(bitStream12(at + 12), 4);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(low, high));
    }
    return blocks * kBlock;
}

__attribute__((target("ssse3"))) std::size_t bitStream12To16(const std::uint8_t* src,
                                                             std::size_t bytes, std::size_t count,
                                                             std::uint16_t* dst) {
    const std::size_t blocks = wholeBlocks(bytes, count);
    for (std::size_t block = 0, i = 0; block < blocks; ++block, i += kBlock) {
        const std::uint8_t* at = src + block * kBlockBytes;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), bitStream12(at));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 8), bitStream12(at + 12));
    }
    return blocks * kBlock;
}

// Pairs to 8 bits: the high byte of each sample is a whole byte already.
__attribute__((target("ssse3"))) std::size_t pairsTo8(const std::uint8_t* src, std::size_t bytes,
                                                      std::size_t count, std::uint8_t* dst) {
    const __m128i first = _mm_setr_epi8(0, 2, 3, 5, 6, 8, 9, 11, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i second = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 0, 2, 3, 5, 6, 8, 9, 11);
    const std::size_t blocks = wholeBlocks(bytes, count);
    for (std::size_t block = 0, i = 0; block < blocks; ++block, i += kBlock) {
        const std::uint8_t* at = src + block * kBlockBytes;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_or_si128(_mm_shuffle_epi8(a, first), _mm_shuffle_epi8(b, second)));
    }
    return blocks * kBlock;
}

}  // namespace

std::size_t unpackTo8Fast(const pixel::FormatInfo& format, const std::uint8_t* src,
                          std::size_t bytes, std::size_t count, std::uint8_t* dst) {
    if (!haveSsse3()) {
        return 0;
    }
    if (format.packing == Packing::Lsb && format.depth == 12) {
        return bitStream12To8(src, bytes, count, dst);
    }
    return format.packing == Packing::Pairs ? pairsTo8(src, bytes, count, dst) : 0;
}

std::size_t unpackTo16Fast(const pixel::FormatInfo& format, const std::uint8_t* src,
                           std::size_t bytes, std::size_t count, std::uint16_t* dst) {
    if (!haveSsse3() || format.packing != Packing::Lsb || format.depth != 12) {
        return 0;
    }
    return bitStream12To16(src, bytes, count, dst);
}

#else

std::size_t unpackTo8Fast(const pixel::FormatInfo&, const std::uint8_t*, std::size_t, std::size_t,
                          std::uint8_t*) {
    return 0;
}

std::size_t unpackTo16Fast(const pixel::FormatInfo&, const std::uint8_t*, std::size_t, std::size_t,
                           std::uint16_t*) {
    return 0;
}

#endif

}  // namespace imaging
}  // namespace BGAPI2
