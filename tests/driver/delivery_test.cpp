// Frames from the SDK's delivery thread to the host: pass-through or BGR8,
// frame fields, and the buffers going back to the stream.
#include <future>

#include "driverfixture.h"
#include "eventually.h"

class Delivery : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        simcam::CameraConfig mono = simCamera("MONO", "Mono8", 64, 48);
        simcam::CameraConfig colour =
            simCamera("COL", "BGR8", 64, 48);  // room for any 8-bit format
        simcam::setTopology(simTopology({mono, colour, fastSimCamera("FAST", "Mono8", 64, 64)}));
    }

    // Opens the camera in software-trigger mode.
    CCameraBaumer* started(const char* serial) {
        CCameraBaumer* camera = opened(serial);
        camera->m_nReqMode = MODE_SOFT_TRIGGER;
        EXPECT_EQ(camera->IStartCamera(), 1);
        EXPECT_TRUE(camera->m_bGrabbing);
        return camera;
    }

    // Fires one trigger with the next frame shaped to this format; true when
    // the host saw it.
    bool frameAs(CCameraBaumer* camera, const char* format, std::uint64_t frameId = 1) {
        simcam::FrameShape shape;
        shape.pixelFormat = std::string(format);
        shape.frameId = frameId;
        simcam::shapeNextFrames(serialOf(camera), shape);
        const std::size_t before = host.frameCount();
        triggerAndWait(camera);
        return host.frameCount() > before;
    }

    // Fires one trigger and waits until the handler call for it returned,
    // which the stream counts as a delivery.
    void triggerAndWait(CCameraBaumer* camera) {
        const std::string serial = serialOf(camera);
        const std::uint64_t handled = simcam::streamCounters(serial).delivered;
        camera->ISendSoftTrigger();
        for (int i = 0; i < 5000 && simcam::streamCounters(serial).delivered == handled; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    static std::string serialOf(CCameraBaumer* camera) {
        return camera->m_pDevice->GetSerialNumber().get();
    }
};

TEST_F(Delivery, PassThroughFormatsReachTheHostInTheSdkBuffer) {
    CCameraBaumer* camera = started("COL");
    const std::set<const void*> memory = bufferMemory(camera);
    for (const char* format : {"Mono8", "Mono10", "Mono12", "Mono16", "RGB8", "RGB8Packed"}) {
        ASSERT_TRUE(frameAs(camera, format)) << format;
        EXPECT_EQ(memory.count(host.frames().back().data), 1u) << format << " was copied";
    }
}

TEST_F(Delivery, OtherFormatsAreConvertedToBgr8) {
    CCameraBaumer* camera = started("COL");
    const std::set<const void*> memory = bufferMemory(camera);
    for (const char* format : {"BGR8", "BayerRG8", "YUV422Packed", "BGR8Packed"}) {
        ASSERT_TRUE(frameAs(camera, format)) << format;
        const TestHost::Frame frame = host.frames().back();
        EXPECT_EQ(memory.count(frame.data), 0u) << format;
        EXPECT_EQ(frame.width, 64);
        EXPECT_EQ(frame.height, 48);
    }
    // The top-left pixels of the test picture are white in every format.
    simcam::FrameShape plain;
    plain.count = 0;
    simcam::shapeNextFrames("COL", plain);
    camera->ISendSoftTrigger();
    ASSERT_TRUE(host.waitFrames(5));
    const TestHost::Frame frame = host.frames().back();
    EXPECT_EQ(frame.head[0], 255);
    EXPECT_EQ(frame.head[4], 255);
    EXPECT_EQ(camera->m_nImageFormat, None) << "BGR8 is not in the format table";
}

TEST_F(Delivery, ShortNamesAndUnknownFormatsAreNotDeliveredButTheBufferReturns) {
    CCameraBaumer* camera = started("COL");
    for (const char* format : {"Mon", "RGB", "", "Mono", "YUV411"}) {
        log.clear();
        const bool delivered = frameAs(camera, format);
        if (std::string(format) == "Mono") {
            EXPECT_TRUE(delivered) << "begins with Mono";
            continue;
        }
        EXPECT_FALSE(delivered) << format;
        expectReport("BufferReady", "InvalidParameterException",
                     std::string("unknown pixel format '") + format + "'",
                     "ImageProcessor::CreateImage");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(simcam::streamCounters("COL").queued, 8u) << "no buffer was kept";
}

TEST_F(Delivery, ShortPayloadIsRefusedNotReadPastItsEnd) {
    CCameraBaumer* camera = started("COL");
    simcam::FrameShape shape;
    shape.pixelFormat = std::string("BayerRG8");
    shape.payload = 100;
    simcam::shapeNextFrames("COL", shape);
    triggerAndWait(camera);
    EXPECT_EQ(host.frameCount(), 0u);
    expectReport("BufferReady", "InvalidParameterException",
                 "memory of 100 bytes is shorter than the 3072 bytes the image needs",
                 "ImageProcessor::CreateImage");
    EXPECT_EQ(simcam::streamCounters("COL").queued, 8u);
}

// A host reads width x height samples of a pass-through frame: a buffer
// shorter than that is not handed over.
TEST_F(Delivery, ShortPassThroughFrameIsNotHandedOver) {
    CCameraBaumer* camera = started("COL");
    simcam::FrameShape shape;
    shape.pixelFormat = std::string("Mono16");
    shape.payload = 64 * 48 * 2 - 1;
    simcam::shapeNextFrames("COL", shape);
    triggerAndWait(camera);
    EXPECT_EQ(host.frameCount(), 0u);
    const auto lines = log.lines(QtCriticalMsg);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text,
              "\"Baumer camera(COL): a 64x48 Mono16 frame needs 6144 bytes, the buffer holds "
              "6143; not delivered.\"  -  CCameraBaumer::BufferReady");
    EXPECT_EQ(simcam::streamCounters("COL").queued, 8u);
    // Exactly enough is delivered, and so is a name the plug-in has no size for.
    shape.payload = 64 * 48 * 2;
    simcam::shapeNextFrames("COL", shape);
    triggerAndWait(camera);
    EXPECT_EQ(host.frameCount(), 1u);
    shape.pixelFormat = std::string("MonoUnknown");
    shape.payload = 16;
    simcam::shapeNextFrames("COL", shape);
    triggerAndWait(camera);
    EXPECT_EQ(host.frameCount(), 2u);
}

TEST_F(Delivery, FrameFieldsAreWrittenBeforeTheHostIsCalled) {
    CCameraBaumer* camera = started("MONO");
    camera->m_nFrameStatus = 77;
    ASSERT_TRUE(frameAs(camera, "Mono8", (1ull << 32) + 5));
    const TestHost::Frame frame = host.frames().back();
    EXPECT_EQ(frame.frameId, 5u) << "low 32 bits of the SDK's id";
    EXPECT_EQ(frame.status, 0);
    EXPECT_EQ(frame.width, 64);
    EXPECT_EQ(frame.height, 48);
    EXPECT_NE(frame.thread, std::this_thread::get_id());
    EXPECT_EQ(frame.head[0], 255);
    EXPECT_EQ(camera->m_nFrameId, 5u) << "fields keep the last frame";
}

TEST_F(Delivery, ImagesAreReleasedThenTheBufferQueuedAfterTheHostReturns) {
    CCameraBaumer* camera = started("COL");
    simcam::setRecording(true);
    std::atomic<std::size_t> mark{0};
    host.onFrame = [&](ICameraObject*) { mark = simcam::recordedCalls().size(); };
    ASSERT_TRUE(frameAs(camera, "BayerRG8"));
    host.onFrame = nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto calls = simcam::recordedCalls();
    const std::size_t firstRelease = findCall(calls, "Image::Release", mark);
    const std::size_t secondRelease = findCall(calls, "Image::Release", firstRelease + 1);
    const std::size_t queued = findCall(calls, "Buffer::QueueBuffer", mark);
    EXPECT_LT(findCall(calls, "Image::TransformImage"), mark.load());
    ASSERT_LT(firstRelease, secondRelease);
    ASSERT_LT(secondRelease, queued);
    ASSERT_LT(queued, calls.size());
    EXPECT_EQ(calls[firstRelease].object, "BayerRG8") << "source image first";
    EXPECT_EQ(calls[secondRelease].object, "BGR8");
}

TEST_F(Delivery, FailedConversionsReleaseImagesAndKeepThePoolFull) {
    CCameraBaumer* camera = started("COL");
    simcam::Failure failure = failOn("Image::GetBuffer");
    failure.always = true;
    simcam::injectFailure(failure);
    simcam::setRecording(true);
    for (int i = 0; i < 20; ++i) {
        EXPECT_FALSE(frameAs(camera, "BayerRG8", static_cast<std::uint64_t>(i)));
    }
    EXPECT_EQ(host.frameCount(), 0u);
    EXPECT_EQ(log.lines(QtCriticalMsg).size(), 60u);
    EXPECT_EQ(countCalls("Image::Release"), 40) << "both images of every frame";
    simcam::clearFailures();
    EXPECT_TRUE(frameAs(camera, "BayerRG8")) << "the stream was not starved";
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(simcam::streamCounters("COL").queued, 8u);
}

// An image whose release failed is not released again.
TEST_F(Delivery, FailedReleaseIsNotTriedTwice) {
    CCameraBaumer* camera = started("COL");
    simcam::setRecording(true);
    simcam::injectFailure(failOn("Image::Release"));
    ASSERT_TRUE(frameAs(camera, "BayerRG8"));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(countCalls("Image::Release"), 2) << "each image once";
    EXPECT_EQ(countCalls("Buffer::QueueBuffer"), 1);
    expectReportOf("BufferReady", "Image::Release");
    EXPECT_NE(log.lines(QtCriticalMsg)[0].function.find("BufferReady"), std::string::npos);
}

// Out of memory while converting: one line, no frame, the buffer goes back.
TEST_F(Delivery, FailureOutsideTheSdkCostsTheFrameNotTheBuffer) {
    CCameraBaumer* camera = started("COL");
    simcam::Failure failure = failOn("ImageProcessor::CreateImage");
    failure.kind = simcam::FailureKind::OutOfMemory;
    simcam::injectFailure(failure);
    EXPECT_FALSE(frameAs(camera, "BayerRG8"));
    const auto lines = log.lines(QtCriticalMsg);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "Unexpected failure: std::bad_alloc - CCameraBaumer::BufferReady");
    EXPECT_TRUE(frameAs(camera, "BayerRG8"));
    EXPECT_TRUE(eventually([] { return simcam::streamCounters("COL").queued == 8u; }));
}

