#include "../producers.h"

namespace BGAPI2 {
namespace Backend {

// Built without Aravis: real cameras are not reached.
std::unique_ptr<Producer> makeGenICamProducer() {
    return nullptr;
}

}  // namespace Backend
}  // namespace BGAPI2
