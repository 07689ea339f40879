// Opening by name, starting in each mode, stopping and closing.
#include "driverfixture.h"

TEST_F(DriverTest, OpensByNameInAnyLetterCase) {
    CCameraBaumer* camera = make();
    for (const char* name : {"baumer CAM2", "BAUMER CAM2", "BaUmEr CAM2 ignored words"}) {
        option.strCameraName = name;
        log.clear();
        EXPECT_EQ(camera->IOpenCamera(), 1) << name;
        EXPECT_TRUE(camera->m_bOpened);
        EXPECT_EQ(log.matching(QtWarningMsg, "start open baumer camera...").size(), 1u);
        ASSERT_EQ(log.lines(QtDebugMsg).size(), 1u);
        EXPECT_EQ(log.lines(QtDebugMsg)[0].text,
                  "Baumer camera( \"CAM2\" ) open successed.  -  CCameraBaumer::IOpenCamera");
        camera->ICloseCamera();
    }
}

TEST_F(DriverTest, RefusesBadNamesWithoutTouchingTheLists) {
    CCameraBaumer* camera = make();
    simcam::setRecording(true);
    for (const char* name : {"baumer", "basler CAM1", " baumer CAM1", "", "baumerCAM1"}) {
        option.strCameraName = name;
        EXPECT_EQ(camera->IOpenCamera(), 0) << name;
    }
    EXPECT_TRUE(simcam::recordedCalls().empty());
    option.strCameraName = "baumer  CAM1";  // two blanks: the serial is empty
    EXPECT_EQ(camera->IOpenCamera(), 0);
    option.strCameraName = "baumer cam1";
    EXPECT_EQ(camera->IOpenCamera(), 0) << "serial numbers match case-sensitively";
    EXPECT_FALSE(camera->m_bOpened);
    EXPECT_EQ(camera->m_pDevice, nullptr);
}

TEST_F(DriverTest, StartSwitchesOnlyWhenTheRequestChanges) {
    CCameraBaumer* camera = opened("CAM1");
    simcam::setRecording(true);
    EXPECT_EQ(camera->IStartCamera(), 1);
    EXPECT_EQ(camera->m_nCurMode, MODE_EXTERNAL_TRIGGER);
    EXPECT_TRUE(camera->m_bGrabbing);
    EXPECT_EQ(simcam::featureValue("CAM1", "TriggerSource"), "Line0");
    simcam::clearRecordedCalls();
    EXPECT_EQ(camera->IStartCamera(), 1);
    EXPECT_TRUE(simcam::recordedCalls().empty()) << "unchanged request does nothing";
    EXPECT_EQ(camera->m_nStartCount, 2);
    EXPECT_EQ(log.matching(QtDebugMsg, "CCameraBaumer::IStartCamera").size(), 2u);

    camera->m_nReqMode = MODE_SOFT_TRIGGER;
    camera->IStartCamera();
    EXPECT_EQ(simcam::featureValue("CAM1", "TriggerSource"), "Software");
    camera->m_nReqMode = MODE_CONTINUOUS;
    camera->IStartCamera();
    EXPECT_EQ(simcam::featureValue("CAM1", "TriggerMode"), "Off");
}

TEST_F(DriverTest, FrameLimitModeResetsTheFrameIdEvenWhenTheSetUpFails) {
    CCameraBaumer* camera = opened("CAM1");
    camera->m_nFrameId = 99;
    camera->m_nReqMode = MODE_FRAME_LIMIT;
    simcam::injectFailure(failOn("Node::Execute", "CAM1/AcquisitionStop"));
    EXPECT_EQ(camera->IStartCamera(), 1);
    EXPECT_EQ(camera->m_nFrameId, 0u);
    EXPECT_FALSE(camera->m_bGrabbing);
    EXPECT_EQ(camera->m_nCurMode, MODE_FRAME_LIMIT) << "taken even when the step failed";
}

TEST_F(DriverTest, ModesOutsideOneToFourStopAcquisition) {
    CCameraBaumer* camera = opened("CAM1");
    camera->m_nReqMode = 0;
    EXPECT_EQ(camera->IStartCamera(), 1);
    EXPECT_FALSE(camera->m_bGrabbing) << "0 is the mode in effect already";
    camera->m_nReqMode = MODE_CONTINUOUS;
    camera->IStartCamera();
    camera->m_nReqMode = 7;
    simcam::setRecording(true);
    EXPECT_EQ(camera->IStartCamera(), 1);
    EXPECT_EQ(countCalls("DataStream::StopAcquisition"), 1);
    EXPECT_EQ(camera->m_nCurMode, 7);
    EXPECT_TRUE(camera->m_bGrabbing) << "the stop step succeeded";
}

