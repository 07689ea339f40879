#pragma once

#include <atomic>
#include <string>

#include "bgapi2_genicam/bgapi2_string.h"

// Every surface call passes through here: it is recorded when recording is
// on, and throws when an injected failure matches it.
namespace BGAPI2 {
namespace trace {

extern std::atomic<bool> g_active;

inline bool active() {
    return g_active.load(std::memory_order_relaxed);
}

void enter(const char* operation, const std::string& object, const std::string& args = {});

}  // namespace trace
}  // namespace BGAPI2

// Arguments are only evaluated while recording or injecting.
#define BGAPI2_TRACE(...)                        \
    do {                                         \
        if (::BGAPI2::trace::active()) {         \
            ::BGAPI2::trace::enter(__VA_ARGS__); \
        }                                        \
    } while (0)
