#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../backend.h"
#include "../deviceevents.h"
#include "simcam/simcam.h"
#include "simnode.h"
#include "simstream.h"

namespace BGAPI2 {
namespace sim {

// A simulated GenICam camera: its features, its acquisition state, the frame
// source that follows the trigger set-up, and its data streams.
class SimCamera : public Backend::DeviceBackend, public std::enable_shared_from_this<SimCamera> {
public:
    explicit SimCamera(simcam::CameraConfig config);
    ~SimCamera() override;

    std::string id() const override { return m_config.id; }
    std::string serialNumber() override { return m_config.serial; }
    std::string model() override { return m_config.model; }
    std::string vendor() override { return "Simulation"; }
    std::string tlType() override { return "SIM"; }
    bool isOpen() override;
    void open() override;
    void close() override;
    std::shared_ptr<Backend::NodeBackend> node(const std::string& name) override;
    std::uint64_t nodeCount() override { return m_nodes.size(); }
    std::vector<std::shared_ptr<Backend::DataStreamBackend>> dataStreams() override;
    Backend::DeviceEvents& events() override { return m_events; }

    // Control side.
    // Unplugged, the camera answers nothing and delivers nothing; plugged in
    // again, it starts as after power-up: closed, with its initial settings.
    void unplug();
    void replug();
    void pulseLine();
    // While held, Device::Open waits: a camera slow to answer.
    void holdOpens(bool hold);
    bool waitForHeldOpen(int timeoutMs);
    void shape(const simcam::FrameShape& shape);
    std::shared_ptr<SimStream> stream(int index);
    std::string featureValue(const std::string& feature);
    bool acquiring();

private:
    enum class Source { None, Software, Line0 };
    void buildFeatures();
    void addEnumeration(const std::string& name, std::string* value,
                        std::function<std::vector<std::string>()> entries);
    void addCommand(const std::string& name, std::function<void()> action);
    void addFloat(const std::string& name, double minimum, double maximum, double* value);
    void addInteger(const std::string& name, std::function<std::int64_t()> get);

    void startAcquisition();
    void stopAcquisition();
    void softwareTrigger();
    Source triggerSourceLocked() const;
    std::uint64_t payloadSize();
    void produceFrame();
    std::shared_ptr<const std::vector<std::uint8_t>> pictureLocked(const std::string& format,
                                                                   std::uint32_t width,
                                                                   std::uint32_t height);

    // Frame source thread, for free run and a line pulsed at a rate.
    void restartSource();
    void stopSource();
    void sourceLoop(double rate);
    bool sourceStopped();
    bool streamsReady();

    simcam::CameraConfig m_config;
    std::string m_configError;  // refuses opening; empty for a camera that can be built
    std::map<std::string, std::shared_ptr<SimNode>> m_nodes;
    std::vector<std::shared_ptr<SimStream>> m_streams;
    std::shared_ptr<QueueSignal> m_signal;

    std::mutex m_openGateMutex;
    std::condition_variable m_openGateCv;
    bool m_opensHeld = false;
    int m_opensWaiting = 0;

    std::mutex m_mutex;
    bool m_open = false;
    bool m_acquiring = false;
    std::string m_pixelFormat;
    std::string m_triggerMode = "Off";
    std::string m_triggerSource;
    double m_exposure = 0.0;
    std::uint64_t m_nextFrameId = 0;
    simcam::FrameShape m_shape;
    int m_shapeRemaining = 0;
    std::string m_pictureKey;
    std::shared_ptr<const std::vector<std::uint8_t>> m_picture;

    std::mutex m_sourceMutex;
    std::condition_variable m_sourceCv;
    std::thread m_source;
    bool m_sourceStop = false;

    std::atomic<bool> m_reachable{true};
    // Last, so that it goes first: its thread may be inside a handler.
    Backend::DeviceEvents m_events;
};

}  // namespace sim
}  // namespace BGAPI2
