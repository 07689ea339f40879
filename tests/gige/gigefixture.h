#pragma once

// The driver against Aravis's GigE Vision simulated camera over real UDP, in
// a private network namespace of this process's own (see netns_run.sh).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camerabaumer.h"
#include "eventually.h"
#include "fakegvcamera.h"
#include "logcapture.h"
#include "spawnprocess.h"
#include "testhost.h"

using Clock = std::chrono::steady_clock;
constexpr const char* kSerial = "GVTEST01";

class GigE : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("QZCAM_GENICAM", "1", 1); }

    void SetUp() override {
        if (std::getenv("QZCAM_NETNS") == nullptr) {
            GTEST_SKIP() << "needs a private network namespace: run it through netns_run.sh";
        }
        ASSERT_TRUE(startCamera()) << "arv-fake-gv-camera-0.8 did not start";
        driver = std::make_unique<CCameraBaumer>(&option, &host);
        option.strCameraName = QString("baumer ") + kSerial;
    }

    void TearDown() override {
        driver.reset();
        camera.stop();
    }

    virtual bool startCamera() { return camera.start(lossPerThousand()); }
    virtual int lossPerThousand() const { return 0; }

    void openAndStart(int mode, double frameRate = 0, int side = 0) {
        ASSERT_EQ(driver->IOpenCamera(), 1);
        if (frameRate > 0) {
            driver->m_pDevice->GetRemoteNode("AcquisitionFrameRate")->SetDouble(frameRate);
        }
        if (side > 0) {
            driver->m_pDevice->GetRemoteNode("Width")->SetInt(side);
            driver->m_pDevice->GetRemoteNode("Height")->SetInt(side);
        }
        driver->m_nReqMode = mode;
        ASSERT_EQ(driver->IStartCamera(), 1);
        ASSERT_TRUE(driver->m_bGrabbing);
    }

    BGAPI2::DataStream* stream() { return driver->m_pDevice->GetDataStreams()->begin()->second; }

    bool sawLine(QtMsgType type, const std::string& fragment, int timeoutMs) {
        return eventually([&] { return !log.matching(type, fragment).empty(); }, timeoutMs);
    }

    LogCapture log;
    FakeGvCamera camera{kSerial};
    tagQZ_CAMERA_OPTION option;
    TestHost host;
    std::unique_ptr<CCameraBaumer> driver;
};

// The grab tool on the test camera with these further arguments, its
// standard output to a file.
inline pid_t spawnGrabTool(const std::vector<std::string>& more, const std::string& out,
                           const std::string& errors = "/dev/null") {
    std::vector<std::string> args{QZCAM_GRAB_PATH, "--camera", std::string("baumer ") + kSerial};
    args.insert(args.end(), more.begin(), more.end());
    return spawnProcess(args, out, errors);
}

inline std::string fileText(const std::string& path) {
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

inline bool cameraStreams() {
    return eventually(
        [] {
            const auto before = loopbackPackets();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return loopbackPackets() - before > 500;
        },
        15000);
}
