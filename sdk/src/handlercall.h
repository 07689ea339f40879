#pragma once

#include "bgapi2_genicam/bgapi2_def.h"
#include "sdklog.h"
#include "threadsafety.h"

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

// Calls the handler with the stream's lock released, the buffer marked as
// held meanwhile. True when the mark is still this buffer's afterwards (the
// buffer was not taken out of the stream during the call); it is cleared.
template <typename BufferT>
bool callHolding(Mutex& streamLock, BufferT*& held, BufferT* buffer,
                 Events::NewBufferEventHandler handler, void* context, Buffer* surface)
    REQUIRES(streamLock) {
    held = buffer;
    streamLock.unlock();
    callNewBufferHandler(handler, context, surface);
    streamLock.lock();
    if (held != buffer) {
        return false;
    }
    held = nullptr;
    return true;
}

}  // namespace Backend
}  // namespace BGAPI2
