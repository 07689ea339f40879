#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "pixelformats.h"
#include "sdkfixture.h"
#include "simulation/pattern.h"

using BGAPI2::Exceptions::IException;
using BGAPI2::Exceptions::InvalidParameterException;
using BGAPI2::sim::Rgb;

namespace {

struct Converted {
    std::vector<unsigned char> bgr;
};

// Converts memory through the image processor exactly as the driver does.
Converted convert(const std::string& format, std::uint32_t width, std::uint32_t height,
                  std::vector<std::uint8_t> memory) {
    BGAPI2::ImageProcessor* processor = BGAPI2::ImageProcessor::GetInstance();
    BGAPI2::Image* source =
        processor->CreateImage(width, height, format.c_str(), memory.data(), memory.size());
    BGAPI2::Image* out = nullptr;
    source->TransformImage("BGR8", &out);
    EXPECT_EQ(out->GetWidth(), width);
    EXPECT_STREQ(out->GetPixelformat(), "BGR8");
    const auto* pixels = static_cast<const unsigned char*>(out->GetBuffer());
    Converted result{{pixels, pixels + std::size_t{width} * height * 3}};
    source->Release();
    out->Release();
    return result;
}

void expectColour(const Converted& c, std::size_t pixel, Rgb want, int tolerance,
                  const std::string& what) {
    const unsigned char* p = &c.bgr[pixel * 3];
    EXPECT_NEAR(p[2], want.r, tolerance) << what << " red";
    EXPECT_NEAR(p[1], want.g, tolerance) << what << " green";
    EXPECT_NEAR(p[0], want.b, tolerance) << what << " blue";
}

const Rgb kColours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {40, 90, 200}};

}  // namespace

TEST(ImageProcessor, BayerNamesFollowTheFirstRowOfTheSensor) {
    // A 4x4 BayerRG8 picture of pure red: only the top-left pixel of each
    // 2x2 block carries light.
    std::vector<std::uint8_t> raw(16, 0);
    for (int y = 0; y < 4; y += 2) {
        for (int x = 0; x < 4; x += 2)
            raw[static_cast<std::size_t>(y * 4 + x)] = 255;
    }
    const Converted c = convert("BayerRG8", 4, 4, raw);
    expectColour(c, 5, {255, 0, 0}, 0, "BayerRG8 red");
    // The same bytes read as BayerBG8 are pure blue.
    const Converted b = convert("BayerBG8", 4, 4, raw);
    expectColour(b, 5, {0, 0, 255}, 0, "BayerBG8 blue");
}

TEST(ImageProcessor, EveryColourFormatConvertsToTheRightBgr) {
    for (const auto* format = BGAPI2::pixel::begin(); format != BGAPI2::pixel::end(); ++format) {
        if (format->layout == BGAPI2::pixel::Layout::Mono) {
            continue;
        }
        const char* name = format->name;
        for (const Rgb& colour : kColours) {
            const Converted c =
                convert(name, 8, 8, BGAPI2::sim::encodeSolid(*format, 8, 8, colour));
            const int tolerance = format->layout == BGAPI2::pixel::Layout::Bayer ? 1 : 3;
            expectColour(c, 27, colour, tolerance, name);
        }
    }
}

TEST(ImageProcessor, MonoFormatsScaleToEightBitGrey) {
    for (const char* name : {"Mono8", "Mono10", "Mono12", "Mono14", "Mono16", "Mono10p", "Mono12p",
                             "Mono14p", "Mono10Packed", "Mono12Packed"}) {
        const auto* format = BGAPI2::pixel::find(name);
        const Converted c =
            convert(name, 4, 2, BGAPI2::sim::encodeSolid(*format, 4, 2, {200, 200, 200}));
        expectColour(c, 3, {199, 199, 199}, 1, name);
    }
    // A 12-bit sample of 0x0FFF becomes 255.
    std::vector<std::uint8_t> wide = {0xFF, 0x0F, 0x00, 0x08};
    const Converted c = convert("Mono12", 2, 1, wide);
    EXPECT_EQ(c.bgr[0], 255);
    EXPECT_EQ(c.bgr[3], 128);
}

TEST(ImageProcessor, RefusesPayloadsShorterThanTheImage) {
    BGAPI2::ImageProcessor* processor = BGAPI2::ImageProcessor::GetInstance();
    std::vector<std::uint8_t> memory(64 * 48 - 1);
    EXPECT_SDK_FAILURE(processor->CreateImage(64, 48, "BayerRG8", memory.data(), memory.size()),
                       InvalidParameterException);
    EXPECT_SDK_FAILURE(processor->CreateImage(40, 40, "BayerRG16", memory.data(), memory.size()),
                       InvalidParameterException);
    EXPECT_SDK_FAILURE(processor->CreateImage(0, 48, "Mono8", memory.data(), memory.size()),
                       InvalidParameterException);
    EXPECT_SDK_FAILURE(
        processor->CreateImage(0xFFFFFFFFu, 0xFFFFFFFFu, "Mono8", memory.data(), UINT64_MAX),
        InvalidParameterException);
    EXPECT_SDK_FAILURE(processor->CreateImage(8, 8, "Mono8", nullptr, 64),
                       InvalidParameterException);
    EXPECT_SDK_FAILURE(processor->CreateImage(6, 8, "YUV411Packed", memory.data(), memory.size()),
                       InvalidParameterException);
}

TEST(ImageProcessor, RefusesUnknownFormatsAndOtherTargets) {
    BGAPI2::ImageProcessor* processor = BGAPI2::ImageProcessor::GetInstance();
    std::vector<std::uint8_t> memory(64);
    EXPECT_SDK_FAILURE(processor->CreateImage(8, 8, "Mon", memory.data(), memory.size()),
                       InvalidParameterException);
    BGAPI2::Image* image = processor->CreateImage(8, 8, "Mono8", memory.data(), memory.size());
    BGAPI2::Image* out = nullptr;
    EXPECT_SDK_FAILURE(image->TransformImage("RGB8", &out), InvalidParameterException);
    EXPECT_SDK_FAILURE(image->TransformImage("BGR8", nullptr), InvalidParameterException);
    EXPECT_EQ(out, nullptr);
    image->Release();
    EXPECT_SDK_FAILURE(image->Release(), IException);  // released twice
}

TEST(ImageProcessor, SourceImageWrapsTheCallersMemory) {
    std::vector<std::uint8_t> memory(64, 7);
    BGAPI2::Image* image = BGAPI2::ImageProcessor::GetInstance()->CreateImage(
        8, 8, "Mono8", memory.data(), memory.size());
    EXPECT_EQ(image->GetBuffer(), memory.data());
    image->Release();
}

TEST(ImageProcessor, ReleasedOutputMemoryIsReused) {
    std::vector<std::uint8_t> memory(64 * 64, 9);
    BGAPI2::ImageProcessor* processor = BGAPI2::ImageProcessor::GetInstance();
    void* first = nullptr;
    for (int i = 0; i < 3; ++i) {
        BGAPI2::Image* image =
            processor->CreateImage(64, 64, "BayerRG8", memory.data(), memory.size());
        BGAPI2::Image* out = nullptr;
        image->TransformImage("BGR8", &out);
        if (first == nullptr)
            first = out->GetBuffer();
        EXPECT_EQ(out->GetBuffer(), first) << "frame " << i;
        image->Release();
        out->Release();
    }
}
