// Several host threads and the frame callback itself call into driver
// objects in seeded random order. A watchdog fails the run on any call that
// does not return in time; no frame may arrive after a stop or close
// returned, and every buffer must be back in its pool at the end.
#include <gtest/gtest.h>

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "camerabaumer.h"
#include "eventually.h"
#include "simcam/simcam.h"
#include "simtopology.h"

namespace {

using Clock = std::chrono::steady_clock;

// Fails the whole run when a call has been running for too long: a hang
// cannot be recovered from inside the test.
class Watchdog {
public:
    static constexpr int kSlots = 8;
    explicit Watchdog(std::chrono::seconds limit) : m_limit(limit) {
        m_thread = std::thread([this] { watch(); });
    }
    ~Watchdog() {
        m_stop = true;
        m_thread.join();
    }
    void begin(int slot, const char* what) {
        m_what[slot] = what;
        m_since[slot] = Clock::now().time_since_epoch().count();
    }
    void end(int slot) { m_since[slot] = 0; }

private:
    void watch() {
        while (!m_stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const auto now = Clock::now().time_since_epoch().count();
            for (int i = 0; i < kSlots; ++i) {
                const auto since = m_since[i].load();
                if (since != 0 && Clock::duration(now - since) > m_limit) {
                    std::fprintf(stderr, "watchdog: %s on caller %d has not returned\n",
                                 m_what[i].load(), i);
                    std::abort();
                }
            }
        }
    }

    const Clock::duration m_limit;
    std::atomic<Clock::rep> m_since[kSlots] = {};
    std::atomic<const char*> m_what[kSlots] = {};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

struct Slot;

// The host of one driver object. Frames count as legitimate while a start
// runs or once one returned after the last stop or close returned. The host
// threads' own lifecycle calls on one object take turns so that their order
// is known; the callback's calls and everything else run freely.
class StressHost : public IPoolCallback {
public:
    Slot* slot = nullptr;
    int OnFrameReady(ICameraObject* camera) override;
};

struct Slot {
    std::string camera;
    tagQZ_CAMERA_OPTION option;
    StressHost host;
    std::shared_mutex use;  // host threads share it; deleting takes it alone
    std::mutex lifecycle;   // host threads' open, start, stop and close
    CCameraBaumer* object = nullptr;

    std::mutex record;
    int startsRunning = 0;
    std::uint64_t sequence = 0;
    std::uint64_t lastStopReturned = 0;
    std::uint64_t lastStartEnded = 0;
    std::atomic<int> framesAfterStop{0};
    std::atomic<int> frames{0};
    std::atomic<int> callbackCalls{0};
    std::atomic<int> callbackGiveUps{0};
    std::uint32_t callbackSeed = 0;
    std::atomic<bool> callbackCalling{false};
    std::atomic<bool> callbackQuiet{false};  // the callback only counts frames

