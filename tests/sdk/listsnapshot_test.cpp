// Hosts that only look (the tools) read the lists while the plug-in
// refreshes them on another thread, and must not make a system list.
#include <atomic>
#include <thread>

#include "sdkfixture.h"

class ListSnapshot : public SdkTest {};

TEST_F(ListSnapshot, DevicesAndCountersStayReadableWhileAnotherThreadRefreshes) {
    simcam::setTopology(simTopology({simCamera("A"), simCamera("B")}));
    BGAPI2::Device* device = openFirstDevice();
    BGAPI2::System* system = BGAPI2::SystemList::GetInstance()->begin()->second;
    BGAPI2::Interface* iface = system->GetInterfaces()->begin()->second;
    device->GetDataStreams()->Refresh();
    std::atomic<bool> done{false};
    std::thread refresher([&] {
        for (int i = 0; i < 2000; ++i) {
            BGAPI2::SystemList::GetInstance()->Refresh();
            system->GetInterfaces()->Refresh(100);
            iface->GetDevices()->Refresh(100);
            device->GetDataStreams()->Refresh();
        }
        done = true;
    });
    int reads = 0;
    while (!done.load()) {
        const auto listed = BGAPI2::SystemList::ListedDevices();
        ASSERT_EQ(listed.size(), 2u);
        EXPECT_EQ(std::string(listed[0].serial.get()), "A");
        EXPECT_TRUE(listed[0].open);
        EXPECT_FALSE(listed[1].open);
        EXPECT_EQ(device->GetStreamStatistics().delivered, 0u);
        ++reads;
    }
    refresher.join();
    EXPECT_GT(reads, 0);
}

TEST_F(ListSnapshot, NoSystemListIsMadeForALook) {
    simcam::setTopology(simTopology({simCamera("A")}));
    refreshedList();
    BGAPI2::SystemList::ReleaseInstance();
    simcam::setRecording(true);
    EXPECT_TRUE(BGAPI2::SystemList::ListedDevices().empty());
    for (const auto& call : simcam::recordedCalls()) {
        EXPECT_NE(call.operation, "SystemList::GetInstance");
    }
}