// Without an image processor only pass-through frames reach the host; the
// others are refused with one line per opening, and their buffers go back.
TEST_F(Delivery, NoImageProcessorRefusesConversionFramesCleanly) {
    simcam::injectFailure(failOn("ImageProcessor::GetInstance"));
    CCameraBaumer* camera = started("COL");
    EXPECT_EQ(camera->m_pImageProcessor, nullptr);
    log.clear();
    for (int i = 0; i < 10; ++i) {
        EXPECT_FALSE(frameAs(camera, "BayerRG8"));
    }
    EXPECT_TRUE(frameAs(camera, "Mono8"));
    const auto lines = log.lines(QtCriticalMsg);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text,
              "\"Baumer camera(COL): no image processor, frames in BayerRG8 are not "
              "delivered.\"  -  CCameraBaumer::BufferReady");
    EXPECT_TRUE(eventually([] { return simcam::streamCounters("COL").queued == 8u; }));
}

TEST_F(Delivery, FailedRequeueIsReported) {
    CCameraBaumer* camera = started("MONO");
    simcam::injectFailure(failOn("Buffer::QueueBuffer"));
    ASSERT_TRUE(frameAs(camera, "Mono8"));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    expectReportOf("BufferReady", "Buffer::QueueBuffer");
    EXPECT_EQ(log.lines(QtCriticalMsg).size(), 3u) << "reported once, not queued twice";
}

