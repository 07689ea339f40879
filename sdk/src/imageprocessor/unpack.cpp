#include "unpack.h"

#include <array>
#include <memory>
#include <stdexcept>

#include <opencv2/core.hpp>

namespace BGAPI2 {
namespace imaging {
namespace {

using pixel::FormatInfo;
using pixel::Packing;

// A little-endian bit stream of N-bit samples: groups of whole bytes, then a
// short tail that reads only the bytes the tail's bits reach.
template <int N, typename Put>
void readBitStream(const std::uint8_t* src, std::size_t count, Put put) {
    constexpr int kGroup = N % 8 == 0 ? 1 : (N % 4 == 0 ? 2 : (N % 2 == 0 ? 4 : 8));
    constexpr int kBytes = N * kGroup / 8;
    static_assert(kBytes <= 8, "one group is read as one 64-bit word");
    constexpr std::uint64_t kMask = (std::uint64_t{1} << N) - 1;
    const auto load = [](const std::uint8_t* at, int bytes) {
        std::uint64_t bits = 0;
        for (int b = 0; b < bytes; ++b) {
            bits |= std::uint64_t{at[b]} << (8 * b);
        }
        return bits;
    };
    std::size_t i = 0;
    for (; i + kGroup <= count; i += kGroup, src += kBytes) {
        const std::uint64_t bits = load(src, kBytes);
        for (int k = 0; k < kGroup; ++k) {
            put(i + k, static_cast<unsigned>((bits >> (N * k)) & kMask));
        }
    }
    const auto rest = static_cast<int>(count - i);
    const std::uint64_t bits = load(src, (rest * N + 7) / 8);
    for (int k = 0; k < rest; ++k) {
        put(i + k, static_cast<unsigned>((bits >> (N * k)) & kMask));
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

}  // namespace

void unpackTo16(const FormatInfo& format, const std::uint8_t* src, std::size_t count,
                std::uint16_t* dst) {
    readSamples(format, src, count, [dst](std::size_t i, unsigned value) {
        dst[i] = static_cast<std::uint16_t>(value);
    });
}

void unpackTo8(const FormatInfo& format, const std::uint8_t* src, std::size_t count,
               std::uint8_t* dst) {
    const std::uint8_t* table = narrowingTable(format.depth);
    readSamples(format, src, count,
                [dst, table](std::size_t i, unsigned value) { dst[i] = table[value]; });
}

const std::uint8_t* narrowingTable(int depth) {
    // Built the way OpenCV narrows 16-bit samples, so that packed and unpacked
    // frames of one picture give the same bytes.
    struct Tables {
        std::array<std::unique_ptr<std::uint8_t[]>, 17> byDepth;
        Tables() {
            for (int bits = 9; bits <= 16; ++bits) {
                const double scale = 1.0 / static_cast<double>(1 << (bits - 8));
                byDepth[bits] = std::make_unique<std::uint8_t[]>(std::size_t{1} << bits);
                for (unsigned v = 0; v < (1u << bits); ++v) {
                    byDepth[bits][v] = cv::saturate_cast<std::uint8_t>(v * scale);
                }
            }
        }
    };
    static const Tables tables;
    if (depth < 9 || depth > 16) {
        throw std::invalid_argument("no narrowing for " + std::to_string(depth) + " bits");
    }
    return tables.byDepth[static_cast<std::size_t>(depth)].get();
}

}  // namespace imaging
}  // namespace BGAPI2
