#include "deliverythread.h"

namespace BGAPI2 {
namespace Backend {

DeliveryThread::~DeliveryThread() {
    // Only reached once no thread of the stream runs any more, possibly on
    // that last thread itself.
    if (m_thread.joinable()) {
        m_thread.detach();
    }
}

void DeliveryThread::launch(Lock& lock, std::function<void(std::uint64_t)> body) {
    finish(lock);
    if (m_thread.joinable()) {
        m_thread.detach();  // restarted from inside the handler
    }
    const std::uint64_t generation = ++m_generation;
    m_thread = std::thread([body = std::move(body), generation] { body(generation); });
    m_id = m_thread.get_id();
}

void DeliveryThread::finish(Lock& lock) {
    if (!m_thread.joinable() || onThread()) {
        return;
    }
    std::thread finishing = std::move(m_thread);
    lock.unlock();
    finishing.join();
    lock.lock();
}

}  // namespace Backend
}  // namespace BGAPI2
