#pragma once

#include <QMessageLogContext>

#include <exception>

#include "bgapi2_genicam/bgapi2_exceptions.h"

// Writes the three critical lines for a caught SDK failure, with the context
// of the method that caught it.
void reportSdkException(BGAPI2::Exceptions::IException& exception, const char* operation,
                        const QMessageLogContext& context);

#define SDK_REPORT_CONTEXT \
    QMessageLogContext(QT_MESSAGELOG_FILE, QT_MESSAGELOG_LINE, QT_MESSAGELOG_FUNC, "default")

#define REPORT_SDK_EXCEPTION(exception, operation) \
    reportSdkException(exception, operation, SDK_REPORT_CONTEXT)

// Runs the SDK calls of a driver step: an SDK failure is reported as three
// lines with the step's context and gives the step's failure value.
template <typename Result, typename Body>
Result sdkStep(const char* operation, Result failed, const QMessageLogContext& context,
               Body&& body) {
    try {
        return body();
    } catch (BGAPI2::Exceptions::IException& ex) {
        reportSdkException(ex, operation, context);
    }
    return failed;
}

#define SDK_STEP(operation, failed, ...) sdkStep(operation, failed, SDK_REPORT_CONTEXT, __VA_ARGS__)

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
