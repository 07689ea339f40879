#include "gvrelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <future>
#include <map>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::uint16_t kControlPort = 3956;
constexpr std::uint32_t kLoopback = 0x7F000001;

// Commands and acknowledgements of the control protocol.
constexpr std::uint16_t kPacketResend = 0x0040;
constexpr std::uint16_t kReadRegister = 0x0080;
constexpr std::uint16_t kReadRegisterAck = 0x0081;
constexpr std::uint16_t kWriteRegister = 0x0082;
constexpr std::uint16_t kReadMemory = 0x0084;
constexpr std::uint16_t kReadMemoryAck = 0x0085;
constexpr std::uint16_t kWriteMemory = 0x0086;
constexpr std::size_t kHeader = 8;
constexpr std::uint8_t kLeader = 1;  // a stream packet's content type

// Bootstrap registers the relay stands between.
constexpr std::uint32_t kCapabilities = 0x0934;
constexpr std::uint32_t kResendCapability = 1u << 2;
constexpr std::uint32_t kStreamPort = 0x0D00;
constexpr std::uint32_t kStreamAddress = 0x0D18;

constexpr std::size_t kKeptPackets = 8192;

std::uint16_t get16(const std::uint8_t* p) {
    return std::uint16_t(p[0] << 8 | p[1]);
}
std::uint32_t get32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}
void put32(std::uint8_t* p, std::uint32_t value) {
    p[0] = std::uint8_t(value >> 24);
    p[1] = std::uint8_t(value >> 16);
    p[2] = std::uint8_t(value >> 8);
    p[3] = std::uint8_t(value);
}

sockaddr_in addressOf(std::uint32_t ip, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(ip);
    address.sin_port = htons(port);
    return address;
}

int boundSocket(std::uint32_t ip, std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    const int buffer = 8 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    const sockaddr_in address = addressOf(ip, port);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    return fd;
}

std::uint16_t portOf(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

ino_t namespaceOf(const std::string& process) {
    struct stat info {};
    return stat(("/proc/" + process + "/ns/net").c_str(), &info) == 0 ? info.st_ino : 0;
}

// One application's control socket here, and the socket that speaks for it
// to the camera there.
struct Client {
    sockaddr_in address{};
    int cameraSide = -1;
    std::map<std::uint16_t, std::vector<std::uint32_t>> readsPending;  // by request id
};

struct KeptPacket {
    std::uint64_t key = ~std::uint64_t{0};
    std::vector<std::uint8_t> bytes;
};

}  // namespace

struct GvRelay::State {
    State(pid_t pid, Loss relayLoss) : cameraPid(pid), loss(relayLoss) {}

    pid_t cameraPid;
    Loss loss;
    int controlHere = -1;  // the camera's control port, as this namespace sees it
    int streamHere = -1;   // the stream goes on from here
    int streamThere = -1;  // the camera streams to this, in its namespace
    int cameraNamespace = -1;
    int stop = -1;
    std::uint32_t streamTargetIp = 0;  // where the application wants the stream
    std::uint16_t streamTargetPort = 0;
    std::uint16_t streamTherePort = 0;
    std::map<std::uint64_t, Client> clients;
    std::vector<KeptPacket> kept = std::vector<KeptPacket>(kKeptPackets);
    std::unordered_map<std::uint64_t, std::size_t> keptAt;
    std::size_t nextKept = 0;
    std::mt19937 random{20261211};
    std::uniform_real_distribution<double> chance{0.0, 1.0};
    std::atomic<std::uint64_t> frames{0}, forwarded{0}, dropped{0}, resendRequests{0}, resent{0},
        resentDropped{0}, notKept{0};

    Client& clientAt(const sockaddr_in& from);
    void fromApplication(const sockaddr_in& from, std::uint8_t* packet, std::size_t size);
    void fromCamera(Client& client, std::uint8_t* packet, std::size_t size);
    template <typename Visit>
    void forEachRegisterIn(std::uint8_t* block, std::size_t size, Visit visit);
    void rewriteWrite(std::uint32_t address, std::uint8_t* value);
    void rewriteRead(std::uint32_t address, std::uint8_t* value);
    void resend(const std::uint8_t* packet, std::size_t size);
    void streamPacket(const std::uint8_t* packet, std::size_t size);
    void sendStream(const std::uint8_t* packet, std::size_t size);
};

GvRelay::GvRelay(pid_t cameraPid, Loss loss) : m_state(new State(cameraPid, loss)) {}