TEST_F(DriverTest, StopThenStartWithTheSameRequestStaysStopped) {
    CCameraBaumer* camera = opened("CAM1");
    camera->m_nReqMode = MODE_CONTINUOUS;
    camera->IStartCamera();
    camera->IStopCamera();
    EXPECT_FALSE(camera->m_bGrabbing);
    EXPECT_EQ(camera->m_nCurMode, MODE_CONTINUOUS);
    EXPECT_EQ(camera->IStartCamera(), 1);
    EXPECT_FALSE(camera->m_bGrabbing);
}

TEST_F(DriverTest, ReopenWithTheSameRequestDoesNotStartAcquisition) {
    CCameraBaumer* camera = opened("CAM1");
    camera->m_nReqMode = MODE_CONTINUOUS;
    camera->IStartCamera();
    camera->ICloseCamera();
    EXPECT_FALSE(simcam::isAcquiring("CAM1"));
    ASSERT_EQ(camera->IOpenCamera(), 1);
    simcam::setRecording(true);
    camera->IStartCamera();
    EXPECT_EQ(countCalls("Node::SetString"), 0);
    EXPECT_EQ(countCalls("DataStream::StartAcquisitionContinuous"), 0);
}

TEST_F(DriverTest, CloseAndStopWithoutACameraOnlyClearTheirFlags) {
    CCameraBaumer* camera = make();
    camera->m_bOpened = true;
    camera->m_bGrabbing = true;
    simcam::setRecording(true);
    camera->IStopCamera();
    camera->ICloseCamera();
    EXPECT_FALSE(camera->m_bOpened);
    EXPECT_FALSE(camera->m_bGrabbing);
    EXPECT_TRUE(simcam::recordedCalls().empty());
    EXPECT_EQ(camera->IStartCamera(), 0);
    EXPECT_EQ(camera->m_nStartCount, 0);
}

TEST_F(DriverTest, OpeningAgainClosesTheEarlierCamera) {
    CCameraBaumer* camera = opened("CAM1");
    option.strCameraName = "baumer CAM2";
    EXPECT_EQ(camera->IOpenCamera(), 1);
    EXPECT_FALSE(simcam::isOpen("CAM1"));
    EXPECT_TRUE(simcam::isOpen("CAM2"));
    option.strCameraName = "baumer NOPE";
    EXPECT_EQ(camera->IOpenCamera(), 0);
    EXPECT_FALSE(simcam::isOpen("CAM2"));
    EXPECT_FALSE(camera->m_bOpened);
}

TEST_F(DriverTest, DeletingAnOpenCameraClosesItFirst) {
    CCameraBaumer* camera = opened("CAM1");
    camera->m_nReqMode = MODE_CONTINUOUS;
    camera->IStartCamera();
    ASSERT_TRUE(host.waitFrames(3));
    destroy(camera);
    const std::size_t count = host.frameCount();
    EXPECT_FALSE(simcam::isOpen("CAM1"));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(host.frameCount(), count);
}

TEST_F(DriverTest, TwoObjectsHoldDifferentCamerasAtOnce) {
    CCameraBaumer* first = opened("CAM1");
    tagQZ_CAMERA_OPTION otherOption;
    otherOption.strCameraName = "baumer CAM2";
    TestHost otherHost;
    CCameraBaumer* second = make(&otherOption, &otherHost);
    ASSERT_EQ(second->IOpenCamera(), 1);
    first->m_nReqMode = MODE_SOFT_TRIGGER;
    second->m_nReqMode = MODE_SOFT_TRIGGER;
    first->IStartCamera();
    second->IStartCamera();
    first->ISendSoftTrigger();
    second->ISendSoftTrigger();
    second->ISendSoftTrigger();
    ASSERT_TRUE(host.waitFrames(1));
    ASSERT_TRUE(otherHost.waitFrames(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(host.frameCount(), 1u);
    EXPECT_EQ(otherHost.frameCount(), 2u);
    EXPECT_EQ(otherHost.frames()[0].width, 64);
    destroy(second);
}
