#include "simruntime.h"

#include <cstdlib>
#include <map>
#include <mutex>

#include "../sdklog.h"
#include "simcamera.h"

namespace BGAPI2 {
namespace sim {
namespace {

struct Runtime {
    std::mutex mutex;
    bool listAvailable = true;
    simcam::Topology topology;
    std::map<std::string, std::weak_ptr<SimCamera>> cameras;
};

// A file that cannot be used gives no cameras rather than the default ones,
// and says so: a host must not grab from cameras nobody described.
simcam::Topology initialTopology() {
    std::string error;
    simcam::Topology topology = simcam::topologyFromEnvironment(&error);
    if (!error.empty()) {
        qCCritical(lcSimConfig).noquote()
            << "SIMCAM_CONFIG not used, no simulated cameras:" << QString::fromStdString(error);
    }
    return topology;
}

Runtime& runtime() {
    static Runtime* instance = [] {
        auto* r = new Runtime;  // lives to the end of the process: delivery threads may use it
        r->topology = initialTopology();
        return r;
    }();
    return *instance;
}

}  // namespace

bool systemListAvailable() {
    std::lock_guard<std::mutex> lock(runtime().mutex);
    return runtime().listAvailable;
}

simcam::Topology currentTopology() {
    std::lock_guard<std::mutex> lock(runtime().mutex);
    return runtime().topology;
}

void registerCamera(const std::string& id, const std::shared_ptr<SimCamera>& camera) {
    std::lock_guard<std::mutex> lock(runtime().mutex);
    runtime().cameras[id] = camera;
}

std::shared_ptr<SimCamera> findCamera(const std::string& id) {
    std::lock_guard<std::mutex> lock(runtime().mutex);
    auto it = runtime().cameras.find(id);
    return it == runtime().cameras.end() ? nullptr : it->second.lock();
}

}  // namespace sim
}  // namespace BGAPI2

namespace simcam {

using BGAPI2::sim::findCamera;

Topology defaultTopology() {
    CameraConfig mono;
    mono.serial = "SIM-MONO-0001";
    mono.model = "SIM-M640";
    mono.width = 640;
    mono.height = 480;
    mono.pixelFormat = "Mono8";
    mono.pixelFormats = {"Mono8",   "Mono10",  "Mono12",      "Mono16",
                         "Mono10p", "Mono12p", "Mono12Packed"};
    mono.frameRate = 60.0;
    mono.exposure = ExposureFeature::ExposureTime;
    mono.triggerSources = {"Line0", "Software"};

    CameraConfig bayer;
    bayer.serial = "SIM-BAYER-0002";
    bayer.model = "SIM-C1280";
    bayer.width = 1280;
    bayer.height = 1024;
    bayer.pixelFormat = "BayerRG8";
    bayer.pixelFormats = {"BayerRG8", "BayerRG12", "BayerRG12p",   "BayerRG12Packed", "RGB8",
                          "BGR8",     "RGB12",     "YUV422Packed", "YCbCr422_8"};
    bayer.frameRate = 30.0;
    bayer.exposure = ExposureFeature::ExposureTimeAbs;
    bayer.exposureMin = 20.0;
    bayer.exposureMax = 900000.0;
    bayer.triggerSources = {"Line0", "Software", "SoftwareTrigger"};

    Topology topology;
    topology.cameras = {mono, bayer};
    topology.systems = {
        {"SimSystem0", {{"SimInterface0", {mono.serial, bayer.serial}, false}}, false}};
    return topology;
}

Topology topologyFromEnvironment(std::string* error) {
    error->clear();
    const char* path = std::getenv("SIMCAM_CONFIG");
    if (path == nullptr || *path == '\0') {
        return defaultTopology();
    }
    Topology topology;
    if (!loadTopologyFile(path, &topology, error)) {
        topology = Topology();
        topology.systems.push_back({"SimSystem0", {{"SimInterface0", {}, false}}, false});
    }
    return topology;
}

void setTopology(const Topology& topology) {
    auto& r = BGAPI2::sim::runtime();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.topology = topology;
}

void setSystemListAvailable(bool available) {
    auto& r = BGAPI2::sim::runtime();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.listAvailable = available;
}

void reset() {
    clearFailures();
    setRecording(false);
    clearRecordedCalls();
    const Topology topology = BGAPI2::sim::initialTopology();
    auto& r = BGAPI2::sim::runtime();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.topology = topology;
    r.listAvailable = true;
}

void pulseLine(const std::string& cameraId) {
    if (auto camera = findCamera(cameraId)) {
        camera->pulseLine();
    }
}

void unplug(const std::string& cameraId) {
    if (auto camera = findCamera(cameraId)) {
        camera->unplug();
    }
}

void replug(const std::string& cameraId) {
    if (auto camera = findCamera(cameraId)) {
        camera->replug();
    }
}

void holdOpens(const std::string& cameraId) {
    if (auto camera = findCamera(cameraId)) {
        camera->holdOpens(true);
    }
}

bool waitForHeldOpen(const std::string& cameraId, int timeoutMs) {
    auto camera = findCamera(cameraId);
    return camera && camera->waitForHeldOpen(timeoutMs);
}

void releaseOpens(const std::string& cameraId) {
    if (auto camera = findCamera(cameraId)) {
        camera->holdOpens(false);
    }
}

void shapeNextFrames(const std::string& cameraId, const FrameShape& shape) {
    if (auto camera = findCamera(cameraId)) {
        camera->shape(shape);
    }
}

namespace {
std::shared_ptr<BGAPI2::sim::SimStream> findStream(const std::string& cameraId, int stream) {
    auto camera = findCamera(cameraId);
    return camera ? camera->stream(stream) : nullptr;
}
}  // namespace

StreamCounters streamCounters(const std::string& cameraId, int stream) {
    auto s = findStream(cameraId, stream);
    return s ? s->counters() : StreamCounters{};
}

void closeGate(const std::string& cameraId, int stream) {
    if (auto s = findStream(cameraId, stream))
        s->closeGate();
}

bool waitAtGate(const std::string& cameraId, int stream, int timeoutMs) {
    auto s = findStream(cameraId, stream);
    return s && s->waitAtGate(timeoutMs);
}

void openGate(const std::string& cameraId, int stream) {
    if (auto s = findStream(cameraId, stream))
        s->openGate();
}

std::string featureValue(const std::string& cameraId, const std::string& feature) {
    auto camera = findCamera(cameraId);
    return camera ? camera->featureValue(feature) : std::string();
}

bool isAcquiring(const std::string& cameraId) {
    auto camera = findCamera(cameraId);
    return camera && camera->acquiring();
}

bool isOpen(const std::string& cameraId) {
    auto camera = findCamera(cameraId);
    return camera && camera->isOpen();
}

}  // namespace simcam
