// Stream health warnings: frames lost or damaged, with the likely cause.
#include <chrono>
#include <thread>

#include "driverfixture.h"
#include "eventually.h"

using namespace std::chrono_literals;

TEST(StreamHealthReview, NamesTheCauseAndCountsOnlyWhatIsNew) {
    StreamHealth health;
    const auto t0 = StreamHealth::Clock::time_point{} + 100s;
    BGAPI2::StreamStatistics counters;
    counters.delivered = 10;
    EXPECT_TRUE(health.review(&health, counters, t0).isEmpty()) << "first look sets the base";

    // Damaged frames and missing packets, a quick host: the transport.
    for (int i = 0; i < 10; ++i)
        health.frameDone(1ms, t0 + 100ms);
    counters.delivered = 20;
    counters.incomplete = 5;
    counters.missingPackets = 40;
    counters.resentPackets = 3;
    EXPECT_EQ(health.review(&health, counters, t0 + 1s).toStdString(),
              "0 frames lost, 5 incomplete of 15 in 1.0 s; likely cause: transport loss (40 "
              "packets missing, 3 resent)");
    EXPECT_TRUE(health.review(&health, counters, t0 + 2s).isEmpty()) << "nothing new";

    // Frames with no free buffer, a host slower than the camera's period.
    for (int i = 0; i < 10; ++i)
        health.frameDone(50ms, t0 + 2500ms);
    counters.delivered = 30;
    counters.lost = 30;
    const std::string slow = health.review(&health, counters, t0 + 3s).toStdString();
    EXPECT_EQ(slow.rfind("30 frames lost, 0 incomplete of 40 in 1.0 s; likely cause: host callback "
                         "slower than the camera (50.00 ms per frame against a frame period of "
                         "25.00 ms)",
                         0),
              0u)
        << slow;

    // Counters that went back (the stream was opened again) start a new base.
    counters = BGAPI2::StreamStatistics();
    EXPECT_TRUE(health.review(&health, counters, t0 + 4s).isEmpty());
}

// Counted from the start of acquisition, the first review warns of frames
// lost in the first second; the stream's counts from before do not count.
TEST(StreamHealthReview, FirstSecondCountsFromTheStart) {
    StreamHealth health;
    const auto t0 = StreamHealth::Clock::time_point{} + 100s;
    BGAPI2::StreamStatistics counters;
    counters.lost = 7;  // an earlier acquisition on the same stream
    health.started(&health, counters, t0);
    counters.delivered = 90;
    counters.lost = 17;
    const std::string first = health.review(&health, counters, t0 + 1s).toStdString();
    EXPECT_EQ(first.rfind("10 frames lost, 0 incomplete of 100 in 1.0 s", 0), 0u) << first;
}

TEST(StreamHealthReview, LooksAtMostOnceASecond) {
    StreamHealth health;
    const auto t0 = StreamHealth::Clock::time_point{} + 100s;
    EXPECT_FALSE(health.frameDone(1ms, t0));
    EXPECT_FALSE(health.frameDone(1ms, t0 + 999ms));
    EXPECT_TRUE(health.frameDone(1ms, t0 + 1s));
    health.review(&health, {}, t0 + 1s);
    EXPECT_FALSE(health.frameDone(1ms, t0 + 1500ms));
}

class StreamHealthWarning : public DriverTest {};

// A host that takes 20 ms per frame from a 200 fps camera loses frames: the
// warning says so, names the host as the cause, and comes once a second.
TEST_F(StreamHealthWarning, SlowHostIsNamedAtMostOnceASecond) {
    CCameraBaumer* camera = opened();
    host.onFrame = [](ICameraObject*) { std::this_thread::sleep_for(20ms); };
    camera->m_nReqMode = MODE_CONTINUOUS;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(camera->IStartCamera(), 1);
    ASSERT_TRUE(eventually(
        [&] { return log.matching(QtWarningMsg, "Baumer camera(CAM1) stream:").size() >= 2; },
        8000));
    camera->IStopCamera();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto warnings = log.matching(QtWarningMsg, "Baumer camera(CAM1) stream:");
    EXPECT_LE(warnings.size(), static_cast<std::size_t>(seconds) + 1);
    EXPECT_NE(warnings.back().text.find("likely cause: host callback slower than the camera"),
              std::string::npos)
        << warnings.back().text;
    EXPECT_GT(simcam::streamCounters("CAM1").lost, 0u);
}

TEST_F(StreamHealthWarning, QuickHostHearsNothing) {
    CCameraBaumer* camera = opened();
    camera->m_nReqMode = MODE_CONTINUOUS;
    ASSERT_EQ(camera->IStartCamera(), 1);
    ASSERT_TRUE(host.waitFrames(500, 10000));  // two and a half seconds at 200 fps
    camera->IStopCamera();
    EXPECT_TRUE(log.matching(QtWarningMsg, "stream:").empty());
}

// Counters the SDK cannot give are reported like any SDK failure; the frames
// and their buffers are not affected.
TEST_F(StreamHealthWarning, FailingCountersAreReportedAndFramesGoOn) {
    CCameraBaumer* camera = opened();
    simcam::Failure failure = failOn("DataStream::GetStatistics");
    failure.always = true;
    simcam::injectFailure(failure);
    camera->m_nReqMode = MODE_CONTINUOUS;
    ASSERT_EQ(camera->IStartCamera(), 1);
    EXPECT_TRUE(camera->m_bGrabbing) << "the start goes on without the counters";
    expectReportOf("startDeviceDataStream", "DataStream::GetStatistics");
    ASSERT_TRUE(eventually([&] { return log.lines(QtCriticalMsg).size() > 3; }, 5000));
    const std::size_t before = host.frameCount();
    ASSERT_TRUE(host.waitFrames(before + 50));
    camera->IStopCamera();
    expectReportOf("BufferReady", "DataStream::GetStatistics", 3);
    EXPECT_EQ(simcam::streamCounters("CAM1").queued,
              std::uint64_t{CCameraBaumer::kBuffersPerStream});
}
