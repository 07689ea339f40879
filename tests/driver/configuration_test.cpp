// Pixel format published on opening, and exposure written by ISetProperty.
#include <climits>

#include "driverfixture.h"

namespace {

simcam::CameraConfig exposureCamera(simcam::ExposureFeature feature, double minimum,
                                    double maximum) {
    simcam::CameraConfig camera = simCamera("EXP");
    camera.exposure = feature;
    camera.exposureMin = minimum;
    camera.exposureMax = maximum;
    return camera;
}

}  // namespace

TEST_F(DriverTest, PixelFormatTableGivesItsCodesAndBitsOrNone) {
    CCameraBaumer* camera = make();
    const struct {
        const char* name;
        int format;
        int bits;
    } cases[] = {{"YUV422Packed", GRAY8, 8}, {"Mono8", GRAY8, 8},
                 {"BayerRG12", GRAY8, 12},   {"YUV444Packed", GRAY8, 12},
                 {"BayerRG8", RGB24, 24},    {"RGB8Packed", RGB24, 24},
                 {"BGR8Packed", RGB24, 24},  {"BayerRGB8Packed", RGB24, 24},
                 {"YUV411Packed", GRAY8, 6}, {"Mono12", None, 0},
                 {"mono8", None, 0},         {"", None, 0},
                 {"RGB8", None, 0}};
    for (const auto& c : cases) {
        int bits = -1;
        EXPECT_EQ(camera->pixelFormatToImageFormat(c.name, &bits), c.format) << c.name;
        EXPECT_EQ(bits, c.bits) << c.name;
    }
}

TEST_F(DriverTest, OpeningPublishesThePixelFormat) {
    simcam::setTopology(simTopology({simCamera("M12", "Mono12"), simCamera("BAY", "BayerRG8")}));
    option.nImageFormat = GRAY16;
    CCameraBaumer* camera = opened("BAY");
    EXPECT_EQ(camera->m_nImageFormat, RGB24);
    EXPECT_EQ(camera->m_nBitsPerPixel, 24);
    EXPECT_EQ(camera->m_nImageSize, 0) << "never recomputed";
    camera->ICloseCamera();
    EXPECT_EQ(camera->m_nImageFormat, RGB24) << "kept after closing";
    option.strCameraName = "baumer M12";
    EXPECT_EQ(camera->IOpenCamera(), 1) << "an unknown format still opens";
    EXPECT_EQ(camera->m_nImageFormat, None);
    EXPECT_EQ(camera->m_nBitsPerPixel, 0);
}

TEST_F(DriverTest, PixelFormatReadFailureKeepsTheOldValuesAndClosesTheDevice) {
    CCameraBaumer* camera = make();
    camera->m_nImageFormat = 42;
    camera->m_nBitsPerPixel = 7;
    simcam::injectFailure(failOn("Node::GetString", "CAM1/PixelFormat"));
    EXPECT_EQ(camera->IOpenCamera(), 0);
    expectReportOf("setDeviceProperty", "Node::GetString");
    EXPECT_EQ(camera->m_nImageFormat, 42);
    EXPECT_EQ(camera->m_nBitsPerPixel, 7);
    EXPECT_FALSE(simcam::isOpen("CAM1"));
}

TEST_F(DriverTest, ExposureTimeIsWrittenUnchangedWithoutRangeTest) {
    simcam::setTopology(simTopology({exposureCamera(simcam::ExposureFeature::Both, 20, 900)}));
    CCameraBaumer* camera = opened("EXP");
    log.clear();
    tagQZ_CAMERA_PROPERTY property{PROPERTY_EXPOSURE_TIME, 500};
    camera->ISetProperty(&property);
    EXPECT_EQ(simcam::featureValue("EXP", "ExposureTime"), "500.000000");
    EXPECT_TRUE(log.lines().empty());
    property.nValue = 5;  // below the camera's limit: the camera refuses it
    camera->ISetProperty(&property);
    expectReport("ISetProperty", "OutOfRangeException",
                 "value 5 is outside the range 20 to 900 of 'ExposureTime'", "Node::SetDouble");
    EXPECT_TRUE(log.lines(QtWarningMsg).empty());
}

