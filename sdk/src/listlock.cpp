#include "listlock.h"

namespace BGAPI2 {
namespace Backend {

std::mutex& listLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace Backend
}  // namespace BGAPI2
