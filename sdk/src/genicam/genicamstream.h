#pragma once

#include <arv.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../backend.h"
#include "../deliverythread.h"
#include "../streambuffer.h"
#include "threadsafety.h"

namespace BGAPI2 {
namespace genicam {

class GenDevice;
class GenBuffer;

// The camera's Aravis stream, and the delivery thread that hands each
// completed buffer to the registered handler.
class GenStream : public Backend::DataStreamBackend,
                  public std::enable_shared_from_this<GenStream> {
public:
    GenStream(std::string id, std::weak_ptr<GenDevice> device);
    ~GenStream() override;

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

    void queue(GenBuffer* buffer);
    void detach(GenBuffer* buffer);
    // The camera is gone: delivery ends (also from the delivery thread) and
    // nothing more is asked of the camera.
    void lose();

private:
    void deliveryLoop(std::uint64_t generation) EXCLUDES(m_mutex);
    // Takes a buffer Aravis handed back: delivers it, or queues it again at
    // once when it arrived incomplete.
    void takeBuffer(ArvBuffer* popped, std::uint64_t generation) REQUIRES(m_mutex);
    void countFramesMissedBefore(std::uint64_t id) REQUIRES(m_mutex);
    void deliver(GenBuffer* buffer) REQUIRES(m_mutex);
    GenBuffer* ownerOf(ArvBuffer* popped) REQUIRES(m_mutex);
    void stopLocked() REQUIRES(m_mutex);
    void closeLocked() REQUIRES(m_mutex);
    void tellCameraToStop() REQUIRES(m_mutex);

    const std::string m_id;
    const std::weak_ptr<GenDevice> m_device;
    Mutex m_mutex;
    Condition m_cv;
    ArvStream* m_stream GUARDED_BY(m_mutex) = nullptr;
    bool m_grabbing GUARDED_BY(m_mutex) = false;
    Backend::DeliveryThread m_delivery GUARDED_BY(m_mutex);
    void* m_context GUARDED_BY(m_mutex) = nullptr;
    Events::NewBufferEventHandler m_handler GUARDED_BY(m_mutex) = nullptr;
    std::vector<GenBuffer*> m_buffers GUARDED_BY(m_mutex);
    GenBuffer* m_inHandler GUARDED_BY(m_mutex) = nullptr;
    std::uint64_t m_queued GUARDED_BY(m_mutex) = 0;
    std::string m_pixelFormat GUARDED_BY(m_mutex);
    bool m_lost GUARDED_BY(m_mutex) = false;
    StreamStatistics m_statistics GUARDED_BY(m_mutex);
    // The block id of the last complete frame while grabbing, and the
    // incomplete ones since, for the frames that never arrived.
    bool m_haveFrameId GUARDED_BY(m_mutex) = false;
    std::uint64_t m_lastFrameId GUARDED_BY(m_mutex) = 0;
    std::uint64_t m_incompleteSinceFrame GUARDED_BY(m_mutex) = 0;
};

// A host's Buffer backed by an Aravis buffer. The stream holds a reference
// while the buffer is queued.
class GenBuffer : public Backend::StreamBuffer<GenStream, GenBuffer> {
public:
    GenBuffer(std::shared_ptr<GenStream> stream, Buffer* surface, std::string id, std::size_t size);
    ~GenBuffer() override;

    void* memPtr() override;
    std::uint64_t memSize() override;
    std::uint64_t width() override {
        return static_cast<std::uint64_t>(arv_buffer_get_image_width(m_buffer));
    }
    std::uint64_t height() override {
        return static_cast<std::uint64_t>(arv_buffer_get_image_height(m_buffer));
    }
    std::uint64_t frameId() override { return arv_buffer_get_frame_id(m_buffer); }
    std::string pixelFormat() override { return m_pixelFormat; }

private:
    friend class GenStream;
    ArvBuffer* m_buffer;
    bool m_queued = false;
    std::string m_pixelFormat;
};

}  // namespace genicam
}  // namespace BGAPI2
