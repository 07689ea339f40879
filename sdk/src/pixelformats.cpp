#include "pixelformats.h"

#include <cstring>
#include <iterator>

namespace BGAPI2 {
namespace pixel {
namespace {

constexpr FormatInfo kFormats[] = {
    {"Mono8", Layout::Mono, 8, 8, BayerOrder::None},
    {"Mono10", Layout::Mono, 16, 10, BayerOrder::None},
    {"Mono12", Layout::Mono, 16, 12, BayerOrder::None},
    {"Mono14", Layout::Mono, 16, 14, BayerOrder::None},
    {"Mono16", Layout::Mono, 16, 16, BayerOrder::None},
    {"BayerRG8", Layout::Bayer, 8, 8, BayerOrder::RG},
    {"BayerGR8", Layout::Bayer, 8, 8, BayerOrder::GR},
    {"BayerGB8", Layout::Bayer, 8, 8, BayerOrder::GB},
    {"BayerBG8", Layout::Bayer, 8, 8, BayerOrder::BG},
    {"BayerRG10", Layout::Bayer, 16, 10, BayerOrder::RG},
    {"BayerGR10", Layout::Bayer, 16, 10, BayerOrder::GR},
    {"BayerGB10", Layout::Bayer, 16, 10, BayerOrder::GB},
    {"BayerBG10", Layout::Bayer, 16, 10, BayerOrder::BG},
    {"BayerRG12", Layout::Bayer, 16, 12, BayerOrder::RG},
    {"BayerGR12", Layout::Bayer, 16, 12, BayerOrder::GR},
    {"BayerGB12", Layout::Bayer, 16, 12, BayerOrder::GB},
    {"BayerBG12", Layout::Bayer, 16, 12, BayerOrder::BG},
    {"BayerRG16", Layout::Bayer, 16, 16, BayerOrder::RG},
    {"BayerGR16", Layout::Bayer, 16, 16, BayerOrder::GR},
    {"BayerGB16", Layout::Bayer, 16, 16, BayerOrder::GB},
    {"BayerBG16", Layout::Bayer, 16, 16, BayerOrder::BG},
    {"RGB8", Layout::RGB, 24, 8, BayerOrder::None},
    {"RGB8Packed", Layout::RGB, 24, 8, BayerOrder::None},
    {"BGR8", Layout::BGR, 24, 8, BayerOrder::None},
    {"BGR8Packed", Layout::BGR, 24, 8, BayerOrder::None},
    {"RGBa8", Layout::RGBA, 32, 8, BayerOrder::None},
    {"BGRa8", Layout::BGRA, 32, 8, BayerOrder::None},
    {"YUV422Packed", Layout::YUV422_UYVY, 16, 8, BayerOrder::None},
    {"YUV422_8", Layout::YUV422_YUYV, 16, 8, BayerOrder::None},
    {"YUV411Packed", Layout::YUV411_UYYVYY, 12, 8, BayerOrder::None},
    {"YUV444Packed", Layout::YUV444_UYV, 24, 8, BayerOrder::None},
};

}  // namespace

const FormatInfo* find(const std::string& name) {
    for (const auto& format : kFormats) {
        if (name == format.name) {
            return &format;
        }
    }
    return nullptr;
}

bool widthFits(const FormatInfo& format, std::uint64_t width) {
    switch (format.layout) {
        case Layout::YUV422_UYVY:
        case Layout::YUV422_YUYV:
            return width % 2 == 0;
        case Layout::YUV411_UYYVYY:
            return width % 4 == 0;
        default:
            return true;
    }
}

std::uint64_t payloadSize(const FormatInfo& format, std::uint64_t width, std::uint64_t height) {
    // Refuse sizes whose byte count would not fit in 64 bits.
    constexpr std::uint64_t kMaxSide = 1u << 24;
    if (width > kMaxSide || height > kMaxSide) {
        return 0;
    }
    return width * height * static_cast<std::uint64_t>(format.bitsPerPixel) / 8;
}

}  // namespace pixel
}  // namespace BGAPI2
