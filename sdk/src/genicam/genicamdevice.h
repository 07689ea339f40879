#pragma once

#include <arv.h>
#include <netinet/in.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "../backend.h"
#include "../deviceevents.h"
#include "threadsafety.h"

namespace BGAPI2 {
namespace genicam {

// Turns an Aravis error into the SDK's failure; does nothing without one.
void throwOnError(GError* error, const char* function);
// Drops an Aravis object; for a lost camera off the caller's thread, since
// giving up a camera that no longer answers makes Aravis retry for seconds.
void releaseAravisObject(gpointer object, bool cameraLost);

class GenStream;

// A GigE Vision or USB3 Vision camera reached through Aravis. Once it stops
// answering it is lost: every access fails at once, and the producer looks
// for it until it is seen again.
class GenDevice : public Backend::DeviceBackend, public std::enable_shared_from_this<GenDevice> {
public:
    GenDevice(std::string id, std::string serial, std::string model, std::string vendor,
              std::string protocol, std::function<void()> onLost);
    ~GenDevice() override;

    std::string id() const override { return m_id; }
    std::string serialNumber() override { return m_serial; }
    std::string model() override { return m_model; }
    std::string vendor() override { return m_vendor; }
    std::string tlType() override { return m_protocol; }
    bool isOpen() override;
    void open() override;
    void close() override;
    std::shared_ptr<Backend::NodeBackend> node(const std::string& name) override;
    std::uint64_t nodeCount() override { return 0; }
    std::vector<std::shared_ptr<Backend::DataStreamBackend>> dataStreams() override;
    Backend::DeviceEvents& events() override { return m_events; }

    ArvDevice* arvDevice();
    bool lost() const { return m_lost; }
    // True when the camera answers a short control request.
    bool answers();
    void markLost();
    // Whether a lost camera answers at its last address, and whether the
    // serial number there is its own (Answers: it cannot be told); Unknown
    // when it has no address to ask at.
    enum class Presence { Ours, Other, Answers, Silent, Unknown };
    Presence lookAgain();
    static bool isGone(Presence presence);
    // Seen again after a loss: what was left of the old connection goes.
    void markAvailable();
    // Where discovery found the camera (an IPv4 address for GigE Vision).
    void noteAddress(const std::string& address);

private:
    void connectLossSignal() REQUIRES(m_mutex);
    void refuseIfControlledElsewhere() REQUIRES(m_mutex);
    void disconnectLossSignal() REQUIRES(m_mutex);

    const std::string m_id;
    const std::string m_serial;
    const std::string m_model;
    const std::string m_vendor;
    const std::string m_protocol;
    const std::function<void()> m_onLost;
    Mutex m_mutex;
    ArvDevice* m_device GUARDED_BY(m_mutex) = nullptr;
    gulong m_lossSignal GUARDED_BY(m_mutex) = 0;
    bool m_hasAddress GUARDED_BY(m_mutex) = false;
    sockaddr_in m_address GUARDED_BY(m_mutex){};
    std::shared_ptr<GenStream> m_stream GUARDED_BY(m_mutex);
    std::atomic<bool> m_lost{false};
    // Last, so that it goes first: its thread may be inside a handler.
    Backend::DeviceEvents m_events;
};

}  // namespace genicam
}  // namespace BGAPI2
