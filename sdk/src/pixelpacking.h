#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixelformats.h"

namespace BGAPI2 {
namespace pixel {

// Lays samples (each below 2^depth) out in the format's packing: the bytes a
// camera sends for them. Colour formats give their samples channel by channel.
std::vector<std::uint8_t> packSamples(const FormatInfo& format,
                                      const std::vector<std::uint16_t>& samples);

}  // namespace pixel
}  // namespace BGAPI2
