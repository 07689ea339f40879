#pragma once

#include "bgapi2_genicam/bgapi2_def.h"
#include "sdklog.h"

namespace BGAPI2 {
namespace Backend {

// Calls a host's new-buffer handler on a delivery thread. Whatever the
// handler throws stays here: it must not end the thread.
inline void callNewBufferHandler(Events::NewBufferEventHandler handler, void* context,
                                 Buffer* buffer) noexcept {
    if (handler == nullptr) {
        return;
    }
    try {
        handler(context, buffer);
    } catch (...) {
        qCWarning(lcSdk) << "new-buffer handler threw; delivery goes on";
    }
}

}  // namespace Backend
}  // namespace BGAPI2
