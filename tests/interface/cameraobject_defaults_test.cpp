#include <gtest/gtest.h>

#include <climits>

#include "cameraobject.h"

namespace {

// The smallest complete camera object: only the pure operations filled in.
class BareCamera : public ICameraObject {
public:
    using ICameraObject::ICameraObject;
    int IOpenCamera() override { return 0; }
    void ICloseCamera() override {}
    int IStartCamera() override { return 0; }
    void IStopCamera() override {}
    void IReservedA() override {}
    void IReservedB() override {}
};

struct CountingCamera : BareCamera {
    using BareCamera::BareCamera;
    int triggerCalls = 0;
    int ITriggerCamera(int n) override {
        ++triggerCalls;
        return BareCamera::ITriggerCamera(n);
    }
};

class NullHost : public IPoolCallback {
public:
    int OnFrameReady(ICameraObject*) override { return 0; }
};

class CameraObjectDefaults : public ::testing::Test {
protected:
    // A camera that passes every readiness condition unless a test changes one.
    BareCamera& ready() {
        camera.m_bGrabbing = true;
        camera.m_nCurMode = MODE_CONTINUOUS;
        return camera;
    }

    tagQZ_CAMERA_OPTION option;
    NullHost host;
    BareCamera camera{&option, &host};
};

}  // namespace

TEST(ImageFormatBits, OnlyTheFourSizedFormatsHaveBits) {
    EXPECT_EQ(imageFormatBits(GRAY8), 8);
    EXPECT_EQ(imageFormatBits(RGB24), 24);
    EXPECT_EQ(imageFormatBits(RGB32), 32);
    EXPECT_EQ(imageFormatBits(GRAY16), 16);
    for (int code : {0, 5, 6, 10, 11, 12, 13, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(imageFormatBits(code), 0) << code;
    }
}

TEST_F(CameraObjectDefaults, NewObjectHoldsTheInitialValues) {
    EXPECT_EQ(camera.m_pOption, &option);
    EXPECT_EQ(camera.m_pCallback, &host);
    EXPECT_FALSE(camera.m_bOpened);
    EXPECT_FALSE(camera.m_bGrabbing);
    EXPECT_TRUE(camera.m_bHostFlag);
    EXPECT_EQ(camera.m_nReqMode, MODE_EXTERNAL_TRIGGER);
    EXPECT_EQ(camera.m_nCurMode, 0);
    EXPECT_EQ(camera.m_nImageSize, 0);
    EXPECT_EQ(camera.m_nImageFormat, 0);
    EXPECT_EQ(camera.m_nFrameId, 0u);
    EXPECT_EQ(camera.m_nFrameLimit, 0u);
    EXPECT_EQ(camera.m_nStartCount, 0);
    EXPECT_EQ(camera.m_pImageData, nullptr);
    EXPECT_EQ(camera.m_nFrameStatus, 0);
    EXPECT_EQ(camera.m_nHostValue, 0);
    EXPECT_FALSE(camera.m_bHostBusy);
    EXPECT_TRUE(camera.m_lockedList.m_list.isEmpty());
    EXPECT_TRUE(camera.m_lockedList.m_bFlag);
}

TEST_F(CameraObjectDefaults, BitsPerPixelComeFromTheOptionFormat) {
    const std::pair<int, int> cases[] = {{GRAY8, 8}, {RGB24, 24}, {GRAY16, 16},
                                         {RGB48, 0}, {BGR24, 0},  {7, 0}};
    for (const auto& c : cases) {
        tagQZ_CAMERA_OPTION opt;
        opt.nImageFormat = c.first;
        BareCamera cam(&opt, &host);
        EXPECT_EQ(cam.m_nBitsPerPixel, c.second) << c.first;
        EXPECT_EQ(cam.m_nImageSize, 0);
        EXPECT_EQ(cam.m_nImageFormat, 0) << "not taken from the option record";
    }
}

TEST_F(CameraObjectDefaults, ReadinessFailsWhileNotGrabbingOrStopped) {
    for (int mode : {0, 1, 2, 3, 4}) {
        camera.m_nCurMode = mode;
        EXPECT_EQ(camera.ITriggerCamera(0), 0) << mode;
    }
    ready();
    EXPECT_EQ(camera.ITriggerCamera(0), 1);
    option.bStop = true;
    EXPECT_EQ(camera.ITriggerCamera(0), 0);
    option.bStop = false;
    camera.m_pOption = nullptr;
    EXPECT_EQ(camera.ITriggerCamera(0), 0);
}

TEST_F(CameraObjectDefaults, FrameLimitCountsOnlyInFrameLimitMode) {
    ready().m_nCurMode = MODE_FRAME_LIMIT;
    camera.m_nFrameLimit = 0;
    camera.m_nFrameId = 0;
    EXPECT_EQ(camera.ITriggerCamera(0), 0) << "a limit of 0 allows nothing";
    camera.m_nFrameLimit = 5;
    camera.m_nFrameId = 4;
    EXPECT_EQ(camera.ITriggerCamera(0), 1);
    camera.m_nFrameId = 5;
    EXPECT_EQ(camera.ITriggerCamera(0), 0);
    camera.m_nFrameLimit = 4294967294u;
    camera.m_nFrameId = 4294967295u;
    EXPECT_EQ(camera.ITriggerCamera(0), 0) << "compared unsigned";

    for (int mode : {1, 2, 4, 7}) {
        camera.m_nCurMode = mode;
        camera.m_nFrameLimit = 0;
        camera.m_nFrameId = 4294967295u;
        EXPECT_EQ(camera.ITriggerCamera(0), 1) << mode;
    }
}

TEST_F(CameraObjectDefaults, SendSoftTriggerAsksTheReadinessTestThroughTheTable) {
    CountingCamera counting(&option, &host);
    EXPECT_EQ(counting.ISendSoftTrigger(), 0);
    counting.m_bGrabbing = true;
    EXPECT_EQ(counting.ISendSoftTrigger(), 1);
    EXPECT_EQ(counting.triggerCalls, 2);
}

TEST_F(CameraObjectDefaults, OtherDefaultsDoNothing) {
    EXPECT_TRUE(camera.IEnumAvailableCameras().isEmpty());
    EXPECT_EQ(camera.IReservedC(), 0);
    EXPECT_EQ(camera.IReservedE(42), 0);
    char* bytes = camera.IGetByteBuffer();
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[0], '\0');
}
