// Packed, deep colour and YCbCr formats in the image processor: bytes laid
// out by hand from each family's layout, then round trips through the test
// picture's packer at awkward widths.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "pixelformats.h"
#include "pixelpacking.h"
#include "sdkfixture.h"
#include "simulation/pattern.h"

using BGAPI2::Exceptions::InvalidParameterException;
namespace pixel = BGAPI2::pixel;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Transforms exactly `memory` (so that AddressSanitizer sees any read past it)
// and copies the result out.
Bytes transformed(const std::string& format, std::uint32_t width, std::uint32_t height,
                  Bytes memory, const char* target) {
    BGAPI2::ImageProcessor* processor = BGAPI2::ImageProcessor::GetInstance();
    BGAPI2::Image* source =
        processor->CreateImage(width, height, format.c_str(), memory.data(), memory.size());
    BGAPI2::Image* out = nullptr;
    source->TransformImage(target, &out);
    EXPECT_STREQ(out->GetPixelformat(), target);
    const auto* pixels = static_cast<const std::uint8_t*>(out->GetBuffer());
    Bytes result(pixels, pixels + source->GetTransformBufferLength(target));
    out->Release();
    source->Release();
    return result;
}

std::vector<std::uint16_t> unpacked(const std::string& format, std::uint32_t width,
                                    std::uint32_t height, const Bytes& memory) {
    const pixel::FormatInfo* container = pixel::unpackedOf(*pixel::find(format));
    const Bytes bytes = transformed(format, width, height, memory, container->name);
    std::vector<std::uint16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), bytes.size());
    return samples;
}

Bytes bgr(const std::string& format, std::uint32_t width, std::uint32_t height,
          const Bytes& memory) {
    return transformed(format, width, height, memory, "BGR8");
}

using Samples = std::vector<std::uint16_t>;

}  // namespace

TEST(PackedFormats, BitStreamFormatsPutSampleIAtBitsNiOnward) {
    // 10 bits: 0x201 0x0F0 0x155 0x2AA in five bytes.
    EXPECT_EQ(unpacked("Mono10p", 4, 1, {0x01, 0xC2, 0x53, 0x95, 0xAA}),
              (Samples{0x201, 0x0F0, 0x155, 0x2AA}));
    // 12 bits: the middle byte holds the top of the first and the bottom of the second.
    EXPECT_EQ(unpacked("Mono12p", 2, 1, {0xBC, 0x3A, 0x12}), (Samples{0xABC, 0x123}));
    // 14 bits: four samples in seven bytes.
    EXPECT_EQ(unpacked("Mono14p", 2, 2, {0x01, 0x60, 0x55, 0xF5, 0xFF, 0xF3, 0x2A}),
              (Samples{0x2001, 0x1555, 0x3FFF, 0x0ABC}));
    // Rows are not padded: three samples end half way through the fifth byte.
    EXPECT_EQ(unpacked("Mono12p", 3, 1, {0xBC, 0x3A, 0x12, 0x56, 0x04}),
              (Samples{0xABC, 0x123, 0x456}));
    // Bayer shares the layout.
    EXPECT_EQ(unpacked("BayerGB12p", 2, 2, {0xBC, 0x3A, 0x12, 0xBC, 0x3A, 0x12}),
              (Samples{0xABC, 0x123, 0xABC, 0x123}));
    EXPECT_EQ(unpacked("BayerBG10p", 2, 2, {0x01, 0xC2, 0x53, 0x95, 0xAA}),
              (Samples{0x201, 0x0F0, 0x155, 0x2AA}));
}

TEST(PackedFormats, GigEVisionPairsKeepTheHighBitsInTheirOwnBytes) {
    // 0xABC and 0x123: high bytes first and last, low nibbles in the middle.
    EXPECT_EQ(unpacked("Mono12Packed", 2, 1, {0xAB, 0x3C, 0x12}), (Samples{0xABC, 0x123}));
    // 10 bits: 0x2F1 and 0x10E, low two bits at bits 0-1 and 4-5 of the middle.
    EXPECT_EQ(unpacked("Mono10Packed", 2, 1, {0xBC, 0x21, 0x43}), (Samples{0x2F1, 0x10E}));
    EXPECT_EQ(unpacked("BayerRG12Packed", 2, 2, {0xAB, 0x3C, 0x12, 0x12, 0x3C, 0xAB}),
              (Samples{0xABC, 0x123, 0x12C, 0xAB3}));
    // Bits 2-3 and 6-7 of a 10-bit middle byte carry nothing.
    EXPECT_EQ(unpacked("BayerGR10Packed", 2, 2, {0xBC, 0xED, 0x43, 0xBC, 0x21, 0x43}),
              (Samples{0x2F1, 0x10E, 0x2F1, 0x10E}));
}

