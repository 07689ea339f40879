#include "simstream.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "../handlercall.h"
#include "../sdklog.h"
#include "bgapi2_genicam/bgapi2_exceptions.h"

namespace BGAPI2 {
namespace sim {

using Exceptions::InvalidParameterException;
using Exceptions::ObjectInvalidException;
using Exceptions::ResourceInUseException;

void QueueSignal::notify() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++sequence;
    }
    cv.notify_all();
}

SimStream::SimStream(std::string id, std::function<std::uint64_t()> payloadSize,
                     std::shared_ptr<QueueSignal> signal)
    : m_id(std::move(id)), m_payloadSize(std::move(payloadSize)), m_signal(std::move(signal)) {}

SimStream::~SimStream() = default;

bool SimStream::isOpen() {
    MutexLock lock(m_mutex);
    return m_open;
}

void SimStream::open() {
    MutexLock lock(m_mutex);
    if (m_open) {
        throw ResourceInUseException("data stream is already open", "DataStream::Open");
    }
    m_open = true;
}

void SimStream::close() {
    MutexLock lock(m_mutex);
    if (!m_open) {
        return;
    }
    stopLocked();
    m_delivery.finish(m_mutex);
    m_open = false;
    for (SimBuffer* buffer : m_queued) {
        buffer->m_state = SimBuffer::State::Idle;
    }
    m_queued.clear();
    m_cv.notifyAll();
}

bool SimStream::isGrabbing() {
    MutexLock lock(m_mutex);
    return m_grabbing;
}

void SimStream::startAcquisition() {
    {
        MutexLock lock(m_mutex);
        launchLocked();
    }
    m_signal->notify();
}

void SimStream::launchLocked() {
    if (!m_open) {
        throw ObjectInvalidException("data stream is not open",
                                     "DataStream::StartAcquisitionContinuous");
    }
    if (m_grabbing) {
        throw ResourceInUseException("data stream is already grabbing",
                                     "DataStream::StartAcquisitionContinuous");
    }
    if (!m_reachable) {
        throw Exceptions::LowLevelException("camera is not reachable",
                                            "DataStream::StartAcquisitionContinuous");
    }
    m_grabbing = true;
    auto self = shared_from_this();
    m_delivery.launch(m_mutex,
                      [self](std::uint64_t generation) { self->deliveryLoop(generation); });
}

void SimStream::stopAcquisition() {
    MutexLock lock(m_mutex);
    if (!m_open) {
        throw ObjectInvalidException("data stream is not open", "DataStream::StopAcquisition");
    }
    stopLocked();
    m_delivery.finish(m_mutex);
}

// Ends grabbing: no handler call starts after this. Frames filled but not yet
// delivered are discarded and their buffers go back to the queue.
void SimStream::stopLocked() {
    if (!m_grabbing) {
        return;
    }
    m_grabbing = false;
    m_delivery.end();
    m_counters.discarded += m_filled.size();
    for (auto it = m_filled.rbegin(); it != m_filled.rend(); ++it) {
        (*it)->m_state = SimBuffer::State::Queued;
        m_queued.push_front(*it);
    }
    m_filled.clear();
    m_cv.notifyAll();
}

void SimStream::setReachable(bool reachable) {
    MutexLock lock(m_mutex);
    m_reachable = reachable;
    if (!reachable) {
        stopLocked();
        m_delivery.finish(m_mutex);
    }
}

StreamStatistics SimStream::statistics() {
    MutexLock lock(m_mutex);
    StreamStatistics statistics;
    statistics.delivered = m_counters.delivered;
    statistics.lost = m_counters.lost;
    return statistics;
}

std::unique_ptr<Backend::BufferBackend> SimStream::attach(Buffer* buffer) {
    const std::uint64_t size = m_payloadSize();
    MutexLock lock(m_mutex);
    auto backend = std::make_unique<SimBuffer>(
        shared_from_this(), buffer, m_id + "/Buffer" + std::to_string(m_nextBufferIndex++), size);
    m_buffers.push_back(backend.get());
    return backend;
}

std::uint64_t SimStream::queuedCount() {
    MutexLock lock(m_mutex);
    return m_queued.size();
}

void SimStream::registerNewBufferHandler(void* context, Events::NewBufferEventHandler handler) {
    MutexLock lock(m_mutex);
    m_context = context;
    m_handler = handler;
}

void SimStream::queue(SimBuffer* buffer) {
    {
        MutexLock lock(m_mutex);
        if (!m_open) {
            throw ObjectInvalidException("data stream is not open", "Buffer::QueueBuffer");
        }
        if (buffer->m_state == SimBuffer::State::Queued ||
            buffer->m_state == SimBuffer::State::Filled) {
            throw ResourceInUseException("buffer is already queued", "Buffer::QueueBuffer");
        }
        buffer->m_state = SimBuffer::State::Queued;
        m_queued.push_back(buffer);
    }
    m_signal->notify();
}

