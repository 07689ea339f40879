#pragma once

#include <memory>
#include <string>

#include "backend.h"
#include "bgapi2_genicam/bgapi2_exceptions.h"

namespace BGAPI2 {
namespace Backend {

// The part every producer's buffer shares: the stream it is attached to,
// which it keeps alive until it is taken out again.
template <typename Stream, typename Self>
class StreamBuffer : public BufferBackend {
public:
    StreamBuffer(std::shared_ptr<Stream> stream, Buffer* surface, std::string id)
        : m_stream(std::move(stream)), m_surface(surface), m_id(std::move(id)) {}

    std::string id() const override { return m_id; }

    void queue() override {
        if (!m_stream) {
            throw Exceptions::ObjectInvalidException("buffer is not attached to a data stream",
                                                     "Buffer::QueueBuffer");
        }
        m_stream->queue(static_cast<Self*>(this));
    }

    void detach() override {
        if (m_stream) {
            m_stream->detach(static_cast<Self*>(this));
            m_stream.reset();
        }
    }

protected:
    std::shared_ptr<Stream> m_stream;
    Buffer* const m_surface;
    const std::string m_id;
};

}  // namespace Backend
}  // namespace BGAPI2
