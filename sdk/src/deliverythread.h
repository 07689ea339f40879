#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "threadsafety.h"

namespace BGAPI2 {
namespace Backend {

struct DeliveryJob;

// The one thread of a grabbing stream that calls the new-buffer handler.
// Every method runs under the stream's lock, which is passed in so that it
// can be released while a finishing job is waited for; the members are the
// stream's, guarded by that lock. A stream stopped from
// inside its own handler cannot wait for itself: that job ends when the
// handler returns, having seen that its generation is over.
//
// Jobs run on threads kept for the life of the process and used again by the
// next start: image libraries keep per-thread state that a thread per start
// would pile up.
class DeliveryThread {
public:
    // Starts body(generation) for a new generation on a kept thread.
    void launch(Mutex& streamLock, std::function<void(std::uint64_t)> body) REQUIRES(streamLock);
    // Ends the current generation; no handler call may start after this.
    void end() { ++m_generation; }
    // Waits for the jobs of ended generations, all but the caller's own.
    void finish(Mutex& streamLock) REQUIRES(streamLock);

    bool live(std::uint64_t generation) const { return generation == m_generation; }
    // Whether the caller is this stream's running job.
    bool onThread() const;

private:
    std::vector<std::shared_ptr<DeliveryJob>> m_jobs;  // not yet seen done
    std::uint64_t m_generation = 0;
};

}  // namespace Backend
}  // namespace BGAPI2
