#pragma once

#include <netinet/in.h>

#include <cstdint>

namespace BGAPI2 {
namespace genicam {

enum class GvcpReply { Value, Silent, CannotAsk };

// Reads one register of a GigE Vision camera over its control channel, with
// a short time-out, without Aravis's long retries; the value is written only
// when the camera answers.
GvcpReply gvcpReadRegister(const sockaddr_in& camera, std::uint32_t address, int tries,
                           int timeoutMs, std::uint32_t* value);

// Whether the camera answers (it reads the version register); true when no
// question can be asked, so that a camera is never called lost for that.
bool gvcpAnswers(const sockaddr_in& camera, int tries, int timeoutMs);

// The control channel privilege register: bit 0 exclusive, bit 1 control
// access, held by whichever application controls the camera.
constexpr std::uint32_t kControlPrivilegeRegister = 0x0A00;

}  // namespace genicam
}  // namespace BGAPI2
