#include <mutex>

#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "handlecache.h"
#include "listlock.h"
#include "producers.h"
#include "simulation/simruntime.h"
#include "threadsafety.h"
#include "trace.h"

namespace BGAPI2 {

struct SystemList::Impl {
    std::vector<std::unique_ptr<Backend::Producer>> producers;
    Backend::HandleCache<System, Backend::SystemBackend> cache;
};

namespace {
Mutex g_instanceMutex;
SystemList* g_instance GUARDED_BY(g_instanceMutex) = nullptr;
}  // namespace

SystemList::SystemList() : m_impl(std::make_unique<Impl>()) {
    m_impl->producers = Backend::loadProducers();
}

SystemList::~SystemList() {
    for (auto& producer : m_impl->producers) {
        producer->shutdown();
    }
}

SystemList* SystemList::GetInstance() {
    BGAPI2_TRACE("SystemList::GetInstance", "SystemList");
    MutexLock lock(g_instanceMutex);
    if (!sim::systemListAvailable()) {
        return nullptr;
    }
    if (g_instance == nullptr) {
        g_instance = new SystemList();
    }
    return g_instance;
}

// Taken out under the list lock too: a snapshot running now ends before,
// and one starting later finds no list.
void SystemList::ReleaseInstance() {
    BGAPI2_TRACE("SystemList::ReleaseInstance", "SystemList");
    SystemList* instance = nullptr;
    {
        MutexLock lists(Backend::listLock());
        MutexLock lock(g_instanceMutex);
        instance = g_instance;
        g_instance = nullptr;
    }
    delete instance;
}

std::vector<ListedDevice> SystemList::ListedDevices() {
    std::vector<ListedDevice> listed;
    MutexLock lists(Backend::listLock());
    SystemList* instance = nullptr;
    {
        MutexLock lock(g_instanceMutex);
        instance = g_instance;
    }
    if (instance == nullptr) {
        return listed;
    }
    for (auto& system : *instance) {
        InterfaceList* interfaces = system.second->m_interfaces.get();
        if (interfaces == nullptr || !system.second->IsOpen()) {
            continue;
        }
        for (auto& iface : *interfaces) {
            DeviceList* devices = iface.second->m_devices.get();
            if (devices == nullptr || !iface.second->IsOpen()) {
                continue;
            }
            for (auto& device : *devices) {
                listed.push_back({device.second, device.second->GetID(),
                                  device.second->GetSerialNumber(), device.second->IsOpen()});
            }
        }
    }
    return listed;
}

void SystemList::Refresh() {
    BGAPI2_TRACE("SystemList::Refresh", "SystemList");
    std::vector<std::shared_ptr<Backend::SystemBackend>> systems;
    for (auto& producer : m_impl->producers) {
        for (auto& system : producer->systems()) {
            systems.push_back(system);
        }
    }
    MutexLock lock(Backend::listLock());
    m_impl->cache.fill(m_entries, systems);
}

}  // namespace BGAPI2