    void startBegins() {
        std::lock_guard<std::mutex> lock(record);
        ++startsRunning;
    }
    void startEnds() {
        std::lock_guard<std::mutex> lock(record);
        --startsRunning;
        lastStartEnded = ++sequence;
    }
    void stopReturned() {
        std::lock_guard<std::mutex> lock(record);
        lastStopReturned = ++sequence;
    }
    bool frameAllowed() {
        std::lock_guard<std::mutex> lock(record);
        return startsRunning > 0 || lastStartEnded > lastStopReturned;
    }
};

Watchdog* g_watchdog = nullptr;
constexpr int kCallbackSlotBase = 4;  // watchdog slots of the two callbacks

// Times one call; each caller has a slot of its own.
template <typename Call>
auto timed(int caller, const char* what, Call&& call) {
    g_watchdog->begin(caller, what);
    struct End {
        int caller;
        ~End() { g_watchdog->end(caller); }
    } end{caller};
    return call();
}

void setExposure(CCameraBaumer* object, int value) {
    tagQZ_CAMERA_PROPERTY property{};
    property.nType = PROPERTY_EXPOSURE_TIME;
    property.nValue = value;
    object->ISetProperty(&property);
}

// Now and then the callback gives the camera up, reopens it, triggers or
// sets the exposure, as hosts do.
int StressHost::OnFrameReady(ICameraObject* camera) {
    ++slot->frames;
    if (!slot->frameAllowed()) {
        ++slot->framesAfterStop;
    }
    if (camera->m_pImageData == nullptr || camera->m_nWidth <= 0) {
        ++slot->framesAfterStop;  // a frame without pixels is as wrong
    }
    if (slot->callbackQuiet) {
        return 0;
    }
    auto* object = static_cast<CCameraBaumer*>(camera);
    thread_local std::minstd_rand random;
    if (slot->callbackCalls.fetch_add(1) == 0) {
        random.seed(slot->callbackSeed);
    }
    const int caller = kCallbackSlotBase + (slot->camera == "S1" ? 0 : 1);
    const int pick = static_cast<int>(random() % 16);
    // Hosts do some work of their own before they give up.
    if (pick < 4) {
        ++slot->callbackGiveUps;
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
    }
    // Counted from the call on: it takes effect at some point before it
    // returns, and a host start may end in between.
    switch (pick) {
        case 0:
            slot->stopReturned();
            timed(caller, "IStopCamera in callback", [&] { object->IStopCamera(); });
            break;
        case 1:
            slot->stopReturned();
            timed(caller, "ICloseCamera in callback", [&] { object->ICloseCamera(); });
            break;
        case 2:
            slot->stopReturned();
            timed(caller, "IStopCamera+ICloseCamera in callback", [&] {
                object->IStopCamera();
                object->ICloseCamera();
            });
            break;
        case 3:
            // Reopening closes first: no frame until the host starts again.
            slot->stopReturned();
            timed(caller, "IOpenCamera in callback", [&] { return object->IOpenCamera(); });
            break;
        case 4:
        case 5:
        case 6:
        case 7:
            timed(caller, "ISendSoftTrigger in callback",
                  [&] { return object->ISendSoftTrigger(); });
            break;
        case 8:
        case 9:
            timed(caller, "ISetProperty in callback",
                  [&] { setExposure(object, 100 + pick * 10); });
            break;
        default:
            break;
    }
    return 0;
}

class ConcurrencyStress : public ::testing::Test {
protected:
    void SetUp() override {
        simcam::reset();
        std::vector<simcam::CameraConfig> cameras;
        for (const char* serial : {"S1", "S2"}) {
            simcam::CameraConfig camera = simCamera(serial, "Mono8", 32, 24);
            camera.frameRate = 2000.0;
            cameras.push_back(camera);
        }
        simcam::setTopology(simTopology(cameras));
        for (int i = 0; i < 2; ++i) {
            auto slot = std::make_unique<Slot>();
            slot->camera = i == 0 ? "S1" : "S2";
            slot->option.strCameraName = QString("baumer %1").arg(slot->camera.c_str());
            slot->host.slot = slot.get();
            slot->object = new CCameraBaumer(&slot->option, &slot->host);
            slots.push_back(std::move(slot));
        }
    }

    void TearDown() override {
        for (auto& slot : slots) {
            delete slot->object;
        }
        slots.clear();
        EXPECT_EQ(CCameraBaumer::s_nSystemListRefs, 0);
        simcam::reset();
    }

    // One random host call on one object.
    void hostCall(int caller, std::minstd_rand& random) {
        Slot& slot = *slots[random() % slots.size()];
        const int pick = static_cast<int>(random() % 16);
        if (pick == 12) {
            recreate(caller, slot);
            return;
        }
        std::shared_lock<std::shared_mutex> use(slot.use);
        CCameraBaumer* object = slot.object;
        if (pick < 6) {
            lifecycleCall(caller, slot, pick, random);
            return;
        }
        switch (pick) {
            case 6:
            case 7:
                timed(caller, "ISendSoftTrigger", [&] { return object->ISendSoftTrigger(); });
                break;
            case 8:
                timed(caller, "ISetProperty",
                      [&] { setExposure(object, 100 + static_cast<int>(random() % 5000)); });
                break;
            case 9:
                timed(caller, "unplug and replug", [&] {
                    simcam::unplug(slot.camera);
                    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 4));
                    simcam::replug(slot.camera);
                });
                break;
            default:
                // Time for frames to flow.
                std::this_thread::sleep_for(std::chrono::milliseconds(random() % 6));
                break;
        }
    }

    void lifecycleCall(int caller, Slot& slot, int pick, std::minstd_rand& random) {
        static const int kModes[] = {MODE_CONTINUOUS, MODE_SOFT_TRIGGER, MODE_FRAME_LIMIT,
                                     MODE_EXTERNAL_TRIGGER};
        std::lock_guard<std::mutex> lifecycle(slot.lifecycle);
        CCameraBaumer* object = slot.object;
        if (pick < 2) {
            timed(caller, "IOpenCamera", [&] { return object->IOpenCamera(); });
            slot.stopReturned();
        } else if (pick < 4) {
            // A start in the mode in effect does nothing: half the starts
            // switch between the two free-run modes, which make frames.
            int mode = kModes[random() % 4];
            if (random() % 2 == 0) {
                mode = object->m_nCurMode == MODE_CONTINUOUS ? MODE_FRAME_LIMIT : MODE_CONTINUOUS;
            }
            object->m_nReqMode = mode;
            slot.startBegins();
            timed(caller, "IStartCamera", [&] { return object->IStartCamera(); });
            slot.startEnds();
        } else if (pick == 4) {
            timed(caller, "IStopCamera", [&] { object->IStopCamera(); });
            slot.stopReturned();
        } else {
            timed(caller, "ICloseCamera", [&] { object->ICloseCamera(); });
            slot.stopReturned();
        }
    }

