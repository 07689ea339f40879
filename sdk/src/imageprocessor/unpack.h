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

// The same samples narrowed to 8 bits, rounded as deeper unpacked samples are.
void unpackTo8(const pixel::FormatInfo& format, const std::uint8_t* src, std::size_t count,
               std::uint8_t* dst);

// The 8-bit value of every sample of this depth (9 to 16 bits).
const std::uint8_t* narrowingTable(int depth);

}  // namespace imaging
}  // namespace BGAPI2