TEST_F(DriverTest, ExposureTimeAbsIsRangeTestedAgainstItsLimits) {
    simcam::setTopology(
        simTopology({exposureCamera(simcam::ExposureFeature::ExposureTimeAbs, 20.0, 900.0)}));
    CCameraBaumer* camera = opened("EXP");
    log.clear();
    for (int value : {20, 900}) {
        tagQZ_CAMERA_PROPERTY property{PROPERTY_EXPOSURE_TIME, value};
        camera->ISetProperty(&property);
        EXPECT_EQ(simcam::featureValue("EXP", "ExposureTimeAbs"),
                  std::to_string(value) + ".000000");
        const auto debug = log.lines(QtDebugMsg);
        ASSERT_FALSE(debug.empty());
        EXPECT_EQ(debug.back().text, "\"Set exposure time value:" + std::to_string(value) +
                                         " successfully.\"  -  CCameraBaumer::ISetProperty");
    }
    for (int value : {19, 901}) {
        tagQZ_CAMERA_PROPERTY property{PROPERTY_EXPOSURE_TIME, value};
        camera->ISetProperty(&property);
        EXPECT_EQ(simcam::featureValue("EXP", "ExposureTimeAbs"), "900.000000");
        const auto warnings = log.lines(QtWarningMsg);
        ASSERT_FALSE(warnings.empty());
        EXPECT_EQ(warnings.back().text, "\"Invalid exposure time value:" + std::to_string(value) +
                                            ".\"  -  CCameraBaumer::ISetProperty");
    }
    EXPECT_EQ(log.lines(QtWarningMsg).size(), 2u);
    EXPECT_TRUE(log.lines(QtCriticalMsg).empty());
}

TEST_F(DriverTest, FractionalLimitsAreTruncatedAndHugeLimitsSaturate) {
    simcam::setTopology(
        simTopology({exposureCamera(simcam::ExposureFeature::ExposureTimeAbs, 10.5, 1e12)}));
    CCameraBaumer* camera = opened("EXP");
    log.clear();
    tagQZ_CAMERA_PROPERTY property{PROPERTY_EXPOSURE_TIME, 10};
    camera->ISetProperty(&property);
    EXPECT_TRUE(log.lines(QtWarningMsg).empty()) << "10 passes the truncated minimum";
    expectReport("ISetProperty", "OutOfRangeException",
                 "value 10 is outside the range 10.5 to 1e+12 of 'ExposureTimeAbs'",
                 "Node::SetDouble");
    property.nValue = INT_MAX;
    camera->ISetProperty(&property);
    EXPECT_EQ(simcam::featureValue("EXP", "ExposureTimeAbs"), "2147483647.000000");
}

TEST_F(DriverTest, ExposureIgnoredWithoutFeatureRecordOrDevice) {
    simcam::setTopology(simTopology({exposureCamera(simcam::ExposureFeature::None, 0, 0)}));
    CCameraBaumer* camera = make();
    tagQZ_CAMERA_PROPERTY property{PROPERTY_EXPOSURE_TIME, 100};
    camera->ISetProperty(&property);  // no device yet
    option.strCameraName = "baumer EXP";
    ASSERT_EQ(camera->IOpenCamera(), 1);
    log.clear();
    simcam::setRecording(true);
    camera->ISetProperty(&property);
    camera->ISetProperty(nullptr);
    tagQZ_CAMERA_PROPERTY other{2, 100};
    camera->ISetProperty(&other);
    EXPECT_TRUE(log.lines().empty());
    for (const auto& call : simcam::recordedCalls()) {
        EXPECT_NE(call.operation, "Node::SetDouble");
    }
}
