#include <gtest/gtest.h>

#include <cstring>

#include "streamharness.h"

using BGAPI2::Exceptions::IException;

TEST_F(StreamTest, BufferIsSizedForThePayloadAndFilledWithThePattern) {
    prepare(simCamera("A", "Mono8", 64, 48));
    EXPECT_EQ(owned[0]->GetMemSize(), 64u * 48u);
    start("On", "Software");
    device->GetRemoteNode("TriggerSoftware")->Execute();
    ASSERT_TRUE(waitSeen(1));
    BGAPI2::Buffer* buffer = seen[0].buffer;
    EXPECT_EQ(buffer->GetWidth(), 64u);
    EXPECT_EQ(buffer->GetHeight(), 48u);
    EXPECT_STREQ(buffer->GetPixelFormat(), "Mono8");
    const auto* pixels = static_cast<const unsigned char*>(buffer->GetMemPtr());
    EXPECT_EQ(pixels[0], 255) << "white bar at the top left";
    EXPECT_EQ(pixels[63], 0) << "black bar at the top right";
    EXPECT_EQ(pixels[47 * 64 + 63], 255) << "end of the grey ramp";
    EXPECT_EQ(pixels[47 * 64], 0) << "start of the grey ramp";
}

TEST_F(StreamTest, SoftwareTriggerMakesExactlyOneFrameOnTheDeliveryThread) {
    simcam::CameraConfig camera = simCamera("A");
    camera.firstFrameId = 4294967294ull;
    prepare(camera);
    start("On", "Software");
    for (int i = 0; i < 5; ++i) {
        device->GetRemoteNode("TriggerSoftware")->Execute();
        ASSERT_TRUE(waitSeen(static_cast<std::size_t>(i + 1)));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(seenCount(), 5u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].frameId, 4294967294ull + i) << "ids count up past 32 bits";
        EXPECT_NE(seen[i].thread, std::this_thread::get_id());
    }
}

TEST_F(StreamTest, LinePulsesTriggerOnlyInHardwareMode) {
    prepare(simCamera("A"));
    start("On", "Line0");
    device->GetRemoteNode("TriggerSoftware")->Execute();  // ignored: waits for the line
    simcam::pulseLine("A");
    simcam::pulseLine("A");
    ASSERT_TRUE(waitSeen(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(seenCount(), 2u);
}

TEST_F(StreamTest, FramesWithoutAQueuedBufferAreCountedLost) {
    prepare(simCamera("A"), 2);
    action = [](BGAPI2::Buffer*) {};  // the handler keeps every buffer
    start("On", "Software");
    for (int i = 0; i < 5; ++i) {
        device->GetRemoteNode("TriggerSoftware")->Execute();
    }
    ASSERT_TRUE(waitSeen(2));
    const simcam::StreamCounters counters = simcam::streamCounters("A");
    EXPECT_EQ(counters.produced, 5u);
    EXPECT_EQ(counters.lost, 3u);
    EXPECT_EQ(counters.queued, 0u);
}

TEST_F(StreamTest, FreeRunCirculatesEveryBufferWithoutLoss) {
    simcam::CameraConfig camera = simCamera("A");
    camera.frameRate = 0;  // one frame per queued buffer
    prepare(camera);
    start();
    ASSERT_TRUE(waitSeen(2000, 20000));
    stream->StopAcquisition();
    const simcam::StreamCounters counters = simcam::streamCounters("A");
    EXPECT_EQ(counters.lost, 0u);
    std::set<BGAPI2::Buffer*> used;
    for (const auto& s : seen)
        used.insert(s.buffer);
    EXPECT_EQ(used.size(), 8u);
    for (std::size_t i = 1; i < seen.size(); ++i) {
        ASSERT_EQ(seen[i].frameId, seen[i - 1].frameId + 1) << "delivered in order";
    }
}

TEST_F(StreamTest, RegisteringAgainReplacesTheHandler) {
    prepare(simCamera("A"));
    static std::atomic<int> otherCalls{0};
    otherCalls = 0;
    stream->RegisterNewBufferEventHandler(nullptr, [](void*, BGAPI2::Buffer* buffer) {
        ++otherCalls;
        buffer->QueueBuffer();
    });
    start("On", "Software");
    device->GetRemoteNode("TriggerSoftware")->Execute();
    for (int i = 0; i < 1000 && otherCalls == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(otherCalls, 1);
    EXPECT_EQ(seenCount(), 0u);
}

TEST_F(StreamTest, ShapedFramesReportTheirFormatIdSizeAndShortPayload) {
    prepare(simCamera("A", "Mono8", 64, 48));
    start("On", "Software");
    simcam::FrameShape shape;
    shape.pixelFormat = "Mon";
    shape.frameId = 1ull << 40;
    shape.width = 32;
    shape.height = 16;
    shape.payload = 100;
    simcam::shapeNextFrames("A", shape);
    device->GetRemoteNode("TriggerSoftware")->Execute();
    device->GetRemoteNode("TriggerSoftware")->Execute();
    ASSERT_TRUE(waitSeen(2));
    EXPECT_STREQ(seen[0].buffer->GetPixelFormat(), "Mon");
    EXPECT_EQ(seen[0].frameId, 1ull << 40);
    EXPECT_EQ(seen[0].buffer->GetWidth(), 32u);
    EXPECT_EQ(seen[0].buffer->GetMemSize(), 100u);
    EXPECT_EQ(seen[1].frameId, (1ull << 40) + 1) << "ids go on from the shaped one";
}

TEST_F(StreamTest, QueueingTwiceAndUsingADetachedBufferFail) {
    prepare(simCamera("A"), 1);
    EXPECT_SDK_FAILURE(owned[0]->QueueBuffer(), BGAPI2::Exceptions::ResourceInUseException);
    stream->GetBufferList()->Remove(owned[0].get());
    EXPECT_EQ(stream->GetBufferList()->size(), 0u);
    EXPECT_SDK_FAILURE(owned[0]->QueueBuffer(), IException);
    EXPECT_SDK_FAILURE(owned[0]->GetMemPtr(), IException);
}
