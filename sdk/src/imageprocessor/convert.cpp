#include "convert.h"

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
// data is much faster than 16-bit.
cv::Mat narrowed(const FormatInfo& format, const std::uint8_t* src, std::uint32_t width,
                 std::uint32_t height) {
    const int rows = static_cast<int>(height);
    const int cols = static_cast<int>(width);
    if (format.depth <= 8) {
        return cv::Mat(rows, cols, CV_8UC1, const_cast<std::uint8_t*>(src));
    }
    // One scratch image per delivery thread, reused frame after frame.
    thread_local cv::Mat scratch;
    scratch.create(rows, cols, CV_8UC1);
    const cv::Mat wide(rows, cols, CV_16UC1, const_cast<std::uint8_t*>(src));
    wide.convertTo(scratch, CV_8U, 1.0 / static_cast<double>(1 << (format.depth - 8)));
    return scratch;
}

std::uint8_t clampByte(int v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// BT.601 video range, as OpenCV's 4:2:2 conversions use it.
void yuvToBgr(int y, int u, int v, std::uint8_t* out) {
    const int c = 1192 * std::max(y - 16, 0);
    const int d = u - 128;
    const int e = v - 128;
    out[0] = clampByte((c + 2066 * d + 512) >> 10);
    out[1] = clampByte((c - 400 * d - 833 * e + 512) >> 10);
    out[2] = clampByte((c + 1634 * e + 512) >> 10);
}

void yuv444ToBgr(const std::uint8_t* src, std::uint64_t pixels, std::uint8_t* dst) {
    for (std::uint64_t i = 0; i < pixels; ++i, src += 3, dst += 3) {
        yuvToBgr(src[1], src[0], src[2], dst);
    }
}

// U Y Y V Y Y: four pixels share one chroma pair.
void yuv411ToBgr(const std::uint8_t* src, std::uint64_t pixels, std::uint8_t* dst) {
    for (std::uint64_t i = 0; i < pixels; i += 4, src += 6) {
        const int u = src[0];
        const int v = src[3];
        const int ys[4] = {src[1], src[2], src[4], src[5]};
        for (int k = 0; k < 4; ++k, dst += 3) {
            yuvToBgr(ys[k], u, v, dst);
        }
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
            cv::cvtColor(narrowed(format, src, width, height), out, cv::COLOR_GRAY2BGR);
            break;
        case Layout::Bayer:
            cv::cvtColor(narrowed(format, src, width, height), out, bayerCode(format.bayer));
            break;
        case Layout::RGB:
            cv::cvtColor(in(CV_8UC3), out, cv::COLOR_RGB2BGR);
            break;
        case Layout::BGR:
            std::memcpy(dst, src, pixels * 3);
            break;
        case Layout::RGBA:
            cv::cvtColor(in(CV_8UC4), out, cv::COLOR_RGBA2BGR);
            break;
        case Layout::BGRA:
            cv::cvtColor(in(CV_8UC4), out, cv::COLOR_BGRA2BGR);
            break;
        case Layout::YUV422_UYVY:
            cv::cvtColor(in(CV_8UC2), out, cv::COLOR_YUV2BGR_UYVY);
            break;
        case Layout::YUV422_YUYV:
            cv::cvtColor(in(CV_8UC2), out, cv::COLOR_YUV2BGR_YUYV);
            break;
        case Layout::YUV411_UYYVYY:
            yuv411ToBgr(src, pixels, dst);
            break;
        case Layout::YUV444_UYV:
            yuv444ToBgr(src, pixels, dst);
            break;
    }
}

}  // namespace imaging
}  // namespace BGAPI2
