#include "listlock.h"

namespace BGAPI2 {
namespace Backend {

Mutex& listLock() {
    static Mutex lock;
    return lock;
}

}  // namespace Backend
}  // namespace BGAPI2
