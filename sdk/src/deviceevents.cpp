#include "deviceevents.h"

#include "sdklog.h"

namespace BGAPI2 {
namespace Backend {

DeviceEvents::~DeviceEvents() {
    {
        MutexLock lock(m_state->mutex);
        m_state->stop = true;
        m_state->handler = nullptr;
    }
    m_state->cv.notifyAll();
    if (!m_thread.joinable()) {
        return;
    }
    if (m_thread.get_id() == std::this_thread::get_id()) {
        m_thread.detach();  // ends once the running handler returns
    } else {
        m_thread.join();
    }
}

void DeviceEvents::setHandler(Handler handler) {
    State& s = *m_state;
    MutexLock lock(s.mutex);
    if (s.threadId != std::this_thread::get_id()) {
        while (s.calling) {
            s.cv.wait(s.mutex);
        }
    }
    s.handler = std::move(handler);
    if (!s.handler) {
        s.pending.clear();
    }
}

void DeviceEvents::post(Events::DeviceState state) {
    MutexLock lock(m_state->mutex);
    if (!m_state->handler || m_state->stop) {
        return;
    }
    m_state->pending.push_back(state);
    if (!m_thread.joinable()) {
        m_thread = std::thread([state = m_state] { loop(state); });
        m_state->threadId = m_thread.get_id();
    }
    m_state->cv.notifyAll();
}

void DeviceEvents::loop(const std::shared_ptr<State>& state) {
    State& s = *state;
    MutexLock lock(s.mutex);
    for (;;) {
        while (!s.stop && s.pending.empty()) {
            s.cv.wait(s.mutex);
        }
        if (s.stop) {
            return;
        }
        const Events::DeviceState next = s.pending.front();
        s.pending.pop_front();
        Handler handler = s.handler;
        if (!handler) {
            continue;
        }
        s.calling = true;
        s.mutex.unlock();
        try {
            handler(next);
        } catch (...) {
            qCWarning(lcSdk) << "device state handler threw; events go on";
        }
        handler = nullptr;
        s.mutex.lock();
        s.calling = false;
        s.cv.notifyAll();
    }
}

}  // namespace Backend
}  // namespace BGAPI2
