#include "pattern.h"

#include <algorithm>
#include <cmath>

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

// BT.601, video range.
struct Yuv {
    std::uint8_t y, u, v;
};

Yuv toYuv(Rgb c) {
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

// Every byte goes through here: a size whose rows do not fill the buffer
// exactly ends short, never past the end.
void put(std::vector<std::uint8_t>& out, std::size_t& at, std::uint8_t value) {
    if (at < out.size()) {
        out[at++] = value;
    }
}

void putSample(std::vector<std::uint8_t>& out, std::size_t& at, std::uint8_t value, int depth) {
    if (depth <= 8) {
        put(out, at, value);
        return;
    }
    const std::uint16_t wide = static_cast<std::uint16_t>(value << (depth - 8));
    put(out, at, static_cast<std::uint8_t>(wide & 0xFF));
    put(out, at, static_cast<std::uint8_t>(wide >> 8));
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

// Encodes a picture given by colourAt(x, y) in the named format.
template <typename ColourAt>
std::vector<std::uint8_t> encode(const FormatInfo& format, std::uint32_t width,
                                 std::uint32_t height, ColourAt colourAt) {
    std::vector<std::uint8_t> out(pixel::payloadSize(format, width, height));
    std::size_t at = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        switch (format.layout) {
            case Layout::Mono:
                for (std::uint32_t x = 0; x < width; ++x) {
                    putSample(out, at, luma(colourAt(x, y)), format.depth);
                }
                break;
            case Layout::Bayer:
                for (std::uint32_t x = 0; x < width; ++x) {
                    putSample(out, at, channel(colourAt(x, y), bayerChannel(format.bayer, x, y)),
                              format.depth);
                }
                break;
            case Layout::RGB:
            case Layout::BGR:
            case Layout::RGBA:
            case Layout::BGRA: {
                const bool bgr = format.layout == Layout::BGR || format.layout == Layout::BGRA;
                const bool alpha = format.layout == Layout::RGBA || format.layout == Layout::BGRA;
                for (std::uint32_t x = 0; x < width; ++x) {
                    const Rgb c = colourAt(x, y);
                    put(out, at, bgr ? c.b : c.r);
                    put(out, at, c.g);
                    put(out, at, bgr ? c.r : c.b);
                    if (alpha) {
                        put(out, at, 255);
                    }
                }
                break;
            }
            case Layout::YUV444_UYV:
                for (std::uint32_t x = 0; x < width; ++x) {
                    const Yuv p = toYuv(colourAt(x, y));
                    put(out, at, p.u);
                    put(out, at, p.y);
                    put(out, at, p.v);
                }
                break;
            case Layout::YUV422_UYVY:
            case Layout::YUV422_YUYV:
                // Chroma of a pair is taken from its first pixel.
                for (std::uint32_t x = 0; x < width; x += 2) {
                    const Yuv a = toYuv(colourAt(x, y));
                    const Yuv b = x + 1 < width ? toYuv(colourAt(x + 1, y)) : a;
                    const bool uyvy = format.layout == Layout::YUV422_UYVY;
                    const std::uint8_t pair[4] = {uyvy ? a.u : a.y, uyvy ? a.y : a.u,
                                                  uyvy ? a.v : b.y, uyvy ? b.y : a.v};
                    for (std::uint8_t byte : pair) {
                        put(out, at, byte);
                    }
                }
                break;
            case Layout::YUV411_UYYVYY:
                for (std::uint32_t x = 0; x < width; x += 4) {
                    Yuv p[4];
                    for (std::uint32_t i = 0; i < 4; ++i) {
                        p[i] = toYuv(colourAt(std::min(x + i, width - 1), y));
                    }
                    const std::uint8_t group[6] = {p[0].u, p[0].y, p[1].y, p[0].v, p[2].y, p[3].y};
                    for (std::uint8_t b : group) {
                        put(out, at, b);
                    }
                }
                break;
        }
    }
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
