// Pixel format and exposure of the open camera.
#include <QDebug>

#include <climits>
#include <cmath>

#include "camerabaumer.h"

namespace {

// Limits of "ExposureTimeAbs" are truncated toward zero and saturate at the
// 32-bit range.
int truncatedLimit(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    if (value >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    return static_cast<int>(value);
}

}  // namespace

bool CCameraBaumer::setDeviceProperty(BGAPI2::Device* device) {
    return SDK_STEP("setDeviceProperty", false, [this, device] {
        const QString name =
            QString::fromUtf8(device->GetRemoteNode("PixelFormat")->GetString().get());
        m_nImageFormat = pixelFormatToImageFormat(name, &m_nBitsPerPixel);
        return true;
    });
}

int CCameraBaumer::pixelFormatToImageFormat(const QString& pixelFormat, int* bitsPerPixel) {
    struct Entry {
        const char* name;
        int format;
        int bits;
    };
    static const Entry kTable[] = {
        {"YUV422Packed", GRAY8, 8}, {"Mono8", GRAY8, 8},
        {"BayerRG12", GRAY8, 12},   {"YUV444Packed", GRAY8, 12},
        {"BayerRG8", RGB24, 24},    {"RGB8Packed", RGB24, 24},
        {"BGR8Packed", RGB24, 24},  {"BayerRGB8Packed", RGB24, 24},
        {"YUV411Packed", GRAY8, 6},
    };
    for (const Entry& entry : kTable) {
        if (pixelFormat == QLatin1String(entry.name)) {
            *bitsPerPixel = entry.bits;
            return entry.format;
        }
    }
    *bitsPerPixel = 0;
    return None;
}

// Takes only the device lock, so it works from inside the frame callback
// while another thread changes the camera. While the camera is lost the value
// is kept and applied when it is back.
void CCameraBaumer::ISetProperty(tagQZ_CAMERA_PROPERTY* property) try {
    if (property == nullptr || property->nType != PROPERTY_EXPOSURE_TIME) {
        return;
    }
    const int value = property->nValue;
    MutexLock lock(m_deviceMutex);
    if (m_pDevice == nullptr) {
        if (state() == DriverState::Lost) {
            m_bExposureSet = true;
            m_nExposure = value;
        }
        return;
    }
    if (applyExposure(m_pDevice, value)) {
        m_bExposureSet = true;
        m_nExposure = value;
    }
} catch (...) {
    reportCurrentException("ISetProperty");
}

// True when the camera took the value.
bool CCameraBaumer::applyExposure(BGAPI2::Device* device, int value) {
    try {
        if (device->GetRemoteNodeList()->GetNodePresent("ExposureTime")) {
            device->GetRemoteNode("ExposureTime")->SetDouble(static_cast<double>(value));
            return true;
        }
        if (!device->GetRemoteNodeList()->GetNodePresent("ExposureTimeAbs")) {
            return false;
        }
        const int minimum =
            truncatedLimit(device->GetRemoteNode("ExposureTimeAbs")->GetDoubleMin());
        const int maximum =
            truncatedLimit(device->GetRemoteNode("ExposureTimeAbs")->GetDoubleMax());
        if (value < minimum || value > maximum) {
            qWarning() << QString("Invalid exposure time value:%1.").arg(value) << " - "
                       << "CCameraBaumer::ISetProperty";
            return false;
        }
        device->GetRemoteNode("ExposureTimeAbs")->SetDouble(static_cast<double>(value));
        qDebug() << QString("Set exposure time value:%1 successfully.").arg(value) << " - "
                 << "CCameraBaumer::ISetProperty";
        return true;
    } catch (BGAPI2::Exceptions::IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "ISetProperty");
    }
    return false;
}