TEST(PackedFormats, NarrowToEightBitsByTheirSignificantBits) {
    // 0xFF0 0x800 0x010 as Mono12p: grey 255, 128 and 1.
    const Bytes out = bgr("Mono12p", 2, 2, {0xF0, 0x0F, 0x80, 0x10, 0x00, 0x00});
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[3], 128);
    EXPECT_EQ(out[6], 1);
    EXPECT_EQ(out[9], 0);
    // Truncated, not rounded: 0x01F is 1.
    EXPECT_EQ(bgr("Mono12p", 2, 1, {0x1F, 0x00, 0x00})[0], 1);
    // 0x3FF and 0x200 as Mono10Packed: 255 and 128.
    const Bytes pairs = bgr("Mono10Packed", 2, 1, {0xFF, 0x03, 0x80});
    EXPECT_EQ(pairs[0], 255);
    EXPECT_EQ(pairs[3], 128);
}

TEST(DeepColourFormats, SixteenBitContainersInChannelOrder) {
    // One pixel R 0xFFF, G 0x800, B 0x010, little-endian.
    const Bytes rgb = bgr("RGB12", 1, 1, {0xFF, 0x0F, 0x00, 0x08, 0x10, 0x00});
    EXPECT_EQ(rgb, (Bytes{1, 128, 255}));
    const Bytes bgr12 = bgr("BGR12", 1, 1, {0xFF, 0x0F, 0x00, 0x08, 0x10, 0x00});
    EXPECT_EQ(bgr12, (Bytes{255, 128, 1}));
    // 10 bits: R 0x3FF, G 0x100, B 0x004.
    EXPECT_EQ(bgr("RGB10", 1, 1, {0xFF, 0x03, 0x00, 0x01, 0x04, 0x00}), (Bytes{1, 64, 255}));
    EXPECT_EQ(bgr("BGR10", 1, 1, {0xFF, 0x03, 0x00, 0x01, 0x04, 0x00}), (Bytes{255, 64, 1}));
}

namespace {

void expectBgr(const Bytes& out, std::size_t pixel, int b, int g, int r, const char* what) {
    EXPECT_NEAR(out[pixel * 3], b, 1) << what << " pixel " << pixel << " blue";
    EXPECT_NEAR(out[pixel * 3 + 1], g, 1) << what << " pixel " << pixel << " green";
    EXPECT_NEAR(out[pixel * 3 + 2], r, 1) << what << " pixel " << pixel << " red";
}

}  // namespace

TEST(YCbCrFormats, LumaAndChromaSitWhereEachLayoutPutsThem) {
    // Full range: Y 100 with Cb 255 is (R 100, G 56, B 255); Cr 255 is (R 255, G 9, B 100).
    const Bytes yuyv = bgr("YCbCr422_8", 2, 1, {100, 255, 200, 128});
    expectBgr(yuyv, 0, 255, 56, 100, "YCbCr422_8");
    expectBgr(yuyv, 1, 255, 156, 200, "YCbCr422_8");
    const Bytes cbycry = bgr("YCbCr422_8_CbYCrY", 2, 1, {128, 100, 255, 200});
    expectBgr(cbycry, 0, 100, 9, 255, "YCbCr422_8_CbYCrY");
    expectBgr(cbycry, 1, 200, 109, 255, "YCbCr422_8_CbYCrY");
    // 4:1:1: Y Y Cb Y Y Cr.
    const Bytes yycbyycr = bgr("YCbCr411_8", 4, 1, {10, 20, 128, 30, 40, 128});
    for (std::size_t i = 0; i < 4; ++i) {
        const int grey = 10 * static_cast<int>(i + 1);
        expectBgr(yycbyycr, i, grey, grey, grey, "YCbCr411_8");
    }
    expectBgr(bgr("YCbCr411_8", 4, 1, {100, 100, 255, 100, 100, 128}), 3, 255, 56, 100,
              "YCbCr411_8 chroma");
    expectBgr(bgr("YCbCr8_CbYCr", 1, 1, {255, 100, 128}), 0, 255, 56, 100, "YCbCr8_CbYCr");
}

TEST(YCbCrFormats, YCbCrIsFullRangeAndYuvIsVideoRange) {
    // Y 235 with neutral chroma: the top of video range is white, in full range it is 235.
    expectBgr(bgr("YCbCr8_CbYCr", 1, 1, {128, 235, 128}), 0, 235, 235, 235, "YCbCr8_CbYCr");
    expectBgr(bgr("YUV8_UYV", 1, 1, {128, 235, 128}), 0, 255, 255, 255, "YUV8_UYV");
    expectBgr(bgr("YUV422_8_UYVY", 2, 1, {128, 16, 128, 235}), 0, 0, 0, 0, "YUV422_8_UYVY");
    expectBgr(bgr("YUV422_8_UYVY", 2, 1, {128, 16, 128, 235}), 1, 255, 255, 255, "YUV422_8_UYVY");
    // The PFNC name of the GigE Vision 4:1:1 layout converts as the old name does.
    const Bytes uyyvyy = {90, 60, 70, 200, 80, 100};
    EXPECT_EQ(bgr("YUV411_8_UYYVYY", 4, 1, uyyvyy), bgr("YUV411Packed", 4, 1, uyyvyy));
}

