#pragma once

#include <netinet/in.h>

namespace BGAPI2 {
namespace genicam {

// Asks a GigE Vision camera for one register over its control channel, with
// a short time-out, without Aravis's long retries: true when it answers.
bool gvcpAnswers(const sockaddr_in& camera, int tries, int timeoutMs);

}  // namespace genicam
}  // namespace BGAPI2
