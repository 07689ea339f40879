#include "pixelformats.h"

#include <iterator>

namespace BGAPI2 {
namespace pixel {
namespace {

// Names that share a layout (GigE Vision's and the PFNC's) have one entry each.
constexpr FormatInfo kFormats[] = {
    {"Mono8", Layout::Mono, 8, 8, BayerOrder::None},
    {"Mono10", Layout::Mono, 16, 10, BayerOrder::None},
    {"Mono12", Layout::Mono, 16, 12, BayerOrder::None},
    {"Mono14", Layout::Mono, 16, 14, BayerOrder::None},
    {"Mono16", Layout::Mono, 16, 16, BayerOrder::None},
    {"Mono10p", Layout::Mono, 10, 10, BayerOrder::None, Packing::Lsb},
    {"Mono12p", Layout::Mono, 12, 12, BayerOrder::None, Packing::Lsb},
    {"Mono14p", Layout::Mono, 14, 14, BayerOrder::None, Packing::Lsb},
    {"Mono10Packed", Layout::Mono, 12, 10, BayerOrder::None, Packing::Pairs},
    {"Mono12Packed", Layout::Mono, 12, 12, BayerOrder::None, Packing::Pairs},
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
    {"BayerRG14", Layout::Bayer, 16, 14, BayerOrder::RG},
    {"BayerGR14", Layout::Bayer, 16, 14, BayerOrder::GR},
    {"BayerGB14", Layout::Bayer, 16, 14, BayerOrder::GB},
    {"BayerBG14", Layout::Bayer, 16, 14, BayerOrder::BG},
    {"BayerRG16", Layout::Bayer, 16, 16, BayerOrder::RG},
    {"BayerGR16", Layout::Bayer, 16, 16, BayerOrder::GR},
    {"BayerGB16", Layout::Bayer, 16, 16, BayerOrder::GB},
    {"BayerBG16", Layout::Bayer, 16, 16, BayerOrder::BG},
    {"BayerRG10p", Layout::Bayer, 10, 10, BayerOrder::RG, Packing::Lsb},
    {"BayerGR10p", Layout::Bayer, 10, 10, BayerOrder::GR, Packing::Lsb},
    {"BayerGB10p", Layout::Bayer, 10, 10, BayerOrder::GB, Packing::Lsb},
    {"BayerBG10p", Layout::Bayer, 10, 10, BayerOrder::BG, Packing::Lsb},
    {"BayerRG12p", Layout::Bayer, 12, 12, BayerOrder::RG, Packing::Lsb},
    {"BayerGR12p", Layout::Bayer, 12, 12, BayerOrder::GR, Packing::Lsb},
    {"BayerGB12p", Layout::Bayer, 12, 12, BayerOrder::GB, Packing::Lsb},
    {"BayerBG12p", Layout::Bayer, 12, 12, BayerOrder::BG, Packing::Lsb},
    {"BayerRG14p", Layout::Bayer, 14, 14, BayerOrder::RG, Packing::Lsb},
    {"BayerGR14p", Layout::Bayer, 14, 14, BayerOrder::GR, Packing::Lsb},
    {"BayerGB14p", Layout::Bayer, 14, 14, BayerOrder::GB, Packing::Lsb},
    {"BayerBG14p", Layout::Bayer, 14, 14, BayerOrder::BG, Packing::Lsb},
    {"BayerRG10Packed", Layout::Bayer, 12, 10, BayerOrder::RG, Packing::Pairs},
    {"BayerGR10Packed", Layout::Bayer, 12, 10, BayerOrder::GR, Packing::Pairs},
    {"BayerGB10Packed", Layout::Bayer, 12, 10, BayerOrder::GB, Packing::Pairs},
    {"BayerBG10Packed", Layout::Bayer, 12, 10, BayerOrder::BG, Packing::Pairs},
    {"BayerRG12Packed", Layout::Bayer, 12, 12, BayerOrder::RG, Packing::Pairs},
    {"BayerGR12Packed", Layout::Bayer, 12, 12, BayerOrder::GR, Packing::Pairs},
    {"BayerGB12Packed", Layout::Bayer, 12, 12, BayerOrder::GB, Packing::Pairs},
    {"BayerBG12Packed", Layout::Bayer, 12, 12, BayerOrder::BG, Packing::Pairs},
    {"RGB8", Layout::RGB, 24, 8, BayerOrder::None},
    {"RGB8Packed", Layout::RGB, 24, 8, BayerOrder::None},
    {"RGB10", Layout::RGB, 48, 10, BayerOrder::None},
    {"RGB12", Layout::RGB, 48, 12, BayerOrder::None},
    {"BGR8", Layout::BGR, 24, 8, BayerOrder::None},
    {"BGR8Packed", Layout::BGR, 24, 8, BayerOrder::None},
    {"BGR10", Layout::BGR, 48, 10, BayerOrder::None},
    {"BGR12", Layout::BGR, 48, 12, BayerOrder::None},
    {"RGBa8", Layout::RGBA, 32, 8, BayerOrder::None},
    {"BGRa8", Layout::BGRA, 32, 8, BayerOrder::None},
    {"YUV422Packed", Layout::YUV422_UYVY, 16, 8, BayerOrder::None},
    {"YUV422_8_UYVY", Layout::YUV422_UYVY, 16, 8, BayerOrder::None},
    {"YUV422_8", Layout::YUV422_YUYV, 16, 8, BayerOrder::None},
    {"YUV411Packed", Layout::YUV411_UYYVYY, 12, 8, BayerOrder::None},
    {"YUV411_8_UYYVYY", Layout::YUV411_UYYVYY, 12, 8, BayerOrder::None},
    {"YUV444Packed", Layout::YUV444_UYV, 24, 8, BayerOrder::None},
    {"YUV8_UYV", Layout::YUV444_UYV, 24, 8, BayerOrder::None},
    {"YCbCr422_8", Layout::YUV422_YUYV, 16, 8, BayerOrder::None, Packing::None, Range::Full},
    {"YCbCr422_8_CbYCrY", Layout::YUV422_UYVY, 16, 8, BayerOrder::None, Packing::None, Range::Full},
    {"YCbCr411_8", Layout::YUV411_YYUYYV, 12, 8, BayerOrder::None, Packing::None, Range::Full},
    {"YCbCr8_CbYCr", Layout::YUV444_UYV, 24, 8, BayerOrder::None, Packing::None, Range::Full},
};

// Luma byte of each pixel, then the two chroma bytes the group shares.
constexpr ChromaGroup kUyvy{2, 4, {1, 3, 0, 0}, 0, 2};
constexpr ChromaGroup kYuyv{2, 4, {0, 2, 0, 0}, 1, 3};
constexpr ChromaGroup kUyyvyy{4, 6, {1, 2, 4, 5}, 0, 3};
constexpr ChromaGroup kYyuyyv{4, 6, {0, 1, 3, 4}, 2, 5};
constexpr ChromaGroup kUyv{1, 3, {1, 0, 0, 0}, 0, 2};

}  // namespace

const FormatInfo* find(const std::string& name) {
    for (const auto& format : kFormats) {
        if (name == format.name) {
            return &format;
        }
    }
    return nullptr;
}

const FormatInfo* begin() {
    return std::begin(kFormats);
}

const FormatInfo* end() {
    return std::end(kFormats);
}

const FormatInfo* unpackedOf(const FormatInfo& format) {
    if (format.packing == Packing::None) {
        return nullptr;
    }
    for (const auto& candidate : kFormats) {
        if (candidate.packing == Packing::None && candidate.layout == format.layout &&
            candidate.depth == format.depth && candidate.bayer == format.bayer) {
            return &candidate;
        }
    }
    return nullptr;
}

bool widthFits(const FormatInfo& format, std::uint64_t width) {
    if (const ChromaGroup* group = chromaGroup(format.layout)) {
        return width % static_cast<std::uint64_t>(group->pixels) == 0;
    }
    return format.packing != Packing::Pairs || width % 2 == 0;
}

std::uint64_t payloadSize(const FormatInfo& format, std::uint64_t width, std::uint64_t height) {
    // Refuse sizes whose byte count would not fit in 64 bits.
    constexpr std::uint64_t kMaxSide = 1u << 24;
    if (width > kMaxSide || height > kMaxSide) {
        return 0;
    }
    const std::uint64_t bits = width * height * static_cast<std::uint64_t>(format.bitsPerPixel);
    // A bit stream ends in a partly filled byte.
    return format.packing == Packing::Lsb ? (bits + 7) / 8 : bits / 8;
}

const ChromaGroup* chromaGroup(Layout layout) {
    switch (layout) {
        case Layout::YUV422_UYVY:
            return &kUyvy;
        case Layout::YUV422_YUYV:
            return &kYuyv;
        case Layout::YUV411_UYYVYY:
            return &kUyyvyy;
        case Layout::YUV411_YYUYYV:
            return &kYyuyyv;
        case Layout::YUV444_UYV:
            return &kUyv;
        default:
            return nullptr;
    }
}

}  // namespace pixel
}  // namespace BGAPI2
