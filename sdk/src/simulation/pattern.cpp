#include "pattern.h"

#include <algorithm>
#include <cmath>

#include "../pixelpacking.h"

namespace BGAPI2 {
namespace sim {
namespace {

using pixel::BayerOrder;
using pixel::FormatInfo;
using pixel::Layout;

constexpr Rgb kBars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                          {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};

std::uint8_t luma(Rgb c) {
    return static_cast<std::uint8_t>((77 * c.r + 150 * c.g + 29 * c.b) >> 8);
}

std::uint8_t clampByte(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

struct Yuv {
    std::uint8_t y, u, v;
};

// BT.601 weights, in the format's sample range.
Yuv toYuv(Rgb c, pixel::Range range) {
    if (range == pixel::Range::Full) {
        const double y = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
        const double u = 128.0 - 0.168736 * c.r - 0.331264 * c.g + 0.5 * c.b;
        const double v = 128.0 + 0.5 * c.r - 0.418688 * c.g - 0.081312 * c.b;
        return {clampByte(y), clampByte(u), clampByte(v)};
    }
    const double y = 16.0 + 0.257 * c.r + 0.504 * c.g + 0.098 * c.b;
    const double u = 128.0 - 0.148 * c.r - 0.291 * c.g + 0.439 * c.b;
    const double v = 128.0 + 0.439 * c.r - 0.368 * c.g - 0.071 * c.b;
    return {clampByte(y), clampByte(u), clampByte(v)};
}

// Which colour a Bayer filter passes at (x, y): 0 red, 1 green, 2 blue.
int bayerChannel(BayerOrder order, std::uint32_t x, std::uint32_t y) {
    static constexpr int kFirstTwo[5][2] = {{1, 1}, {0, 1}, {1, 0}, {1, 2}, {2, 1}};
    const int* row0 = kFirstTwo[static_cast<int>(order)];
    const int first = row0[x & 1];
    if ((y & 1) == 0) {
        return first;
    }
    // The second row swaps red and blue for green and green for the other.
    if (first == 1) {
        return row0[0] == 0 || row0[1] == 0 ? 2 : 0;
    }
    return 1;
}

std::uint8_t channel(Rgb c, int index) {
    return index == 0 ? c.r : (index == 1 ? c.g : c.b);
}

}  // namespace

Rgb sceneColour(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height) {
    if (y < height / 2) {
        return kBars[std::min<std::uint64_t>(7, std::uint64_t{x} * 8 / width)];
    }
    const std::uint8_t grey =
        width > 1 ? static_cast<std::uint8_t>(std::uint64_t{x} * 255 / (width - 1)) : 0;
    return {grey, grey, grey};
}

namespace {

// The samples of a picture in a format without shared chroma, channel by
// channel, at the format's depth.
template <typename ColourAt>
std::vector<std::uint16_t> samples(const FormatInfo& format, std::uint32_t width,
                                   std::uint32_t height, ColourAt colourAt) {
    const int shift = format.depth - 8;
    const auto deep = [shift](std::uint8_t value) {
        return static_cast<std::uint16_t>(value << shift);
    };
    const bool bgr = format.layout == Layout::BGR || format.layout == Layout::BGRA;
    const bool alpha = format.layout == Layout::RGBA || format.layout == Layout::BGRA;
    std::vector<std::uint16_t> out;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const Rgb c = colourAt(x, y);
            if (format.layout == Layout::Mono) {
                out.push_back(deep(luma(c)));
            } else if (format.layout == Layout::Bayer) {
                out.push_back(deep(channel(c, bayerChannel(format.bayer, x, y))));
            } else {
                out.insert(out.end(), {deep(bgr ? c.b : c.r), deep(c.g), deep(bgr ? c.r : c.b)});
                if (alpha) {
                    out.push_back(deep(255));
                }
            }
        }
    }
    return out;
}

// YUV: each group of pixels carries the chroma of its first pixel.
template <typename ColourAt>
std::vector<std::uint8_t> yuvBytes(const FormatInfo& format, const pixel::ChromaGroup& group,
                                   std::uint32_t width, std::uint32_t height, ColourAt colourAt) {
    std::vector<std::uint8_t> out;
    const auto pixels = static_cast<std::uint32_t>(group.pixels);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; x += pixels) {
            std::uint8_t bytes[6] = {};
            const Yuv first = toYuv(colourAt(x, y), format.range);
            for (std::uint32_t k = 0; k < pixels; ++k) {
                bytes[group.y[k]] = toYuv(colourAt(std::min(x + k, width - 1), y), format.range).y;
            }
            bytes[group.u] = first.u;
            bytes[group.v] = first.v;
            out.insert(out.end(), bytes, bytes + group.bytes);
        }
    }
    return out;
}

// Encodes a picture given by colourAt(x, y) in the named format. A size whose
// rows do not fill the payload exactly ends short, never past it.
template <typename ColourAt>
std::vector<std::uint8_t> encode(const FormatInfo& format, std::uint32_t width,
                                 std::uint32_t height, ColourAt colourAt) {
    std::vector<std::uint8_t> out;
    if (const pixel::ChromaGroup* group = pixel::chromaGroup(format.layout)) {
        out = yuvBytes(format, *group, width, height, colourAt);
    } else {
        out = pixel::packSamples(format, samples(format, width, height, colourAt));
    }
    out.resize(pixel::payloadSize(format, width, height));
    return out;
}

}  // namespace

std::vector<std::uint8_t> encodeScene(const FormatInfo& format, std::uint32_t width,
                                      std::uint32_t height) {
    return encode(format, width, height, [&](std::uint32_t x, std::uint32_t y) {
        return sceneColour(x, y, width, height);
    });
}

std::vector<std::uint8_t> encodeSolid(const FormatInfo& format, std::uint32_t width,
                                      std::uint32_t height, Rgb colour) {
    return encode(format, width, height, [colour](std::uint32_t, std::uint32_t) { return colour; });
}

}  // namespace sim
}  // namespace BGAPI2
