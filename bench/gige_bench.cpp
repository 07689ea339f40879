// The grab tool against Aravis's own arv-camera-test-0.8 on the same GigE
// Vision simulated camera (512x512 Mono8), over loopback in a private network
// namespace: frames per second, CPU seconds per frame and complete frames,
// with 1400- and 8000-byte packets, and through a relay that drops packets,
// with and without packet resend.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "fakegvcamera.h"
#include "gvrelay.h"
#include "privatenetns.h"
#include "spawnprocess.h"

namespace {

constexpr int kSeconds = 4;
constexpr int kFrameRate = 400;
constexpr int kRelayedFrameRate = 200;  // the relay copies every packet once more
const std::string kSerial = "GVBENCH1";

// How the tool reaches the camera.
enum Link { kDirect, kRelayWithoutResend, kRelayWithResend };

struct Outcome {
    double frames = 0;               // complete frames delivered
    double seconds = 0;              // time they took
    double cpuSeconds = 0;           // user + system of the process, start-up and all
    double streamingCpuSeconds = 0;  // ... from the first streamed packet to the last
    double sent = 0;                 // frames the camera began, where a relay counts them
};

constexpr int kRuns = 3;  // of each tool and scenario, for the minimum and the median
std::map<std::string, std::vector<Outcome>> g_outcomes;

double finish(pid_t pid) {
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string readAll(const std::string& path) {
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

double number(const std::string& text, const std::string& pattern) {
    std::smatch match;
    return std::regex_search(text, match, std::regex(pattern)) ? std::stod(match[1]) : 0.0;
}

// CPU time of a process's threads so far, from the scheduler's nanosecond
// counts (clock ticks would be a tenth of the streaming phase's cost).
double threadsCpuSeconds(pid_t pid) {
    double total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task/";
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::ifstream schedstat(tasks + entry->d_name + "/schedstat");
            double nanoseconds = 0;
            if (entry->d_name[0] != '.' && schedstat >> nanoseconds) {
                total += nanoseconds / 1e9;
            }
        }
        closedir(dir);
    }
    return total;
}

bool exited(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

// The CPU time the process spends while the camera streams, told from the
// packets on this namespace's loopback (10 ms without any ends it), so that
// start-up, discovery, opening and closing are left out for either tool.
// interruptAfter: when to send the process SIGINT (zero: never).
double streamingCpuSeconds(pid_t pid, std::chrono::seconds interruptAfter) {
    using Clock = std::chrono::steady_clock;
    const auto interruptAt = Clock::now() + interruptAfter;
    bool interrupted = interruptAfter.count() == 0;
    double first = -1;
    double last = 0;
    unsigned long long packets = loopbackPackets();
    while (!exited(pid)) {
        const double cpu = threadsCpuSeconds(pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const unsigned long long now = loopbackPackets();
        const bool streaming = now - packets >= 3;  // heartbeats alone are fewer
        packets = now;
        if (streaming && first < 0) {
            first = cpu;
        }
        if (streaming) {
            last = threadsCpuSeconds(pid);
        }
        if (!interrupted && Clock::now() >= interruptAt) {
            kill(pid, SIGINT);
            interrupted = true;
        }
    }
    return first < 0 ? 0 : last - first;
}

Outcome runAravisTool(int packetSize, int frameRate) {
    const std::string out = "/tmp/qzcam-gige-bench-arv.txt";
    const pid_t pid =
        spawnProcess({"arv-camera-test-0.8", "--duration=" + std::to_string(kSeconds), "-a", "-f",
                      std::to_string(frameRate), "-i", std::to_string(packetSize)},
                     out, "/dev/null");
    Outcome outcome;
    outcome.streamingCpuSeconds = streamingCpuSeconds(pid, std::chrono::seconds(0));
    outcome.cpuSeconds = finish(pid);
    outcome.frames = number(readAll(out), "n_completed_buffers *= *([0-9]+)");
    outcome.seconds = kSeconds;
    return outcome;
}

Outcome runGrabTool(int packetSize, int frameRate) {
    const std::string out = "/tmp/qzcam-gige-bench-grab.txt";
    const pid_t pid = spawnProcess(
        {QZCAM_GRAB_PATH, "--camera", "baumer " + kSerial, "--frames", "100000000", "--timeout",
         "30", "--feature", "GevSCPSPacketSize=" + std::to_string(packetSize), "--feature",
         "AcquisitionFrameRate=" + std::to_string(frameRate)},
        out, "/dev/null");
    // Discovery and opening come first; the tool's own rate covers the grab.
    Outcome outcome;
    outcome.streamingCpuSeconds = streamingCpuSeconds(pid, std::chrono::seconds(kSeconds + 1));
    outcome.cpuSeconds = finish(pid);
    const std::string text = readAll(out);
    outcome.frames = number(text, "frames ([0-9]+)  rate");
    const double rate = number(text, "rate ([0-9.]+) fps");
    outcome.seconds = rate > 0 ? outcome.frames / rate : 0;
    return outcome;
}

std::string key(const char* tool, int packetSize, int loss, int link) {
    static const char* const links[] = {"direct", "relay", "relay+resend"};
    return std::string(tool) + "/" + std::to_string(packetSize) + "/" + std::to_string(loss) + "/" +
           links[link];
}

void record(benchmark::State& state, const std::string& name, const Outcome& outcome) {
    g_outcomes[name].push_back(outcome);
    state.SetIterationTime(outcome.seconds);
    state.counters["fps"] = outcome.seconds > 0 ? outcome.frames / outcome.seconds : 0;
    state.counters["cpu_ms_per_frame"] =
        outcome.frames > 0 ? 1000.0 * outcome.cpuSeconds / outcome.frames : 0;
    state.counters["streaming_cpu_ms_per_frame"] =
        outcome.frames > 0 ? 1000.0 * outcome.streamingCpuSeconds / outcome.frames : 0;
    state.counters["complete_frames"] = outcome.frames;
}

// lossPerThousand: packets the relay drops (none without a relay).
void runScenario(benchmark::State& state, const char* tool,
                 Outcome (*run)(int packetSize, int frameRate)) {
    const int packetSize = static_cast<int>(state.range(0));
    const int loss = static_cast<int>(state.range(1));
    const Link link = static_cast<Link>(state.range(2));
    for (auto _ : state) {
        FakeGvCamera camera(kSerial);
        if (!camera.start(0, link != kDirect)) {
            state.SkipWithError("arv-fake-gv-camera-0.8 did not start");
            return;
        }
        std::unique_ptr<GvRelay> relay;
        if (link != kDirect) {
            relay = std::make_unique<GvRelay>(
                camera.pid(), GvRelay::Loss{loss / 1000.0, 0.0, link == kRelayWithResend});
            std::string why;
            if (!relay->start(&why)) {
                state.SkipWithError(why.c_str());
                return;
            }
        }
        Outcome outcome = run(packetSize, link == kDirect ? kFrameRate : kRelayedFrameRate);
        if (relay) {
            outcome.sent = double(relay->counts().frames);
        }
        record(state, key(tool, packetSize, loss, link), outcome);
        if (relay) {
            const GvRelay::Counts counts = relay->counts();
            state.counters["complete_share"] = outcome.frames / double(counts.frames);
            state.counters["relay_dropped"] = double(counts.dropped);
            state.counters["relay_resent"] = double(counts.resent);
            state.counters["relay_not_kept"] = double(counts.notKept);
        }
    }
}

void BM_AravisTool(benchmark::State& state) {
    runScenario(state, "arv", runAravisTool);
}

void BM_GrabTool(benchmark::State& state) {
    runScenario(state, "grab", runGrabTool);
}

void scenarios(benchmark::internal::Benchmark* b) {
    b->Args({1400, 0, kDirect})->Args({8000, 0, kDirect});
    for (int loss : {1, 10}) {
        b->Args({1400, loss, kRelayWithoutResend})->Args({1400, loss, kRelayWithResend});
    }
    b->Iterations(1)->Repetitions(kRuns)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_AravisTool)->Apply(scenarios);
BENCHMARK(BM_GrabTool)->Apply(scenarios);

// The minimum and the median of one figure over a scenario's runs.
struct Spread {
    double min = 0;
    double median = 0;
};

template <typename Figure>
Spread spreadOf(const std::vector<Outcome>& runs, Figure figure) {
    std::vector<double> values;
    for (const Outcome& run : runs) {
        if (run.frames > 0) {
            values.push_back(figure(run));
        }
    }
    if (values.empty()) {
        return {};
    }
    std::sort(values.begin(), values.end());
    return {values.front(), values[values.size() / 2]};
}

void printScenario(const std::string& scenario, const std::vector<Outcome>& grab,
                   const std::vector<Outcome>& arv) {
    auto rate = [](const Outcome& o) { return o.frames / o.seconds; };
    auto streamingCpu = [](const Outcome& o) { return 1e3 * o.streamingCpuSeconds / o.frames; };
    auto wholeCpu = [](const Outcome& o) { return 1e3 * o.cpuSeconds / o.frames; };
    auto share = [](const Outcome& o) { return o.sent > 0 ? o.frames / o.sent : 0; };
    const Spread g = spreadOf(grab, streamingCpu);
    const Spread a = spreadOf(arv, streamingCpu);
    std::printf(
        "  %-20s streaming cpu ms/frame min %.4f vs %.4f (%.3f)  median %.4f vs %.4f "
        "(%.3f)\n",
        scenario.c_str(), g.min, a.min, g.min / a.min, g.median, a.median, g.median / a.median);
    std::printf("  %-20s whole-process cpu per frame (median) %.3f  fps (median) %.3f", "",
                spreadOf(grab, wholeCpu).median / spreadOf(arv, wholeCpu).median,
                spreadOf(grab, rate).median / spreadOf(arv, rate).median);
    if (!grab.empty() && grab.front().sent > 0) {
        std::printf("  complete share (median) %.4f vs %.4f", spreadOf(grab, share).median,
                    spreadOf(arv, share).median);
    }
    std::printf("\n");
}

void printRatios() {
    std::printf("\ngrab tool vs arv-camera-test-0.8, same camera, same run, %d runs each\n", kRuns);
    std::printf("  (packet size / loss per thousand / link; ratios grab / arv)\n");
    for (const auto& [name, arv] : g_outcomes) {
        if (name.rfind("arv/", 0) != 0)
            continue;
        const std::string scenario = name.substr(4);
        const auto grab = g_outcomes.find("grab/" + scenario);
        if (grab != g_outcomes.end()) {
            printScenario(scenario, grab->second, arv);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!inPrivateNetworkNamespace(argc, argv)) {
        return 77;
    }
    setenv("QZCAM_GENICAM", "1", 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printRatios();
    return 0;
}
