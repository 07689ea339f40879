#pragma once

#include <cstdint>

#include "../pixelformats.h"

namespace BGAPI2 {
namespace imaging {

// Whether a width x height image of this format can be converted.
bool convertible(const pixel::FormatInfo& format, std::uint32_t width, std::uint32_t height);

// Converts a packed image to packed BGR8 (width * height * 3 bytes at dst).
void toBgr8(const pixel::FormatInfo& format, const std::uint8_t* src, std::uint32_t width,
            std::uint32_t height, std::uint8_t* dst);

}  // namespace imaging
}  // namespace BGAPI2
