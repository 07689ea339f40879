// The grab tool's setup check against faults made in this test's network
// namespace: a loopback MTU below the camera's packets, a camera that
// answers from another subnet, strict reverse-path filtering.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "gigefixture.h"

namespace {

struct CheckRun {
    int exitCode = -1;
    std::string out;
    double seconds = 0;
};

CheckRun runCheck() {
    const std::string out = testing::TempDir() + "gige-check.out";
    const auto start = Clock::now();
    const pid_t tool = spawnGrabTool({"--check"}, out);
    int status = 0;
    CheckRun run;
    if (tool > 0 && waitpid(tool, &status, 0) == tool && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.out = fileText(out);
    return run;
}

bool has(const CheckRun& run, const std::string& text) {
    return run.out.find(text) != std::string::npos;
}

}  // namespace

TEST_F(GigE, SetupCheckNamesPacketsAboveTheMtuOfTheCamerasInterface) {
    CheckRun run = runCheck();
    ASSERT_TRUE(has(run,
                    "camera GVTEST01 at 127.0.0.1 on lo: packets 1400 bytes, frames 262144 "
                    "bytes"))
        << run.out;
    EXPECT_FALSE(has(run, "MTU")) << run.out;

    ASSERT_EQ(std::system("ip link set lo mtu 1300"), 0);
    run = runCheck();
    EXPECT_EQ(run.exitCode, 9) << run.out;
    EXPECT_TRUE(has(run,
                    "problem: camera GVTEST01 sends 1400-byte packets, above the MTU of lo "
                    "(1300)"))
        << run.out;
    EXPECT_TRUE(has(run, "fix: sudo ip link set dev lo mtu 1400")) << run.out;
}

// The camera sits in a namespace of its own behind a veth pair, on
// 10.9.1.0/24, while this side of the link is 10.9.0.1/24: it answers a
// discovery (it has a route back) but cannot be opened from here.
TEST_F(GigE, SetupCheckFindsACameraOnAnotherSubnetAndStrictFiltering) {
    ASSERT_EQ(std::system("ip link add v0 type veth peer name v1 && "
                          "ip addr add 10.9.0.1/24 dev v0 && ip link set v0 up"),
              0);
    FakeGvCamera far("GVSUB01", "10.9.1.2");
    ASSERT_TRUE(far.start(0, true,
                          "while ! ip link show v1 >/dev/null 2>&1; do sleep 0.05; done; "
                          "ip addr add 10.9.1.2/24 dev v1 && ip link set v1 up && "
                          "ip route add 10.9.0.0/24 dev v1"));
    ASSERT_EQ(std::system(("ip link set v1 netns " + std::to_string(far.pid())).c_str()), 0);
    const std::string line =
        "problem: camera GVSUB01 at 10.9.1.2 answers on v0 (10.9.0.1/24) but is not on its subnet";
    CheckRun run;
    ASSERT_TRUE(eventually(
        [&] {
            run = runCheck();
            return has(run, line);
        },
        15000))
        << run.out;
    EXPECT_EQ(run.exitCode, 9);
    EXPECT_TRUE(has(run, "fix: sudo ip addr add 10.9.1.254/24 dev v0")) << run.out;
    EXPECT_TRUE(has(run, "camera GVSUB01 at 10.9.1.2 on v0: packets unknown")) << run.out;
    EXPECT_LT(run.seconds, 10.0) << "the check waited on a camera it cannot reach";

    // Strict filtering drops the camera's answer from a subnet v0 has no
    // route to: the check says why instead.
    ASSERT_EQ(std::system("sysctl -qw net.ipv4.conf.v0.rp_filter=1"), 0);
    run = runCheck();
    EXPECT_EQ(run.exitCode, 9);
    EXPECT_TRUE(has(run, "problem: strict reverse-path filtering on v0")) << run.out;
    EXPECT_TRUE(has(run, "fix: sudo sysctl -w net.ipv4.conf.v0.rp_filter=2")) << run.out;
    EXPECT_FALSE(has(run, line)) << run.out;
}
