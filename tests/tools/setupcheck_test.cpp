// The setup check's decisions on facts handed to it: each fault found with a
// fix that would mend it, and a sound machine left alone.
#include <gtest/gtest.h>

#include "setupcheck.h"

namespace {

constexpr std::uint32_t kIp = 0xC0A80A01;  // 192.168.10.1
constexpr std::uint32_t kMask = 0xFFFFFF00;

SetupFacts soundMachine() {
    SetupFacts facts;
    facts.interfaces = {{"lo", 0x7F000001, 0xFF000000, 65536, 0, true},
                        {"eth1", kIp, kMask, 9000, 2, false}};
    facts.gigeCameras = {{"CAM1", kIp + 10, "eth1", 8000, 5013504}};
    facts.usbCameras = {{"/dev/bus/usb/002/003", "2676:ba02", "700001234", true, 5013504}};
    facts.receiveBufferMax = 16 << 20;
    facts.rawSockets = true;
    facts.usbMemoryMb = 256;
    return facts;
}

std::string all(const std::vector<SetupFinding>& findings) {
    std::string text;
    for (const auto& finding : findings) {
        text += finding.problem.toStdString() + " | " + finding.fix.toStdString() + "\n";
    }
    return text;
}

}  // namespace

TEST(SetupCheck, SoundMachineHasNoFinding) {
    EXPECT_EQ(all(checkSetup(soundMachine())), "");
}

TEST(SetupCheck, ReceiveBufferBelowAFrameIsRaisedToAFrame) {
    SetupFacts facts = soundMachine();
    facts.receiveBufferMax = 212992;  // Debian's default
    const auto findings = checkSetup(facts);
    ASSERT_EQ(findings.size(), 1u) << all(findings);
    EXPECT_NE(findings[0].problem.indexOf("5013504 bytes of a frame of camera CAM1"), -1);
    const QString fix = findings[0].fix;
    ASSERT_TRUE(fix.startsWith("sudo sysctl -w net.core.rmem_max=")) << fix.toStdString();
    EXPECT_GE(fix.section('=', 1).toLongLong(), 5013504);
    facts.receiveBufferMax = 5013504;
    EXPECT_EQ(all(checkSetup(facts)), "");
}

TEST(SetupCheck, PacketsAboveTheMtuAreNamedWithBothFixes) {
    SetupFacts facts = soundMachine();
    facts.interfaces[1].mtu = 1500;
    const auto findings = checkSetup(facts);
    ASSERT_EQ(findings.size(), 1u) << all(findings);
    EXPECT_NE(findings[0].problem.indexOf("8000-byte packets, above the MTU of eth1 (1500)"), -1);
    EXPECT_NE(findings[0].fix.indexOf("sudo ip link set dev eth1 mtu 8000"), -1);
    EXPECT_NE(findings[0].fix.indexOf("GevSCPSPacketSize=1500"), -1);
    facts.gigeCameras[0].packetSize = 1500;
    EXPECT_EQ(all(checkSetup(facts)), "");
}

TEST(SetupCheck, CameraOnAnotherSubnetGetsAnAddressInItsSubnet) {
    SetupFacts facts = soundMachine();
    facts.gigeCameras[0].address = 0xA9FE0102;  // 169.254.1.2, a link-local camera
    const auto findings = checkSetup(facts);
    ASSERT_EQ(findings.size(), 1u) << all(findings);
    EXPECT_NE(findings[0].problem.indexOf("camera CAM1 at 169.254.1.2 answers on eth1 "
                                          "(192.168.10.1/24) but is not on its subnet"),
              -1)
        << findings[0].problem.toStdString();
    EXPECT_EQ(findings[0].fix.toStdString(), "sudo ip addr add 169.254.1.254/24 dev eth1");
    // The subnet's last host is the camera itself: the one before it.
    facts.gigeCameras[0].address = 0xA9FE01FE;
    EXPECT_EQ(checkSetup(facts)[0].fix.toStdString(), "sudo ip addr add 169.254.1.253/24 dev eth1");
}

TEST(SetupCheck, CameraReachableOnAnyInterfaceIsNotOnAnotherSubnet) {
    SetupFacts facts = soundMachine();
    SetupFacts::GigECamera elsewhere = facts.gigeCameras[0];
    elsewhere.foundOn = "lo";  // its answer to a broadcast from loopback's address
    facts.gigeCameras.push_back(elsewhere);
    EXPECT_EQ(all(checkSetup(facts)), "");
    facts.gigeCameras.erase(facts.gigeCameras.begin());
    EXPECT_NE(all(checkSetup(facts)).find("answers on lo"), std::string::npos);
}

TEST(SetupCheck, StrictReversePathFilterOnACameraNetworkOnly) {
    SetupFacts facts = soundMachine();
    facts.interfaces[0].reversePathFilter = 1;  // loopback: never filtered
    EXPECT_EQ(all(checkSetup(facts)), "");
    facts.interfaces[1].reversePathFilter = 1;
    const auto findings = checkSetup(facts);
    ASSERT_EQ(findings.size(), 1u) << all(findings);
    EXPECT_EQ(findings[0].fix.toStdString(), "sudo sysctl -w net.ipv4.conf.eth1.rp_filter=2");
}

TEST(SetupCheck, SlowReceivePathIsNamedOnlyWhereGigECamerasAre) {
    SetupFacts facts = soundMachine();
    facts.rawSockets = false;
    const auto findings = checkSetup(facts);
    ASSERT_EQ(findings.size(), 1u) << all(findings);
    EXPECT_NE(findings[0].fix.indexOf("setcap cap_net_raw+ep"), -1);
    facts.gigeCameras.clear();
    EXPECT_EQ(all(checkSetup(facts)), "");
}

TEST(SetupCheck, UsbDeviceWithoutAccessAndTooLittleUsbMemory) {
    SetupFacts facts = soundMachine();
    facts.usbCameras[0].accessible = false;
    auto findings = checkSetup(facts);
    ASSERT_EQ(findings.size(), 1u) << all(findings);
    EXPECT_NE(findings[0].problem.indexOf("/dev/bus/usb/002/003"), -1);
    EXPECT_NE(findings[0].fix.indexOf("usermod -aG video"), -1);

    facts = soundMachine();
    facts.usbMemoryMb = 16;  // the kernel's default; eight 5 MB buffers need 39 MB
    findings = checkSetup(facts);
    ASSERT_EQ(findings.size(), 1u) << all(findings);
    const QString fix = findings[0].fix;
    EXPECT_NE(fix.indexOf("/sys/module/usbcore/parameters/usbfs_memory_mb"), -1);
    EXPECT_GE(fix.section("echo ", 1).section(' ', 0, 0).toLongLong() << 20,
              std::int64_t{5013504} * kStreamBuffers);
    facts.usbMemoryMb = 0;  // no limit
    EXPECT_EQ(all(checkSetup(facts)), "");
    facts.usbMemoryMb = -1;  // usbcore not loaded: the limit is unknown
    EXPECT_EQ(all(checkSetup(facts)), "");
}
