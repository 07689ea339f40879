#include "backend.h"
#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "deviceevents.h"
#include "listlock.h"
#include "trace.h"

namespace BGAPI2 {

Device::Device(std::shared_ptr<Backend::DeviceBackend> backend) : m_backend(std::move(backend)) {}
Device::~Device() {
    if (m_stateHandlerSet) {
        m_backend->events().setHandler(nullptr);  // the handler names this handle
    }
}

String Device::GetID() {
    return m_backend->id();
}

String Device::GetSerialNumber() {
    BGAPI2_TRACE("Device::GetSerialNumber", m_backend->id());
    return m_backend->serialNumber();
}

String Device::GetModel() {
    BGAPI2_TRACE("Device::GetModel", m_backend->id());
    return m_backend->model();
}

String Device::GetVendor() {
    BGAPI2_TRACE("Device::GetVendor", m_backend->id());
    return m_backend->vendor();
}

String Device::GetTLType() {
    BGAPI2_TRACE("Device::GetTLType", m_backend->id());
    return m_backend->tlType();
}

bo_bool Device::IsOpen() {
    BGAPI2_TRACE("Device::IsOpen", m_backend->id());
    return m_backend->isOpen();
}

void Device::Open() {
    BGAPI2_TRACE("Device::Open", m_backend->id());
    m_backend->open();
}

void Device::Close() {
    BGAPI2_TRACE("Device::Close", m_backend->id());
    m_backend->close();
}

DataStreamList* Device::GetDataStreams() {
    BGAPI2_TRACE("Device::GetDataStreams", m_backend->id());
    // Once prepared, the streams stay reachable after the device closed (a
    // camera that went away), so that a host can take its buffers back.
    MutexLock lock(Backend::listLock());
    if (!m_streams && !m_backend->isOpen()) {
        throw Exceptions::NotAvailableException("device is not open", "Device::GetDataStreams");
    }
    if (!m_streams) {
        m_streams = std::make_unique<DataStreamList>(m_backend);
    }
    return m_streams.get();
}

StreamStatistics Device::GetStreamStatistics() {
    BGAPI2_TRACE("Device::GetStreamStatistics", m_backend->id());
    StreamStatistics sum;
    MutexLock lock(Backend::listLock());
    if (!m_streams) {
        return sum;
    }
    for (auto& entry : *m_streams) {
        const StreamStatistics one = entry.second->GetStatistics();
        sum.delivered += one.delivered;
        sum.incomplete += one.incomplete;
        sum.lost += one.lost;
        sum.resentPackets += one.resentPackets;
        sum.missingPackets += one.missingPackets;
    }
    return sum;
}

NodeMap* Device::GetRemoteNodeList() {
    BGAPI2_TRACE("Device::GetRemoteNodeList", m_backend->id());
    return nodeMap("Device::GetRemoteNodeList");
}

Node* Device::GetRemoteNode(const String& name) {
    BGAPI2_TRACE("Device::GetRemoteNode", m_backend->id(), name.str());
    return nodeMap("Device::GetRemoteNode")->lookUp(name);
}

// Made on first use, by whichever thread asks first.
NodeMap* Device::nodeMap(const char* function) {
    if (!m_backend->isOpen()) {
        throw Exceptions::NotAvailableException("device is not open", function);
    }
    std::lock_guard<std::mutex> lock(m_nodesMutex);
    if (!m_nodes) {
        m_nodes = std::make_unique<NodeMap>(m_backend);
    }
    return m_nodes.get();
}

void Device::RegisterDeviceStateEventHandler(void* callBackOwner,
                                             Events::DeviceStateEventHandler handler) {
    BGAPI2_TRACE("Device::RegisterDeviceStateEventHandler", m_backend->id());
    if (handler == nullptr) {
        m_backend->events().setHandler(nullptr);
        m_stateHandlerSet = false;
        return;
    }
    m_backend->events().setHandler([this, callBackOwner, handler](Events::DeviceState state) {
        handler(callBackOwner, this, state);
    });
    m_stateHandlerSet = true;
}

}  // namespace BGAPI2
