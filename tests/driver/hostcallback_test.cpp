// Host calls made from inside the frame callback, and host callbacks that
// throw: nothing is used after it is freed and no buffer is lost.
#include <future>
#include <stdexcept>

#include "driverfixture.h"
#include "eventually.h"

class HostCallback : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        simcam::setTopology(
            simTopology({fastSimCamera("FAST", "Mono8", 64, 64), simCamera("CAM2", "BayerRG8")}));
    }

    // Starts free run and runs `call` from inside the callback of the first
    // frame after IStartCamera returned; waits until that callback is over.
    void fromCallback(CCameraBaumer* camera, const std::function<void(ICameraObject*)>& call) {
        std::promise<void> done;
        std::atomic<bool> started{false};
        std::atomic<bool> once{true};
        std::size_t recorded = 0;
        host.onFrame = [&](ICameraObject* object) {
            if (started && once.exchange(false)) {
                recorded = host.frameCount() + 1;
                call(object);
                done.set_value();
            }
        };
        camera->m_nReqMode = MODE_CONTINUOUS;
        ASSERT_EQ(camera->IStartCamera(), 1);
        started = true;
        ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
        ASSERT_TRUE(host.waitFrames(recorded)) << "the host records the frame once it returns";
        host.onFrame = nullptr;
    }

    // No host call for this long.
    void expectNoMoreFrames() {
        const std::size_t count = host.frameCount();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(host.frameCount(), count);
    }

    // Starts free run. In the first frame's callback waits until fromHost has
    // begun on another thread, gives it time to reach its wait, then runs
    // fromCallback. The host call's result.
    std::future<int> callDuringCallback(CCameraBaumer* camera,
                                        std::function<void(ICameraObject*)> fromCallback,
                                        std::function<int()> fromHost) {
        std::shared_future<void> hostIsCalling = hostCalling.get_future().share();
        host.onFrame = [this, hostIsCalling, fromCallback](ICameraObject* object) {
            if (!firstFrame.exchange(false)) {
                return;
            }
            inCallback.set_value();
            hostIsCalling.wait();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            fromCallback(object);
        };
        camera->m_nReqMode = MODE_CONTINUOUS;
        EXPECT_EQ(camera->IStartCamera(), 1);
        inCallback.get_future().wait();
        return std::async(std::launch::async, [this, fromHost] {
            hostCalling.set_value();
            return fromHost();
        });
    }

    std::promise<void> inCallback;
    std::promise<void> hostCalling;
    std::atomic<bool> firstFrame{true};

    // One software trigger gives one frame.
    void expectSoftwareTriggerWorks(CCameraBaumer* camera) {
        camera->m_nReqMode = MODE_SOFT_TRIGGER;
        ASSERT_EQ(camera->IStartCamera(), 1);
        const std::size_t before = host.frameCount();
        ASSERT_EQ(camera->ISendSoftTrigger(), 1);
        EXPECT_TRUE(host.waitFrames(before + 1));
    }
};

TEST_F(HostCallback, CloseFromInsideTheCallbackEndsFramesAndTheCameraOpensAgain) {
    CCameraBaumer* camera = opened("FAST");
    fromCallback(camera, [](ICameraObject* object) { object->ICloseCamera(); });
    expectNoMoreFrames();
    EXPECT_FALSE(camera->m_bOpened);
    EXPECT_EQ(camera->m_pDevice, nullptr);
    EXPECT_TRUE(eventually([] { return !simcam::isOpen("FAST"); }));

    ASSERT_EQ(camera->IOpenCamera(), 1);
    EXPECT_EQ(bufferCount(camera->m_pDevice), 8u);
    expectSoftwareTriggerWorks(camera);
}

