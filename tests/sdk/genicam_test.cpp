// Real-camera producer, exercised with Aravis's own simulated GigE camera.
#include <gtest/gtest.h>

#include <cstdlib>

#include "camerabaumer.h"
#include "simcam/simcam.h"
#include "testhost.h"

class GenICamProducer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("QZCAM_GENICAM", "fake", 1); }
    static void TearDownTestSuite() { unsetenv("QZCAM_GENICAM"); }
    void SetUp() override { simcam::reset(); }

    // The name the fake camera is listed under.
    static QString fakeCameraName(CCameraBaumer& camera) {
        for (const QString& name : camera.IEnumAvailableCameras()) {
            if (!name.startsWith("baumer SIM-"))
                return name;
        }
        return QString();
    }

    tagQZ_CAMERA_OPTION option;
    TestHost host;
};

TEST_F(GenICamProducer, ListsTheCameraBesideTheSimulatedOnes) {
    CCameraBaumer camera(&option, &host);
    const QList<QString> names = camera.IEnumAvailableCameras();
    EXPECT_TRUE(names.contains("baumer SIM-MONO-0001"));
    EXPECT_EQ(names.size(), 3);
    EXPECT_FALSE(fakeCameraName(camera).isEmpty());
}

// Aravis's in-process camera ignores triggers, so software triggering is
// checked against the GigE Vision camera instead (gige tests).
TEST_F(GenICamProducer, DeliversFramesInFreeRun) {
    CCameraBaumer camera(&option, &host);
    option.strCameraName = fakeCameraName(camera);
    ASSERT_EQ(camera.IOpenCamera(), 1);
    EXPECT_EQ(camera.m_nImageFormat, GRAY8);
    camera.m_nReqMode = MODE_CONTINUOUS;
    ASSERT_EQ(camera.IStartCamera(), 1);
    ASSERT_TRUE(camera.m_bGrabbing);
    ASSERT_TRUE(host.waitFrames(3, 10000));
    const TestHost::Frame frame = host.frames().back();
    EXPECT_GT(frame.width, 0);
    EXPECT_GT(frame.height, 0);
    EXPECT_NE(frame.thread, std::this_thread::get_id());

    camera.ICloseCamera();
    EXPECT_FALSE(camera.m_bOpened);
}
