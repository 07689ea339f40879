#include "ratioreporter.h"

#include <cstdio>

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        m_runs[run.benchmark_name()] = run;
    }
    ConsoleReporter::ReportRuns(runs);
}

void RatioReporter::Finalize() {
    ConsoleReporter::Finalize();
    std::printf("\nRatios (same run):\n");
    for (const Pair& pair : m_pairs) {
        auto measured = m_runs.find(pair.measured);
        auto baseline = m_runs.find(pair.baseline);
        if (measured == m_runs.end() || baseline == m_runs.end()) {
            continue;
        }
        double ratio = 0.0;
        if (pair.perSecond) {
            ratio = measured->second.counters.at("items_per_second") /
                    baseline->second.counters.at("items_per_second");
        } else {
            ratio = measured->second.GetAdjustedRealTime() / baseline->second.GetAdjustedRealTime();
        }
        std::printf("  %-60s %.3f\n", pair.label.c_str(), ratio);
    }
}

int runBenchmarks(int argc, char** argv, std::vector<RatioReporter::Pair> pairs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter(std::move(pairs));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
