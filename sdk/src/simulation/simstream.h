#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../backend.h"
#include "../deliverythread.h"
#include "../streambuffer.h"
#include "simcam/simcam.h"
#include "threadsafety.h"

namespace BGAPI2 {
namespace sim {

class SimBuffer;

// What the camera puts into one buffer.
struct Frame {
    std::string pixelFormat;
    std::uint64_t frameId = 0;
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::shared_ptr<const std::vector<std::uint8_t>> pixels;  // the encoded picture
    std::uint64_t payloadLimit = UINT64_MAX;
};

// Wakes a camera's frame source when a buffer is queued.
struct QueueSignal {
    std::mutex mutex;
    std::condition_variable cv;
    std::uint64_t sequence = 0;
    void notify();
};

// One data stream: its buffers, the queue the camera fills from, and the
// delivery thread that hands filled buffers to the registered handler.
class SimStream : public Backend::DataStreamBackend,
                  public std::enable_shared_from_this<SimStream> {
public:
    SimStream(std::string id, std::function<std::uint64_t()> payloadSize,
              std::shared_ptr<QueueSignal> signal);
    ~SimStream() override;

    std::string id() const override { return m_id; }
    bool isOpen() override;
    void open() override;
    void close() override;
    bool isGrabbing() override;
    void startAcquisition() override;
    void stopAcquisition() override;
    std::unique_ptr<Backend::BufferBackend> attach(Buffer* buffer) override;
    std::uint64_t queuedCount() override;
    void registerNewBufferHandler(void* context, Events::NewBufferEventHandler handler) override;
    StreamStatistics statistics() override;

    // The camera went away: delivery stops and acquisition cannot start until
    // it is reachable again.
    void setReachable(bool reachable);

    // Camera side: fill the oldest queued buffer, or count the frame lost.
    void offerFrame(const Frame& frame);
    bool readyForFrame();

    // Buffer side.
    void queue(SimBuffer* buffer);
    void detach(SimBuffer* buffer);

    simcam::StreamCounters counters();
    void closeGate();
    bool waitAtGate(int timeoutMs);
    void openGate();

private:
    void launchLocked() REQUIRES(m_mutex);
    void deliveryLoop(std::uint64_t generation) EXCLUDES(m_mutex);
    bool nextDelivery(std::uint64_t generation) REQUIRES(m_mutex);
    void deliver() REQUIRES(m_mutex);
    void stopLocked() REQUIRES(m_mutex);

    const std::string m_id;
    const std::function<std::uint64_t()> m_payloadSize;
    const std::shared_ptr<QueueSignal> m_signal;

    Mutex m_mutex;
    Condition m_cv;
    bool m_open GUARDED_BY(m_mutex) = false;
    bool m_grabbing GUARDED_BY(m_mutex) = false;
    bool m_reachable GUARDED_BY(m_mutex) = true;
    void* m_context GUARDED_BY(m_mutex) = nullptr;
    Events::NewBufferEventHandler m_handler GUARDED_BY(m_mutex) = nullptr;
    std::vector<SimBuffer*> m_buffers GUARDED_BY(m_mutex);
    std::deque<SimBuffer*> m_queued GUARDED_BY(m_mutex);
    std::deque<SimBuffer*> m_filled GUARDED_BY(m_mutex);
    SimBuffer* m_inHandler GUARDED_BY(m_mutex) = nullptr;
    Backend::DeliveryThread m_delivery GUARDED_BY(m_mutex);
    std::uint64_t m_nextBufferIndex GUARDED_BY(m_mutex) = 0;
    bool m_gateClosed GUARDED_BY(m_mutex) = false;
    bool m_atGate GUARDED_BY(m_mutex) = false;
    simcam::StreamCounters m_counters GUARDED_BY(m_mutex);
};

class SimBuffer : public Backend::StreamBuffer<SimStream, SimBuffer> {
public:
    SimBuffer(std::shared_ptr<SimStream> stream, Buffer* surface, std::string id,
              std::uint64_t size);
    ~SimBuffer() override;

    void* memPtr() override { return m_memory.data(); }
    std::uint64_t memSize() override { return m_size; }
    std::uint64_t width() override { return m_width; }
    std::uint64_t height() override { return m_height; }
    std::uint64_t frameId() override { return m_frameId; }
    std::string pixelFormat() override { return m_pixelFormat; }

private:
    friend class SimStream;
    enum class State { Idle, Queued, Filled, Delivering, Detached };
    void fill(const Frame& frame);

    std::vector<std::uint8_t> m_memory;
    std::uint64_t m_size = 0;
    std::uint64_t m_width = 0;
    std::uint64_t m_height = 0;
    std::uint64_t m_frameId = 0;
    std::string m_pixelFormat;
    State m_state = State::Idle;
    std::shared_ptr<const std::vector<std::uint8_t>> m_picture;  // what the memory holds
    std::uint64_t m_pictureBytes = 0;
};

}  // namespace sim
}  // namespace BGAPI2
