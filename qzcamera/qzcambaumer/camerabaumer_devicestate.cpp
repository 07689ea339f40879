// Loss and return of the open camera, on the SDK's device event thread.
#include <QDebug>

#include "camerabaumer.h"

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

// Waits for a running state handler: callers set the Closing state first, so
// that a handler waiting for the turn gives up instead.
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

// Waits for the turn unless the camera is being given up: whoever gives it up
// waits for this handler to return.
bool CCameraBaumer::takeTurnForEvent() {
    MutexLock lock(m_stateMutex);
    while (!m_turn.tryTake(m_stateMutex)) {
        if (givingUp()) {
            return false;
        }
        m_turn.waitForChange(m_stateMutex);
    }
    if (givingUp()) {
        m_turn.give(m_stateMutex);
        return false;
    }
    return true;
}

void CCameraBaumer::DeviceStateChanged(BGAPI2::Device* device, BGAPI2::Events::DeviceState state) {
    if (takeTurnForEvent()) {
        withTurnTaken(&CCameraBaumer::onDeviceEvent, device, state);
    }
}

int CCameraBaumer::onDeviceEvent(BGAPI2::Device* device, BGAPI2::Events::DeviceState state) {
    if (device == m_pWatched && state == BGAPI2::Events::DEVICE_STATE_LOST) {
        onDeviceLost();
    } else if (device == m_pWatched && state == BGAPI2::Events::DEVICE_STATE_AVAILABLE) {
        onDeviceBack();
    }
    return 1;
}

// What the host set stays as it was; the streams and the device go, so that
// nothing waits on a camera that does not answer.
void CCameraBaumer::onDeviceLost() {
    {
        MutexLock lock(m_stateMutex);
        if (m_state == DriverState::Lost) {
            return;
        }
        m_bGrabbingWhenLost = m_state == DriverState::Grabbing;
        settle(DriverState::Lost);
    }
    qCritical() << QString(
                       "Baumer camera(%1) lost: it no longer answers, frames stop until it "
                       "is back.")
                       .arg(serial())
                << " - "
                << "CCameraBaumer::DeviceStateChanged";
    if (BGAPI2::Device* device = takeDevice()) {
        clearDeviceDataStream(device);
        closeDevice(device);
    }
}

// Seen again: open it as the host did, then put back the exposure and the
// mode the host last set, grabbing again if the host was grabbing.
void CCameraBaumer::onDeviceBack() {
    if (state() != DriverState::Lost) {
        return;
    }
    const QString camera = serial();
    BGAPI2::Device* device = findAndOpen(camera);
    if (device == nullptr) {
        qCritical() << QString("Baumer camera(%1) is seen again but cannot be opened.").arg(camera)
                    << " - "
                    << "CCameraBaumer::DeviceStateChanged";
        return;
    }
    m_health.reset();
    if (device != m_pWatched) {
        unwatchDevice();
        watchDevice(device);
    }
    {
        MutexLock lock(m_deviceMutex);
        m_pDevice = device;
        if (m_bExposureSet) {
            applyExposure(device, m_nExposure);
        }
    }
    bool wasGrabbing = false;
    {
        MutexLock lock(m_stateMutex);
        // m_bGrabbing alone may be left over from before a reopening.
        wasGrabbing = m_bGrabbing && m_bGrabbingWhenLost;
        settle(wasGrabbing ? DriverState::Grabbing : DriverState::Open);
    }
    const bool grabbing = wasGrabbing && runModeSetup(device, m_nCurMode);
    {
        // A stop left from the callback meanwhile still holds.
        MutexLock lock(m_stateMutex);
        settle(grabbing && !m_left.stop ? DriverState::Grabbing : DriverState::Open);
    }
    qWarning()
        << QString("Baumer camera(%1) is back%2.").arg(camera, grabbing ? ", grabbing again" : "")
        << " - "
        << "CCameraBaumer::DeviceStateChanged";
}
