// The tools' lost-frame count from camera frame ids: wraps and restarts are
// not loss, real gaps are.
#include <gtest/gtest.h>

#include "frameidgaps.h"

namespace {

using Clock = FrameIdGaps::Clock;
using std::chrono::milliseconds;

// Feeds ids 10 ms apart (unless told otherwise) and adds up what is missing.
class Feed {
public:
    std::uint64_t ids(std::uint64_t first, std::uint64_t last) {
        std::uint64_t missing = 0;
        for (std::uint64_t id = first; id <= last; ++id) {
            missing += next(static_cast<std::uint32_t>(id));
        }
        return missing;
    }
    std::uint64_t next(std::uint32_t id, milliseconds after = milliseconds(10)) {
        now += after;
        return gaps.missingBefore(id, now);
    }
    FrameIdGaps gaps;
    Clock::time_point now{};
};

}  // namespace

TEST(FrameIdGaps, CountsTheIdsSkippedBetweenFrames) {
    Feed feed;
    EXPECT_EQ(feed.ids(100, 120), 0u);
    EXPECT_EQ(feed.next(124, milliseconds(40)), 3u);
    EXPECT_EQ(feed.next(125), 0u);
    EXPECT_EQ(feed.gaps.restarts(), 0u);
}

TEST(FrameIdGaps, SixteenBitIdsWrapPastZeroWithoutLoss) {
    Feed feed;
    EXPECT_EQ(feed.ids(65401, 65535), 0u);  // as Aravis's simulated camera counts
    EXPECT_EQ(feed.ids(1, 20), 0u);
    EXPECT_EQ(feed.gaps.restarts(), 0u);
    // Frames lost across the wrap still count: 65534, 65535 and 1.
    Feed lossy;
    lossy.ids(65500, 65533);
    EXPECT_EQ(lossy.next(2, milliseconds(40)), 3u);
}

TEST(FrameIdGaps, ThirtyTwoBitIdsWrapToZeroWithoutLoss) {
    Feed feed;
    EXPECT_EQ(feed.ids(4294967290u, 4294967295u), 0u);
    EXPECT_EQ(feed.ids(0, 10), 0u);
    EXPECT_EQ(feed.gaps.restarts(), 0u);
}

TEST(FrameIdGaps, RestartedCameraIsNotLoss) {
    // Two seconds after frame 16 the restarted camera counts from 65401 again.
    Feed feed;
    feed.ids(65401, 65535);
    feed.ids(1, 16);
    EXPECT_EQ(feed.next(65401, milliseconds(2000)), 0u);
    EXPECT_EQ(feed.gaps.restarts(), 1u);
    EXPECT_EQ(feed.ids(65402, 65410), 0u);
    // A camera whose numbering starts again from the beginning.
    Feed fromOne;
    fromOne.ids(1000, 1100);
    EXPECT_EQ(fromOne.next(1, milliseconds(3000)), 0u);
    EXPECT_EQ(fromOne.gaps.restarts(), 1u);
}

TEST(FrameIdGaps, LongGapIsLossWhenThatManyFramesFitTheTime) {
    Feed feed;
    feed.ids(1, 50);  // 100 frames a second
    // Five seconds without frames: 500 frames could have been sent.
    EXPECT_EQ(feed.next(551, milliseconds(5000)), 500u);
    // 5000 ids in one second cannot be frames at that rate.
    EXPECT_EQ(feed.next(5552, milliseconds(1000)), 0u);
    EXPECT_EQ(feed.gaps.restarts(), 1u);
    feed.gaps.reset();
    EXPECT_EQ(feed.next(9), 0u);
    EXPECT_EQ(feed.gaps.restarts(), 0u);
}