GvRelay::~GvRelay() {
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        (void)!write(m_state->stop, &one, sizeof one);
        m_thread.join();
    }
    for (auto& entry : m_state->clients) {
        close(entry.second.cameraSide);
    }
    for (int fd : {m_state->controlHere, m_state->streamHere, m_state->streamThere,
                   m_state->cameraNamespace, m_state->stop}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool GvRelay::start(std::string* why) {
    State& s = *m_state;
    const std::string camera = std::to_string(s.cameraPid);
    for (int i = 0; i < 100 && namespaceOf(camera) == namespaceOf("self"); ++i) {
        usleep(10000);  // the camera's unshare has yet to run
    }
    if (namespaceOf(camera) == 0 || namespaceOf(camera) == namespaceOf("self")) {
        *why = "the camera has no network namespace of its own";
        return false;
    }
    s.cameraNamespace = open(("/proc/" + camera + "/ns/net").c_str(), O_RDONLY | O_CLOEXEC);
    s.controlHere = boundSocket(INADDR_ANY, kControlPort);
    s.streamHere = boundSocket(kLoopback, 0);
    s.stop = eventfd(0, EFD_CLOEXEC);
    if (s.cameraNamespace < 0 || s.controlHere < 0 || s.streamHere < 0 || s.stop < 0) {
        *why = "cannot open the camera's namespace or bind the control port here";
        return false;
    }
    std::promise<bool> joined;
    auto ready = joined.get_future();
    m_thread = std::thread([this, &joined] {
        State& state = *m_state;
        // Only this thread moves: sockets made from here on are the camera's.
        const bool there = setns(state.cameraNamespace, CLONE_NEWNET) == 0 &&
                           (state.streamThere = boundSocket(kLoopback, 0)) >= 0;
        if (there) {
            state.streamTherePort = portOf(state.streamThere);
        }
        joined.set_value(there);
        if (there) {
            run();
        }
    });
    if (!ready.get()) {
        *why = "cannot join the camera's network namespace";
        m_thread.join();
        return false;
    }
    return true;
}

GvRelay::Counts GvRelay::counts() const {
    const State& s = *m_state;
    return Counts{s.frames, s.forwarded,     s.dropped, s.resendRequests,
                  s.resent, s.resentDropped, s.notKept};
}

void GvRelay::run() {
    State& s = *m_state;
    std::vector<std::uint8_t> packet(65536);
    for (;;) {
        std::vector<pollfd> fds{
            {s.stop, POLLIN, 0}, {s.controlHere, POLLIN, 0}, {s.streamThere, POLLIN, 0}};
        std::vector<Client*> owners{nullptr, nullptr, nullptr};
        for (auto& entry : s.clients) {
            fds.push_back({entry.second.cameraSide, POLLIN, 0});
            owners.push_back(&entry.second);
        }
        if (poll(fds.data(), fds.size(), 100) < 0 || (fds[0].revents & POLLIN) != 0) {
            return;
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if ((fds[i].revents & POLLIN) == 0) {
                continue;
            }
            // Several at a time, so that a fast stream does not wait on poll.
            for (int n = 0; n < 256; ++n) {
                sockaddr_in from{};
                socklen_t fromSize = sizeof from;
                const ssize_t size = recvfrom(fds[i].fd, packet.data(), packet.size(), MSG_DONTWAIT,
                                              reinterpret_cast<sockaddr*>(&from), &fromSize);
                if (size <= 0) {
                    break;
                }
                if (i == 1) {
                    s.fromApplication(from, packet.data(), std::size_t(size));
                } else if (i == 2) {
                    s.streamPacket(packet.data(), std::size_t(size));
                } else {
                    s.fromCamera(*owners[i], packet.data(), std::size_t(size));
                }
            }
        }
    }
}

Client& GvRelay::State::clientAt(const sockaddr_in& from) {
    const std::uint64_t key =
        std::uint64_t(ntohl(from.sin_addr.s_addr)) << 16 | ntohs(from.sin_port);
    auto found = clients.find(key);
    if (found != clients.end()) {
        return found->second;
    }
    Client& client = clients[key];
    client.address = from;
    client.cameraSide = boundSocket(kLoopback, 0);  // in the camera's namespace
    const sockaddr_in camera = addressOf(kLoopback, kControlPort);
    connect(client.cameraSide, reinterpret_cast<const sockaddr*>(&camera), sizeof camera);
    return client;
}

void GvRelay::State::fromApplication(const sockaddr_in& from, std::uint8_t* packet,
                                     std::size_t size) {
    if (size < kHeader) {
        return;
    }
    const std::uint16_t command = get16(packet + 2);
    if (command == kPacketResend) {
        resend(packet, size);  // the camera itself cannot
        return;
    }
    Client& client = clientAt(from);
    if (command == kReadRegister) {
        std::vector<std::uint32_t>& addresses = client.readsPending[get16(packet + 6)];
        addresses.clear();
        for (std::size_t at = kHeader; at + 4 <= size; at += 4) {
            addresses.push_back(get32(packet + at));
        }
    } else if (command == kWriteRegister) {
        for (std::size_t at = kHeader; at + 8 <= size; at += 8) {
            rewriteWrite(get32(packet + at), packet + at + 4);
        }
    } else if (command == kWriteMemory && size >= kHeader + 4) {
        forEachRegisterIn(
            packet + kHeader, size - kHeader,
            [this](std::uint32_t address, std::uint8_t* value) { rewriteWrite(address, value); });
    }
    (void)!send(client.cameraSide, packet, size, 0);
}

void GvRelay::State::fromCamera(Client& client, std::uint8_t* packet, std::size_t size) {
    if (size < kHeader) {
        return;
    }
    const std::uint16_t ack = get16(packet + 2);
    if (ack == kReadRegisterAck) {
        auto pending = client.readsPending.find(get16(packet + 6));
        if (pending != client.readsPending.end()) {
            for (std::size_t i = 0; i < pending->second.size(); ++i) {
                if (kHeader + 4 * i + 4 <= size) {
                    rewriteRead(pending->second[i], packet + kHeader + 4 * i);
                }
            }
            client.readsPending.erase(pending);
        }
    } else if (ack == kReadMemoryAck && size >= kHeader + 4) {
        forEachRegisterIn(
            packet + kHeader, size - kHeader,
            [this](std::uint32_t address, std::uint8_t* value) { rewriteRead(address, value); });
    }
    sendto(controlHere, packet, size, 0, reinterpret_cast<const sockaddr*>(&client.address),
           sizeof client.address);
}

// A memory block (its address, then its bytes): each register the relay
// stands between that lies whole inside it.
template <typename Visit>
void GvRelay::State::forEachRegisterIn(std::uint8_t* block, std::size_t size, Visit visit) {
    const std::uint32_t base = get32(block);
    const std::size_t bytes = size - 4;
    for (std::uint32_t address : {kCapabilities, kStreamPort, kStreamAddress}) {
        if (address >= base && address - base + 4 <= bytes) {
            visit(address, block + 4 + (address - base));
        }
    }
}

// The application says where it wants the stream; the camera is told to
// send it here instead.
void GvRelay::State::rewriteWrite(std::uint32_t address, std::uint8_t* value) {
    const std::uint32_t written = get32(value);
    if (address == kStreamAddress) {
        streamTargetIp = written;
        put32(value, kLoopback);
    } else if (address == kStreamPort) {
        streamTargetPort = std::uint16_t(written);
        if (streamTargetPort != 0) {  // 0 closes the channel
            put32(value, (written & 0xFFFF0000u) | streamTherePort);
        }
    }
}

// What the application reads is what it wrote, and the capabilities are
// those the relay gives the camera.
void GvRelay::State::rewriteRead(std::uint32_t address, std::uint8_t* value) {
    const std::uint32_t read = get32(value);
    if (address == kCapabilities) {
        put32(value, loss.offerResend ? read | kResendCapability : read & ~kResendCapability);
    } else if (address == kStreamAddress && streamTargetIp != 0) {
        put32(value, streamTargetIp);
    } else if (address == kStreamPort && streamTargetPort != 0) {
        put32(value, (read & 0xFFFF0000u) | streamTargetPort);
    }
}

// A request names a block and a range of its packets (16-bit block ids,
// 24-bit packet ids).
void GvRelay::State::resend(const std::uint8_t* packet, std::size_t size) {
    ++resendRequests;
    if (size < kHeader + 12) {
        return;
    }
    const std::uint64_t block = get32(packet + kHeader) & 0xFFFF;
    const std::uint32_t first = get32(packet + kHeader + 4) & 0xFFFFFF;
    const std::uint32_t last = get32(packet + kHeader + 8) & 0xFFFFFF;
    for (std::uint32_t id = first; id <= last && id - first < kKeptPackets; ++id) {
        const auto at = keptAt.find(block << 24 | id);
        if (at == keptAt.end()) {
            ++notKept;
        } else if (chance(random) < loss.resent) {
            ++resentDropped;
        } else {
            ++resent;
            sendStream(kept[at->second].bytes.data(), kept[at->second].bytes.size());
        }
    }
}

void GvRelay::State::streamPacket(const std::uint8_t* packet, std::size_t size) {
    const bool extendedIds = size > 4 && (packet[4] & 0x80) != 0;
    if (size >= kHeader && !extendedIds) {
        const std::uint64_t key =
            std::uint64_t(get16(packet + 2)) << 24 | (get32(packet + 4) & 0xFFFFFF);
        KeptPacket& slot = kept[nextKept];
        const auto old = keptAt.find(slot.key);
        if (old != keptAt.end() && old->second == nextKept) {
            keptAt.erase(old);
        }
        slot.key = key;
        slot.bytes.assign(packet, packet + size);
        keptAt[key] = nextKept;
        nextKept = (nextKept + 1) % kept.size();
        if ((packet[4] & 0x7F) == kLeader) {
            ++frames;
        }
    }
    if (chance(random) < loss.stream) {
        ++dropped;
        return;
    }
    ++forwarded;
    sendStream(packet, size);
}

void GvRelay::State::sendStream(const std::uint8_t* packet, std::size_t size) {
    if (streamTargetPort == 0) {
        return;
    }
    const sockaddr_in target = addressOf(streamTargetIp, streamTargetPort);
    sendto(streamHere, packet, size, 0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
}
