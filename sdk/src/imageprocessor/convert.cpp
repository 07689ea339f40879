#include "convert.h"

#include "unpack.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace BGAPI2 {
namespace imaging {
namespace {

using pixel::BayerOrder;
using pixel::FormatInfo;
using pixel::Layout;

// OpenCV names a Bayer code by the 2x2 block that starts at the second row and
// column, so the GenICam "RG" pattern is OpenCV's "BG".
int bayerCode(BayerOrder order) {
    switch (order) {
        case BayerOrder::RG:
            return cv::COLOR_BayerBG2BGR;
        case BayerOrder::GR:
            return cv::COLOR_BayerGB2BGR;
        case BayerOrder::GB:
            return cv::COLOR_BayerGR2BGR;
        case BayerOrder::BG:
        case BayerOrder::None:
            break;
    }
    return cv::COLOR_BayerRG2BGR;
}

// Deep samples are brought to 8 bits before anything else: demosaicing 8-bit
// data is much faster than 16-bit. Packed samples go straight to 8 bits.
cv::Mat narrowed(const FormatInfo& format, const std::uint8_t* src, std::uint32_t width,
                 std::uint32_t height, int channels) {
    const int rows = static_cast<int>(height);
    const int cols = static_cast<int>(width);
    if (format.depth <= 8) {
        return cv::Mat(rows, cols, CV_8UC(channels), const_cast<std::uint8_t*>(src));
    }
    // One scratch image per delivery thread, reused frame after frame.
    thread_local cv::Mat scratch;
    scratch.create(rows, cols, CV_8UC(channels));
    if (format.packing != pixel::Packing::None) {
        unpackTo8(format, src, std::size_t{width} * height * channels, scratch.data);
        return scratch;
    }
    const cv::Mat wide(rows, cols, CV_16UC(channels), const_cast<std::uint8_t*>(src));
    wide.convertTo(scratch, CV_8U, 1.0 / static_cast<double>(1 << (format.depth - 8)));
    return scratch;
}

std::uint8_t clampByte(int v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// BT.601 weights in 10-bit fixed point; video range as OpenCV's 4:2:2
// conversions use it.
void yuvToBgr(int y, int u, int v, pixel::Range range, std::uint8_t* out) {
    const int d = u - 128;
    const int e = v - 128;
    if (range == pixel::Range::Full) {
        const int c = 1024 * y;
        out[0] = clampByte((c + 1815 * d + 512) >> 10);
        out[1] = clampByte((c - 352 * d - 731 * e + 512) >> 10);
        out[2] = clampByte((c + 1436 * e + 512) >> 10);
        return;
    }
    const int c = 1192 * std::max(y - 16, 0);
    out[0] = clampByte((c + 2066 * d + 512) >> 10);
    out[1] = clampByte((c - 400 * d - 833 * e + 512) >> 10);
    out[2] = clampByte((c + 1634 * e + 512) >> 10);
}

// Any YUV layout, a chroma group at a time.
void yuvGroupsToBgr(const FormatInfo& format, const std::uint8_t* src, std::uint64_t pixels,
                    std::uint8_t* dst) {
    const pixel::ChromaGroup& group = *pixel::chromaGroup(format.layout);
    for (std::uint64_t i = 0; i < pixels; i += group.pixels, src += group.bytes) {
        for (int k = 0; k < group.pixels; ++k, dst += 3) {
            yuvToBgr(src[group.y[k]], src[group.u], src[group.v], format.range, dst);
        }
    }
}

// OpenCV's own 4:2:2 conversions are faster; they know only video range.
int videoRangeCode(const FormatInfo& format) {
    if (format.range != pixel::Range::Video) {
        return -1;
    }
    switch (format.layout) {
        case Layout::YUV422_UYVY:
            return cv::COLOR_YUV2BGR_UYVY;
        case Layout::YUV422_YUYV:
            return cv::COLOR_YUV2BGR_YUYV;
        default:
            return -1;
    }
}

}  // namespace

bool convertible(const FormatInfo& format, std::uint32_t width, std::uint32_t height) {
    if (width == 0 || height == 0 || width > (1u << 16) || height > (1u << 16)) {
        return false;
    }
    if (!pixel::widthFits(format, width)) {
        return false;
    }
    // Demosaicing needs a 2x2 neighbourhood.
    return format.layout != Layout::Bayer || (width >= 2 && height >= 2);
}

void toBgr8(const FormatInfo& format, const std::uint8_t* src, std::uint32_t width,
            std::uint32_t height, std::uint8_t* dst) {
    const int rows = static_cast<int>(height);
    const int cols = static_cast<int>(width);
    const std::uint64_t pixels = std::uint64_t{width} * height;
    cv::Mat out(rows, cols, CV_8UC3, dst);
    auto in = [&](int type) { return cv::Mat(rows, cols, type, const_cast<std::uint8_t*>(src)); };
    switch (format.layout) {
        case Layout::Mono:
            cv::cvtColor(narrowed(format, src, width, height, 1), out, cv::COLOR_GRAY2BGR);
            break;
        case Layout::Bayer:
            cv::cvtColor(narrowed(format, src, width, height, 1), out, bayerCode(format.bayer));
            break;
        case Layout::RGB:
            cv::cvtColor(narrowed(format, src, width, height, 3), out, cv::COLOR_RGB2BGR);
            break;
        case Layout::BGR:
            if (format.depth > 8) {
                in(CV_16UC3).convertTo(out, CV_8U,
                                       1.0 / static_cast<double>(1 << (format.depth - 8)));
            } else {
                std::memcpy(dst, src, pixels * 3);
            }
            break;
        case Layout::RGBA:
            cv::cvtColor(in(CV_8UC4), out, cv::COLOR_RGBA2BGR);
            break;
        case Layout::BGRA:
            cv::cvtColor(in(CV_8UC4), out, cv::COLOR_BGRA2BGR);
            break;
        case Layout::YUV422_UYVY:
        case Layout::YUV422_YUYV:
        case Layout::YUV411_UYYVYY:
        case Layout::YUV411_YYUYYV:
        case Layout::YUV444_UYV:
            if (videoRangeCode(format) >= 0) {
                cv::cvtColor(in(CV_8UC2), out, videoRangeCode(format));
            } else {
                yuvGroupsToBgr(format, src, pixels, dst);
            }
            break;
    }
}

}  // namespace imaging
}  // namespace BGAPI2