    // Camera_Delete of an object in use, then a new one for the same camera.
    void recreate(int caller, Slot& slot) {
        std::unique_lock<std::shared_mutex> alone(slot.use);
        std::lock_guard<std::mutex> lifecycle(slot.lifecycle);
        timed(caller, "Camera_Delete", [&] { slot.object->destroy(); });
        slot.stopReturned();
        slot.object = new CCameraBaumer(&slot.option, &slot.host);
    }

    // After the run: each camera opens, and its pool of eight is whole. The
    // callbacks go quiet first, and a stop waits out any give-up of theirs
    // still running, so that none lands between the checks below.
    void expectPoolsWhole() {
        for (auto& slot : slots) {
            CCameraBaumer* object = slot->object;
            slot->callbackQuiet = true;
            object->IStopCamera();
            slot->stopReturned();
            ASSERT_TRUE(eventually([&] { return object->state() != DriverState::Closing; }));
            simcam::replug(slot->camera);
            if (object->state() == DriverState::Closed || object->state() == DriverState::Lost) {
                object->ICloseCamera();
                ASSERT_EQ(object->IOpenCamera(), 1) << slot->camera;
            }
            object->m_nReqMode = MODE_SOFT_TRIGGER;
            object->m_nCurMode = 0;
            slot->startBegins();
            ASSERT_EQ(object->IStartCamera(), 1);
            slot->startEnds();
            object->IStopCamera();
            slot->stopReturned();
            EXPECT_TRUE(eventually([&] {
                return simcam::streamCounters(slot->camera).queued == 8;
            })) << slot->camera
                << ": " << simcam::streamCounters(slot->camera).queued
                << " buffers queued after the stop";
            slot->callbackQuiet = false;
        }
    }

    std::vector<std::unique_ptr<Slot>> slots;
};

int envInt(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::atoi(value) : fallback;
}

}  // namespace

TEST_F(ConcurrencyStress, RandomHostCallsAndCallbackCallsNeverHangOrDeliverAfterAStop) {
    Watchdog watchdog(std::chrono::seconds(envInt("QZCAM_STRESS_CALL_LIMIT_S", 10)));
    g_watchdog = &watchdog;
    const int threads = 3;
    const int rounds = envInt("QZCAM_STRESS_ROUNDS", 100000);
    const auto budget = std::chrono::milliseconds(envInt("QZCAM_STRESS_MS", 1500));
    const int firstSeed = envInt("QZCAM_STRESS_SEED", 1);
    const int seeds = envInt("QZCAM_STRESS_SEEDS", 3);
    for (int seed = firstSeed; seed < firstSeed + seeds; ++seed) {
        for (auto& slot : slots) {
            slot->callbackSeed = static_cast<std::uint32_t>(seed * 1000 + slot->camera[1]);
            slot->callbackCalls = 0;
            slot->frames = 0;
            slot->callbackGiveUps = 0;
        }
        const auto deadline = Clock::now() + budget;
        std::vector<std::thread> workers;
        std::atomic<int> calls{0};
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                std::minstd_rand random(static_cast<std::uint32_t>(seed * 100 + t));
                for (int round = 0; round < rounds && Clock::now() < deadline; ++round) {
                    hostCall(t, random);
                    ++calls;
                }
            });
        }
        for (auto& worker : workers) {
            worker.join();
        }
        expectPoolsWhole();
        int frames = 0;
        int giveUps = 0;
        for (auto& slot : slots) {
            EXPECT_EQ(slot->framesAfterStop.load(), 0) << slot->camera << ", seed " << seed;
            frames += slot->frames.load();
            giveUps += slot->callbackGiveUps.load();
        }
        std::printf(
            "stress: seed %d, %d threads, %d host calls, %d frames, %d give-ups in the "
            "callback\n",
            seed, threads, calls.load(), frames, giveUps);
        EXPECT_GT(frames, 0) << "seed " << seed;
    }
    g_watchdog = nullptr;
}
