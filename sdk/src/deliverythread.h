#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace BGAPI2 {
namespace Backend {

// The one thread of a grabbing stream that calls the new-buffer handler.
// Every method runs under the stream's lock, which is passed in so that it
// can be released while a finishing thread is joined. A stream stopped from
// inside its own handler cannot join itself: that thread ends when the
// handler returns, having seen that its generation is over.
class DeliveryThread {
public:
    using Lock = std::unique_lock<std::mutex>;

    ~DeliveryThread();

    // Starts a thread running body(generation) for a new generation.
    void launch(Lock& lock, std::function<void(std::uint64_t)> body);
    // Ends the current generation; no handler call may start after this.
    void end() { ++m_generation; }
    // Waits for the thread of an ended generation, unless called from it.
    void finish(Lock& lock);

    bool live(std::uint64_t generation) const { return generation == m_generation; }
    bool onThread() const { return std::this_thread::get_id() == m_id; }

private:
    std::thread m_thread;
    std::thread::id m_id;
    std::uint64_t m_generation = 0;
};

}  // namespace Backend
}  // namespace BGAPI2
