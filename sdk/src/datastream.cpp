#include "backend.h"
#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "trace.h"

namespace BGAPI2 {

namespace Events {

DataStreamEventControl::~DataStreamEventControl() = default;

void DataStreamEventControl::RegisterNewBufferEventHandler(void* callBackOwner,
                                                           NewBufferEventHandler handler) {
    BGAPI2_TRACE("DataStream::RegisterNewBufferEventHandler", eventObject().str());
    eventBackend().registerNewBufferHandler(callBackOwner, handler);
}

}  // namespace Events

DataStream::DataStream(std::shared_ptr<Backend::DataStreamBackend> backend)
    : m_backend(std::move(backend)), m_id(m_backend->id()) {}

DataStream::~DataStream() = default;

String DataStream::GetID() {
    return m_id;
}

bo_bool DataStream::IsOpen() {
    BGAPI2_TRACE("DataStream::IsOpen", m_id.str());
    return m_backend->isOpen();
}

void DataStream::Open() {
    BGAPI2_TRACE("DataStream::Open", m_id.str());
    m_backend->open();
}

void DataStream::Close() {
    BGAPI2_TRACE("DataStream::Close", m_id.str());
    m_backend->close();
}

bo_bool DataStream::GetIsGrabbing() {
    BGAPI2_TRACE("DataStream::GetIsGrabbing", m_id.str());
    return m_backend->isGrabbing();
}

void DataStream::StartAcquisitionContinuous() {
    BGAPI2_TRACE("DataStream::StartAcquisitionContinuous", m_id.str());
    m_backend->startAcquisition();
}

void DataStream::StopAcquisition() {
    BGAPI2_TRACE("DataStream::StopAcquisition", m_id.str());
    m_backend->stopAcquisition();
}

BufferList* DataStream::GetBufferList() {
    BGAPI2_TRACE("DataStream::GetBufferList", m_id.str());
    if (!m_buffers) {
        m_buffers = std::make_unique<BufferList>(this);
    }
    return m_buffers.get();
}

StreamStatistics DataStream::GetStatistics() {
    BGAPI2_TRACE("DataStream::GetStatistics", m_id.str());
    return m_backend->statistics();
}

}  // namespace BGAPI2
