// Real cameras through Aravis, enabled with QZCAM_GENICAM=1 (or "fake" for
// Aravis's own simulated GigE camera only).
#include <arv.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

// One camera as the last discovery saw it.
struct Seen {
    std::string id;
    std::string serial;
    std::string model;
    std::string vendor;
    std::string protocol;
    std::string address;
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
    ~GenProducer() override {
        shutdown();
        stopWatching();
    }

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
        discover();
        std::vector<std::shared_ptr<Backend::InterfaceBackend>> result;
        for (const Seen& seen : m_seen) {
            auto& iface = m_interfaces[seen.protocol];
            if (!iface) {
                iface = std::make_shared<GenInterface>(*this, seen.protocol);
            }
            if (std::find(result.begin(), result.end(), iface) == result.end()) {
                result.push_back(iface);
            }
        }
        return result;
    }

    // The cameras of one transport. A discovery made just before, for the
    // interface list, serves: every broadcast costs the discovery's wait.
    std::vector<std::shared_ptr<Backend::DeviceBackend>> devices(const std::string& protocol) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (Clock::now() - m_discoveredAt > kDiscoveryServes) {
            discover();
        }
        std::vector<std::shared_ptr<Backend::DeviceBackend>> result;
        for (const Seen& seen : m_seen) {
            if (seen.protocol == protocol) {
                result.push_back(deviceFor(seen));
            }
        }
        return result;
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kDiscoveryServes = std::chrono::seconds(1);
    static constexpr auto kLookAgainAfter = std::chrono::milliseconds(500);

    static std::string text(const char* value) { return value != nullptr ? value : ""; }
    bool wanted(const std::string& protocol) const { return !m_fakeOnly || protocol == "Fake"; }

    // Under m_mutex.
    void discover() {
        arv_update_device_list();
        m_seen.clear();
        for (unsigned int i = 0; i < arv_get_n_devices(); ++i) {
            Seen seen{text(arv_get_device_id(i)),       text(arv_get_device_serial_nbr(i)),
                      text(arv_get_device_model(i)),    text(arv_get_device_vendor(i)),
                      text(arv_get_device_protocol(i)), text(arv_get_device_address(i))};
            if (wanted(seen.protocol)) {
                m_seen.push_back(std::move(seen));
            }
        }
        m_discoveredAt = Clock::now();
    }

    std::shared_ptr<GenDevice> deviceFor(const Seen& seen) {
        auto& device = m_devices[seen.id];
        if (!device) {
            device = std::make_shared<GenDevice>(seen.id, seen.serial, seen.model, seen.vendor,
                                                 seen.protocol, [this] { startWatching(); });
        }
        device->noteAddress(seen.address);
        return device;
    }

    // While a camera is lost, discovery runs in the background until it is
    // seen again.
    void startWatching() {
        std::lock_guard<std::mutex> lock(m_watchMutex);
        m_watchWanted = true;
        ++m_watchRequests;
        if (!m_watcher.joinable() && !m_watchStop) {
            m_watcher = std::thread([this] { watch(); });
        }
        m_watchCv.notify_all();
    }

    void stopWatching() {
        {
            std::lock_guard<std::mutex> lock(m_watchMutex);
            m_watchStop = true;
        }
        m_watchCv.notify_all();
        if (m_watcher.joinable()) {
            m_watcher.join();
        }
    }

    void watch() {
        std::unique_lock<std::mutex> lock(m_watchMutex);
        while (!m_watchStop) {
            m_watchCv.wait(lock, [this] { return m_watchStop || m_watchWanted; });
            if (m_watchStop) {
                break;
            }
            const std::uint64_t requests = m_watchRequests;
            lock.unlock();
            const bool stillLost = lookForLostDevices();
            lock.lock();
            m_watchWanted = stillLost || m_watchRequests != requests;
            m_watchCv.wait_for(lock, kLookAgainAfter, [this] { return m_watchStop; });
        }
    }

    // True while some camera is still lost. A camera known by its network
    // address is asked directly, and taken back when the serial number it
    // gives there is its own (another camera may have the address now).
    // Where that cannot be told, only a discovery that finds it will do.
    bool lookForLostDevices() {
        std::vector<std::shared_ptr<GenDevice>> lost;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (auto& entry : m_devices) {
                if (entry.second->lost())
                    lost.push_back(entry.second);
            }
        }
        bool stillLost = false;
        for (auto& device : lost) {
            if (isBack(*device)) {
                device->markAvailable();
            } else {
                stillLost = true;
            }
        }
        return stillLost;
    }

    bool isBack(GenDevice& device) {
        switch (device.lookAgain()) {
            case GenDevice::Presence::Ours:
                return true;
            case GenDevice::Presence::Other:
                return false;
            case GenDevice::Presence::Answers:
                if (!seenInDiscovery(device.id())) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    discover();
                }
                break;
            default:
                break;  // silent, or nowhere to ask: only a discovery made anyway tells
        }
        return seenInDiscovery(device.id());
    }

    bool seenInDiscovery(const std::string& id) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return Clock::now() - m_discoveredAt < kDiscoveryServes &&
               std::any_of(m_seen.begin(), m_seen.end(), [&](const Seen& s) { return s.id == id; });
    }

    const bool m_fakeOnly;
    std::shared_ptr<GenSystem> m_system;
    std::mutex m_mutex;
    std::vector<Seen> m_seen;
    Clock::time_point m_discoveredAt{};
    std::map<std::string, std::shared_ptr<GenInterface>> m_interfaces;
    std::map<std::string, std::shared_ptr<GenDevice>> m_devices;

    std::mutex m_watchMutex;
    std::condition_variable m_watchCv;
    std::thread m_watcher;
    bool m_watchWanted = false;
    std::uint64_t m_watchRequests = 0;
    bool m_watchStop = false;
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