TEST_F(HostCallback, OpenFromInsideTheCallbackSwitchesCameras) {
    CCameraBaumer* camera = opened("FAST");
    int result = -1;
    fromCallback(camera, [&](ICameraObject* object) {
        object->m_pOption->strCameraName = "baumer CAM2";
        result = object->IOpenCamera();
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(eventually([] { return !simcam::isOpen("FAST"); }));
    EXPECT_TRUE(simcam::isOpen("CAM2"));
    expectNoMoreFrames();
    expectSoftwareTriggerWorks(camera);
    EXPECT_EQ(host.frames().back().width, 64);
}

TEST_F(HostCallback, ReopeningTheSameCameraFromInsideTheCallback) {
    CCameraBaumer* camera = opened("FAST");
    int result = -1;
    fromCallback(camera, [&](ICameraObject* object) { result = object->IOpenCamera(); });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(simcam::isOpen("FAST"));
    EXPECT_EQ(bufferCount(camera->m_pDevice), 8u);
    expectSoftwareTriggerWorks(camera);
}

TEST_F(HostCallback, ThrowingCallbackIsReportedAndEveryBufferComesBack) {
    CCameraBaumer* camera = opened("FAST");
    camera->m_nReqMode = MODE_SOFT_TRIGGER;
    ASSERT_EQ(camera->IStartCamera(), 1);
    std::atomic<int> calls{0};
    host.onFrame = [&](ICameraObject*) {
        ++calls;
        throw std::runtime_error("host is broken");
    };
    // More frames than the pool has buffers: each needs the last one back.
    for (int i = 1; i <= 20; ++i) {
        ASSERT_EQ(camera->ISendSoftTrigger(), 1);
        ASSERT_TRUE(eventually([&] { return calls.load() == i; })) << "frame " << i;
    }
    EXPECT_TRUE(eventually([] { return simcam::streamCounters("FAST").queued == 8u; }));
    const auto lines = log.matching(QtCriticalMsg, "host frame callback threw: host is broken");
    EXPECT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines.empty() ? "" : lines[0].text,
              "Unexpected failure: host frame callback threw: host is broken - "
              "CCameraBaumer::BufferReady");
}

// A host thread stops, closes or deletes while the callback gives the camera
// up: the callback waits until the host thread is inside its call.
namespace {
enum class HostGivesUp { Stop, Close, Delete };
enum class CallbackGivesUp { Close, StopThenClose, Open };
}  // namespace

class HostAndCallbackGiveUp
    : public HostCallback,
      public ::testing::WithParamInterface<std::tuple<HostGivesUp, CallbackGivesUp>> {};

TEST_P(HostAndCallbackGiveUp, BothReturnAndNoFrameFollows) {
    const auto [hostCall, callbackCall] = GetParam();
    CCameraBaumer* camera = opened("FAST");
    std::atomic<bool> callbackDone{false};
    auto call = callDuringCallback(
        camera,
        [&, callbackCall = callbackCall](ICameraObject* object) {
            if (callbackCall == CallbackGivesUp::StopThenClose) {
                object->IStopCamera();
            }
            if (callbackCall == CallbackGivesUp::Open) {
                object->IOpenCamera();
            } else {
                object->ICloseCamera();
            }
            callbackDone = true;
        },
        [camera, hostCall = hostCall] {
            if (hostCall == HostGivesUp::Stop) {
                camera->IStopCamera();
            } else if (hostCall == HostGivesUp::Close) {
                camera->ICloseCamera();
            } else {
                camera->destroy();
            }
            return 1;
        });
    ASSERT_EQ(call.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "the host call and the callback wait for each other";
    EXPECT_TRUE(callbackDone.load()) << "the host call returned while its callback ran";
    if (hostCall == HostGivesUp::Delete) {
        objects.back().release();  // deleted through the host's call
        objects.pop_back();
    } else {
        expectNoMoreFrames();
        EXPECT_NE(camera->state(), DriverState::Grabbing);
        if (hostCall == HostGivesUp::Stop || callbackCall == CallbackGivesUp::StopThenClose) {
            EXPECT_FALSE(camera->m_bGrabbing);  // a close alone leaves it as it was
        }
    }
    host.onFrame = nullptr;
}

INSTANTIATE_TEST_SUITE_P(EveryPair, HostAndCallbackGiveUp,
                         ::testing::Combine(::testing::Values(HostGivesUp::Stop, HostGivesUp::Close,
                                                              HostGivesUp::Delete),
                                            ::testing::Values(CallbackGivesUp::Close,
                                                              CallbackGivesUp::StopThenClose,
                                                              CallbackGivesUp::Open)));

// The callback deletes its object while another thread holds the lifecycle
// turn (here reopening, which waits for this callback): that thread finishes
// the deletion once its own call is done.
TEST_F(HostCallback, DeletionLeftByTheCallbackIsFinishedByTheThreadHoldingTheTurn) {
    CCameraBaumer* camera = opened("FAST");
    objects.back().release();  // deleted by the test's own calls
    objects.pop_back();
    auto reopen = callDuringCallback(
        camera, [camera](ICameraObject*) { camera->destroy(); },
        [camera] { return camera->IOpenCamera(); });
    ASSERT_EQ(reopen.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(reopen.get(), 1);
    EXPECT_TRUE(eventually([] { return !simcam::isOpen("FAST"); })) << "the object was not deleted";
    expectNoMoreFrames();
    host.onFrame = nullptr;
}
