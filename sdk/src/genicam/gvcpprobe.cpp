#include "gvcpprobe.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdint>

namespace BGAPI2 {
namespace genicam {
namespace {

// A READREG command for one register: magic 0x42, acknowledge wanted,
// command 0x0080, 4 bytes of payload, request id, then the address.
std::array<std::uint8_t, 12> readRegisterCommand(std::uint16_t requestId, std::uint32_t address) {
    return {0x42,
            0x01,
            0x00,
            0x80,
            0x00,
            0x04,
            static_cast<std::uint8_t>(requestId >> 8),
            static_cast<std::uint8_t>(requestId & 0xff),
            static_cast<std::uint8_t>(address >> 24),
            static_cast<std::uint8_t>(address >> 16),
            static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address)};
}

// A READREG acknowledge of this request that carries its register value.
bool isAnswerTo(const std::uint8_t* reply, ssize_t size, std::uint16_t requestId) {
    return size >= 12 && reply[2] == 0x00 && reply[3] == 0x81 && reply[6] == (requestId >> 8) &&
           reply[7] == (requestId & 0xff);
}

}  // namespace

GvcpReply gvcpReadRegister(const sockaddr_in& camera, std::uint32_t address, int tries,
                           int timeoutMs, std::uint32_t* value) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return GvcpReply::CannotAsk;
    }
    bool answered = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&camera), sizeof camera) == 0) {
        for (int attempt = 0; attempt < tries && !answered; ++attempt) {
            const auto requestId = static_cast<std::uint16_t>(0xf000 + attempt);
            const auto command = readRegisterCommand(requestId, address);
            if (::send(fd, command.data(), command.size(), 0) < 0) {
                continue;  // e.g. refused: nobody listens there now
            }
            pollfd wait{fd, POLLIN, 0};
            while (!answered && ::poll(&wait, 1, timeoutMs) > 0) {
                std::uint8_t reply[64];
                const ssize_t size = ::recv(fd, reply, sizeof reply, 0);
                if (size < 0) {
                    break;
                }
                answered = isAnswerTo(reply, size, requestId);
                if (answered) {
                    *value = std::uint32_t{reply[8]} << 24 | std::uint32_t{reply[9]} << 16 |
                             std::uint32_t{reply[10]} << 8 | reply[11];
                }
            }
        }
    }
    ::close(fd);
    return answered ? GvcpReply::Value : GvcpReply::Silent;
}

bool gvcpAnswers(const sockaddr_in& camera, int tries, int timeoutMs) {
    std::uint32_t version = 0;
    return gvcpReadRegister(camera, 0, tries, timeoutMs, &version) != GvcpReply::Silent;
}

}  // namespace genicam
}  // namespace BGAPI2
