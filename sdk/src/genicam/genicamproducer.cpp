// Real cameras through Aravis, enabled with QZCAM_GENICAM=1 (or "fake" for
// Aravis's own simulated GigE camera only).
#include <arv.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "../producers.h"
#include "genicamdevice.h"

namespace BGAPI2 {
namespace genicam {
namespace {

class GenProducer;

// One interface per transport ("GigEVision", "USB3Vision", "Fake").
class GenInterface : public Backend::InterfaceBackend {
public:
    GenInterface(GenProducer& producer, std::string protocol)
        : m_producer(producer), m_protocol(std::move(protocol)) {}
    std::string id() const override { return m_protocol; }
    std::string displayName() override { return m_protocol + " cameras"; }
    bool isOpen() override { return m_open; }
    void open() override { m_open = true; }
    void close() override { m_open = false; }
    bool hasDeviceList() override { return true; }
    std::vector<std::shared_ptr<Backend::DeviceBackend>> devices() override;

private:
    GenProducer& m_producer;
    const std::string m_protocol;
    std::atomic<bool> m_open{false};
};

class GenSystem : public Backend::SystemBackend {
public:
    explicit GenSystem(GenProducer& producer) : m_producer(producer) {}
    std::string id() const override { return "GenICam"; }
    std::string displayName() override { return "GenICam cameras (Aravis)"; }
    std::string tlType() override { return "Mixed"; }
    bool isOpen() override { return m_open; }
    void open() override { m_open = true; }
    void close() override { m_open = false; }
    bool hasInterfaceList() override { return true; }
    std::vector<std::shared_ptr<Backend::InterfaceBackend>> interfaces() override;

private:
    GenProducer& m_producer;
    std::atomic<bool> m_open{false};
};

class GenProducer : public Backend::Producer {
public:
    explicit GenProducer(bool fakeOnly)
        : m_fakeOnly(fakeOnly), m_system(std::make_shared<GenSystem>(*this)) {
        if (fakeOnly) {
            // Aravis's simulated camera alone: no network or USB discovery.
            arv_enable_interface("Fake");
            arv_disable_interface("GigEVision");
            arv_disable_interface("USB3Vision");
        }
    }
    ~GenProducer() override { shutdown(); }

    void shutdown() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& device : m_devices) {
            device.second->close();
        }
    }

    std::vector<std::shared_ptr<Backend::SystemBackend>> systems() override { return {m_system}; }

    // Transports with at least one camera, after a fresh discovery.
    std::vector<std::shared_ptr<Backend::InterfaceBackend>> interfaces() {
        std::lock_guard<std::mutex> lock(m_mutex);
        arv_update_device_list();
        std::vector<std::shared_ptr<Backend::InterfaceBackend>> result;
        for (unsigned int i = 0; i < arv_get_n_devices(); ++i) {
            const std::string protocol = text(arv_get_device_protocol(i));
            if (!wanted(protocol))
                continue;
            auto& iface = m_interfaces[protocol];
            if (!iface) {
                iface = std::make_shared<GenInterface>(*this, protocol);
                result.push_back(iface);
            } else if (std::find(result.begin(), result.end(), iface) == result.end()) {
                result.push_back(iface);
            }
        }
        return result;
    }

    std::vector<std::shared_ptr<Backend::DeviceBackend>> devices(const std::string& protocol) {
        std::lock_guard<std::mutex> lock(m_mutex);
        arv_update_device_list();
        std::vector<std::shared_ptr<Backend::DeviceBackend>> result;
        for (unsigned int i = 0; i < arv_get_n_devices(); ++i) {
            if (text(arv_get_device_protocol(i)) != protocol)
                continue;
            const std::string id = text(arv_get_device_id(i));
            auto& device = m_devices[id];
            if (!device) {
                device = std::make_shared<GenDevice>(id, text(arv_get_device_serial_nbr(i)),
                                                     text(arv_get_device_model(i)),
                                                     text(arv_get_device_vendor(i)), protocol);
            }
            result.push_back(device);
        }
        return result;
    }

private:
    static std::string text(const char* value) { return value != nullptr ? value : ""; }
    bool wanted(const std::string& protocol) const { return !m_fakeOnly || protocol == "Fake"; }

    const bool m_fakeOnly;
    std::shared_ptr<GenSystem> m_system;
    std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<GenInterface>> m_interfaces;
    std::map<std::string, std::shared_ptr<GenDevice>> m_devices;
};

std::vector<std::shared_ptr<Backend::DeviceBackend>> GenInterface::devices() {
    return m_producer.devices(m_protocol);
}

std::vector<std::shared_ptr<Backend::InterfaceBackend>> GenSystem::interfaces() {
    return m_producer.interfaces();
}

}  // namespace
}  // namespace genicam

namespace Backend {

std::unique_ptr<Producer> makeGenICamProducer() {
    const char* setting = std::getenv("QZCAM_GENICAM");
    if (setting == nullptr || *setting == '\0' || std::string(setting) == "0") {
        return nullptr;
    }
    return std::make_unique<genicam::GenProducer>(std::string(setting) == "fake");
}

}  // namespace Backend
}  // namespace BGAPI2
