// Loss and return of the open camera, on the SDK's device event thread.
#include <QDebug>

#include <chrono>
#include <thread>

#include "camerabaumer.h"
#include "hostboundary.h"

using BGAPI2::Exceptions::IException;

void deviceStateCallback(void* context, BGAPI2::Device* device, BGAPI2::Events::DeviceState state) {
    guardBoundary("DeviceStateChanged", [context, device, state] {
        static_cast<CCameraBaumer*>(context)->DeviceStateChanged(device, state);
    });
}

void CCameraBaumer::watchDevice(BGAPI2::Device* device) {
    try {
        device->RegisterDeviceStateEventHandler(this, deviceStateCallback);
        m_pWatched = device;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "IOpenCamera");
    }
}

void CCameraBaumer::unwatchDevice() {
    if (m_pWatched == nullptr) {
        return;
    }
    try {
        m_pWatched->RegisterDeviceStateEventHandler(nullptr, nullptr);
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "ICloseCamera");
    }
    m_pWatched = nullptr;
}

void CCameraBaumer::DeviceStateChanged(BGAPI2::Device* device, BGAPI2::Events::DeviceState state) {
    LifecycleLock lock(m_lifecycle, std::defer_lock);
    while (!lock.try_lock()) {
        if (m_nClosing.load() > 0) {
            return;  // the camera is being given up
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (m_nClosing.load() > 0 || device != m_pWatched) {
        return;
    }
    if (state == BGAPI2::Events::DEVICE_STATE_LOST) {
        onDeviceLost();
    } else if (state == BGAPI2::Events::DEVICE_STATE_AVAILABLE) {
        onDeviceBack();
    }
}

// What the host set stays as it was; the streams and the device go, so that
// nothing waits on a camera that does not answer.
void CCameraBaumer::onDeviceLost() {
    if (m_bLost) {
        return;
    }
    m_bLost = true;
    qCritical() << QString(
                       "Baumer camera(%1) lost: it no longer answers, frames stop until it "
                       "is back.")
                       .arg(m_strSerial)
                << " - "
                << "CCameraBaumer::DeviceStateChanged";
    if (m_pDevice != nullptr) {
        clearDeviceDataStream(m_pDevice);
        closeDevice(m_pDevice);
        m_pDevice = nullptr;
    }
}

// Seen again: open it as the host did, then put back the exposure and the
// mode the host last set, grabbing again if the host was grabbing.
void CCameraBaumer::onDeviceBack() {
    if (!m_bLost) {
        return;
    }
    BGAPI2::Device* device = nullptr;
    walkDeviceLists([this, &device](BGAPI2::DeviceList* devices) {
        device = openDeviceBySerialNumber(devices, m_strSerial);
        return device != nullptr;
    });
    if (device == nullptr) {
        qCritical()
            << QString("Baumer camera(%1) is seen again but cannot be opened.").arg(m_strSerial)
            << " - "
            << "CCameraBaumer::DeviceStateChanged";
        return;
    }
    m_pDevice = device;
    m_bLost = false;
    m_health.reset();
    if (device != m_pWatched) {
        unwatchDevice();
        watchDevice(device);
    }
    if (m_bExposureSet) {
        applyExposure(m_nExposure);
    }
    const bool grabbing = m_bGrabbing && runModeSetup(m_nCurMode);
    qWarning() << QString("Baumer camera(%1) is back%2.")
                      .arg(m_strSerial, grabbing ? ", grabbing again" : "")
               << " - "
               << "CCameraBaumer::DeviceStateChanged";
}
