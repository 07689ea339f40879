#pragma once

#include <exception>

#include "bgapi2_genicam/bgapi2_exceptions.h"

// Writes one critical line for a failure that is not the SDK's own (out of
// memory, a thread that cannot start, a host callback that threw). Never
// throws.
void reportUnexpected(const char* operation, const char* what) noexcept;

// Same for an SDK failure that got past the step that should have caught it.
void reportEscapedSdkFailure(const char* operation,
                             BGAPI2::Exceptions::IException& exception) noexcept;

// For a catch (...) at the end of a host-called operation: reports what was
// thrown in one line (three for an SDK failure).
void reportCurrentException(const char* operation) noexcept;

// Runs the body of a host-called operation, a delivery or a device event:
// nothing it throws reaches the host, the SDK's threads or a destructor.
template <typename Result, typename Body>
Result guardBoundary(const char* operation, Result failed, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        reportCurrentException(operation);
    }
    return failed;
}

template <typename Body>
void guardBoundary(const char* operation, Body&& body) noexcept {
    guardBoundary(operation, false, [&body] {
        body();
        return true;
    });
}
