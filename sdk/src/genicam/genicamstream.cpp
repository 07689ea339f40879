#include "genicamstream.h"

#include <algorithm>

#include "../handlercall.h"
#include "bgapi2_genicam/bgapi2_exceptions.h"
#include "genicamdevice.h"

namespace BGAPI2 {
namespace genicam {

using Exceptions::ObjectInvalidException;
using Exceptions::ResourceInUseException;

GenStream::GenStream(std::string id, std::weak_ptr<GenDevice> device)
    : m_id(std::move(id)), m_device(std::move(device)) {}

GenStream::~GenStream() {
    Lock lock(m_mutex);
    closeLocked(lock);
}

bool GenStream::isOpen() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stream != nullptr;
}

void GenStream::open() {
    auto device = m_device.lock();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stream != nullptr) {
        throw ResourceInUseException("data stream is already open", "DataStream::Open");
    }
    if (!device) {
        throw ObjectInvalidException("device is gone", "DataStream::Open");
    }
    GError* error = nullptr;
    m_stream = arv_device_create_stream(device->arvDevice(), nullptr, nullptr, &error);
    throwOnError(error, "DataStream::Open");
}

void GenStream::close() {
    Lock lock(m_mutex);
    closeLocked(lock);
}

// Stops delivery and gives the Aravis stream up; the stream drops its
// references to the buffers it still held.
void GenStream::closeLocked(Lock& lock) {
    stopLocked(lock);
    if (m_stream == nullptr) {
        return;
    }
    ArvStream* stream = m_stream;
    m_stream = nullptr;
    for (GenBuffer* buffer : m_buffers) {
        buffer->m_queued = false;
    }
    m_queued = 0;
    lock.unlock();
    g_object_unref(stream);
    lock.lock();
}

bool GenStream::isGrabbing() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_grabbing;
}

void GenStream::startAcquisition() {
    auto device = m_device.lock();
    Lock lock(m_mutex);
    if (m_stream == nullptr) {
        throw ObjectInvalidException("data stream is not open",
                                     "DataStream::StartAcquisitionContinuous");
    }
    if (m_grabbing) {
        throw ResourceInUseException("data stream is already grabbing",
                                     "DataStream::StartAcquisitionContinuous");
    }
    if (device) {
        const char* format =
            arv_device_get_string_feature_value(device->arvDevice(), "PixelFormat", nullptr);
        m_pixelFormat = format != nullptr ? format : "";
    }
    m_grabbing = true;
    auto self = shared_from_this();
    m_delivery.launch(lock, [self](std::uint64_t generation) { self->deliveryLoop(generation); });
}

void GenStream::stopAcquisition() {
    Lock lock(m_mutex);
    stopLocked(lock);
}

void GenStream::stopLocked(Lock& lock) {
    if (m_grabbing) {
        m_grabbing = false;
        m_delivery.end();
        m_cv.notify_all();
    }
    m_delivery.finish(lock);
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
    std::lock_guard<std::mutex> lock(m_mutex);
    auto backend = std::make_unique<GenBuffer>(
        shared_from_this(), buffer, m_id + "/Buffer" + std::to_string(m_buffers.size()),
        static_cast<std::size_t>(std::max<gint64>(payload, 1)));
    m_buffers.push_back(backend.get());
    return backend;
}

std::uint64_t GenStream::queuedCount() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queued;
}

void GenStream::registerNewBufferHandler(void* context, Events::NewBufferEventHandler handler) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_context = context;
    m_handler = handler;
}

void GenStream::queue(GenBuffer* buffer) {
    std::lock_guard<std::mutex> lock(m_mutex);
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
    Lock lock(m_mutex);
    if (!m_delivery.onThread()) {
        m_cv.wait(lock, [&] { return m_inHandler != buffer; });
    } else if (m_inHandler == buffer) {
        m_inHandler = nullptr;
    }
    m_buffers.erase(std::remove(m_buffers.begin(), m_buffers.end(), buffer), m_buffers.end());
}

void GenStream::deliveryLoop(std::uint64_t generation) {
    Lock lock(m_mutex);
    while (m_delivery.live(generation) && m_grabbing) {
        ArvStream* stream = m_stream;
        lock.unlock();
        ArvBuffer* popped =
            stream != nullptr ? arv_stream_timeout_pop_buffer(stream, 100000) : nullptr;
        lock.lock();
        if (popped == nullptr) {
            continue;
        }
        GenBuffer* buffer = nullptr;
        for (GenBuffer* candidate : m_buffers) {
            if (candidate->m_buffer == popped)
                buffer = candidate;
        }
        g_object_unref(popped);  // the stream's reference
        if (buffer == nullptr) {
            continue;
        }
        buffer->m_queued = false;
        --m_queued;
        if (!m_delivery.live(generation) ||
            arv_buffer_get_status(popped) != ARV_BUFFER_STATUS_SUCCESS) {
            continue;  // not delivered: the host queues it again at the next start
        }
        buffer->m_pixelFormat = m_pixelFormat;
        m_inHandler = buffer;
        void* context = m_context;
        Events::NewBufferEventHandler handler = m_handler;
        lock.unlock();
        Backend::callNewBufferHandler(handler, context, buffer->m_surface);
        lock.lock();
        if (m_inHandler == buffer) {
            m_inHandler = nullptr;
        }
        m_cv.notify_all();
    }
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
