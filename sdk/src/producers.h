#pragma once

#include <memory>
#include <vector>

#include "backend.h"

namespace BGAPI2 {
namespace Backend {

// The producers a new system list loads: the simulated cameras, and real
// GenICam cameras where that producer is enabled.
std::vector<std::unique_ptr<Producer>> loadProducers();

std::unique_ptr<Producer> makeSimulationProducer();
std::unique_ptr<Producer> makeGenICamProducer();

}  // namespace Backend
}  // namespace BGAPI2
