#pragma once

#include "threadsafety.h"

namespace BGAPI2 {
namespace Backend {

// One lock for the entries of every SDK list and their lazily made lists:
// refreshes take it to change entries, snapshots to read them, so that a host
// may look at the lists on one thread while another thread refreshes them.
// Never held across a producer call that may wait for a camera.
Mutex& listLock();

}  // namespace Backend
}  // namespace BGAPI2
