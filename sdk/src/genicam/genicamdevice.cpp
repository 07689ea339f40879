#include "genicamdevice.h"

#include <arpa/inet.h>

#include <thread>

#include "bgapi2_genicam/bgapi2_exceptions.h"
#include "genicamstream.h"
#include "gvcpprobe.h"

namespace BGAPI2 {
namespace genicam {
namespace {

constexpr int kProbeTries = 3;
constexpr int kProbeTimeoutMs = 100;

// Aravis reports a lost control channel on its heartbeat thread; the device
// may be gone by then, so the signal holds only a weak reference.
void onControlLost(ArvDevice*, gpointer data) {
    if (auto device = static_cast<std::weak_ptr<GenDevice>*>(data)->lock()) {
        device->markLost();
    }
}

void deleteWeakDevice(gpointer data, GClosure*) {
    delete static_cast<std::weak_ptr<GenDevice>*>(data);
}

bool gvAddress(ArvDevice* device, sockaddr_in* address) {
    if (!ARV_IS_GV_DEVICE(device)) {
        return false;
    }
    GSocketAddress* socketAddress = arv_gv_device_get_device_address(ARV_GV_DEVICE(device));
    return socketAddress != nullptr &&
           g_socket_address_to_native(socketAddress, address, sizeof *address, nullptr) &&
           address->sin_family == AF_INET;
}

}  // namespace

void releaseAravisObject(gpointer object, bool cameraLost) {
    if (object == nullptr) {
        return;
    }
    if (cameraLost) {
        std::thread([object] { g_object_unref(object); }).detach();
    } else {
        g_object_unref(object);
    }
}

GenDevice::GenDevice(std::string id, std::string serial, std::string model, std::string vendor,
                     std::string protocol, std::function<void()> onLost)
    : m_id(std::move(id)),
      m_serial(std::move(serial)),
      m_model(std::move(model)),
      m_vendor(std::move(vendor)),
      m_protocol(std::move(protocol)),
      m_onLost(std::move(onLost)) {}

GenDevice::~GenDevice() {
    close();
}

bool GenDevice::isOpen() {
    MutexLock lock(m_mutex);
    return m_device != nullptr;
}

void GenDevice::open() {
    MutexLock lock(m_mutex);
    if (m_device != nullptr) {
        throw Exceptions::ResourceInUseException("device '" + m_id + "' is already open",
                                                 "Device::Open");
    }
    if (m_lost) {
        throw Exceptions::LowLevelException("device '" + m_id + "' is lost", "Device::Open");
    }
    refuseIfControlledElsewhere();
    GError* error = nullptr;
    m_device = arv_open_device(m_id.c_str(), &error);
    throwOnError(error, "Device::Open");
    if (m_device == nullptr) {
        throw Exceptions::LowLevelException("device '" + m_id + "' cannot be opened",
                                            "Device::Open");
    }
    m_hasAddress = gvAddress(m_device, &m_address);
    connectLossSignal();
}

// Aravis would spend seconds trying to take the control channel from the
// application that holds it, and as long again giving it back.
void GenDevice::refuseIfControlledElsewhere() {
    if (!m_hasAddress) {
        return;
    }
    std::uint32_t privilege = 0;
    const GvcpReply reply = gvcpReadRegister(m_address, kControlPrivilegeRegister, kProbeTries,
                                             kProbeTimeoutMs, &privilege);
    if (reply == GvcpReply::Value && (privilege & 0x3) != 0) {
        throw Exceptions::AccessDeniedException(
            "camera '" + m_serial +
                "' is in use by another application: its control channel is taken",
            "Device::Open");
    }
}

void GenDevice::noteAddress(const std::string& address) {
    sockaddr_in parsed{};
    parsed.sin_family = AF_INET;
    parsed.sin_port = htons(3956);  // GigE Vision control port
    if (m_protocol != "GigEVision" || inet_pton(AF_INET, address.c_str(), &parsed.sin_addr) != 1) {
        return;
    }
    MutexLock lock(m_mutex);
    if (m_device == nullptr) {  // an open camera keeps the address it was opened at
        m_address = parsed;
        m_hasAddress = true;
    }
}

void GenDevice::connectLossSignal() {
    m_lossSignal = g_signal_connect_data(m_device, "control-lost", G_CALLBACK(onControlLost),
                                         new std::weak_ptr<GenDevice>(weak_from_this()),
                                         deleteWeakDevice, GConnectFlags(0));
}

void GenDevice::disconnectLossSignal() {
    if (m_lossSignal != 0) {
        g_signal_handler_disconnect(m_device, m_lossSignal);
        m_lossSignal = 0;
    }
}

// Closing ends the stream first, so no delivery outlives the device. A lost
// camera is given up off this thread.
void GenDevice::close() {
    std::shared_ptr<GenStream> stream;
    {
        MutexLock lock(m_mutex);
        stream = m_stream;
    }
    if (stream) {
        stream->close();
    }
    // A camera that stopped answering before anyone noticed is given up as
    // lost: releasing it here would wait out Aravis's retries.
    const bool silent = !m_lost && isOpen() && isGone(lookAgain());
    MutexLock lock(m_mutex);
    if (m_device == nullptr) {
        return;
    }
    disconnectLossSignal();
    releaseAravisObject(m_device, m_lost || silent);
    m_device = nullptr;
}

ArvDevice* GenDevice::arvDevice() {
    MutexLock lock(m_mutex);
    if (m_device == nullptr) {
        throw Exceptions::ObjectInvalidException("device '" + m_id + "' is not open",
                                                 "Device::GetRemoteNode");
    }
    if (m_lost) {
        throw Exceptions::LowLevelException("device '" + m_id + "' is lost",
                                            "Device::GetRemoteNode");
    }
    return m_device;
}

bool GenDevice::answers() {
    {
        MutexLock lock(m_mutex);
        if (m_lost || m_device == nullptr) {
            return false;
        }
    }
    // With no cheap question to ask, Aravis's lost control channel tells.
    return !isGone(lookAgain());
}

GenDevice::Presence GenDevice::lookAgain() {
    sockaddr_in address{};
    {
        MutexLock lock(m_mutex);
        if (!m_hasAddress) {
            return Presence::Unknown;
        }
        address = m_address;
    }
    std::string serial;
    switch (gvcpSerialNumber(address, kProbeTries, kProbeTimeoutMs, &serial)) {
        case GvcpReply::Value:
            // Without one there, Aravis named the camera by its MAC address.
            if (serial.empty()) {
                return Presence::Answers;
            }
            return serial == m_serial ? Presence::Ours : Presence::Other;
        case GvcpReply::Silent:
            return Presence::Silent;
        default:
            return Presence::Answers;
    }
}

bool GenDevice::isGone(Presence presence) {
    return presence == Presence::Silent || presence == Presence::Other;
}

void GenDevice::markLost() {
    if (m_lost.exchange(true)) {
        return;
    }
    std::shared_ptr<GenStream> stream;
    {
        MutexLock lock(m_mutex);
        stream = m_stream;
    }
    if (stream) {
        stream->lose();
    }
    m_events.post(Events::DEVICE_STATE_LOST);
    if (m_onLost) {
        m_onLost();
    }
}

void GenDevice::markAvailable() {
    if (!m_lost) {
        return;
    }
    close();  // whatever the host did not close yet
    m_lost = false;
    m_events.post(Events::DEVICE_STATE_AVAILABLE);
}

std::vector<std::shared_ptr<Backend::DataStreamBackend>> GenDevice::dataStreams() {
    MutexLock lock(m_mutex);
    if (!m_stream) {
        m_stream = std::make_shared<GenStream>(m_id + "/Stream0", weak_from_this());
    }
    return {m_stream};
}

}  // namespace genicam
}  // namespace BGAPI2
