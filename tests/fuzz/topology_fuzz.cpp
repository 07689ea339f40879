// Any text given as the simulated cameras' JSON description: parsed or
// refused with a message, and every camera it yields can be checked.
#include <cstddef>
#include <cstdint>
#include <string>

#include "simcam/simcam.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string json(reinterpret_cast<const char*>(data), size);
    simcam::Topology topology;
    std::string error;
    if (!simcam::parseTopology(json, &topology, &error)) {
        if (error.empty()) {
            __builtin_trap();  // refused without saying why
        }
        return 0;
    }
    for (const simcam::CameraConfig& camera : topology.cameras) {
        (void)simcam::cameraConfigError(camera);
    }
    return 0;
}
