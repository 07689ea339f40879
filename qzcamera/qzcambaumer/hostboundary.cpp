#include "hostboundary.h"

#include <QDebug>

#include <QString>

using BGAPI2::Exceptions::IException;

void reportSdkException(IException& exception, const char* operation,
                        const QMessageLogContext& context) {
    static const char* const kLabels[3] = {
        "ExceptionType:     ", "ErrorDescription:  ", "in function:       "};
    BGAPI2::String (IException::*const accessors[3])() = {
        &IException::GetType, &IException::GetErrorDescription, &IException::GetFunctionName};
    const QByteArray suffix = QByteArray(" - CCameraBaumer::") + operation;
    for (int i = 0; i < 3; ++i) {
        const BGAPI2::String text = (exception.*accessors[i])();
        const QByteArray bytes = QString::fromUtf8(text.get()).toLocal8Bit();
        QMessageLogger(context.file, context.line, context.function).critical()
            << kLabels[i] << bytes.constData() << suffix.constData();
    }
}

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
