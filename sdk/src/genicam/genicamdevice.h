#pragma once

#include <arv.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../backend.h"

namespace BGAPI2 {
namespace genicam {

// Turns an Aravis error into the SDK's failure; does nothing without one.
void throwOnError(GError* error, const char* function);

class GenStream;

// A GigE Vision or USB3 Vision camera reached through Aravis.
class GenDevice : public Backend::DeviceBackend, public std::enable_shared_from_this<GenDevice> {
public:
    GenDevice(std::string id, std::string serial, std::string model, std::string vendor,
              std::string protocol);
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

    ArvDevice* arvDevice();

private:
    const std::string m_id;
    const std::string m_serial;
    const std::string m_model;
    const std::string m_vendor;
    const std::string m_protocol;
    std::mutex m_mutex;
    ArvDevice* m_device = nullptr;
    std::shared_ptr<GenStream> m_stream;
};

}  // namespace genicam
}  // namespace BGAPI2
