// The driver against Aravis's GigE Vision simulated camera over real UDP, in
// a private network namespace of this process's own (see netns_run.sh).
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>
#include <vector>

#include "framelimitrun.h"
#include "gigefixture.h"

TEST_F(GigE, OneFramePerSoftwareTrigger) {
    openAndStart(MODE_SOFT_TRIGGER);
    for (int i = 1; i <= 50; ++i) {
        ASSERT_EQ(driver->ISendSoftTrigger(), 1);
        ASSERT_TRUE(host.waitFrames(i)) << "no frame for trigger " << i;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(host.frameCount(), 50u);
    driver->IStopCamera();
}

TEST_F(GigE, StopTellsTheCameraToStopSending) {
    openAndStart(MODE_CONTINUOUS, 200);
    ASSERT_TRUE(host.waitFrames(20));
    const auto streaming = loopbackPackets();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_GT(loopbackPackets() - streaming, 1000u);  // the check below can fail
    driver->IStopCamera();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto stopped = loopbackPackets();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LT(loopbackPackets() - stopped, 50u);
}

TEST_F(GigE, KilledCameraIsReportedAndCloseIsQuick) {
    openAndStart(MODE_CONTINUOUS, 100);
    ASSERT_TRUE(host.waitFrames(10));
    camera.stop(SIGKILL);
    ASSERT_TRUE(sawLine(QtCriticalMsg, "Baumer camera(GVTEST01) lost", 5000));
    EXPECT_EQ(log.matching(QtCriticalMsg, "ExceptionType").size(), 0u);
    const auto before = Clock::now();
    driver->IStopCamera();
    driver->ICloseCamera();
    driver.reset();
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(1));
}

