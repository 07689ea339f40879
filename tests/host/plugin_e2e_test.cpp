// The plug-in driven end to end through the host interface only.
#include <atomic>
#include <future>
#include <set>
#include <thread>

#include "logcapture.h"
#include "pluginhost.h"
#include "simcam/simcam.h"
#include "simtopology.h"
#include "testhost.h"

namespace {

// Deletes the object through the plug-in when the test leaves.
struct Camera {
    ICameraObject* object;
    PluginHost::DeleteFn del;
    ~Camera() { del(object); }
    ICameraObject* operator->() const { return object; }
};

}  // namespace

class EndToEnd : public PluginHost {
protected:
    void SetUp() override {
        simcam::reset();
        simcam::CameraConfig mono = simCamera("MONO-1", "Mono8", 64, 48);
        simcam::CameraConfig bayer = simCamera("BAYER-2", "BayerRG8", 64, 48);
        bayer.exposure = simcam::ExposureFeature::ExposureTimeAbs;
        bayer.exposureMin = 20;
        bayer.exposureMax = 900;
        simcam::setTopology(simTopology({mono, bayer}));
    }
    void TearDown() override { simcam::reset(); }

    Camera create(tagQZ_CAMERA_OPTION* opt, TestHost* callback) {
        return Camera{s_create(opt, callback), s_delete};
    }

    // Opens the named camera and starts it in a mode.
    static void openAndStart(Camera& camera, int mode) {
        ASSERT_EQ(camera->IOpenCamera(), 1);
        camera->m_nReqMode = mode;
        ASSERT_EQ(camera->IStartCamera(), 1);
        ASSERT_TRUE(camera->m_bGrabbing);
    }

    LogCapture log;
    tagQZ_CAMERA_OPTION option;
    TestHost host;
};

TEST_F(EndToEnd, CreateLogsWithTheExportsContextAndDeleteAcceptsNull) {
    s_delete(nullptr);
    Camera first = create(&option, &host);
    Camera second = create(&option, &host);
    EXPECT_NE(first.object, second.object);
    const auto lines = log.matching(QtWarningMsg, "create baumer camera...");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "create baumer camera...");
    EXPECT_NE(lines[0].file.find("qzcamera/qzcambaumer/qzcambaumer.cpp"), std::string::npos);
    EXPECT_NE(lines[0].function.find("Camera_Create"), std::string::npos);
}

TEST_F(EndToEnd, ListsAndOpensByNameInAnyCase) {
    Camera camera = create(&option, &host);
    EXPECT_EQ(camera->IEnumAvailableCameras(), (QList<QString>{"baumer MONO-1", "baumer BAYER-2"}));
    for (const char* bad : {"", "baumer", "basler MONO-1", "baumer mono-1", "baumer NONE"}) {
        option.strCameraName = bad;
        EXPECT_EQ(camera->IOpenCamera(), 0) << bad;
    }
    option.strCameraName = "BAUMER MONO-1";
    EXPECT_EQ(camera->IOpenCamera(), 1);
    EXPECT_TRUE(camera->m_bOpened);
    EXPECT_EQ(camera->m_nImageFormat, GRAY8);
    EXPECT_EQ(camera->m_nBitsPerPixel, 8);
}

