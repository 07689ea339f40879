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
    YUV411_YYUYYV,
    YUV444_UYV,
};

// Colour of the first two pixels of the first row, as the GenICam name says.
enum class BayerOrder { None, RG, GR, GB, BG };

// How the samples of an image lie in its bytes.
enum class Packing {
    None,   // one sample per byte (8 bits) or per little-endian 16-bit container
    Lsb,    // one little-endian bit stream, sample i at bits [n*i, n*(i+1)), rows unpadded
    Pairs,  // two samples in three bytes: the high 8 bits of each in its own byte
            // (first, last), the low bits of both in the middle byte (first in bits 0..,
            // second in bits 4..)
};

// Sample range of YUV and YCbCr formats, both with BT.601 weights.
enum class Range {
    Video,  // Y 16..235, chroma 16..240
    Full,   // Y 0..255, chroma 0..255 around 128
};

struct FormatInfo {
    const char* name;
    Layout layout;
    int bitsPerPixel;  // storage, including padding to 16-bit containers
    int depth;         // significant bits of one sample
    BayerOrder bayer;
    Packing packing = Packing::None;
    Range range = Range::Video;
};

// Null for a name the SDK does not know.
const FormatInfo* find(const std::string& name);

// Every format the SDK knows, in table order.
const FormatInfo* begin();
const FormatInfo* end();

// The format with the same samples, one per 16-bit container ("Mono12" for
// "Mono12p"); null for a format that is not packed.
const FormatInfo* unpackedOf(const FormatInfo& format);

// Whether rows of this width can be laid out in the format: packed YUV
// formats share chroma between pairs (4:2:2) or fours (4:1:1) of pixels, and
// two-in-three-bytes packing needs pairs.
bool widthFits(const FormatInfo& format, std::uint64_t width);

// Bytes needed for a width x height image; 0 when the size cannot be held.
std::uint64_t payloadSize(const FormatInfo& format, std::uint64_t width, std::uint64_t height);

// The bytes of one chroma group of a YUV layout: which byte holds the luma of
// each of its pixels and which the two chroma samples they share.
struct ChromaGroup {
    int pixels;
    int bytes;
    int y[4];
    int u;
    int v;
};

// Null for a layout that is not YUV.
const ChromaGroup* chromaGroup(Layout layout);

}  // namespace pixel
}  // namespace BGAPI2