// The host gives up in the second before the loss is seen: nothing it calls
// may wait on the dead camera for long.
TEST_F(GigE, StopAndCloseJustAfterTheCameraDiedAreQuick) {
    openAndStart(MODE_CONTINUOUS, 100);
    ASSERT_TRUE(host.waitFrames(10));
    camera.stop(SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto before = Clock::now();
    driver->IStopCamera();
    const auto stopTime = Clock::now() - before;
    before = Clock::now();
    driver->ICloseCamera();
    driver.reset();
    const auto closeTime = Clock::now() - before;
    std::printf("stop %.2f s, close and delete %.2f s\n",
                std::chrono::duration<double>(stopTime).count(),
                std::chrono::duration<double>(closeTime).count());
    EXPECT_LT(stopTime, std::chrono::seconds(1));
    EXPECT_LT(closeTime, std::chrono::seconds(1));
}

TEST_F(GigE, RestartedCameraStreamsAgainInTheSameModeAndExposure) {
    openAndStart(MODE_CONTINUOUS, 100);
    tagQZ_CAMERA_PROPERTY exposure{PROPERTY_EXPOSURE_TIME, 2500};
    driver->ISetProperty(&exposure);
    ASSERT_TRUE(host.waitFrames(10));
    camera.stop(SIGKILL);
    ASSERT_TRUE(sawLine(QtCriticalMsg, "Baumer camera(GVTEST01) lost", 5000));
    const std::size_t atLoss = host.frameCount();

    ASSERT_TRUE(camera.start());  // a new process on the same address: power-up settings
    const auto returned = Clock::now();
    ASSERT_TRUE(sawLine(QtWarningMsg, "Baumer camera(GVTEST01) is back, grabbing again", 10000));
    std::printf("back %.2f s after the camera answered again\n",
                std::chrono::duration<double>(Clock::now() - returned).count());
    ASSERT_TRUE(host.waitFrames(atLoss + 10, 5000)) << "frames did not resume";
    try {
        BGAPI2::Device* device = driver->m_pDevice;
        const char* feature = device->GetRemoteNodeList()->GetNodePresent("ExposureTime")
                                  ? "ExposureTime"
                                  : "ExposureTimeAbs";
        EXPECT_EQ(device->GetRemoteNode(feature)->GetDouble(), 2500.0);
        EXPECT_EQ(std::string(driver->m_pDevice->GetRemoteNode("TriggerMode")->GetString()), "Off");
    } catch (BGAPI2::Exceptions::IException& ex) {
        FAIL() << ex.GetFunctionName().get() << ": " << ex.GetErrorDescription().get();
    }
    EXPECT_TRUE(driver->m_bGrabbing);
    EXPECT_EQ(driver->m_nCurMode, MODE_CONTINUOUS);
}

// Another camera answers at the lost camera's address first: that is not
// the host's camera coming back, and the real one is picked up after it.
TEST_F(GigE, OtherCameraAtTheLostCamerasAddressIsNotTakenForIt) {
    openAndStart(MODE_CONTINUOUS, 100);
    ASSERT_TRUE(host.waitFrames(10));
    camera.stop(SIGKILL);
    ASSERT_TRUE(sawLine(QtCriticalMsg, "Baumer camera(GVTEST01) lost", 5000));

    FakeGvCamera other("GVOTHER1");
    ASSERT_TRUE(other.start());
    EXPECT_FALSE(sawLine(QtWarningMsg, "Baumer camera(GVTEST01) is", 4000))
        << "another camera was taken for the lost one";
    EXPECT_TRUE(log.matching(QtCriticalMsg, "cannot be opened").empty());
    other.stop(SIGKILL);

    const std::size_t atReturn = host.frameCount();
    ASSERT_TRUE(camera.start());
    ASSERT_TRUE(sawLine(QtWarningMsg, "Baumer camera(GVTEST01) is back, grabbing again", 15000));
    EXPECT_TRUE(host.waitFrames(atReturn + 10, 5000)) << "frames did not resume";
}

// The camera numbers its frames on from the earlier run; the limit counts
// from the start.
TEST_F(GigE, FrameLimitCountsFramesSinceTheStart) {
    openAndStart(MODE_CONTINUOUS, 200);
    ASSERT_TRUE(host.waitFrames(20));
    driver->IStopCamera();
    ASSERT_GT(host.frames().back().frameId, 10u);

    const FrameLimitRun run = runFrameLimitOfFive(driver.get(), host);
    ASSERT_EQ(run.frames.size(), 6u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(run.frames[i].frameId, i + 1);
    }
    EXPECT_EQ(run.ready, (std::vector<int>{1, 1, 1, 1, 0, 0}));
}

// Each format the simulated camera offers, set before an opening so that the
// buffers fit it: the frame has the camera's size, mono and RGB8 in the
// stream's own buffer, Bayer converted to BGR8 outside it.
TEST_F(GigE, EveryFormatOfTheCameraArrivesInItsSizeAndPath) {
    const char* const formats[] = {"Mono8",    "Mono16",   "BayerGR8", "BayerRG8",
                                   "BayerGB8", "BayerBG8", "RGB8"};
    for (const char* format : formats) {
        SCOPED_TRACE(format);
        ASSERT_EQ(driver->IOpenCamera(), 1);
        driver->m_pDevice->GetRemoteNode("PixelFormat")->SetString(format);
        driver->ICloseCamera();
        ASSERT_EQ(driver->IOpenCamera(), 1);
        BGAPI2::Device* device = driver->m_pDevice;
        ASSERT_STREQ(device->GetRemoteNode("PixelFormat")->GetString(), format);
        std::vector<const void*> memory;
        for (auto& buffer : *stream()->GetBufferList()) {
            memory.push_back(buffer.second->GetMemPtr());
        }
        const auto width = static_cast<int>(device->GetRemoteNode("Width")->GetInt());
        const auto height = static_cast<int>(device->GetRemoteNode("Height")->GetInt());
        driver->m_nReqMode = MODE_SOFT_TRIGGER;
        driver->m_nCurMode = 0;  // a closing keeps the mode in effect; set it up again
        ASSERT_EQ(driver->IStartCamera(), 1);
        const std::size_t before = host.frameCount();
        ASSERT_EQ(driver->ISendSoftTrigger(), 1);
        ASSERT_TRUE(host.waitFrames(before + 1));
        const TestHost::Frame frame = host.frames().back();
        EXPECT_EQ(frame.width, width);
        EXPECT_EQ(frame.height, height);
        const bool passThrough = std::string(format).rfind("Bayer", 0) != 0;
        const bool inBuffer = std::find(memory.begin(), memory.end(), frame.data) != memory.end();
        EXPECT_EQ(inBuffer, passThrough);
        driver->ICloseCamera();
    }
}

// Frames reach the host on the SDK's own delivery thread: a slow host runs
// out of buffers (frames lost, the warning names it) without damaging frames
// in transit, and delivery goes on at full rate once the host is quick again.
TEST_F(GigE, SlowHostCostsFramesNotPackets) {
    std::atomic<bool> slow{true};
    host.onFrame = [&slow](ICameraObject*) {
        if (slow)
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
    };
    openAndStart(MODE_CONTINUOUS, 200, 128);
    ASSERT_TRUE(sawLine(QtWarningMsg, "likely cause: host callback slower than the camera", 8000));
    slow = false;
    const std::size_t before = host.frameCount();
    ASSERT_TRUE(host.waitFrames(before + 200, 5000));
    driver->IStopCamera();
    const BGAPI2::StreamStatistics statistics = stream()->GetStatistics();
    // Almost all of the cost is frames that found no buffer; a loaded machine
    // (a sanitizer build) may still drop the odd packet.
    EXPECT_GT(statistics.lost, 0u);
    EXPECT_LT(statistics.incomplete * 10, statistics.lost)
        << statistics.incomplete << " incomplete, " << statistics.lost << " lost";
    // The counts are of frames: together they are the gaps in the ids the host
    // saw (16-bit block ids, 65535 followed by 1), give or take a frame at the
    // start and at the stop.
    std::uint64_t gaps = 0;
    const auto frames = host.frames();
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const std::uint32_t a = frames[i - 1].frameId;
        const std::uint32_t b = frames[i].frameId;
        gaps += (b > a ? b - a : 65535 - a + b) - 1;
    }
    EXPECT_NEAR(double(statistics.lost + statistics.incomplete), double(gaps), 3.0)
        << statistics.lost << " lost, " << statistics.incomplete << " incomplete, "
        << statistics.delivered << " delivered, host " << frames.size();
}

