#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

namespace BGAPI2 {
namespace genicam {

enum class GvcpReply { Value, Refused, Silent, CannotAsk };

// Reads one register of a GigE Vision camera over its control channel, with
// a short time-out, without Aravis's long retries; the value is written only
// when the camera answers with it (Refused: an answer with an error status).
GvcpReply gvcpReadRegister(const sockaddr_in& camera, std::uint32_t address, int tries,
                           int timeoutMs, std::uint32_t* value);

// Several registers in one request; values holds one per address.
GvcpReply gvcpReadRegisters(const sockaddr_in& camera, const std::vector<std::uint32_t>& addresses,
                            int tries, int timeoutMs, std::vector<std::uint32_t>* values);

// The serial number in the camera's bootstrap registers, the one discovery
// reports; written only with Value.
GvcpReply gvcpSerialNumber(const sockaddr_in& camera, int tries, int timeoutMs,
                           std::string* serial);

// The control channel privilege register: bit 0 exclusive, bit 1 control
// access, held by whichever application controls the camera.
constexpr std::uint32_t kControlPrivilegeRegister = 0x0A00;

}  // namespace genicam
}  // namespace BGAPI2
