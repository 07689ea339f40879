// The grab tool against Aravis's own arv-camera-test-0.8 on the same GigE
// Vision simulated camera (512x512 Mono8), over loopback in a private network
// namespace: frames per second, CPU seconds per frame and complete frames,
// with 1400- and 8000-byte packets and with the camera dropping packets.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

extern char** environ;

namespace {

constexpr int kSeconds = 4;
constexpr int kFrameRate = 400;
const std::string kSerial = "GVBENCH1";

struct Outcome {
    double frames = 0;      // complete frames delivered
    double seconds = 0;     // time they took
    double cpuSeconds = 0;  // user + system of the process
};

std::map<std::string, Outcome> g_outcomes;

pid_t spawn(std::vector<std::string> args, const std::string& output) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

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

class FakeCamera {
public:
    explicit FakeCamera(int lossPerThousand) {
        std::vector<std::string> args{"arv-fake-gv-camera-0.8", "-i", "127.0.0.1", "-s", kSerial};
        if (lossPerThousand > 0) {
            args.insert(args.end(), {"-r", std::to_string(lossPerThousand)});
        }
        m_pid = spawn(args, "/dev/null");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ~FakeCamera() {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }

private:
    pid_t m_pid;
};

Outcome runAravisTool(int packetSize) {
    const std::string out = "/tmp/qzcam-gige-bench-arv.txt";
    const pid_t pid = spawn({"arv-camera-test-0.8", "--duration=" + std::to_string(kSeconds), "-a",
                             "-f", std::to_string(kFrameRate), "-i", std::to_string(packetSize)},
                            out);
    Outcome outcome;
    outcome.cpuSeconds = finish(pid);
    outcome.frames = number(readAll(out), "n_completed_buffers *= *([0-9]+)");
    outcome.seconds = kSeconds;
    return outcome;
}

Outcome runGrabTool(int packetSize) {
    const std::string out = "/tmp/qzcam-gige-bench-grab.txt";
    const pid_t pid =
        spawn({QZCAM_GRAB_PATH, "--camera", "baumer " + kSerial, "--frames", "100000000",
               "--timeout", "30", "--feature", "GevSCPSPacketSize=" + std::to_string(packetSize),
               "--feature", "AcquisitionFrameRate=" + std::to_string(kFrameRate)},
              out);
    // Discovery and opening come first; the tool's own rate covers the grab.
    std::this_thread::sleep_for(std::chrono::seconds(kSeconds + 1));
    kill(pid, SIGINT);
    Outcome outcome;
    outcome.cpuSeconds = finish(pid);
    const std::string text = readAll(out);
    outcome.frames = number(text, "frames ([0-9]+)  rate");
    const double rate = number(text, "rate ([0-9.]+) fps");
    outcome.seconds = rate > 0 ? outcome.frames / rate : 0;
    return outcome;
}

std::string key(const char* tool, int packetSize, int loss) {
    return std::string(tool) + "/" + std::to_string(packetSize) + "/" + std::to_string(loss);
}

void record(benchmark::State& state, const std::string& name, const Outcome& outcome) {
    g_outcomes[name] = outcome;
    state.SetIterationTime(outcome.seconds);
    state.counters["fps"] = outcome.seconds > 0 ? outcome.frames / outcome.seconds : 0;
    state.counters["cpu_ms_per_frame"] =
        outcome.frames > 0 ? 1000.0 * outcome.cpuSeconds / outcome.frames : 0;
    state.counters["complete_frames"] = outcome.frames;
}

void runScenario(benchmark::State& state, const char* tool, Outcome (*run)(int packetSize)) {
    const int packetSize = static_cast<int>(state.range(0));
    const int loss = static_cast<int>(state.range(1));
    for (auto _ : state) {
        FakeCamera camera(loss);
        record(state, key(tool, packetSize, loss), run(packetSize));
    }
}

void BM_AravisTool(benchmark::State& state) {
    runScenario(state, "arv", runAravisTool);
}

void BM_GrabTool(benchmark::State& state) {
    runScenario(state, "grab", runGrabTool);
}

void scenarios(benchmark::internal::Benchmark* b) {
    b->Args({1400, 0})->Args({8000, 0})->Args({1400, 1})->Args({1400, 10});
    b->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_AravisTool)->Apply(scenarios);
BENCHMARK(BM_GrabTool)->Apply(scenarios);

void printRatios() {
    std::printf("\ngrab tool / arv-camera-test-0.8, same camera, same run:\n");
    for (const auto& [name, arv] : g_outcomes) {
        if (name.rfind("arv/", 0) != 0)
            continue;
        const std::string scenario = name.substr(4);
        const auto grab = g_outcomes.find("grab/" + scenario);
        if (grab == g_outcomes.end() || arv.frames <= 0 || grab->second.frames <= 0)
            continue;
        const Outcome& g = grab->second;
        std::printf(
            "  packet/loss %-8s fps %.3f  cpu per frame %.3f  complete frames %.0f vs %.0f\n",
            scenario.c_str(), (g.frames / g.seconds) / (arv.frames / arv.seconds),
            (g.cpuSeconds / g.frames) / (arv.cpuSeconds / arv.frames), g.frames, arv.frames);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QZCAM_NETNS") == nullptr) {
        // A private network namespace keeps the camera's traffic on our own loopback.
        std::vector<char*> args{const_cast<char*>("unshare"),
                                const_cast<char*>("-n"),
                                const_cast<char*>("--"),
                                const_cast<char*>("sh"),
                                const_cast<char*>("-c"),
                                const_cast<char*>("ip link set lo up && QZCAM_NETNS=1 exec \"$@\""),
                                const_cast<char*>("sh")};
        for (int i = 0; i < argc; ++i) {
            args.push_back(argv[i]);
        }
        args.push_back(nullptr);
        execvp("unshare", args.data());
        std::perror("unshare");
        return 77;
    }
    setenv("QZCAM_GENICAM", "1", 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printRatios();
    return 0;
}
