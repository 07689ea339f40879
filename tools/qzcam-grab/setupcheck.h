#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// What the setup check looks at, gathered from the machine (setupprobe.h)
// or handed to it by a test.
struct SetupFacts {
    struct Interface {
        QString name;
        std::uint32_t address = 0;  // IPv4, host order
        std::uint32_t netmask = 0;
        int mtu = 0;
        int reversePathFilter = 0;  // 0 off, 1 strict, 2 loose
        bool loopback = false;
    };
    struct GigECamera {
        QString serial;
        std::uint32_t address = 0;     // as its discovery answer gives it
        QString foundOn;               // the interface whose discovery it answered
        int packetSize = 0;            // bytes; 0 where it could not be read
        std::int64_t payloadSize = 0;  // bytes of a frame; 0 where unknown
    };
    struct UsbCamera {
        QString device;  // "/dev/bus/usb/002/003"
        QString name;    // vendor and product ids
        QString serial;  // the device's serial number string
        bool accessible = true;
        std::int64_t payloadSize = 0;  // 0 where unknown
    };
    std::vector<Interface> interfaces;
    std::vector<GigECamera> gigeCameras;
    std::vector<UsbCamera> usbCameras;
    std::int64_t receiveBufferMax = 0;  // net.core.rmem_max; 0 unknown
    bool rawSockets = false;            // CAP_NET_RAW: Aravis's packet-socket path
    int usbMemoryMb = -1;               // usbcore's usbfs_memory_mb; -1 unknown, 0 no limit
};

// One thing wrong with the machine, and the command that puts it right.
struct SetupFinding {
    QString problem;
    QString fix;
};

std::vector<SetupFinding> checkSetup(const SetupFacts& facts);

// "192.168.10.1" for an IPv4 address in host order.
QString ipText(std::uint32_t address);

// Whether the camera is on the subnet of the interface it answered on, so
// that it can be opened from here.
bool reachable(const SetupFacts& facts, const SetupFacts::GigECamera& camera);

// The buffers a stream keeps queued, as the plug-in sets them up.
constexpr int kStreamBuffers = 8;
