// Opening by name, starting in each mode, stopping and closing.

#include "driverfixture.h"
#include "framelimitrun.h"

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

// A camera streams to one object: a second object opening it is refused and
// the first keeps its frames, also after the second is deleted.
TEST_F(DriverTest, SecondObjectOpeningTheSameCameraIsRefused) {
    CCameraBaumer* first = opened("CAM1");
    first->m_nReqMode = MODE_SOFT_TRIGGER;
    ASSERT_EQ(first->IStartCamera(), 1);
    TestHost otherHost;
    CCameraBaumer* second = make(&option, &otherHost);
    EXPECT_EQ(second->IOpenCamera(), 0);
    EXPECT_FALSE(second->m_bOpened);
    const auto lines = log.matching(QtCriticalMsg, "in use by another object");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text,
              "\"Baumer camera(CAM1) is in use by another object.\"  -  "
              "CCameraBaumer::IOpenCamera");
    destroy(second);
    first->ISendSoftTrigger();
    EXPECT_TRUE(host.waitFrames(1));
    EXPECT_EQ(otherHost.frameCount(), 0u);
    EXPECT_EQ(bufferCount(first->m_pDevice), 8u);

    first->ICloseCamera();
    CCameraBaumer* third = make(&option, &otherHost);
    EXPECT_EQ(third->IOpenCamera(), 1) << "free again once closed";
}

// Failures that are not the SDK's own (out of memory, a thread that cannot
// start) give one line and a failure result, and leave nothing half done.
TEST_F(DriverTest, FailuresOutsideTheSdkAreCaughtAtTheHostBoundary) {
    CCameraBaumer* camera = make();
    simcam::Failure noMemory = failOn("DataStream::Open");
    noMemory.kind = simcam::FailureKind::OutOfMemory;
    simcam::injectFailure(noMemory);
    EXPECT_EQ(camera->IOpenCamera(), 0);
    EXPECT_EQ(log.matching(QtCriticalMsg,
                           "Unexpected failure: std::bad_alloc - "
                           "CCameraBaumer::IOpenCamera")
                  .size(),
              1u);
    EXPECT_EQ(camera->m_pDevice, nullptr);
    EXPECT_FALSE(simcam::isOpen("CAM1")) << "a half-opened device is closed again";
    ASSERT_EQ(camera->IOpenCamera(), 1);

    simcam::Failure noThread = failOn("DataStream::StartAcquisitionContinuous");
    noThread.kind = simcam::FailureKind::SystemError;
    noThread.description = "no thread";
    simcam::injectFailure(noThread);
    camera->m_nReqMode = MODE_CONTINUOUS;
    EXPECT_EQ(camera->IStartCamera(), 0);
    EXPECT_EQ(log.matching(QtCriticalMsg, "no thread").size(), 1u);
    EXPECT_FALSE(camera->m_bGrabbing);
    EXPECT_EQ(camera->IStartCamera(), 1) << "the request is still open and is tried again";
    EXPECT_TRUE(host.waitFrames(1));
}

// The camera numbers frames on from wherever it was, and its ids may wrap
// during the run (at 2^32 as the host sees them, or at 2^64); the limit
// counts the frames since the start.
TEST_F(DriverTest, FrameLimitCountsFramesSinceTheStartWhateverTheCameraIds) {
    for (std::uint64_t first : {std::uint64_t{4000000000u}, std::uint64_t{4294967293u},
                                std::uint64_t{18446744073709551613u}}) {
        SCOPED_TRACE(first);
        simcam::CameraConfig config = simCamera("CAM1");
        config.firstFrameId = first;
        simcam::setTopology(simTopology({config}));
        CCameraBaumer* camera = opened("CAM1");
        const FrameLimitRun run = runFrameLimitOfFive(camera, host);
        ASSERT_EQ(run.frames.size(), 6u);
        for (std::size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(run.frames[i].frameId, i + 1);
        }
        EXPECT_EQ(run.ready, (std::vector<int>{1, 1, 1, 1, 0, 0}));
        EXPECT_EQ(camera->ICameraObject::ITriggerCamera(0), 0);
        camera->ICloseCamera();
        destroy(camera);
    }
}
