#include <mutex>

#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "handlecache.h"
#include "producers.h"
#include "simulation/simruntime.h"
#include "trace.h"

namespace BGAPI2 {

struct SystemList::Impl {
    std::vector<std::unique_ptr<Backend::Producer>> producers;
    Backend::HandleCache<System, Backend::SystemBackend> cache;
};

namespace {
std::mutex g_instanceMutex;
SystemList* g_instance = nullptr;
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
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    if (!sim::systemListAvailable()) {
        return nullptr;
    }
    if (g_instance == nullptr) {
        g_instance = new SystemList();
    }
    return g_instance;
}

void SystemList::ReleaseInstance() {
    BGAPI2_TRACE("SystemList::ReleaseInstance", "SystemList");
    SystemList* instance = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_instanceMutex);
        instance = g_instance;
        g_instance = nullptr;
    }
    delete instance;
}

void SystemList::Refresh() {
    BGAPI2_TRACE("SystemList::Refresh", "SystemList");
    std::vector<std::shared_ptr<Backend::SystemBackend>> systems;
    for (auto& producer : m_impl->producers) {
        for (auto& system : producer->systems()) {
            systems.push_back(system);
        }
    }
    m_impl->cache.fill(m_entries, systems);
}

}  // namespace BGAPI2
