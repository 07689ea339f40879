#include "setupprobe.h"

#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace {

QString fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).trimmed()
                                          : QString();
}

std::int64_t fileNumber(const QString& path, std::int64_t otherwise) {
    bool ok = false;
    const std::int64_t value = fileText(path).toLongLong(&ok);
    return ok ? value : otherwise;
}

// Asked of a socket, so that it is this network namespace's interface (sysfs
// shows the namespace it was mounted in).
int mtuOf(const char* name) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, name, IFNAMSIZ - 1);
    const bool ok = fd >= 0 && ioctl(fd, SIOCGIFMTU, &request) == 0;
    if (fd >= 0) {
        close(fd);
    }
    return ok ? request.ifr_mtu : 0;
}

std::vector<SetupFacts::Interface> interfaces() {
    std::vector<SetupFacts::Interface> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return found;
    }
    const int all = int(fileNumber("/proc/sys/net/ipv4/conf/all/rp_filter", 0));
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_UP) == 0) {
            continue;
        }
        SetupFacts::Interface iface;
        iface.name = QString::fromLocal8Bit(entry->ifa_name);
        iface.address = ntohl(reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        if (entry->ifa_netmask != nullptr) {
            iface.netmask =
                ntohl(reinterpret_cast<sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
        }
        iface.mtu = mtuOf(entry->ifa_name);
        // The kernel applies the stricter of "all" and the interface's own.
        const int own = int(fileNumber("/proc/sys/net/ipv4/conf/" + iface.name + "/rp_filter", 0));
        iface.reversePathFilter = std::max(all, own);
        iface.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        found.push_back(iface);
    }
    freeifaddrs(list);
    return found;
}

bool hasRawSockets() {
    const QStringList lines = fileText("/proc/self/status").split('\n');
    for (const QString& line : lines) {
        if (line.startsWith("CapEff:")) {
            constexpr int kNetRaw = 13;
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> kNetRaw) & 1;
        }
    }
    return false;
}

// A GigE Vision discovery from one interface's address: the cameras that
// answer within the discovery's second, by the data of their answers.
void discoverOn(const SetupFacts::Interface& iface, std::vector<SetupFacts::GigECamera>* cameras) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(iface.address);
    sockaddr_in everyone{};
    everyone.sin_family = AF_INET;
    everyone.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    everyone.sin_port = htons(3956);
    // Magic 0x42, acknowledge wanted and broadcast answers allowed, DISCOVERY_CMD.
    const std::uint8_t command[8] = {0x42, 0x11, 0x00, 0x02, 0x00, 0x00, 0xff, 0xff};
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        sendto(fd, command, sizeof command, 0, reinterpret_cast<sockaddr*>(&everyone),
               sizeof everyone) < 0) {
        if (fd >= 0) {
            close(fd);
        }
        return;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd wait{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&wait, 1, int(left.count())) <= 0) {
            break;
        }
        std::uint8_t reply[600];
        const ssize_t size = recv(fd, reply, sizeof reply, 0);
        // DISCOVERY_ACK: the current address at 0x24 and the serial at 0xD8
        // of the data after the 8-byte header.
        if (size < 8 + 0xE8 || reply[2] != 0x00 || reply[3] != 0x03) {
            continue;
        }
        SetupFacts::GigECamera camera;
        const std::uint8_t* data = reply + 8;
        camera.address = std::uint32_t(data[0x24]) << 24 | std::uint32_t(data[0x25]) << 16 |
                         std::uint32_t(data[0x26]) << 8 | data[0x27];
        camera.serial =
            QString::fromLatin1(reinterpret_cast<const char*>(data + 0xD8),
                                int(strnlen(reinterpret_cast<const char*>(data + 0xD8), 16)));
        camera.foundOn = iface.name;
        cameras->push_back(camera);
    }
    close(fd);
}

std::vector<SetupFacts::UsbCamera> usbCameras() {
    std::vector<SetupFacts::UsbCamera> found;
    const QString root = "/sys/bus/usb/devices/";
    for (const QString& entry : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        // Interfaces are named "bus-port:config.interface"; the control one is enough.
        const QString at = root + entry + "/";
        if (!entry.contains(':') || fileText(at + "bInterfaceClass") != "ef" ||
            fileText(at + "bInterfaceSubClass") != "05" ||
            fileText(at + "bInterfaceProtocol") != "00") {
            continue;
        }
        const QString device = root + entry.section(':', 0, 0) + "/";
        SetupFacts::UsbCamera camera;
        camera.device = QString("/dev/bus/usb/%1/%2")
                            .arg(fileNumber(device + "busnum", 0), 3, 10, QChar('0'))
                            .arg(fileNumber(device + "devnum", 0), 3, 10, QChar('0'));
        camera.name = fileText(device + "idVendor") + ":" + fileText(device + "idProduct");
        camera.serial = fileText(device + "serial");
        camera.accessible = access(camera.device.toLocal8Bit().constData(), R_OK | W_OK) == 0;
        found.push_back(camera);
    }
    return found;
}

}  // namespace

SetupFacts probeSetup() {
    SetupFacts facts;
    facts.interfaces = interfaces();
    for (const auto& iface : facts.interfaces) {
        discoverOn(iface, &facts.gigeCameras);
    }
    facts.usbCameras = usbCameras();
    facts.receiveBufferMax = fileNumber("/proc/sys/net/core/rmem_max", 0);
    facts.rawSockets = hasRawSockets();
    facts.usbMemoryMb = int(fileNumber("/sys/module/usbcore/parameters/usbfs_memory_mb", -1));
    return facts;
}
