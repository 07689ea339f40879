#include "unpack.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "unpack_simd.h"

namespace BGAPI2 {
namespace imaging {
namespace {

using pixel::FormatInfo;
using pixel::Packing;

std::uint64_t littleEndian(std::uint64_t word) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_bswap64(word);
#else
    return word;
#endif
}

// The first `bytes` bytes at `at` as a little-endian word; reads no further.
std::uint64_t loadBytes(const std::uint8_t* at, int bytes) {
    std::uint64_t bits = 0;
    for (int b = 0; b < bytes; ++b) {
        bits |= std::uint64_t{at[b]} << (8 * b);
    }
    return bits;
}

// The samples of one whole group, spelled out so that every shift is a constant.
template <int N, typename Put, int... K>
void putGroup(std::uint64_t word, std::size_t i, Put& put, std::integer_sequence<int, K...>) {
    constexpr std::uint64_t kMask = (std::uint64_t{1} << N) - 1;
    (put(i + K, static_cast<unsigned>((word >> (N * K)) & kMask)), ...);
}

// A little-endian bit stream of N-bit samples, a group of whole bytes at a
// time: one 8-byte load while 8 bytes remain, then byte by byte, reading only
// the bytes the last samples' bits reach.
template <int N, typename Put>
void readBitStream(const std::uint8_t* src, std::size_t count, Put put) {
    constexpr int kGroup = 4;  // 5, 6 or 7 bytes for 10, 12 or 14 bits
    constexpr int kBytes = N * kGroup / 8;
    static_assert(N * kGroup % 8 == 0 && kBytes <= 8, "a group is whole bytes of one word");
    constexpr std::uint64_t kMask = (std::uint64_t{1} << N) - 1;
    const std::size_t total = (count * N + 7) / 8;
    std::size_t i = 0;
    std::size_t at = 0;
    for (; i + kGroup <= count && at + 8 <= total; i += kGroup, at += kBytes) {
        std::uint64_t word;
        std::memcpy(&word, src + at, sizeof word);
        putGroup<N>(littleEndian(word), i, put, std::make_integer_sequence<int, kGroup>());
    }
    for (; i < count; i += kGroup, at += kBytes) {
        const int samples = static_cast<int>(std::min<std::size_t>(kGroup, count - i));
        const std::uint64_t word = loadBytes(src + at, (samples * N + 7) / 8);
        for (int k = 0; k < samples; ++k) {
            put(i + k, static_cast<unsigned>((word >> (N * k)) & kMask));
        }
    }
}

// Two N-bit samples in three bytes; a lone last sample has only its high byte.
template <int N, typename Put>
void readPairs(const std::uint8_t* src, std::size_t count, Put put) {
    constexpr int kLow = N - 8;
    constexpr unsigned kLowMask = (1u << kLow) - 1;
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2, src += 3) {
        put(i, unsigned{src[0]} << kLow | (src[1] & kLowMask));
        put(i + 1, unsigned{src[2]} << kLow | ((src[1] >> 4) & kLowMask));
    }
    if (i < count) {
        put(i, unsigned{src[0]} << kLow);
    }
}

template <typename Put>
void readSamples(const FormatInfo& format, const std::uint8_t* src, std::size_t count, Put put) {
    const int depth = format.depth;
    if (format.packing == Packing::Lsb && depth == 10) {
        readBitStream<10>(src, count, put);
    } else if (format.packing == Packing::Lsb && depth == 12) {
        readBitStream<12>(src, count, put);
    } else if (format.packing == Packing::Lsb && depth == 14) {
        readBitStream<14>(src, count, put);
    } else if (format.packing == Packing::Pairs && depth == 10) {
        readPairs<10>(src, count, put);
    } else if (format.packing == Packing::Pairs && depth == 12) {
        readPairs<12>(src, count, put);
    } else {
        throw std::invalid_argument(std::string("no unpacker for ") + format.name);
    }
}

// Bytes that hold the first `count` samples.
std::size_t streamBytes(const FormatInfo& format, std::size_t count) {
    const std::size_t bits = count * static_cast<std::size_t>(format.bitsPerPixel);
    return format.packing == Packing::Lsb ? (bits + 7) / 8 : bits / 8;
}

}  // namespace

void unpackTo16(const FormatInfo& format, const std::uint8_t* src, std::size_t count,
                std::uint16_t* dst) {
    const std::size_t bytes = streamBytes(format, count);
    const std::size_t done = unpackTo16Fast(format, src, bytes, count, dst);
    readSamples(format, src + streamBytes(format, done), count - done,
                [dst = dst + done](std::size_t i, unsigned value) {
                    dst[i] = static_cast<std::uint16_t>(value);
                });
}

void unpackTo8(const FormatInfo& format, const std::uint8_t* src, std::size_t count,
               std::uint8_t* dst) {
    const std::size_t bytes = streamBytes(format, count);
    const std::size_t done = unpackTo8Fast(format, src, bytes, count, dst);
    const int shift = format.depth - 8;
    readSamples(format, src + streamBytes(format, done), count - done,
                [dst = dst + done, shift](std::size_t i, unsigned value) {
                    dst[i] = static_cast<std::uint8_t>(value >> shift);
                });
}

}  // namespace imaging
}  // namespace BGAPI2
