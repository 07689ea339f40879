#include "producers.h"

namespace BGAPI2 {
namespace Backend {

std::vector<std::unique_ptr<Producer>> loadProducers() {
    std::vector<std::unique_ptr<Producer>> producers;
    producers.push_back(makeSimulationProducer());
    if (auto genicam = makeGenICamProducer()) {
        producers.push_back(std::move(genicam));
    }
    return producers;
}

}  // namespace Backend
}  // namespace BGAPI2