class LossyGigE : public GigE {
protected:
    int lossPerThousand() const override { return 10; }
};

// Small frames, so that most arrive whole and a thousand come quickly; at this
// loss dozens still arrive damaged, many times the pool's eight buffers.
TEST_F(LossyGigE, DeliveryGoesOnAndNoBufferIsLost) {
    openAndStart(MODE_CONTINUOUS, 400, 64);
    ASSERT_TRUE(host.waitFrames(1000, 30000)) << "delivery stopped after " << host.frameCount();
    driver->IStopCamera();
    const BGAPI2::StreamStatistics statistics = stream()->GetStatistics();
    EXPECT_GT(statistics.incomplete, std::uint64_t{CCameraBaumer::kBuffersPerStream});
    // Stopped: every buffer is back in the stream, none held, none gone.
    EXPECT_EQ(stream()->GetBufferList()->GetQueuedCount(),
              std::uint64_t{CCameraBaumer::kBuffersPerStream});
    EXPECT_EQ(stream()->GetBufferList()->size(), std::uint64_t{CCameraBaumer::kBuffersPerStream});
}

// Ctrl-C of the grab tool mid-grab: it stops and closes the camera, which
// then stops sending, and prints its summary.
TEST_F(GigE, InterruptedGrabToolLeavesTheCameraQuiet) {
    const std::string out = testing::TempDir() + "gige-grab.out";
    const pid_t tool =
        spawnGrabTool({"--frames", "1000000", "--feature", "AcquisitionFrameRate=100"}, out);
    ASSERT_GT(tool, 0);
    const bool streaming = cameraStreams();
    kill(tool, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(tool, &status, 0), tool);
    ASSERT_TRUE(streaming) << "the tool never got the camera streaming";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);

    const auto after = loopbackPackets();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LT(loopbackPackets() - after, 50u) << "the camera still streams";

    const std::string text = fileText(out);
    EXPECT_NE(text.find("camera baumer GVTEST01  format Mono8"), std::string::npos) << text;
    EXPECT_NE(text.find("stream delivered"), std::string::npos) << text;
}