TEST_F(EndToEnd, SoftwareTriggerGivesExactlyOneFrameEach) {
    option.strCameraName = "baumer MONO-1";
    Camera camera = create(&option, &host);
    openAndStart(camera, MODE_SOFT_TRIGGER);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(host.frameCount(), 0u) << "no frame without a trigger";
    for (std::size_t i = 1; i <= 5; ++i) {
        EXPECT_EQ(camera->ISendSoftTrigger(), 1);
        ASSERT_TRUE(host.waitFrames(i));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto frames = host.frames();
    ASSERT_EQ(frames.size(), 5u);
    for (const auto& frame : frames) {
        EXPECT_NE(frame.thread, std::this_thread::get_id());
        EXPECT_EQ(frame.width, 64);
        EXPECT_EQ(frame.head[0], 255);
    }
}

TEST_F(EndToEnd, HardwareTriggerWaitsForTheLine) {
    option.strCameraName = "baumer MONO-1";
    Camera camera = create(&option, &host);
    openAndStart(camera, MODE_EXTERNAL_TRIGGER);
    camera->ISendSoftTrigger();  // the camera waits for "Line0", not software
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(host.frameCount(), 0u);
    simcam::pulseLine("MONO-1");
    simcam::pulseLine("MONO-1");
    ASSERT_TRUE(host.waitFrames(2));
}

TEST_F(EndToEnd, FreeRunAndFrameLimitDeliverContinuouslyInBgr8ForBayer) {
    option.strCameraName = "baumer BAYER-2";
    Camera camera = create(&option, &host);
    openAndStart(camera, MODE_CONTINUOUS);
    ASSERT_TRUE(host.waitFrames(5));
    const auto frame = host.frames().back();
    EXPECT_EQ(frame.head[0], 255) << "white bar, converted";
    EXPECT_EQ(frame.head[3], 255);
    camera->IStopCamera();

    camera->m_nFrameLimit = 3;
    camera->m_nReqMode = MODE_FRAME_LIMIT;
    const std::size_t before = host.frameCount();
    camera->IStartCamera();
    EXPECT_TRUE(camera->m_bGrabbing);
    ASSERT_TRUE(host.waitFrames(before + 3));
}

TEST_F(EndToEnd, ModeOutsideOneToFourStopsFrames) {
    option.strCameraName = "baumer MONO-1";
    Camera camera = create(&option, &host);
    openAndStart(camera, MODE_CONTINUOUS);
    ASSERT_TRUE(host.waitFrames(2));
    camera->m_nReqMode = 9;
    camera->IStartCamera();
    const std::size_t count = host.frameCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_EQ(host.frameCount(), count);
}

TEST_F(EndToEnd, ExposureReachesTheCamera) {
    option.strCameraName = "baumer BAYER-2";
    Camera camera = create(&option, &host);
    ASSERT_EQ(camera->IOpenCamera(), 1);
    tagQZ_CAMERA_PROPERTY property{PROPERTY_EXPOSURE_TIME, 321};
    camera->ISetProperty(&property);
    EXPECT_EQ(simcam::featureValue("BAYER-2", "ExposureTimeAbs"), "321.000000");
    property.nValue = 5000;
    camera->ISetProperty(&property);
    EXPECT_EQ(log.matching(QtWarningMsg, "Invalid exposure time value:5000.").size(), 1u);
}

TEST_F(EndToEnd, CloseWhileASlowHostHoldsAFrameThenReopen) {
    option.strCameraName = "baumer MONO-1";
    Camera camera = create(&option, &host);
    std::promise<void> holding;
    std::atomic<bool> first{true};
    std::atomic<bool> closed{false};
    host.onFrame = [&](ICameraObject*) {
        EXPECT_FALSE(closed.load());
        if (first.exchange(false)) {
            holding.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    };
    openAndStart(camera, MODE_CONTINUOUS);
    holding.get_future().wait();
    camera->ICloseCamera();
    closed = true;
    EXPECT_FALSE(simcam::isOpen("MONO-1"));
    const std::size_t count = host.frameCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(host.frameCount(), count);
    host.onFrame = nullptr;
    closed = false;

    ASSERT_EQ(camera->IOpenCamera(), 1);
    camera->m_nReqMode = MODE_SOFT_TRIGGER;
    camera->IStartCamera();
    const std::size_t before = host.frameCount();
    camera->ISendSoftTrigger();
    EXPECT_TRUE(host.waitFrames(before + 1));
}

TEST_F(EndToEnd, DeleteWhileFramesFlowEndsTheCallbacks) {
    option.strCameraName = "baumer MONO-1";
    std::atomic<bool> deleted{false};
    host.onFrame = [&](ICameraObject*) { EXPECT_FALSE(deleted.load()); };
    {
        Camera camera = create(&option, &host);
        openAndStart(camera, MODE_CONTINUOUS);
        ASSERT_TRUE(host.waitFrames(3));
    }
    deleted = true;
    const std::size_t count = host.frameCount();
    EXPECT_FALSE(simcam::isOpen("MONO-1"));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_EQ(host.frameCount(), count);
}

// The host deletes the object from inside its own frame callback: the call
// finishes there and then, and the delivery leaves the object alone after.
TEST_F(EndToEnd, DeleteFromInsideTheCallback) {
    option.strCameraName = "baumer MONO-1";
    ICameraObject* camera = s_create(&option, &host);
    std::promise<void> deleted;
    std::atomic<bool> started{false};
    std::atomic<bool> gone{false};
    std::size_t recorded = 0;
    host.onFrame = [&](ICameraObject* object) {
        EXPECT_FALSE(gone.load()) << "frame after Camera_Delete returned";
        if (started && !gone.exchange(true)) {
            recorded = host.frameCount() + 1;
            s_delete(object);
            deleted.set_value();
        }
    };
    ASSERT_EQ(camera->IOpenCamera(), 1);
    camera->m_nReqMode = MODE_CONTINUOUS;
    ASSERT_EQ(camera->IStartCamera(), 1);
    started = true;
    ASSERT_EQ(deleted.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
    ASSERT_TRUE(host.waitFrames(recorded));
    const std::size_t count = host.frameCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_EQ(host.frameCount(), count);
    EXPECT_FALSE(simcam::isOpen("MONO-1"));
    host.onFrame = nullptr;

    Camera again = create(&option, &host);
    openAndStart(again, MODE_SOFT_TRIGGER);
    again->ISendSoftTrigger();
    EXPECT_TRUE(host.waitFrames(count + 1)) << "the SDK was left in order";
}

TEST_F(EndToEnd, TwoObjectsShareTheSdk) {
    option.strCameraName = "baumer MONO-1";
    tagQZ_CAMERA_OPTION otherOption;
    otherOption.strCameraName = "baumer BAYER-2";
    TestHost otherHost;
    Camera first = create(&option, &host);
    {
        Camera second = create(&otherOption, &otherHost);
        openAndStart(first, MODE_SOFT_TRIGGER);
        openAndStart(second, MODE_SOFT_TRIGGER);
        EXPECT_EQ(second->IEnumAvailableCameras().size(), 2) << "an open camera is still listed";
        second->ISendSoftTrigger();
        second->ISendSoftTrigger();
        ASSERT_TRUE(otherHost.waitFrames(2));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(otherHost.frameCount(), 2u);
        EXPECT_EQ(otherHost.frames()[0].width, 64);
        EXPECT_EQ(host.frameCount(), 0u);
    }
    first->ISendSoftTrigger();
    EXPECT_TRUE(host.waitFrames(1)) << "the first object outlives the second";
}

// Every SDK call on the open and start paths fails once, in turn: the host
// sees the failure value and the report, and a close and reopen work.
TEST_F(EndToEnd, FailureSweepThroughOpenAndStart) {
    option.strCameraName = "baumer MONO-1";
    Camera camera = create(&option, &host);
    simcam::setRecording(true);
    openAndStart(camera, MODE_SOFT_TRIGGER);
    camera->ICloseCamera();
    std::vector<simcam::Call> calls = simcam::recordedCalls();
    simcam::setRecording(false);
    std::set<std::pair<std::string, std::string>> swept;
    int notRepeated = 0;
    for (simcam::Call call : calls) {
        if (call.operation.rfind("Buffer::", 0) == 0) {
            call.object.clear();  // buffers are new on every opening
        }
        if (call.operation.rfind("Image", 0) == 0 ||
            call.operation.find("Close") != std::string::npos ||
            call.operation == "BufferList::Remove" ||
            call.operation == "DataStream::StopAcquisition" ||
            !swept.insert({call.operation, call.object}).second) {
            continue;  // only the open and start paths
        }
        SCOPED_TRACE(call.operation + " on " + call.object);
        log.clear();
        simcam::injectFailure(failOn(call.operation, call.object));
        const int opened = camera->IOpenCamera();
        camera->m_nReqMode = MODE_SOFT_TRIGGER;
        camera->m_nCurMode = 0;  // run the set-up again
        if (opened == 1) {
            camera->IStartCamera();
        }
        const auto critical = log.lines(QtCriticalMsg);
        if (critical.empty()) {
            // Systems and interfaces stay open: their Open is not called again.
            EXPECT_NE(call.operation.find("::Open"), std::string::npos);
            EXPECT_TRUE(opened == 1 && camera->m_bGrabbing);
            ++notRepeated;
        } else if (call.operation == "Device::RegisterDeviceStateEventHandler" ||
                   call.operation == "DataStream::GetStatistics") {
            // Reported; the camera works, only its loss (or the first second's
            // health warning) would go unnoticed.
            EXPECT_TRUE(opened == 1 && camera->m_bGrabbing);
            ASSERT_EQ(critical.size(), 3u);
        } else {
            EXPECT_TRUE(opened == 0 || !camera->m_bGrabbing) << "the failure must show";
            ASSERT_EQ(critical.size(), 3u);
            EXPECT_NE(critical[0].text.find("TestFailure  - CCameraBaumer::"), std::string::npos);
        }
        simcam::clearFailures();

        camera->ICloseCamera();
        ASSERT_EQ(camera->IOpenCamera(), 1);
        camera->m_nReqMode = MODE_SOFT_TRIGGER;
        camera->m_nCurMode = 0;  // ask for the set-up again
        ASSERT_EQ(camera->IStartCamera(), 1);
        ASSERT_TRUE(camera->m_bGrabbing);
        const std::size_t before = host.frameCount();
        camera->ISendSoftTrigger();
        ASSERT_TRUE(host.waitFrames(before + 1));
        camera->ICloseCamera();
    }
    EXPECT_GT(swept.size(), 25u);
    EXPECT_LE(notRepeated, 2);
}
