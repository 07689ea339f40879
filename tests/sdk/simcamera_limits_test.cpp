// Simulated cameras of sizes and layouts a format cannot hold, or too large
// to build: refused with a clear text, never written past a buffer's end.
#include <gtest/gtest.h>

#include <cmath>

#include "pixelformats.h"
#include "sdkfixture.h"
#include "simulation/pattern.h"

namespace {

simcam::CameraConfig camera(std::uint32_t width, std::uint32_t height, const char* format) {
    simcam::CameraConfig config = simCamera("LIMITS", format, width, height);
    config.pixelFormats = {format};
    return config;
}

}  // namespace

// Under AddressSanitizer a single byte past the end fails this. Where the
// width fits the format, the picture reaches the last byte: white encodes with
// no zero in the last byte of any format (the high byte of deep samples).
TEST(TestPicture, EveryFormatAtOddAndTinySizesStaysInsideItsPayload) {
    for (const auto* format = BGAPI2::pixel::begin(); format != BGAPI2::pixel::end(); ++format) {
        const std::string name = format->name;
        for (std::uint32_t width : {1u, 2u, 3u, 5u, 7u, 641u}) {
            for (std::uint32_t height : {1u, 2u, 3u}) {
                SCOPED_TRACE(name + " " + std::to_string(width) + "x" + std::to_string(height));
                const auto picture =
                    BGAPI2::sim::encodeSolid(*format, width, height, {255, 255, 255});
                ASSERT_EQ(picture.size(), BGAPI2::pixel::payloadSize(*format, width, height));
                if (BGAPI2::pixel::widthFits(*format, width) && !picture.empty()) {
                    EXPECT_NE(picture.back(), 0);
                }
            }
        }
    }
}

TEST(CameraLimits, RefusesWidthsAFormatCannotHoldAndSizesTooLarge) {
    EXPECT_EQ(simcam::cameraConfigError(camera(640, 480, "YUV422Packed")), "");
    EXPECT_EQ(simcam::cameraConfigError(camera(641, 480, "YUV422Packed")),
              "camera 'LIMITS': width 641 cannot be laid out in YUV422Packed");
    EXPECT_NE(simcam::cameraConfigError(camera(642, 480, "YUV411Packed")), "");
    EXPECT_EQ(simcam::cameraConfigError(camera(641, 480, "Mono8")), "");
    EXPECT_EQ(simcam::cameraConfigError(camera(16384, 16384, "Mono8")),
              "camera 'LIMITS': 16384x16384 in Mono8 is larger than 128 MiB a frame");
    EXPECT_NE(simcam::cameraConfigError(camera(65537, 1, "Mono8")), "");
    EXPECT_NE(simcam::cameraConfigError(camera(0, 10, "Mono8")), "");
    simcam::CameraConfig streams = camera(64, 48, "Mono8");
    for (int count : {0, 17, 500}) {
        streams.streamCount = count;
        EXPECT_NE(simcam::cameraConfigError(streams), "") << count;
    }
    // Rates whose period no clock can add up, or that are not numbers at all.
    for (double rate : {1e-12, 0.0009, std::nan(""), HUGE_VAL}) {
        simcam::CameraConfig slow = camera(64, 48, "Mono8");
        slow.frameRate = rate;
        EXPECT_NE(simcam::cameraConfigError(slow), "") << rate;
        slow.frameRate = 0;
        slow.linePulseRate = rate;
        EXPECT_NE(simcam::cameraConfigError(slow), "") << rate;
    }
    simcam::CameraConfig exposure = camera(64, 48, "Mono8");
    exposure.exposureMax = std::nan("");
    EXPECT_NE(simcam::cameraConfigError(exposure), "");
    // A format the camera offers besides its current one counts too.
    simcam::CameraConfig offered = camera(641, 480, "Mono8");
    offered.pixelFormats = {"Mono8", "YUV422Packed"};
    EXPECT_NE(simcam::cameraConfigError(offered), "");
}

TEST_F(SdkTest, CameraTooLargeIsListedButOpeningSaysWhy) {
    simcam::setTopology(simTopology({camera(16384, 16384, "Mono8")}));
    BGAPI2::Device* device = nullptr;
    try {
        openFirstDevice();
        FAIL() << "a 16384x16384 camera opened";
    } catch (BGAPI2::Exceptions::InvalidParameterException& ex) {
        EXPECT_EQ(std::string(ex.GetErrorDescription()),
                  "camera 'LIMITS': 16384x16384 in Mono8 is larger than 128 MiB a frame");
    }
    EXPECT_EQ(device, nullptr);
}
