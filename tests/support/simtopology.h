#pragma once

#include <string>
#include <vector>

#include "simcam/simcam.h"

// Small builders for the simulated cameras the tests use.
inline simcam::CameraConfig simCamera(const std::string& serial,
                                      const std::string& format = "Mono8", std::uint32_t width = 64,
                                      std::uint32_t height = 48) {
    simcam::CameraConfig camera;
    camera.serial = serial;
    camera.id = serial;
    camera.pixelFormat = format;
    camera.width = width;
    camera.height = height;
    camera.frameRate = 200.0;
    return camera;
}

// A camera that makes a frame as soon as a buffer is queued.
inline simcam::CameraConfig fastSimCamera(const std::string& serial,
                                          const std::string& format = "Mono8",
                                          std::uint32_t width = 64, std::uint32_t height = 48) {
    simcam::CameraConfig camera = simCamera(serial, format, width, height);
    camera.frameRate = 0;
    return camera;
}

// One system, one interface, these cameras in order.
inline simcam::Topology simTopology(const std::vector<simcam::CameraConfig>& cameras) {
    simcam::Topology topology;
    topology.cameras = cameras;
    simcam::InterfaceConfig iface{"If0", {}, false};
    for (const auto& camera : cameras) {
        iface.cameras.push_back(camera.id.empty() ? camera.serial : camera.id);
    }
    topology.systems.push_back({"Sys0", {iface}, false});
    return topology;
}

inline simcam::Failure failOn(const std::string& operation, const std::string& object = {},
                              int nth = 1) {
    simcam::Failure failure;
    failure.operation = operation;
    failure.object = object;
    failure.nth = nth;
    failure.type = "TestFailure";
    failure.description = "failure of " + operation;
    failure.function = operation;
    return failure;
}
