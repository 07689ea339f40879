#pragma once

#include <cstddef>
#include <cstdint>

#include "../pixelformats.h"

namespace BGAPI2 {
namespace imaging {

// Vector versions of the commonest unpackers (12-bit bit streams and GigE
// Vision pairs), where the processor has them. Each handles whole blocks of
// 16 samples that it can read without passing `bytes`, and returns how many
// samples it wrote; the caller does the rest. 0 when there is no fast path.
std::size_t unpackTo8Fast(const pixel::FormatInfo& format, const std::uint8_t* src,
                          std::size_t bytes, std::size_t count, std::uint8_t* dst);
std::size_t unpackTo16Fast(const pixel::FormatInfo& format, const std::uint8_t* src,
                           std::size_t bytes, std::size_t count, std::uint16_t* dst);

}  // namespace imaging
}  // namespace BGAPI2
