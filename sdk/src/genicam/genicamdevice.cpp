#include "genicamdevice.h"

#include "bgapi2_genicam/bgapi2_exceptions.h"
#include "genicamstream.h"

namespace BGAPI2 {
namespace genicam {

GenDevice::GenDevice(std::string id, std::string serial, std::string model, std::string vendor,
                     std::string protocol)
    : m_id(std::move(id)),
      m_serial(std::move(serial)),
      m_model(std::move(model)),
      m_vendor(std::move(vendor)),
      m_protocol(std::move(protocol)) {}

GenDevice::~GenDevice() {
    close();
}

bool GenDevice::isOpen() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device != nullptr;
}

void GenDevice::open() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_device != nullptr) {
        throw Exceptions::ResourceInUseException("device '" + m_id + "' is already open",
                                                 "Device::Open");
    }
    GError* error = nullptr;
    m_device = arv_open_device(m_id.c_str(), &error);
    throwOnError(error, "Device::Open");
    if (m_device == nullptr) {
        throw Exceptions::LowLevelException("device '" + m_id + "' cannot be opened",
                                            "Device::Open");
    }
}

// Closing ends the stream first, so no delivery outlives the device.
void GenDevice::close() {
    std::shared_ptr<GenStream> stream;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        stream = m_stream;
    }
    if (stream) {
        stream->close();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_device != nullptr) {
        g_object_unref(m_device);
        m_device = nullptr;
    }
}

ArvDevice* GenDevice::arvDevice() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_device == nullptr) {
        throw Exceptions::ObjectInvalidException("device '" + m_id + "' is not open",
                                                 "Device::GetRemoteNode");
    }
    return m_device;
}

std::vector<std::shared_ptr<Backend::DataStreamBackend>> GenDevice::dataStreams() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_stream) {
        m_stream = std::make_shared<GenStream>(m_id + "/Stream0", weak_from_this());
    }
    return {m_stream};
}

}  // namespace genicam
}  // namespace BGAPI2