TEST_F(Delivery, EveryBufferCirculatesWithNoFrameLost) {
    CCameraBaumer* camera = opened("FAST");
    camera->m_nReqMode = MODE_CONTINUOUS;
    camera->IStartCamera();
    ASSERT_TRUE(host.waitFrames(3000, 30000));
    camera->IStopCamera();
    std::set<const unsigned char*> seen;
    const auto frames = host.frames();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        seen.insert(frames[i].data);
        if (i > 0) {
            ASSERT_EQ(frames[i].frameId, frames[i - 1].frameId + 1);
        }
    }
    EXPECT_EQ(seen.size(), 8u);
    EXPECT_EQ(simcam::streamCounters("FAST").lost, 0u);
}

TEST_F(Delivery, StopFromInsideTheHostCallback) {
    CCameraBaumer* camera = opened("FAST");
    std::promise<void> stopped;
    std::atomic<bool> started{false};
    std::atomic<bool> once{true};
    host.onFrame = [&](ICameraObject* object) {
        // A host stops once its own IStartCamera has returned.
        if (started && once.exchange(false)) {
            object->IStopCamera();
            stopped.set_value();
        }
    };
    camera->m_nReqMode = MODE_CONTINUOUS;
    camera->IStartCamera();
    started = true;
    ASSERT_EQ(stopped.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
    // The stopping call returns once its buffer went back to the stream.
    for (int i = 0; i < 5000 && simcam::streamCounters("FAST").held != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::size_t count = host.frameCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(host.frameCount(), count);
    EXPECT_FALSE(camera->m_bGrabbing);
    EXPECT_EQ(simcam::streamCounters("FAST").queued, 8u);
}

TEST_F(Delivery, BuffersReleasedWhileFramesFlow) {
    CCameraBaumer* camera = opened("FAST");
    camera->m_nReqMode = MODE_CONTINUOUS;
    camera->IStartCamera();
    ASSERT_TRUE(host.waitFrames(100));
    EXPECT_EQ(camera->clearDeviceDataStream(camera->m_pDevice), 1);
    EXPECT_EQ(bufferCount(camera->m_pDevice), 0u);
    const std::size_t count = host.frameCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(host.frameCount(), count);
}
