#include "gvcpprobe.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace BGAPI2 {
namespace genicam {
namespace {

// A READREG command: magic 0x42, acknowledge wanted, command 0x0080, the
// payload's length, the request id, then the addresses.
std::vector<std::uint8_t> readRegistersCommand(std::uint16_t requestId,
                                               const std::vector<std::uint32_t>& addresses) {
    const std::size_t length = 4 * addresses.size();
    std::vector<std::uint8_t> command{0x42,
                                      0x01,
                                      0x00,
                                      0x80,
                                      static_cast<std::uint8_t>(length >> 8),
                                      static_cast<std::uint8_t>(length & 0xff),
                                      static_cast<std::uint8_t>(requestId >> 8),
                                      static_cast<std::uint8_t>(requestId & 0xff)};
    for (std::uint32_t address : addresses) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            command.push_back(static_cast<std::uint8_t>(address >> shift));
        }
    }
    return command;
}

// A READREG acknowledge of this request, with or without its values.
bool isAnswerTo(const std::uint8_t* reply, ssize_t size, std::uint16_t requestId) {
    return size >= 8 && reply[2] == 0x00 && reply[3] == 0x81 && reply[6] == (requestId >> 8) &&
           reply[7] == (requestId & 0xff);
}

bool carriesValues(const std::uint8_t* reply, ssize_t size, std::size_t count) {
    return reply[0] == 0x00 && reply[1] == 0x00 && size >= ssize_t(8 + 4 * count);
}

}  // namespace

GvcpReply gvcpReadRegisters(const sockaddr_in& camera, const std::vector<std::uint32_t>& addresses,
                            int tries, int timeoutMs, std::vector<std::uint32_t>* values) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return GvcpReply::CannotAsk;
    }
    bool answered = false;
    bool refused = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&camera), sizeof camera) == 0) {
        for (int attempt = 0; attempt < tries && !answered; ++attempt) {
            const auto requestId = static_cast<std::uint16_t>(0xf000 + attempt);
            const auto command = readRegistersCommand(requestId, addresses);
            if (::send(fd, command.data(), command.size(), 0) < 0) {
                continue;  // e.g. refused: nobody listens there now
            }
            pollfd wait{fd, POLLIN, 0};
            while (!answered && ::poll(&wait, 1, timeoutMs) > 0) {
                std::uint8_t reply[600];
                const ssize_t size = ::recv(fd, reply, sizeof reply, 0);
                if (size < 0) {
                    break;
                }
                answered = isAnswerTo(reply, size, requestId);
                refused = answered && !carriesValues(reply, size, addresses.size());
                if (answered && !refused) {
                    values->clear();
                    for (std::size_t i = 0; i < addresses.size(); ++i) {
                        const std::uint8_t* v = reply + 8 + 4 * i;
                        values->push_back(std::uint32_t{v[0]} << 24 | std::uint32_t{v[1]} << 16 |
                                          std::uint32_t{v[2]} << 8 | v[3]);
                    }
                }
            }
        }
    }
    ::close(fd);
    if (refused) {
        return GvcpReply::Refused;
    }
    return answered ? GvcpReply::Value : GvcpReply::Silent;
}

GvcpReply gvcpReadRegister(const sockaddr_in& camera, std::uint32_t address, int tries,
                           int timeoutMs, std::uint32_t* value) {
    std::vector<std::uint32_t> values;
    const GvcpReply reply = gvcpReadRegisters(camera, {address}, tries, timeoutMs, &values);
    if (reply == GvcpReply::Value) {
        *value = values.front();
    }
    return reply;
}

GvcpReply gvcpSerialNumber(const sockaddr_in& camera, int tries, int timeoutMs,
                           std::string* serial) {
    constexpr std::uint32_t kSerialNumber = 0x00D8;  // 16 bytes, NUL-padded
    std::vector<std::uint32_t> words;
    const GvcpReply reply = gvcpReadRegisters(
        camera, {kSerialNumber, kSerialNumber + 4, kSerialNumber + 8, kSerialNumber + 12}, tries,
        timeoutMs, &words);
    if (reply == GvcpReply::Value) {
        serial->clear();
        for (std::uint32_t word : words) {
            for (int shift = 24; shift >= 0; shift -= 8) {
                serial->push_back(static_cast<char>(word >> shift));
            }
        }
        serial->erase(std::min(serial->find('\0'), serial->size()));
    }
    return reply;
}

}  // namespace genicam
}  // namespace BGAPI2
