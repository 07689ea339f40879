// Many open/start/stop/close cycles through the plug-in: threads, file
// descriptors and memory afterwards are what they were before.
// QZCAM_SOAK_CYCLES sets the number of cycles (600 by default).
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>

#include "pluginhost.h"
#include "simcam/simcam.h"
#include "simtopology.h"

namespace {

std::size_t entriesIn(const char* directory) {
    std::size_t count = 0;
    if (DIR* dir = opendir(directory)) {
        while (dirent* entry = readdir(dir)) {
            count += entry->d_name[0] != '.';
        }
        closedir(dir);
    }
    return count;
}

struct Usage {
    std::size_t threads = entriesIn("/proc/self/task");
    std::size_t descriptors = entriesIn("/proc/self/fd");
    long residentKiB = [] {
        long pages = 0;
        long resident = 0;
        std::ifstream("/proc/self/statm") >> pages >> resident;
        return resident * (sysconf(_SC_PAGESIZE) / 1024);
    }();
};

int soakCycles() {
    const char* text = std::getenv("QZCAM_SOAK_CYCLES");
    const int cycles = text != nullptr ? std::atoi(text) : 0;
    return cycles > 0 ? cycles : 600;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMeasuresMemory = false;  // sanitizers keep memory of their own
#else
constexpr bool kMeasuresMemory = true;
#endif

// Counts frames and keeps nothing, so that its own memory stays flat.
class CountingHost : public IPoolCallback {
public:
    int OnFrameReady(ICameraObject*) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_frames;
        }
        m_cv.notify_all();
        return 0;
    }
    bool waitFrames(std::size_t count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(5), [&] { return m_frames >= count; });
    }
    std::size_t frameCount() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::size_t m_frames = 0;
};

}  // namespace

class Soak : public PluginHost {
protected:
    void SetUp() override {
        simcam::reset();
        simcam::setTopology(simTopology({fastSimCamera("FAST", "BayerRG8")}));
        option.strCameraName = "baumer FAST";
    }
    void TearDown() override { simcam::reset(); }

    // One cycle; every tenth also makes a new object (and so a new SDK).
    void cycle(ICameraObject*& camera, int index) {
        if (camera == nullptr) {
            camera = s_create(&option, &host);
        }
        ASSERT_EQ(camera->IOpenCamera(), 1) << "cycle " << index;
        const std::size_t before = host.frameCount();
        camera->m_nReqMode = index % 2 == 0 ? MODE_CONTINUOUS : MODE_SOFT_TRIGGER;
        ASSERT_EQ(camera->IStartCamera(), 1);
        if (camera->m_nReqMode == MODE_SOFT_TRIGGER) {
            camera->ISendSoftTrigger();
        }
        ASSERT_TRUE(host.waitFrames(before + (index % 2 == 0 ? 10 : 1))) << "cycle " << index;
        camera->IStopCamera();
        camera->ICloseCamera();
        camera->m_nCurMode = 0;  // the next start sets its mode up again
        if (index % 10 == 9) {
            s_delete(camera);
            camera = nullptr;
        }
    }

    tagQZ_CAMERA_OPTION option;
    CountingHost host;
};

// Memory is compared between the middle and the end, so that pools and
// caches filled by the first cycles do not count while anything that grows
// with each cycle does.
TEST_F(Soak, CyclesLeaveNoThreadsDescriptorsOrMemoryBehind) {
    ICameraObject* camera = nullptr;
    for (int i = 0; i < 10; ++i) {  // the first cycles build caches and pools
        cycle(camera, i);
    }
    const Usage before;
    const int cycles = soakCycles();
    long middleKiB = 0;
    for (int i = 0; i < cycles && !HasFatalFailure(); ++i) {
        if (i == cycles / 2) {
            middleKiB = Usage().residentKiB;
        }
        cycle(camera, i);
    }
    if (camera != nullptr) {
        s_delete(camera);
    }
    const Usage after;
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.descriptors, before.descriptors);
    if (kMeasuresMemory) {
        EXPECT_LT(after.residentKiB - middleKiB, 128)
            << "resident memory grew from " << middleKiB << " KiB in the second half";
    }
    EXPECT_GE(host.frameCount(), static_cast<std::size_t>(cycles) * 5);
    RecordProperty("frames", static_cast<int>(host.frameCount()));
    RecordProperty("residentGrowthKiB", static_cast<int>(after.residentKiB - middleKiB));
}