// The simulated camera numbers frames from 65401 and wraps to 1 after 65535;
// restarted, it numbers from 65401 again. Neither is loss in the tool's count.
TEST_F(GigE, GrabToolCountsNoLossAcrossAWrapAndARestart) {
    const std::string out = testing::TempDir() + "gige-restart.out";
    const pid_t tool = spawnGrabTool(
        {"--frames", "300", "--timeout", "20", "--feature", "AcquisitionFrameRate=100"}, out);
    ASSERT_GT(tool, 0);
    ASSERT_TRUE(cameraStreams());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // past the wrap
    camera.stop(SIGKILL);
    ASSERT_TRUE(camera.start());
    int status = 0;
    ASSERT_EQ(waitpid(tool, &status, 0), tool);
    const std::string text = fileText(out);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << text;
    std::smatch lost;
    ASSERT_TRUE(std::regex_search(text, lost, std::regex("frames 300 .* lost ([0-9]+)"))) << text;
    EXPECT_LT(std::stoul(lost[1]), 20u) << text;
}

// Values outside a feature's range are refused before they reach the camera,
// which would store them truncated or wrapped; the tool says what it takes.
TEST_F(GigE, FeatureValuesOutsideTheirRangeAreRefusedWithTheRange) {
    ASSERT_EQ(driver->IOpenCamera(), 1);
    BGAPI2::Node* packetSize = driver->m_pDevice->GetRemoteNode("GevSCPSPacketSize");
    const std::int64_t before = packetSize->GetInt();
    try {
        packetSize->SetInt(100000);
        ADD_FAILURE() << "100000 accepted";
    } catch (BGAPI2::Exceptions::OutOfRangeException& ex) {
        EXPECT_NE(std::string(ex.GetErrorDescription()).find("is outside the range"),
                  std::string::npos)
            << ex.GetErrorDescription();
    }
    EXPECT_EQ(packetSize->GetInt(), before);
    EXPECT_THROW(driver->m_pDevice->GetRemoteNode("ExposureTimeAbs")->SetDouble(-5),
                 BGAPI2::Exceptions::OutOfRangeException);
    EXPECT_THROW(packetSize->SetDouble(1400), BGAPI2::Exceptions::InvalidParameterException);
    driver->ICloseCamera();
    driver.reset();

    for (const char* feature :
         {"GevSCPSPacketSize=100000", "GevSCPSPacketSize=0", "ExposureTimeAbs=-5"}) {
        const std::string out = testing::TempDir() + "gige-range.out";
        const std::string errors = testing::TempDir() + "gige-range.err";
        const pid_t tool = spawnGrabTool({"--frames", "1", "--feature", feature}, out, errors);
        int status = 0;
        ASSERT_EQ(waitpid(tool, &status, 0), tool);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 4) << feature;
        EXPECT_NE(fileText(errors).find("is outside the range"), std::string::npos)
            << feature << ": " << fileText(errors);
    }
}