void SimStream::detach(SimBuffer* buffer) {
    MutexLock lock(m_mutex);
    if (!m_delivery.onThread()) {
        while (m_inHandler == buffer) {
            m_cv.wait(m_mutex);
        }
    } else if (m_inHandler == buffer) {
        m_inHandler = nullptr;
        m_counters.held = 0;
    }
    auto drop = [buffer](auto& container) {
        container.erase(std::remove(container.begin(), container.end(), buffer), container.end());
    };
    drop(m_queued);
    drop(m_filled);
    drop(m_buffers);
    buffer->m_state = SimBuffer::State::Detached;
}

void SimStream::offerFrame(const Frame& frame) {
    MutexLock lock(m_mutex);
    if (!m_open || !m_grabbing) {
        return;
    }
    ++m_counters.produced;
    if (m_queued.empty()) {
        ++m_counters.lost;
        qCDebug(lcSdk) << m_id.c_str() << "lost frame" << frame.frameId << ": no queued buffer";
        return;
    }
    SimBuffer* buffer = m_queued.front();
    m_queued.pop_front();
    buffer->fill(frame);
    buffer->m_state = SimBuffer::State::Filled;
    m_filled.push_back(buffer);
    m_cv.notifyAll();
}

bool SimStream::readyForFrame() {
    MutexLock lock(m_mutex);
    return m_open && m_grabbing && !m_queued.empty();
}

void SimStream::deliveryLoop(std::uint64_t generation) {
    MutexLock lock(m_mutex);
    while (nextDelivery(generation)) {
        deliver();
    }
}

// Waits for a filled buffer that may be delivered now; false when this
// thread's acquisition has ended.
bool SimStream::nextDelivery(std::uint64_t generation) {
    for (;;) {
        if (!m_delivery.live(generation) || !m_grabbing) {
            return false;
        }
        if (!m_filled.empty()) {
            if (!m_gateClosed) {
                m_atGate = false;
                return true;
            }
            m_atGate = true;
            m_cv.notifyAll();
        }
        m_cv.wait(m_mutex);
    }
}

void SimStream::deliver() {
    SimBuffer* buffer = m_filled.front();
    m_filled.pop_front();
    buffer->m_state = SimBuffer::State::Delivering;
    m_counters.held = 1;
    if (Backend::callHolding(m_mutex, m_inHandler, buffer, m_handler, m_context,
                             buffer->m_surface)) {
        if (buffer->m_state == SimBuffer::State::Delivering) {
            buffer->m_state = SimBuffer::State::Idle;
        }
        m_counters.held = 0;
    }
    ++m_counters.delivered;
    m_cv.notifyAll();
}

simcam::StreamCounters SimStream::counters() {
    MutexLock lock(m_mutex);
    simcam::StreamCounters counters = m_counters;
    counters.queued = m_queued.size();
    return counters;
}

void SimStream::closeGate() {
    MutexLock lock(m_mutex);
    m_gateClosed = true;
}

bool SimStream::waitAtGate(int timeoutMs) {
    MutexLock lock(m_mutex);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_atGate) {
        if (!m_cv.waitUntil(m_mutex, deadline)) {
            return m_atGate;
        }
    }
    return true;
}

void SimStream::openGate() {
    MutexLock lock(m_mutex);
    m_gateClosed = false;
    m_atGate = false;
    m_cv.notifyAll();
}

SimBuffer::SimBuffer(std::shared_ptr<SimStream> stream, Buffer* surface, std::string id,
                     std::uint64_t size)
    : StreamBuffer(std::move(stream), surface, std::move(id)), m_memory(size), m_size(size) {}

SimBuffer::~SimBuffer() {
    detach();
}

void SimBuffer::fill(const Frame& frame) {
    m_pixelFormat = frame.pixelFormat;
    m_frameId = frame.frameId;
    m_width = frame.width;
    m_height = frame.height;
    std::uint64_t bytes = frame.pixels != nullptr ? frame.pixels->size() : 0;
    bytes = std::min<std::uint64_t>({bytes, m_memory.size(), frame.payloadLimit});
    // Every frame shows the same picture: a buffer that holds it already is
    // not written again, so large frames cost no copy.
    if (bytes > 0 && (frame.pixels != m_picture || bytes != m_pictureBytes)) {
        std::memcpy(m_memory.data(), frame.pixels->data(), bytes);
        m_picture = frame.pixels;
        m_pictureBytes = bytes;
    }
    m_size = std::min<std::uint64_t>(m_memory.size(), frame.payloadLimit);
}

}  // namespace sim
}  // namespace BGAPI2
