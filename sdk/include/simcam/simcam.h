#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bgapi2_genicam/bgapi2_def.h"

// Control of the simulated cameras, for tests and hosts: topology, injected
// failures, a record of SDK calls, line pulses, frame shaping and delivery
// gates. Nothing here is part of the BGAPI2 surface.
namespace simcam {

enum class ExposureFeature { None, ExposureTime, ExposureTimeAbs, Both };

struct CameraConfig {
    std::string id;  // unique; defaults to the serial number
    std::string serial;
    std::string model = "SIM-CAM";
    std::uint32_t width = 640;
    std::uint32_t height = 480;
    std::string pixelFormat = "Mono8";
    std::vector<std::string> pixelFormats;  // entries of "PixelFormat"; empty: just pixelFormat
    double frameRate = 30.0;                // free run; 0 or less: one frame per queued buffer
    double linePulseRate = 0.0;             // pulses of "Line0" per second; 0: pulsed by hand
    ExposureFeature exposure = ExposureFeature::ExposureTime;
    double exposureMin = 10.0;
    double exposureMax = 1000000.0;
    double exposureValue = 5000.0;
    bool hasAcquisitionAbort = true;
    bool hasTriggerFeatures = true;
    std::vector<std::string> triggerSources{"Line0", "Software"};
    int streamCount = 1;
    std::uint64_t firstFrameId = 0;
};

// Limits of a simulated camera: a frame of at most this many bytes in every
// one of its pixel formats, sides of at most kMaxSide, 1 to kMaxStreams streams.
constexpr std::uint64_t kMaxFrameBytes = 128ull << 20;
constexpr std::uint32_t kMaxSide = 32768;
constexpr int kMaxStreams = 16;
// The slowest free-run or line-pulse rate, per second; 0 or less means none.
constexpr double kMinRate = 0.001;

// Why a camera cannot be built as described; empty when it can. Such a
// camera is listed, but opening it fails with this text.
BGAPI2_API std::string cameraConfigError(const CameraConfig& camera);

struct InterfaceConfig {
    std::string id;
    std::vector<std::string> cameras;  // camera ids; one camera may sit on several interfaces
    bool listUnavailable = false;      // GetDevices gives null
};

struct SystemConfig {
    std::string id;
    std::vector<InterfaceConfig> interfaces;
    bool listUnavailable = false;  // GetInterfaces gives null
};

struct Topology {
    std::vector<CameraConfig> cameras;
    std::vector<SystemConfig> systems;
};

// Two cameras on one interface: "SIM-MONO-0001" (Mono8, "ExposureTime") and
// "SIM-BAYER-0002" (BayerRG8, "ExposureTimeAbs" 20 to 900000).
BGAPI2_API Topology defaultTopology();
// Takes effect on the next list refresh; cameras already built keep their state.
BGAPI2_API void setTopology(const Topology& topology);
// The topology named by SIMCAM_CONFIG, or the default one when it is not set.
// A file that cannot be used gives no cameras and the reason in *error.
BGAPI2_API Topology topologyFromEnvironment(std::string* error);
// Reads a topology from JSON; false with a message naming the file and the
// key or position of the first problem. Unknown keys are refused.
BGAPI2_API bool loadTopologyFile(const std::string& path, Topology* topology, std::string* error);
// The same from JSON text; the message names no file.
BGAPI2_API bool parseTopology(const std::string& json, Topology* topology, std::string* error);
// Back to topologyFromEnvironment (a bad file is reported as critical), no
// failures, no record, no gates, system list available.
BGAPI2_API void reset();
BGAPI2_API void setSystemListAvailable(bool available);

enum class FailureKind {
    Error,
    NotAvailable,
    InvalidParameter,
    ResourceInUse,
    NotImplemented,
    LowLevel,
    OutOfMemory,  // std::bad_alloc, not an SDK exception
    SystemError,  // std::system_error, as from starting a thread
};

struct Failure {
    std::string operation;  // "Device::Open", "Node::SetString", ...
    std::string object;     // empty: any object
    int nth = 1;            // the n-th next matching call throws
    bool always = false;    // every matching call throws
    FailureKind kind = FailureKind::Error;
    std::string type;  // empty: the kind's own name
    std::string description = "injected failure";
    std::string function;  // empty: the operation
};
BGAPI2_API void injectFailure(const Failure& failure);
BGAPI2_API void clearFailures();

struct Call {
    std::string operation;
    std::string object;
    std::string args;
};
BGAPI2_API void setRecording(bool on);
BGAPI2_API std::vector<Call> recordedCalls();
BGAPI2_API void clearRecordedCalls();

// One pulse on the camera's "Line0".
BGAPI2_API void pulseLine(const std::string& cameraId);

// Takes the camera off its network: it answers nothing, delivery stops, and
// a registered device state handler hears that it is lost. replug brings it
// back as after power-up (closed, initial settings) and reports it available.
BGAPI2_API void unplug(const std::string& cameraId);
BGAPI2_API void replug(const std::string& cameraId);

// A camera slow to open: Device::Open waits from holdOpens until
// releaseOpens. waitForHeldOpen blocks until an open is waiting (or the
// time-out).
BGAPI2_API void holdOpens(const std::string& cameraId);
BGAPI2_API bool waitForHeldOpen(const std::string& cameraId, int timeoutMs = 5000);
BGAPI2_API void releaseOpens(const std::string& cameraId);

// Overrides for the next `count` frames of a camera (count < 0: every frame
// until shaped again; count 0: shaping ends).
struct FrameShape {
    std::optional<std::string> pixelFormat;
    std::optional<std::uint64_t> frameId;  // id of the first shaped frame; later ones count up
    std::optional<std::uint32_t> width;
    std::optional<std::uint32_t> height;
    std::optional<std::uint64_t> payload;  // bytes reported (and filled) at most
    int count = 1;
};
BGAPI2_API void shapeNextFrames(const std::string& cameraId, const FrameShape& shape);

struct StreamCounters {
    std::uint64_t delivered = 0;  // handler calls that returned
    std::uint64_t lost = 0;       // frames with no queued buffer
    std::uint64_t queued = 0;     // buffers waiting to be filled now
    std::uint64_t held = 0;       // buffers the handler holds now
    std::uint64_t produced = 0;   // frames the camera made while the stream grabbed
    std::uint64_t discarded = 0;  // filled but not yet delivered when acquisition stopped
};
BGAPI2_API StreamCounters streamCounters(const std::string& cameraId, int stream = 0);

// Holds the next deliveries of a stream before the handler is called, until
// released. waitAtGate blocks until a delivery is held (or the time-out).
BGAPI2_API void closeGate(const std::string& cameraId, int stream = 0);
BGAPI2_API bool waitAtGate(const std::string& cameraId, int stream = 0, int timeoutMs = 5000);
BGAPI2_API void openGate(const std::string& cameraId, int stream = 0);

// The camera's current feature values, as a camera would report them.
BGAPI2_API std::string featureValue(const std::string& cameraId, const std::string& feature);
BGAPI2_API bool isAcquiring(const std::string& cameraId);
BGAPI2_API bool isOpen(const std::string& cameraId);

}  // namespace simcam
