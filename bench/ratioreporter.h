#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

// Console output plus, at the end, each measured path as a ratio to its
// baseline from the same run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    struct Pair {
        std::string label;
        std::string measured;
        std::string baseline;
        bool perSecond;  // compare items per second instead of time
    };

    explicit RatioReporter(std::vector<Pair> pairs) : m_pairs(std::move(pairs)) {}

    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    std::vector<Pair> m_pairs;
    std::map<std::string, Run> m_runs;
};

int runBenchmarks(int argc, char** argv, std::vector<RatioReporter::Pair> pairs);
