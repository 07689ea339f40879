#include <atomic>
#include <map>
#include <mutex>

#include "../producers.h"
#include "simcamera.h"
#include "simruntime.h"

namespace BGAPI2 {
namespace sim {
namespace {

class SimProducer;

// Systems and interfaces only open and list what the topology puts below them.
class SimSystem : public Backend::SystemBackend {
public:
    SimSystem(SimProducer& producer, std::string id) : m_producer(producer), m_id(std::move(id)) {}
    std::string id() const override { return m_id; }
    std::string displayName() override { return "Simulated cameras " + m_id; }
    std::string tlType() override { return "SIM"; }
    bool isOpen() override { return m_open; }
    void open() override { m_open = true; }
    void close() override { m_open = false; }
    bool hasInterfaceList() override;
    std::vector<std::shared_ptr<Backend::InterfaceBackend>> interfaces() override;

private:
    SimProducer& m_producer;
    const std::string m_id;
    std::atomic<bool> m_open{false};
};

class SimInterface : public Backend::InterfaceBackend {
public:
    SimInterface(SimProducer& producer, std::string id)
        : m_producer(producer), m_id(std::move(id)) {}
    std::string id() const override { return m_id; }
    std::string displayName() override { return "Simulated interface " + m_id; }
    bool isOpen() override { return m_open; }
    void open() override { m_open = true; }
    void close() override { m_open = false; }
    bool hasDeviceList() override;
    std::vector<std::shared_ptr<Backend::DeviceBackend>> devices() override;

private:
    SimProducer& m_producer;
    const std::string m_id;
    std::atomic<bool> m_open{false};
};

class SimProducer : public Backend::Producer {
public:
    ~SimProducer() override { shutdown(); }

    void shutdown() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& camera : m_cameras) {
            camera.second->close();
        }
    }

    std::vector<std::shared_ptr<Backend::SystemBackend>> systems() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::shared_ptr<Backend::SystemBackend>> result;
        for (const auto& config : currentTopology().systems) {
            auto& system = m_systems[config.id];
            if (!system) {
                system = std::make_shared<SimSystem>(*this, config.id);
            }
            result.push_back(system);
        }
        return result;
    }

    const simcam::SystemConfig* systemConfig(const simcam::Topology& topology,
                                             const std::string& id) {
        for (const auto& system : topology.systems) {
            if (system.id == id)
                return &system;
        }
        return nullptr;
    }

    const simcam::InterfaceConfig* interfaceConfig(const simcam::Topology& topology,
                                                   const std::string& id) {
        for (const auto& system : topology.systems) {
            for (const auto& iface : system.interfaces) {
                if (iface.id == id)
                    return &iface;
            }
        }
        return nullptr;
    }

    bool systemHasList(const std::string& id) {
        const auto topology = currentTopology();
        const auto* config = systemConfig(topology, id);
        return config != nullptr && !config->listUnavailable;
    }

    bool interfaceHasList(const std::string& id) {
        const auto topology = currentTopology();
        const auto* config = interfaceConfig(topology, id);
        return config != nullptr && !config->listUnavailable;
    }

    std::vector<std::shared_ptr<Backend::InterfaceBackend>> interfacesOf(const std::string& id) {
        const auto topology = currentTopology();
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::shared_ptr<Backend::InterfaceBackend>> result;
        if (const auto* config = systemConfig(topology, id)) {
            for (const auto& ifaceConfig : config->interfaces) {
                auto& iface = m_interfaces[ifaceConfig.id];
                if (!iface) {
                    iface = std::make_shared<SimInterface>(*this, ifaceConfig.id);
                }
                result.push_back(iface);
            }
        }
        return result;
    }

    std::vector<std::shared_ptr<Backend::DeviceBackend>> camerasOf(const std::string& id) {
        const auto topology = currentTopology();
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::shared_ptr<Backend::DeviceBackend>> result;
        const auto* config = interfaceConfig(topology, id);
        if (config == nullptr) {
            return result;
        }
        for (const auto& cameraId : config->cameras) {
            if (auto camera = cameraFor(topology, cameraId)) {
                result.push_back(camera);
            }
        }
        return result;
    }

private:
    std::shared_ptr<SimCamera> cameraFor(const simcam::Topology& topology, const std::string& id) {
        auto found = m_cameras.find(id);
        if (found != m_cameras.end()) {
            return found->second;
        }
        for (const auto& config : topology.cameras) {
            const std::string configId = config.id.empty() ? config.serial : config.id;
            if (configId == id) {
                auto camera = std::make_shared<SimCamera>(config);
                m_cameras[id] = camera;
                registerCamera(id, camera);
                return camera;
            }
        }
        return nullptr;
    }

    std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<SimSystem>> m_systems;
    std::map<std::string, std::shared_ptr<SimInterface>> m_interfaces;
    std::map<std::string, std::shared_ptr<SimCamera>> m_cameras;
};

bool SimSystem::hasInterfaceList() {
    return m_producer.systemHasList(m_id);
}

std::vector<std::shared_ptr<Backend::InterfaceBackend>> SimSystem::interfaces() {
    return m_producer.interfacesOf(m_id);
}

bool SimInterface::hasDeviceList() {
    return m_producer.interfaceHasList(m_id);
}

std::vector<std::shared_ptr<Backend::DeviceBackend>> SimInterface::devices() {
    return m_producer.camerasOf(m_id);
}

}  // namespace
}  // namespace sim

namespace Backend {

std::unique_ptr<Producer> makeSimulationProducer() {
    return std::make_unique<sim::SimProducer>();
}

}  // namespace Backend
}  // namespace BGAPI2
