#include <algorithm>

#include "backend.h"
#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "handlecache.h"
#include "listlock.h"
#include "trace.h"

namespace BGAPI2 {

InterfaceList::InterfaceList(std::shared_ptr<Backend::SystemBackend> system)
    : m_system(std::move(system)),
      m_cache(std::make_unique<Backend::HandleCache<Interface, Backend::InterfaceBackend>>()) {}

InterfaceList::~InterfaceList() = default;

void InterfaceList::Refresh(bo_uint64 timeout) {
    BGAPI2_TRACE("InterfaceList::Refresh", m_system->id(), std::to_string(timeout));
    const auto interfaces = m_system->interfaces();
    MutexLock lock(Backend::listLock());
    m_cache->fill(m_entries, interfaces);
}

DeviceList::DeviceList(std::shared_ptr<Backend::InterfaceBackend> iface)
    : m_interface(std::move(iface)),
      m_cache(std::make_unique<Backend::HandleCache<Device, Backend::DeviceBackend>>()) {}

DeviceList::~DeviceList() = default;

void DeviceList::Refresh(bo_uint64 timeout) {
    BGAPI2_TRACE("DeviceList::Refresh", m_interface->id(), std::to_string(timeout));
    const auto devices = m_interface->devices();
    MutexLock lock(Backend::listLock());
    m_cache->fill(m_entries, devices);
}

Device* DeviceList::operator[](const String& key) {
    BGAPI2_TRACE("DeviceList::operator[]", m_interface->id(), key.str());
    for (auto& entry : m_entries) {
        if (entry.first == key) {
            return entry.second;
        }
    }
    throw Exceptions::NotAvailableException("no device with this key in the list",
                                            "DeviceList::operator[]");
}

DataStreamList::DataStreamList(std::shared_ptr<Backend::DeviceBackend> device)
    : m_device(std::move(device)),
      m_cache(std::make_unique<Backend::HandleCache<DataStream, Backend::DataStreamBackend>>()) {}

DataStreamList::~DataStreamList() = default;

void DataStreamList::Refresh() {
    BGAPI2_TRACE("DataStreamList::Refresh", m_device->id());
    const auto streams = m_device->dataStreams();
    MutexLock lock(Backend::listLock());
    m_cache->fill(m_entries, streams);
}

BufferList::BufferList(DataStream* stream) : m_stream(stream) {}

BufferList::~BufferList() {
    // Buffers still listed belong to the host; they outlive the list but no
    // longer reach a stream.
    for (auto& entry : m_entries) {
        entry.second->m_backend.reset();
        entry.second->m_owner = nullptr;
    }
}

void BufferList::Add(Buffer* buffer) {
    BGAPI2_TRACE("BufferList::Add", m_stream->GetID().str());
    if (buffer == nullptr) {
        throw Exceptions::InvalidParameterException("buffer is null", "BufferList::Add");
    }
    if (buffer->m_owner != nullptr) {
        throw Exceptions::ResourceInUseException("buffer already belongs to a list",
                                                 "BufferList::Add");
    }
    buffer->m_backend = m_stream->backend().attach(buffer);
    buffer->m_owner = this;
    m_entries.emplace_back(String(buffer->m_backend->id()), buffer);
}

void BufferList::Remove(Buffer* buffer) {
    BGAPI2_TRACE("BufferList::Remove", m_stream->GetID().str());
    if (buffer == nullptr || buffer->m_owner != this) {
        throw Exceptions::InvalidParameterException("buffer is not in this list",
                                                    "BufferList::Remove");
    }
    buffer->m_backend->detach();
    forget(buffer);
    buffer->m_backend.reset();
    buffer->m_owner = nullptr;
}

bo_uint64 BufferList::GetQueuedCount() {
    BGAPI2_TRACE("BufferList::GetQueuedCount", m_stream->GetID().str());
    return m_stream->backend().queuedCount();
}

void BufferList::forget(Buffer* buffer) {
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [buffer](const Entry& e) { return e.second == buffer; }),
                    m_entries.end());
}

}  // namespace BGAPI2
