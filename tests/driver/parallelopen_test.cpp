// Hosts with several cameras create, open and delete driver objects on
// threads of their own; the shared system list must hold up.
#include <future>
#include <thread>

#include "driverfixture.h"

class ParallelOpen : public DriverTest {};

TEST_F(ParallelOpen, DistinctCamerasOpenAndCloseOnTwoThreadsAtOnce) {
    auto cycle = [](const char* name, int rounds, int* opened) {
        TestHost host;
        tagQZ_CAMERA_OPTION option;
        option.strCameraName = name;
        for (int i = 0; i < rounds; ++i) {
            CCameraBaumer camera(&option, &host);
            *opened += camera.IOpenCamera();
            camera.IEnumAvailableCameras();
            camera.ICloseCamera();
        }
    };
    constexpr int kRounds = 300;
    int openedFirst = 0;
    int openedSecond = 0;
    std::thread first(cycle, "baumer CAM1", kRounds, &openedFirst);
    std::thread second(cycle, "baumer CAM2", kRounds, &openedSecond);
    first.join();
    second.join();
    EXPECT_EQ(openedFirst, kRounds);
    EXPECT_EQ(openedSecond, kRounds);
    EXPECT_TRUE(log.lines(QtCriticalMsg).empty());
}

// One object waits in the open of a camera slow to answer; the others go on:
// frames, listing, creating and deleting objects, stopping.
TEST_F(ParallelOpen, SlowOpenOfOneCameraHoldsUpNoOtherObject) {
    simcam::setTopology(simTopology({simCamera("SLOW"), simCamera("CAM2")}));
    CCameraBaumer* streaming = opened("CAM2");
    streaming->m_nReqMode = MODE_CONTINUOUS;
    ASSERT_EQ(streaming->IStartCamera(), 1);
    ASSERT_TRUE(host.waitFrames(1));

    tagQZ_CAMERA_OPTION slowOption;
    slowOption.strCameraName = "baumer SLOW";
    TestHost slowHost;
    CCameraBaumer* slow = make(&slowOption, &slowHost);
    simcam::holdOpens("SLOW");
    struct Release {
        ~Release() { simcam::releaseOpens("SLOW"); }
    } release;
    auto opening = std::async(std::launch::async, [slow] { return slow->IOpenCamera(); });
    ASSERT_TRUE(simcam::waitForHeldOpen("SLOW"));

    const auto inTime = std::chrono::seconds(5);
    const std::size_t before = host.frameCount();
    EXPECT_TRUE(host.waitFrames(before + 5)) << "frames of the other camera stopped";
    auto listing =
        std::async(std::launch::async, [streaming] { return streaming->IEnumAvailableCameras(); });
    ASSERT_EQ(listing.wait_for(inTime), std::future_status::ready) << "listing waited";
    EXPECT_EQ(listing.get().size(), 2);
    auto createAndDelete = std::async(std::launch::async, [this] {
        TestHost other;
        delete new CCameraBaumer(&option, &other);
    });
    EXPECT_EQ(createAndDelete.wait_for(inTime), std::future_status::ready)
        << "creating or deleting an object waited";
    auto stopping = std::async(std::launch::async, [streaming] { streaming->IStopCamera(); });
    EXPECT_EQ(stopping.wait_for(inTime), std::future_status::ready) << "stopping waited";
    EXPECT_NE(opening.wait_for(std::chrono::milliseconds(0)), std::future_status::ready);

    simcam::releaseOpens("SLOW");
    EXPECT_EQ(opening.get(), 1);
}
