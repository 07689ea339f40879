#include "setupcheck.h"

namespace {

using Facts = SetupFacts;

int prefixLength(std::uint32_t netmask) {
    int bits = 0;
    for (; netmask & 0x80000000u; netmask <<= 1) {
        ++bits;
    }
    return bits;
}

const Facts::Interface* interfaceNamed(const Facts& facts, const QString& name) {
    for (const auto& candidate : facts.interfaces) {
        if (candidate.name == name) {
            return &candidate;
        }
    }
    return nullptr;
}

bool onSubnet(const Facts::Interface& iface, std::uint32_t address) {
    return (iface.address & iface.netmask) == (address & iface.netmask);
}

void checkReceiveBuffer(const Facts& facts, const Facts::GigECamera& camera,
                        std::vector<SetupFinding>* findings) {
    if (facts.receiveBufferMax <= 0 || camera.payloadSize <= facts.receiveBufferMax) {
        return;
    }
    const std::int64_t wanted = (camera.payloadSize + 0xFFFFF) & ~std::int64_t{0xFFFFF};
    findings->push_back(
        {QString("the socket receive buffer limit (net.core.rmem_max) is %1 bytes, below the %2 "
                 "bytes of a frame of camera %3: packets are dropped while a frame arrives")
             .arg(facts.receiveBufferMax)
             .arg(camera.payloadSize)
             .arg(camera.serial),
         QString("sudo sysctl -w net.core.rmem_max=%1").arg(wanted)});
}

// A camera that answers on several interfaces is reached through any one
// whose subnet it is on.
bool reachableElsewhere(const Facts& facts, const Facts::GigECamera& camera) {
    for (const auto& other : facts.gigeCameras) {
        if (other.serial == camera.serial && reachable(facts, other)) {
            return true;
        }
    }
    return false;
}

// A camera answered a discovery on an interface whose subnet it is not on:
// it is listed, but its unicast answers have no way back.
void reportOtherSubnet(const Facts::Interface& iface, const Facts::GigECamera& camera,
                       std::vector<SetupFinding>* findings) {
    const std::uint32_t mask = iface.netmask != 0 ? iface.netmask : 0xFFFFFF00u;
    std::uint32_t host = (camera.address & mask) | (~mask - 1);  // the subnet's last host
    if (host == camera.address) {
        --host;
    }
    findings->push_back(
        {QString("camera %1 at %2 answers on %3 (%4/%5) but is not on its subnet: it is listed "
                 "and cannot be opened")
             .arg(camera.serial, ipText(camera.address), iface.name, ipText(iface.address))
             .arg(prefixLength(iface.netmask)),
         QString("sudo ip addr add %1/%2 dev %3")
             .arg(ipText(host))
             .arg(prefixLength(mask))
             .arg(iface.name)});
}

void checkPacketSize(const Facts::Interface& iface, const Facts::GigECamera& camera,
                     std::vector<SetupFinding>* findings) {
    if (camera.packetSize <= iface.mtu || iface.mtu <= 0) {
        return;
    }
    findings->push_back(
        {QString("camera %1 sends %2-byte packets, above the MTU of %3 (%4): they do not arrive")
             .arg(camera.serial)
             .arg(camera.packetSize)
             .arg(iface.name)
             .arg(iface.mtu),
         QString("sudo ip link set dev %1 mtu %2   (or: qzcam-grab --camera 'baumer %3' --feature "
                 "GevSCPSPacketSize=%4)")
             .arg(iface.name)
             .arg(camera.packetSize)
             .arg(camera.serial)
             .arg(iface.mtu)});
}

void checkNetwork(const Facts& facts, std::vector<SetupFinding>* findings) {
    for (const auto& iface : facts.interfaces) {
        if (!iface.loopback && iface.reversePathFilter == 1) {
            findings->push_back(
                {QString("strict reverse-path filtering on %1 drops answers from cameras its "
                         "routes do not lead to")
                     .arg(iface.name),
                 QString("sudo sysctl -w net.ipv4.conf.%1.rp_filter=2").arg(iface.name)});
        }
    }
    const bool network = !facts.gigeCameras.empty();
    if (network && !facts.rawSockets) {
        findings->push_back(
            {"no CAP_NET_RAW: GigE Vision streams take the slow receive path, "
             "one system call per packet",
             "sudo setcap cap_net_raw+ep \"$(command -v qzcam-grab)\"   (and the "
             "host application)"});
    }
    for (const auto& camera : facts.gigeCameras) {
        checkReceiveBuffer(facts, camera, findings);
        const Facts::Interface* iface = interfaceNamed(facts, camera.foundOn);
        if (iface == nullptr) {
            continue;
        }
        if (reachable(facts, camera)) {
            checkPacketSize(*iface, camera, findings);
        } else if (!reachableElsewhere(facts, camera)) {
            reportOtherSubnet(*iface, camera, findings);
        }
    }
}

void checkUsb(const Facts& facts, std::vector<SetupFinding>* findings) {
    std::int64_t needed = 0;
    for (const auto& camera : facts.usbCameras) {
        if (!camera.accessible) {
            findings->push_back(
                {QString("no read and write access to %1 (USB3 Vision camera %2)")
                     .arg(camera.device, camera.name),
                 "sudo usermod -aG video \"$USER\"   (with 70-qzcam-usb3vision.rules installed; "
                 "then log in again)"});
        }
        needed += camera.payloadSize * kStreamBuffers;
    }
    // -1: the limit cannot be read; 0: there is none.
    if (facts.usbMemoryMb > 0 && needed > std::int64_t{facts.usbMemoryMb} * (1 << 20)) {
        const std::int64_t wantedMb = (needed >> 20) + 1;
        findings->push_back(
            {QString("USB memory is limited to %1 MB (usbfs_memory_mb), below the %2 MB the "
                     "streams of the USB3 Vision cameras need")
                 .arg(facts.usbMemoryMb)
                 .arg(wantedMb),
             QString("sudo sh -c 'echo %1 > /sys/module/usbcore/parameters/usbfs_memory_mb'")
                 .arg(wantedMb)});
    }
}

}  // namespace

QString ipText(std::uint32_t address) {
    return QString("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xff)
        .arg((address >> 8) & 0xff)
        .arg(address & 0xff);
}

bool reachable(const SetupFacts& facts, const SetupFacts::GigECamera& camera) {
    const SetupFacts::Interface* iface = interfaceNamed(facts, camera.foundOn);
    return iface != nullptr && onSubnet(*iface, camera.address);
}

std::vector<SetupFinding> checkSetup(const SetupFacts& facts) {
    std::vector<SetupFinding> findings;
    checkNetwork(facts, &findings);
    checkUsb(facts, &findings);
    return findings;
}
