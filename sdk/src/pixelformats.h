#pragma once

#include <cstdint>
#include <string>

namespace BGAPI2 {
namespace pixel {

enum class Layout {
    Mono,
    Bayer,
    RGB,
    BGR,
    RGBA,
    BGRA,
    YUV422_UYVY,
    YUV422_YUYV,
    YUV411_UYYVYY,
    YUV444_UYV,
};

// Colour of the first two pixels of the first row, as the GenICam name says.
enum class BayerOrder { None, RG, GR, GB, BG };

struct FormatInfo {
    const char* name;
    Layout layout;
    int bitsPerPixel;  // storage, including padding to 16-bit containers
    int depth;         // significant bits of one sample
    BayerOrder bayer;
};

// Null for a name the SDK does not know.
const FormatInfo* find(const std::string& name);

// Whether rows of this width can be laid out in the format: packed YUV
// formats share chroma between pairs (4:2:2) or fours (4:1:1) of pixels.
bool widthFits(const FormatInfo& format, std::uint64_t width);

// Bytes needed for a width x height image; 0 when the size cannot be held.
std::uint64_t payloadSize(const FormatInfo& format, std::uint64_t width, std::uint64_t height);

}  // namespace pixel
}  // namespace BGAPI2
