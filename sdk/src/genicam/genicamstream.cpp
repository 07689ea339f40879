#include "genicamstream.h"

#include <algorithm>
#include <chrono>

#include "../handlercall.h"
#include "bgapi2_genicam/bgapi2_exceptions.h"
#include "genicamdevice.h"

namespace BGAPI2 {
namespace genicam {

using Exceptions::ObjectInvalidException;
using Exceptions::ResourceInUseException;

namespace {
constexpr guint kPacketTimeoutUs = 10000;
constexpr guint kFrameRetentionUs = 40000;
}  // namespace

GenStream::GenStream(std::string id, std::weak_ptr<GenDevice> device)
    : m_id(std::move(id)), m_device(std::move(device)) {}

GenStream::~GenStream() {
    MutexLock lock(m_mutex);
    closeLocked();
}

bool GenStream::isOpen() {
    MutexLock lock(m_mutex);
    return m_stream != nullptr;
}

void GenStream::open() {
    auto device = m_device.lock();
    MutexLock lock(m_mutex);
    if (m_stream != nullptr) {
        throw ResourceInUseException("data stream is already open", "DataStream::Open");
    }
    if (!device) {
        throw ObjectInvalidException("device is gone", "DataStream::Open");
    }
    GError* error = nullptr;
    m_stream = arv_device_create_stream(device->arvDevice(), nullptr, nullptr, &error);
    throwOnError(error, "DataStream::Open");
    m_statistics = StreamStatistics();
    if (ARV_IS_GV_STREAM(m_stream)) {
        // The socket buffer grows to a frame without root's help. Packet
        // resend stays as Aravis set it from the camera's capabilities:
        // forced on for a camera that cannot resend, damaged frames hold
        // their buffers for the whole wait and the pool runs dry.
        g_object_set(m_stream, "socket-buffer", ARV_GV_STREAM_SOCKET_BUFFER_AUTO, nullptr);
        // Frames are handed on in order, so a frame waiting for resent
        // packets holds its buffer and those of every frame after it; eight
        // buffers are a few frames of a fast camera. Missing packets are
        // asked for after 10 ms of silence (Aravis: 20) and a frame is given
        // up 40 ms after its last packet (Aravis: 100). Shorter still, the
        // requests repeat before a loaded host has seen the answers.
        g_object_set(m_stream, "packet-timeout", kPacketTimeoutUs, "frame-retention",
                     kFrameRetentionUs, nullptr);
    }
}

void GenStream::close() {
    MutexLock lock(m_mutex);
    closeLocked();
}

// Stops delivery and gives the Aravis stream up; the stream drops its
// references to the buffers it still held.
void GenStream::closeLocked() {
    stopLocked();
    if (m_stream == nullptr) {
        return;
    }
    ArvStream* stream = m_stream;
    m_stream = nullptr;
    for (GenBuffer* buffer : m_buffers) {
        buffer->m_queued = false;
    }
    m_queued = 0;
    const bool lost = m_lost;
    m_lost = false;
    m_mutex.unlock();
    releaseAravisObject(stream, lost);
    m_mutex.lock();
}

bool GenStream::isGrabbing() {
    MutexLock lock(m_mutex);
    return m_grabbing;
}

void GenStream::startAcquisition() {
    auto device = m_device.lock();
    MutexLock lock(m_mutex);
    if (m_stream == nullptr) {
        throw ObjectInvalidException("data stream is not open",
                                     "DataStream::StartAcquisitionContinuous");
    }
    if (m_grabbing) {
        throw ResourceInUseException("data stream is already grabbing",
                                     "DataStream::StartAcquisitionContinuous");
    }
    if (m_lost) {
        throw Exceptions::LowLevelException("camera is lost",
                                            "DataStream::StartAcquisitionContinuous");
    }
    if (device) {
        const char* format =
            arv_device_get_string_feature_value(device->arvDevice(), "PixelFormat", nullptr);
        m_pixelFormat = format != nullptr ? format : "";
    }
    m_haveFrameId = false;  // a new acquisition may number afresh
    m_incompleteSinceFrame = 0;
    m_grabbing = true;
    auto self = shared_from_this();
    m_delivery.launch(m_mutex,
                      [self](std::uint64_t generation) { self->deliveryLoop(generation); });
}

void GenStream::stopAcquisition() {
    MutexLock lock(m_mutex);
    stopLocked();
}

void GenStream::stopLocked() {
    const bool wasGrabbing = m_grabbing;
    if (m_grabbing) {
        m_grabbing = false;
        m_delivery.end();
        m_cv.notifyAll();
    }
    m_delivery.finish(m_mutex);
    if (wasGrabbing && !m_lost) {
        tellCameraToStop();
    }
}

// A camera left acquiring goes on sending to a port nobody reads. One that
// died before anyone noticed is asked briefly first, so that the stop does
// not wait out Aravis's retries: it is reported lost instead.
void GenStream::tellCameraToStop() {
    auto device = m_device.lock();
    if (!device) {
        return;
    }
    m_mutex.unlock();
    if (!device->answers()) {
        device->markLost();
        m_mutex.lock();
        return;
    }
    try {
        GError* error = nullptr;
        arv_device_execute_command(device->arvDevice(), "AcquisitionStop", &error);
        g_clear_error(&error);
    } catch (Exceptions::IException&) {
        // not open or lost: nothing to stop
    }
    m_mutex.lock();
}

void GenStream::lose() {
    MutexLock lock(m_mutex);
    m_lost = true;
    stopLocked();
}

std::unique_ptr<Backend::BufferBackend> GenStream::attach(Buffer* buffer) {
    auto device = m_device.lock();
    if (!device) {
        throw ObjectInvalidException("device is gone", "BufferList::Add");
    }
    GError* error = nullptr;
    const gint64 payload =
        arv_device_get_integer_feature_value(device->arvDevice(), "PayloadSize", &error);
    throwOnError(error, "BufferList::Add");
    MutexLock lock(m_mutex);
    auto backend = std::make_unique<GenBuffer>(
        shared_from_this(), buffer, m_id + "/Buffer" + std::to_string(m_buffers.size()),
        static_cast<std::size_t>(std::max<gint64>(payload, 1)));
    m_buffers.push_back(backend.get());
    return backend;
}

std::uint64_t GenStream::queuedCount() {
    MutexLock lock(m_mutex);
    return m_queued;
}

void GenStream::registerNewBufferHandler(void* context, Events::NewBufferEventHandler handler) {
    MutexLock lock(m_mutex);
    m_context = context;
    m_handler = handler;
}

void GenStream::queue(GenBuffer* buffer) {
    MutexLock lock(m_mutex);
    if (m_stream == nullptr) {
        throw ObjectInvalidException("data stream is not open", "Buffer::QueueBuffer");
    }
    if (buffer->m_queued) {
        throw ResourceInUseException("buffer is already queued", "Buffer::QueueBuffer");
    }
    buffer->m_queued = true;
    ++m_queued;
    g_object_ref(buffer->m_buffer);  // the stream's reference, handed back on pop
    arv_stream_push_buffer(m_stream, buffer->m_buffer);
}

void GenStream::detach(GenBuffer* buffer) {
    MutexLock lock(m_mutex);
    if (!m_delivery.onThread()) {
        while (m_inHandler == buffer) {
            m_cv.wait(m_mutex);
        }
    } else if (m_inHandler == buffer) {
        m_inHandler = nullptr;
    }
    m_buffers.erase(std::remove(m_buffers.begin(), m_buffers.end(), buffer), m_buffers.end());
}

// Nothing at all from a grabbing camera for this long: ask whether it is
// still there.
constexpr auto kSilenceBeforeProbe = std::chrono::seconds(1);
constexpr guint64 kPopTimeoutUs = 100000;

void GenStream::deliveryLoop(std::uint64_t generation) {
    using Clock = std::chrono::steady_clock;
    auto lastHeard = Clock::now();
    m_mutex.lock();
    while (m_delivery.live(generation) && m_grabbing) {
        ArvStream* stream = m_stream;
        m_mutex.unlock();
        ArvBuffer* popped =
            stream != nullptr ? arv_stream_timeout_pop_buffer(stream, kPopTimeoutUs) : nullptr;
        if (popped == nullptr && Clock::now() - lastHeard > kSilenceBeforeProbe) {
            auto device = m_device.lock();
            if (device && !device->answers()) {
                device->markLost();  // ends this generation
            }
            lastHeard = Clock::now();
        }
        m_mutex.lock();
        if (popped != nullptr) {
            lastHeard = Clock::now();
            takeBuffer(popped, generation);
        }
    }
    m_mutex.unlock();
}

GenBuffer* GenStream::ownerOf(ArvBuffer* popped) {
    for (GenBuffer* candidate : m_buffers) {
        if (candidate->m_buffer == popped)
            return candidate;
    }
    return nullptr;
}

void GenStream::takeBuffer(ArvBuffer* popped, std::uint64_t generation) {
    GenBuffer* buffer = ownerOf(popped);
    const bool live = m_delivery.live(generation);
    const bool complete = arv_buffer_get_status(popped) == ARV_BUFFER_STATUS_SUCCESS;
    if (live && complete) {
        countFramesMissedBefore(arv_buffer_get_frame_id(popped));
    }
    if (buffer != nullptr && m_stream != nullptr && (!live || !complete)) {
        // Damaged, or filled as acquisition stopped: straight back to the
        // stream, which keeps its reference.
        if (live) {
            ++m_statistics.incomplete;
            ++m_incompleteSinceFrame;
        }
        arv_stream_push_buffer(m_stream, popped);
        return;
    }
    g_object_unref(popped);  // the stream's reference
    if (buffer == nullptr) {
        return;
    }
    buffer->m_queued = false;
    --m_queued;
    if (m_stream != nullptr) {
        deliver(buffer);
    }
}

void GenStream::deliver(GenBuffer* buffer) {
    buffer->m_pixelFormat = m_pixelFormat;
    ++m_statistics.delivered;
    Backend::callHolding(m_mutex, m_inHandler, buffer, m_handler, m_context, buffer->m_surface);
    m_cv.notifyAll();
}

// Frames the camera sent that never arrived in any form (no free buffer, or
// no packet of them got through), from gaps in the block ids of complete
// frames less the incomplete ones between them (whose ids Aravis may leave
// from the buffer's earlier frame): GigE Vision 1 ids run 1 to 65535 and wrap
// to 1, 64-bit ones do not wrap. Counted per frame, unlike Aravis's
// underruns, which count the packets of such frames.
void GenStream::countFramesMissedBefore(std::uint64_t id) {
    constexpr std::uint64_t kShortIds = 0xFFFF;
    constexpr std::uint64_t kNewNumbering = 0x8000;  // a jump this far is not a gap
    std::uint64_t missed = 0;
    if (m_haveFrameId && id > m_lastFrameId) {
        missed = id - m_lastFrameId - 1;
    } else if (m_haveFrameId && m_lastFrameId <= kShortIds && id >= 1 &&
               m_lastFrameId - id > kNewNumbering) {
        missed = kShortIds - m_lastFrameId + id - 1;
    }
    if (missed < kNewNumbering) {
        m_statistics.lost += missed - std::min(missed, m_incompleteSinceFrame);
    }
    m_incompleteSinceFrame = 0;
    m_haveFrameId = true;
    m_lastFrameId = id;
}

StreamStatistics GenStream::statistics() {
    MutexLock lock(m_mutex);
    StreamStatistics statistics = m_statistics;
    if (m_stream != nullptr) {
        if (ARV_IS_GV_STREAM(m_stream)) {
            guint64 resent = 0;
            guint64 missing = 0;
            arv_gv_stream_get_statistics(ARV_GV_STREAM(m_stream), &resent, &missing);
            statistics.resentPackets = resent;
            statistics.missingPackets = missing;
        }
    }
    return statistics;
}

GenBuffer::GenBuffer(std::shared_ptr<GenStream> stream, Buffer* surface, std::string id,
                     std::size_t size)
    : StreamBuffer(std::move(stream), surface, std::move(id)),
      m_buffer(arv_buffer_new_allocate(size)) {}

GenBuffer::~GenBuffer() {
    detach();
    g_object_unref(m_buffer);
}

void* GenBuffer::memPtr() {
    size_t size = 0;
    return const_cast<void*>(arv_buffer_get_data(m_buffer, &size));
}

std::uint64_t GenBuffer::memSize() {
    size_t size = 0;
    arv_buffer_get_data(m_buffer, &size);
    return size;
}

}  // namespace genicam
}  // namespace BGAPI2
