#pragma once

#include <memory>
#include <string>

#include "simcam/simcam.h"

namespace BGAPI2 {
namespace sim {

class SimCamera;

// Settings the control API writes and the simulation producer reads.
bool systemListAvailable();
simcam::Topology currentTopology();

// Cameras built by the live producer, by id, for the control API.
void registerCamera(const std::string& id, const std::shared_ptr<SimCamera>& camera);
std::shared_ptr<SimCamera> findCamera(const std::string& id);

}  // namespace sim
}  // namespace BGAPI2
