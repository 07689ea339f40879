#pragma once

#include <cstdint>
#include <vector>

#include "../pixelformats.h"

// The simulated cameras' test picture, the same for every frame:
//  - top half (y < height / 2): eight vertical bars of equal width, left to
//    right white, yellow, cyan, green, magenta, red, blue, black
//    (bar index = x * 8 / width);
//  - bottom half: a grey ramp, value x * 255 / (width - 1).
// Monochrome formats carry the luma (77 R + 150 G + 29 B) >> 8; Bayer formats
// the colour of each pixel's filter; YUV formats BT.601 YUV in video range,
// YCbCr formats in full range; deeper formats the 8-bit value shifted up to
// their depth, in 16-bit little-endian containers or packed as the format
// packs. A buffer that holds the picture already is not written again.
namespace BGAPI2 {
namespace sim {

struct Rgb {
    std::uint8_t r, g, b;
};

Rgb sceneColour(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height);

// The test picture in the named format.
std::vector<std::uint8_t> encodeScene(const pixel::FormatInfo& format, std::uint32_t width,
                                      std::uint32_t height);

// A single-colour picture; tests use it to check conversions.
std::vector<std::uint8_t> encodeSolid(const pixel::FormatInfo& format, std::uint32_t width,
                                      std::uint32_t height, Rgb colour);

}  // namespace sim
}  // namespace BGAPI2
