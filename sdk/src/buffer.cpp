#include "backend.h"
#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "trace.h"

namespace BGAPI2 {

Buffer::Buffer() = default;

Buffer::~Buffer() {
    if (m_owner != nullptr) {
        m_owner->forget(this);
    }
    if (m_backend) {
        m_backend->detach();
    }
}

Backend::BufferBackend& Buffer::attached(const char* operation) {
    if (!m_backend) {
        throw Exceptions::ObjectInvalidException("buffer is not attached to a data stream",
                                                 operation);
    }
    return *m_backend;
}

String Buffer::GetID() {
    return m_backend ? m_backend->id() : std::string();
}

void Buffer::QueueBuffer() {
    BGAPI2_TRACE("Buffer::QueueBuffer", GetID().str());
    attached("Buffer::QueueBuffer").queue();
}

void* Buffer::GetMemPtr() {
    BGAPI2_TRACE("Buffer::GetMemPtr", GetID().str());
    return attached("Buffer::GetMemPtr").memPtr();
}

bo_uint64 Buffer::GetMemSize() {
    BGAPI2_TRACE("Buffer::GetMemSize", GetID().str());
    return attached("Buffer::GetMemSize").memSize();
}

bo_uint64 Buffer::GetWidth() {
    BGAPI2_TRACE("Buffer::GetWidth", GetID().str());
    return attached("Buffer::GetWidth").width();
}

bo_uint64 Buffer::GetHeight() {
    BGAPI2_TRACE("Buffer::GetHeight", GetID().str());
    return attached("Buffer::GetHeight").height();
}

bo_uint64 Buffer::GetFrameID() {
    BGAPI2_TRACE("Buffer::GetFrameID", GetID().str());
    return attached("Buffer::GetFrameID").frameId();
}

String Buffer::GetPixelFormat() {
    BGAPI2_TRACE("Buffer::GetPixelFormat", GetID().str());
    return attached("Buffer::GetPixelFormat").pixelFormat();
}

DataStream* Buffer::GetParent() {
    return m_owner != nullptr ? m_owner->m_stream : nullptr;
}

}  // namespace BGAPI2
