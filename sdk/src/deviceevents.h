#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <thread>

#include "bgapi2_genicam/bgapi2_def.h"
#include "threadsafety.h"

namespace BGAPI2 {
namespace Backend {

// Hands a device's state changes to its registered handler on a thread of
// the device's own, in order, so that a producer can report from any thread
// (a network callback, a delivery thread) without calling into the host.
class DeviceEvents {
public:
    using Handler = std::function<void(Events::DeviceState)>;

    DeviceEvents() = default;
    ~DeviceEvents();
    DeviceEvents(const DeviceEvents&) = delete;
    DeviceEvents& operator=(const DeviceEvents&) = delete;

    // An empty handler unregisters. Waits for a running call to return,
    // unless called from inside it.
    void setHandler(Handler handler);
    // Dropped when no handler is registered.
    void post(Events::DeviceState state);

private:
    // Shared with the thread, which may outlive this object when the last
    // owner lets go from inside the handler.
    struct State {
        Mutex mutex;
        Condition cv;
        std::deque<Events::DeviceState> pending GUARDED_BY(mutex);
        Handler handler GUARDED_BY(mutex);
        bool calling GUARDED_BY(mutex) = false;
        bool stop GUARDED_BY(mutex) = false;
        std::thread::id threadId GUARDED_BY(mutex);
    };
    static void loop(const std::shared_ptr<State>& state);

    const std::shared_ptr<State> m_state = std::make_shared<State>();
    std::thread m_thread;
};

}  // namespace Backend
}  // namespace BGAPI2
