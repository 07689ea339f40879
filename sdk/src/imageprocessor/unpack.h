#pragma once

#include <cstddef>
#include <cstdint>

#include "../pixelformats.h"

namespace BGAPI2 {
namespace imaging {

// Samples of a packed format, one per 16-bit container. Reads only the bytes
// that payloadSize gives for count samples.
void unpackTo16(const pixel::FormatInfo& format, const std::uint8_t* src, std::size_t count,
                std::uint16_t* dst);

// The same samples narrowed to their high 8 bits, straight from the packed
// bytes (a GigE Vision pair keeps them in whole bytes).
void unpackTo8(const pixel::FormatInfo& format, const std::uint8_t* src, std::size_t count,
               std::uint8_t* dst);

}  // namespace imaging
}  // namespace BGAPI2