TEST(PackedFormats, EveryPackedFormatMatchesItsUnpackedTwinAtAwkwardWidths) {
    int checked = 0;
    for (const pixel::FormatInfo* format = pixel::begin(); format != pixel::end(); ++format) {
        const pixel::FormatInfo* twin = pixel::unpackedOf(*format);
        if (twin == nullptr) {
            continue;
        }
        for (std::uint32_t width : {2u, 3u, 5u, 6u, 7u, 13u, 64u}) {
            const std::uint32_t height = 3;
            if (!pixel::widthFits(*format, width)) {
                continue;
            }
            SCOPED_TRACE(std::string(format->name) + " width " + std::to_string(width));
            const Bytes packed = BGAPI2::sim::encodeScene(*format, width, height);
            const Bytes plain = BGAPI2::sim::encodeScene(*twin, width, height);
            EXPECT_EQ(bgr(format->name, width, height, packed),
                      bgr(twin->name, width, height, plain));
            const std::vector<std::uint16_t> samples =
                unpacked(format->name, width, height, packed);
            EXPECT_EQ(std::memcmp(samples.data(), plain.data(), plain.size()), 0);
            ++checked;
        }
    }
    EXPECT_GT(checked, 80);
}

// Long enough for the vector unpackers' 16-sample blocks, with tails of every
// kind after them; 32 samples end where a block's look-ahead would pass the end.
TEST(PackedFormats, RandomSamplesSurviveThePackerAndTheUnpacker) {
    std::mt19937 random(7);
    for (const char* name : {"Mono10p", "Mono12p", "Mono14p", "Mono10Packed", "Mono12Packed"}) {
        const pixel::FormatInfo* format = pixel::find(name);
        std::uniform_int_distribution<int> sample(0, (1 << format->depth) - 1);
        const bool pairs = format->packing == pixel::Packing::Pairs;
        for (std::uint32_t width : {pairs ? 38u : 37u, 32u, 2u}) {
            const std::uint32_t height = width == 32 ? 1 : 5;
            SCOPED_TRACE(std::string(name) + " width " + std::to_string(width));
            Samples want(std::size_t{width} * height);
            for (auto& s : want) {
                s = static_cast<std::uint16_t>(sample(random));
            }
            const Bytes packed = pixel::packSamples(*format, want);
            ASSERT_EQ(packed.size(), pixel::payloadSize(*format, width, height));
            EXPECT_EQ(unpacked(name, width, height, packed), want);
            // Straight to 8 bits: the high bits of each sample.
            const Bytes grey = bgr(name, width, height, packed);
            for (std::size_t i = 0; i < want.size(); ++i) {
                ASSERT_EQ(grey[3 * i], want[i] >> (format->depth - 8)) << "sample " << i;
            }
        }
    }
}

TEST(PackedFormats, SizesThePackingCannotHoldAreRefusedWithAClearText) {
    BGAPI2::ImageProcessor* processor = BGAPI2::ImageProcessor::GetInstance();
    Bytes memory(64);
    // Two samples in three bytes: an odd width cannot be laid out.
    try {
        processor->CreateImage(3, 2, "Mono12Packed", memory.data(), memory.size());
        ADD_FAILURE() << "odd width accepted";
    } catch (InvalidParameterException& ex) {
        EXPECT_STREQ(ex.GetErrorDescription(), "unsupported image size 3x2 for Mono12Packed");
    }
    // Five 12-bit samples need eight bytes: seven are refused.
    EXPECT_SDK_FAILURE(processor->CreateImage(5, 1, "Mono12p", memory.data(), 7),
                       InvalidParameterException);
    EXPECT_SDK_FAILURE(processor->CreateImage(2, 2, "BayerRG14p", memory.data(), 6),
                       InvalidParameterException);
    EXPECT_SDK_FAILURE(processor->CreateImage(4, 1, "YCbCr411_8", memory.data(), 5),
                       InvalidParameterException);
    EXPECT_SDK_FAILURE(processor->CreateImage(6, 1, "YCbCr411_8", memory.data(), 64),
                       InvalidParameterException);
}

TEST(PackedFormats, UnpackingIsOfferedOnlyForPackedFormats) {
    BGAPI2::ImageProcessor* processor = BGAPI2::ImageProcessor::GetInstance();
    Bytes memory(64);
    BGAPI2::Image* plain = processor->CreateImage(4, 4, "Mono12", memory.data(), memory.size());
    BGAPI2::Image* packed = processor->CreateImage(4, 4, "Mono12p", memory.data(), memory.size());
    BGAPI2::Image* out = nullptr;
    EXPECT_SDK_FAILURE(plain->TransformImage("Mono12", &out), InvalidParameterException);
    EXPECT_SDK_FAILURE(packed->TransformImage("Mono16", &out), InvalidParameterException);
    EXPECT_SDK_FAILURE(packed->TransformImage("Mono10", &out), InvalidParameterException);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(packed->GetTransformBufferLength("Mono12"), 32u);
    EXPECT_EQ(packed->GetTransformBufferLength("BGR8"), 48u);
    plain->Release();
    packed->Release();
}
