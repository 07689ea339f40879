#include "hostboundary.h"

#include <QDebug>

#include "camerabaumer.h"

void reportUnexpected(const char* operation, const char* what) noexcept {
    try {
        qCritical().noquote() << QString("Unexpected failure: %1 - CCameraBaumer::%2")
                                     .arg(QString::fromLocal8Bit(what), QLatin1String(operation));
    } catch (...) {
        // Nothing is left to tell it with.
    }
}

void reportEscapedSdkFailure(const char* operation,
                             BGAPI2::Exceptions::IException& exception) noexcept {
    try {
        REPORT_SDK_EXCEPTION(exception, operation);
    } catch (...) {
        reportUnexpected(operation, "SDK failure that could not be reported");
    }
}

void reportCurrentException(const char* operation) noexcept {
    try {
        throw;
    } catch (BGAPI2::Exceptions::IException& ex) {
        reportEscapedSdkFailure(operation, ex);
    } catch (const std::exception& ex) {
        reportUnexpected(operation, ex.what());
    } catch (...) {
        reportUnexpected(operation, "unknown exception");
    }
}
