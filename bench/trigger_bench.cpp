// Trigger to frame: software trigger to OnFrameReady through the plug-in,
// against the same trigger on the SDK alone (simulated camera) and against a
// bare program on Aravis's own API (Aravis's GigE Vision simulated camera,
// in a private network namespace), in the same run; and a pulse on "Line0"
// to OnFrameReady on the simulated camera. Medians, 99th percentiles and
// triggers that brought no frame.
#include <arv.h>
#include <benchmark/benchmark.h>

#include <QLoggingCategory>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "benchsupport.h"
#include "camerabaumer.h"
#include "fakegvcamera.h"
#include "privatenetns.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTriggers = 300;
const char* const kSimSerial = "LAT";
const char* const kGigESerial = "GVLAT1";

struct Latencies {
    std::vector<double> us;  // sorted
    int lost = 0;
    double at(double share) const {
        return us.empty() ? 0 : us[std::min(us.size() - 1, std::size_t(share * us.size()))];
    }
};

std::map<std::string, Latencies> g_results;

// Times one trigger to the frame it brings.
class FrameClock {
public:
    void arrived() {
        const auto now = Clock::now();
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_frames;
        m_arrivedAt = now;
        m_cv.notify_all();
    }

    // Fires and waits up to a second for the next frame: its latency in
    // microseconds, or a negative value when none came.
    double time(const std::function<void()>& fire) {
        std::unique_lock<std::mutex> lock(m_mutex);
        const long before = m_frames;
        lock.unlock();
        const auto firedAt = Clock::now();
        fire();
        lock.lock();
        if (!m_cv.wait_for(lock, std::chrono::seconds(1), [&] { return m_frames > before; })) {
            return -1;
        }
        return std::chrono::duration<double, std::micro>(m_arrivedAt - firedAt).count();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    long m_frames = 0;
    Clock::time_point m_arrivedAt;
};

class ClockHost : public IPoolCallback {
public:
    int OnFrameReady(ICameraObject*) override {
        clock.arrived();
        return 0;
    }
    FrameClock clock;
};

void sdkHandler(void* context, BGAPI2::Buffer* buffer) {
    static_cast<FrameClock*>(context)->arrived();
    buffer->QueueBuffer();
}

// kTriggers triggers, one at a time with a pause between them so that each
// meets an idle camera; the iteration's time is the median.
void measure(benchmark::State& state, const std::string& name,
             const std::function<double()> timeOne) {
    Latencies result;
    for (auto _ : state) {
        for (int i = 0; i < kTriggers; ++i) {
            const double us = timeOne();
            if (us < 0) {
                ++result.lost;
            } else {
                result.us.push_back(us);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        std::sort(result.us.begin(), result.us.end());
        state.SetIterationTime(result.at(0.5) / 1e6);
    }
    state.counters["median_us"] = result.at(0.5);
    state.counters["p99_us"] = result.at(0.99);
    state.counters["lost"] = result.lost;
    g_results[name] = result;
}

void BM_SimSdk(benchmark::State& state, const char* source) {
    useOnlyCamera(kSimSerial, 64, 64, "Mono8", 0.0);
    FrameClock clock;
    {
        SdkCamera camera(&clock, sdkHandler);
        camera.device->GetRemoteNode("TriggerMode")->SetString("On");
        camera.device->GetRemoteNode("TriggerSource")->SetString(source);
        camera.start();
        BGAPI2::Node* software = camera.device->GetRemoteNode("TriggerSoftware");
        const bool line = std::string(source) == "Line0";
        measure(state, std::string("sdk/") + source, [&] {
            return clock.time([&] { line ? simcam::pulseLine(kSimSerial) : software->Execute(); });
        });
    }
    simcam::reset();
}

// The plug-in in this mode on the camera of that serial, triggered by fire.
void pluginRun(benchmark::State& state, const std::string& name, const std::string& serial,
               int mode, const std::function<void(CCameraBaumer&)>& fire) {
    tagQZ_CAMERA_OPTION option;
    option.strCameraName = QString::fromStdString("baumer " + serial);
    ClockHost host;
    CCameraBaumer camera(&option, &host);
    if (camera.IOpenCamera() != 1) {
        state.SkipWithError("the plug-in did not open the camera");
        return;
    }
    camera.m_nReqMode = mode;
    camera.IStartCamera();
    measure(state, name, [&] { return host.clock.time([&] { fire(camera); }); });
    camera.IStopCamera();
    camera.ICloseCamera();
}

void BM_SimPlugin(benchmark::State& state, const char* source) {
    useOnlyCamera(kSimSerial, 64, 64, "Mono8", 0.0);
    const bool line = std::string(source) == "Line0";
    pluginRun(state, std::string("plugin/") + source, kSimSerial,
              line ? MODE_EXTERNAL_TRIGGER : MODE_SOFT_TRIGGER, [line](CCameraBaumer& camera) {
                  line ? simcam::pulseLine(kSimSerial) : (void)camera.ISendSoftTrigger();
              });
    simcam::reset();
}

// Aravis's API alone, as a program of its own would use it: trigger, then
// wait for the buffer on the same thread.
void BM_GigEAravis(benchmark::State& state) {
    FakeGvCamera fake(kGigESerial);
    GError* error = nullptr;
    ArvCamera* camera =
        fake.start() ? arv_camera_new(("Aravis-Fake-" + std::string(kGigESerial)).c_str(), &error)
                     : nullptr;
    if (camera == nullptr) {
        g_clear_error(&error);
        state.SkipWithError("no Aravis simulated camera");
        return;
    }
    arv_camera_set_trigger(camera, "Software", &error);
    ArvStream* stream = arv_camera_create_stream(camera, nullptr, nullptr, &error);
    const guint payload = arv_camera_get_payload(camera, &error);
    for (int i = 0; i < 8; ++i) {
        arv_stream_push_buffer(stream, arv_buffer_new(payload, nullptr));
    }
    arv_camera_start_acquisition(camera, &error);
    measure(state, "aravis/Software", [&] {
        const auto firedAt = Clock::now();
        arv_camera_software_trigger(camera, nullptr);
        ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream, 1000000);
        if (buffer == nullptr) {
            return -1.0;
        }
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - firedAt).count();
        const bool whole = arv_buffer_get_status(buffer) == ARV_BUFFER_STATUS_SUCCESS;
        arv_stream_push_buffer(stream, buffer);
        return whole ? us : -1.0;
    });
    arv_camera_stop_acquisition(camera, nullptr);
    g_clear_error(&error);
    g_object_unref(stream);
    g_object_unref(camera);
}

void BM_GigEPlugin(benchmark::State& state) {
    FakeGvCamera fake(kGigESerial);
    if (!fake.start()) {
        state.SkipWithError("no Aravis simulated camera");
        return;
    }
    pluginRun(state, "gige-plugin/Software", kGigESerial, MODE_SOFT_TRIGGER,
              [](CCameraBaumer& camera) { camera.ISendSoftTrigger(); });
}

void once(benchmark::internal::Benchmark* b) {
    b->Iterations(1)->UseManualTime()->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(BM_SimSdk, software, "Software")->Apply(once);
BENCHMARK_CAPTURE(BM_SimPlugin, software, "Software")->Apply(once);
BENCHMARK_CAPTURE(BM_SimSdk, line, "Line0")->Apply(once);
BENCHMARK_CAPTURE(BM_SimPlugin, line, "Line0")->Apply(once);
BENCHMARK(BM_GigEAravis)->Apply(once);
BENCHMARK(BM_GigEPlugin)->Apply(once);

void printRatio(const char* label, const std::string& measured, const std::string& baseline) {
    const auto m = g_results.find(measured);
    const auto b = g_results.find(baseline);
    if (m == g_results.end() || b == g_results.end() || b->second.us.empty()) {
        return;
    }
    std::printf("  %-44s median %.3f  p99 %.3f  (lost %d vs %d of %d)\n", label,
                m->second.at(0.5) / b->second.at(0.5), m->second.at(0.99) / b->second.at(0.99),
                m->second.lost, b->second.lost, kTriggers);
}

}  // namespace

int main(int argc, char** argv) {
    if (!inPrivateNetworkNamespace(argc, argv)) {
        return 77;
    }
    setenv("QZCAM_GENICAM", "1", 1);
    QLoggingCategory::setFilterRules("*.debug=false");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nTrigger to frame, plug-in / baseline, same run:\n");
    printRatio("simulated camera, software trigger / SDK", "plugin/Software", "sdk/Software");
    printRatio("simulated camera, Line0 pulse / SDK", "plugin/Line0", "sdk/Line0");
    printRatio("GigE simulated camera, software / Aravis API", "gige-plugin/Software",
               "aravis/Software");
    return 0;
}
