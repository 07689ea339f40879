// Packed formats through the SDK's image processor, one thread: packed 12-bit
// Bayer to BGR8 against 8-bit Bayer to BGR8, and unpacking "Mono12p" against
// a memcpy of what it writes. Each frame runs the whole path a host's frame
// does (CreateImage, TransformImage, Release).
#include <sys/resource.h>

#include <cstring>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "ratioreporter.h"

namespace {

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Bytes a camera would send: a fixed pseudo-random pattern, so that no branch
// of a converter is favoured.
std::vector<std::uint8_t> payload(std::size_t bytes) {
    std::vector<std::uint8_t> data(bytes);
    std::uint32_t state = 12345;
    for (auto& byte : data) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return data;
}

void transformFrames(benchmark::State& state, const char* format, const char* target,
                     double bitsPerPixel) {
    cv::setNumThreads(1);
    const auto width = static_cast<BGAPI2::bo_uint>(state.range(0));
    const auto height = static_cast<BGAPI2::bo_uint>(state.range(1));
    std::vector<std::uint8_t> memory =
        payload(static_cast<std::size_t>(double(width) * height * bitsPerPixel / 8));
    BGAPI2::ImageProcessor* processor = BGAPI2::ImageProcessor::GetInstance();
    auto frame = [&] {
        BGAPI2::Image* source =
            processor->CreateImage(width, height, format, memory.data(), memory.size());
        BGAPI2::Image* out = nullptr;
        source->TransformImage(target, &out);
        benchmark::DoNotOptimize(out->GetBuffer());
        out->Release();
        source->Release();
    };
    frame();  // the pooled output block and the scratch image exist from here on
    const long faultsBefore = minorFaults();
    for (auto _ : state) {
        frame();
    }
    state.counters["minor_faults_per_frame"] =
        static_cast<double>(minorFaults() - faultsBefore) / static_cast<double>(state.iterations());
}

void BM_ToBgr8(benchmark::State& state, const char* format, double bitsPerPixel) {
    transformFrames(state, format, "BGR8", bitsPerPixel);
}

void BM_UnpackMono12p(benchmark::State& state) {
    transformFrames(state, "Mono12p", "Mono12", 12);
}

void BM_MemcpyOfUnpacked(benchmark::State& state) {
    const auto bytes = static_cast<std::size_t>(state.range(0) * state.range(1) * 2);
    std::vector<std::uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
    }
}

#define SIZES ->Args({2448, 2048})->Args({4096, 3000})->Unit(benchmark::kMillisecond)->UseRealTime()
BENCHMARK_CAPTURE(BM_ToBgr8, BayerRG8, "BayerRG8", 8) SIZES;
BENCHMARK_CAPTURE(BM_ToBgr8, BayerRG12p, "BayerRG12p", 12) SIZES;
BENCHMARK_CAPTURE(BM_ToBgr8, BayerRG12Packed, "BayerRG12Packed", 12) SIZES;
BENCHMARK_CAPTURE(BM_ToBgr8, BayerRG12, "BayerRG12", 16) SIZES;
BENCHMARK(BM_UnpackMono12p) SIZES;
BENCHMARK(BM_MemcpyOfUnpacked) SIZES;
#undef SIZES

std::vector<RatioReporter::Pair> ratios() {
    std::vector<RatioReporter::Pair> pairs;
    for (const std::string size : {"2448/2048", "4096/3000"}) {
        const std::string bayer8 = "BM_ToBgr8/BayerRG8/" + size + "/real_time";
        for (const std::string packed : {"BayerRG12p", "BayerRG12Packed", "BayerRG12"}) {
            pairs.push_back({packed + " to BGR8 / BayerRG8 to BGR8, " + size,
                             "BM_ToBgr8/" + packed + "/" + size + "/real_time", bayer8, false});
        }
        pairs.push_back({"Mono12p unpacked / memcpy of the output, " + size,
                         "BM_UnpackMono12p/" + size + "/real_time",
                         "BM_MemcpyOfUnpacked/" + size + "/real_time", false});
    }
    return pairs;
}

}  // namespace

int main(int argc, char** argv) {
    return runBenchmarks(argc, argv, ratios());
}
