// The driver's whole conversion path (CreateImage, TransformImage, host call,
// Release) against a bare cvtColor into preallocated memory, one thread each.
#include <sys/resource.h>

#include <QLoggingCategory>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "benchsupport.h"
#include "camerabaumer.h"
#include "ratioreporter.h"
#include "simcam/simcam.h"

namespace {

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Counts frames and touches the pixels, as a host would.
class CountingHost : public IPoolCallback {
public:
    int OnFrameReady(ICameraObject* camera) override {
        checksum += camera->m_pImageData[0];
        counter.add();
        return 0;
    }
    FrameCounter counter;
    std::atomic<unsigned> checksum{0};
};

void BM_DriverConversion(benchmark::State& state) {
    cv::setNumThreads(1);
    QLoggingCategory::setFilterRules("*.debug=false");
    useOnlyCamera("BENCH", static_cast<std::uint32_t>(state.range(0)),
                  static_cast<std::uint32_t>(state.range(1)), "BayerRG8", 30.0);
    tagQZ_CAMERA_OPTION option;
    option.strCameraName = "baumer BENCH";
    CountingHost host;
    {
        CCameraBaumer camera(&option, &host);
        camera.IOpenCamera();
        camera.m_nReqMode = MODE_SOFT_TRIGGER;
        camera.IStartCamera();
        for (long i = 1; i <= 16; ++i) {  // every buffer and pool block in use once
            camera.ISendSoftTrigger();
            host.counter.waitFor(i);
        }
        const long faultsBefore = minorFaults();
        long sent = 16;
        for (auto _ : state) {
            camera.ISendSoftTrigger();
            host.counter.waitFor(++sent);
        }
        state.counters["minor_faults_per_frame"] =
            static_cast<double>(minorFaults() - faultsBefore) /
            static_cast<double>(state.iterations());
        camera.ICloseCamera();
    }
    simcam::reset();
}

void BM_BareCvtColor(benchmark::State& state) {
    cv::setNumThreads(1);
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    cv::Mat raw(height, width, CV_8UC1, cv::Scalar(128));
    cv::Mat bgr(height, width, CV_8UC3);
    for (auto _ : state) {
        cv::cvtColor(raw, bgr, cv::COLOR_BayerBG2BGR);
        benchmark::DoNotOptimize(bgr.data);
    }
}

// As a camera delivers them: eight source buffers in turn, not one hot in cache.
void BM_BareCvtColorEightSources(benchmark::State& state) {
    cv::setNumThreads(1);
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    std::vector<cv::Mat> raws;
    for (int i = 0; i < 8; ++i) {
        raws.emplace_back(height, width, CV_8UC1, cv::Scalar(128));
    }
    cv::Mat bgr(height, width, CV_8UC3);
    std::size_t next = 0;
    for (auto _ : state) {
        cv::cvtColor(raws[next++ % raws.size()], bgr, cv::COLOR_BayerBG2BGR);
        benchmark::DoNotOptimize(bgr.data);
    }
}

void BM_Memcpy(benchmark::State& state) {
    const std::size_t bytes = static_cast<std::size_t>(state.range(0) * state.range(1) * 3);
    std::vector<unsigned char> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
    }
}

BENCHMARK(BM_DriverConversion)
    ->Args({2448, 2048})
    ->Args({4096, 3000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BareCvtColor)
    ->Args({2448, 2048})
    ->Args({4096, 3000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BareCvtColorEightSources)
    ->Args({2448, 2048})
    ->Args({4096, 3000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Memcpy)->Args({2448, 2048})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return runBenchmarks(
        argc, argv,
        {{"driver conversion path / bare cvtColor, 2448x2048",
          "BM_DriverConversion/2448/2048/real_time", "BM_BareCvtColor/2448/2048/real_time", false},
         {"driver conversion path / bare cvtColor, 4096x3000",
          "BM_DriverConversion/4096/3000/real_time", "BM_BareCvtColor/4096/3000/real_time", false},
         {"driver conversion path / cvtColor over 8 sources, 2448x2048",
          "BM_DriverConversion/2448/2048/real_time",
          "BM_BareCvtColorEightSources/2448/2048/real_time", false},
         {"driver conversion path / cvtColor over 8 sources, 4096x3000",
          "BM_DriverConversion/4096/3000/real_time",
          "BM_BareCvtColorEightSources/4096/3000/real_time", false},
         {"bare cvtColor / memcpy of the output, 2448x2048", "BM_BareCvtColor/2448/2048/real_time",
          "BM_Memcpy/2448/2048/real_time", false}});
}