// Another application holds the camera's control channel: the opening fails
// at once and says so, and succeeds once the other application is gone.
TEST_F(GigE, CameraInUseByAnotherApplicationFailsQuicklyAndSaysSo) {
    const pid_t other = spawnProcess(
        {"arv-camera-test-0.8", "-n", std::string("Aravis-Fake-") + kSerial}, "/dev/null");
    ASSERT_GT(other, 0);
    struct EndOther {
        pid_t pid;
        ~EndOther() {
            if (pid > 0) {
                kill(pid, SIGINT);
                waitpid(pid, nullptr, 0);
            }
        }
    } endOther{other};
    ASSERT_TRUE(cameraStreams()) << "the other application never streamed";

    // As long as any opening, which waits out a discovery (about 1 s), not the
    // 6 s of Aravis's attempts to take control and give it back.
    const auto before = Clock::now();
    EXPECT_EQ(driver->IOpenCamera(), 0);
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(2));
    EXPECT_FALSE(log.matching(QtCriticalMsg, "is in use by another application").empty());

    const std::string out = testing::TempDir() + "gige-inuse.out";
    const std::string errors = testing::TempDir() + "gige-inuse.err";
    const pid_t tool = spawnGrabTool({"--frames", "1"}, out, errors);
    int status = 0;
    ASSERT_EQ(waitpid(tool, &status, 0), tool);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 8);
    EXPECT_NE(fileText(errors).find("error: camera 'baumer GVTEST01' is in use by another "
                                    "application"),
              std::string::npos)
        << fileText(errors);

    kill(other, SIGINT);
    waitpid(other, nullptr, 0);
    endOther.pid = -1;
    EXPECT_TRUE(eventually([&] { return driver->IOpenCamera() == 1; }, 10000))
        << "the camera stays refused after the other application ended";
}

// Two cameras on two loopback addresses of this namespace, through two driver
// objects at once: each gets its own camera's frames at its own rate, and
// losing one leaves the other streaming.
TEST_F(GigE, TwoCamerasAtOnceStreamApartAndOneLostLeavesTheOther) {
    ASSERT_EQ(std::system("ip addr add 127.0.0.2/8 dev lo"), 0);
    FakeGvCamera secondCamera("GVTEST02", "127.0.0.2");
    ASSERT_TRUE(secondCamera.start());
    openAndStart(MODE_CONTINUOUS, 100, 256);
    TestHost secondHost;
    tagQZ_CAMERA_OPTION secondOption;
    secondOption.strCameraName = "baumer GVTEST02";
    auto second = std::make_unique<CCameraBaumer>(&secondOption, &secondHost);
    ASSERT_EQ(second->IOpenCamera(), 1);
    second->m_pDevice->GetRemoteNode("AcquisitionFrameRate")->SetDouble(50);
    second->m_pDevice->GetRemoteNode("Width")->SetInt(128);
    second->m_pDevice->GetRemoteNode("Height")->SetInt(128);
    second->m_nReqMode = MODE_CONTINUOUS;
    ASSERT_EQ(second->IStartCamera(), 1);

    ASSERT_TRUE(secondHost.waitFrames(5));
    const std::size_t firstBefore = host.frameCount();
    const std::size_t secondBefore = secondHost.frameCount();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double firstFrames = double(host.frameCount() - firstBefore);
    const double secondFrames = double(secondHost.frameCount() - secondBefore);
    ASSERT_GT(secondFrames, 0);
    EXPECT_NEAR(firstFrames / secondFrames, 2.0, 0.5) << firstFrames << " and " << secondFrames;
    for (const auto& frame : host.frames()) {
        ASSERT_EQ(frame.width, 256) << "a frame of the other camera";
    }
    for (const auto& frame : secondHost.frames()) {
        ASSERT_EQ(frame.width, 128) << "a frame of the other camera";
    }

    secondCamera.stop(SIGKILL);
    ASSERT_TRUE(sawLine(QtCriticalMsg, "Baumer camera(GVTEST02) lost", 5000));
    EXPECT_TRUE(log.matching(QtCriticalMsg, "Baumer camera(GVTEST01) lost").empty());
    const std::size_t afterLoss = host.frameCount();
    EXPECT_TRUE(host.waitFrames(afterLoss + 50, 3000)) << "the first camera stopped too";
    second->ICloseCamera();
    second.reset();
}
