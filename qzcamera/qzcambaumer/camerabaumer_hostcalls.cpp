// The host's lifecycle calls: open, close, start and stop.
#include <QDebug>
#include <QStringList>

#include "camerabaumer.h"

// A failure part-way leaves nothing open.
int CCameraBaumer::IOpenCamera() {
    qWarning() << "start open baumer camera...";
    return guardBoundary("IOpenCamera", 0, [this] {
        if (!enterTurn(Leave::Nothing)) {
            refuseInCallback("IOpenCamera");
            return 0;
        }
        return withTurnTaken(&CCameraBaumer::openHeld);
    });
}

int CCameraBaumer::openHeld() {
    if (state() != DriverState::Closed) {
        closeCamera();  // a device left open would stay bound to this object
    }
    QString serial;
    {
        MutexLock lock(s_listMutex);
        if (s_pSystemList == nullptr) {
            return 0;
        }
        const QStringList parts =
            m_pOption->strCameraName.split(QChar(' '), Qt::KeepEmptyParts, Qt::CaseSensitive);
        if (parts.size() < 2 || parts.at(0).toLower() != QLatin1String("baumer")) {
            return 0;
        }
        serial = parts.at(1);
        if (!claimCamera(serial)) {
            return 0;
        }
        holdSystemList();
    }
    BGAPI2::Device* device = nullptr;
    try {
        device = findAndOpen(serial);
    } catch (...) {
        releaseClaim();
        throw;
    }
    if (device == nullptr) {
        {
            MutexLock lock(m_deviceMutex);
            m_pDevice = nullptr;  // the search's result, as the host may look
        }
        releaseClaim();
        return 0;
    }
    {
        MutexLock lock(m_deviceMutex);
        m_pDevice = device;
        m_bExposureSet = false;
    }
    m_bNoProcessorReported = false;
    m_health.reset();
    {
        MutexLock lock(m_stateMutex);
        ++m_nEpoch;
        m_state = DriverState::Open;
        m_bOpened = true;
    }
    watchDevice(device);
    qDebug() << "Baumer camera(" << serial << ") open successed."
             << " - "
             << "CCameraBaumer::IOpenCamera";
    return 1;
}

void CCameraBaumer::ICloseCamera() {
    guardBoundary("ICloseCamera", [this] {
        if (enterTurn(Leave::Close)) {
            withTurnTaken(&CCameraBaumer::closeHeld);
        }
    });
}

int CCameraBaumer::closeHeld() {
    closeCamera();
    return 1;
}

// From inside the host's frame callback the buffer in flight is taken out of
// its stream but deleted only once the callback has returned.
void CCameraBaumer::closeCamera() {
    {
        MutexLock lock(m_stateMutex);
        m_state = DriverState::Closing;
        m_bOpened = false;
        m_turn.notifyChange();  // an event waiting for the turn gives up
    }
    unwatchDevice();
    if (BGAPI2::Device* device = takeDevice()) {
        clearDeviceDataStream(device);
        closeDevice(device);
    }
    releaseClaim();
    MutexLock lock(m_stateMutex);
    m_state = DriverState::Closed;
}

BGAPI2::Device* CCameraBaumer::currentDevice() {
    MutexLock lock(m_deviceMutex);
    return m_pDevice;
}

// The open camera's device; null while it is closed, lost or being closed.
BGAPI2::Device* CCameraBaumer::usableDevice() {
    MutexLock lock(m_deviceMutex);
    return usable(state()) ? m_pDevice : nullptr;
}

// Host calls that use the device find none from here on.
BGAPI2::Device* CCameraBaumer::takeDevice() {
    MutexLock lock(m_deviceMutex);
    BGAPI2::Device* device = m_pDevice;
    m_pDevice = nullptr;
    return device;
}

int CCameraBaumer::IStartCamera() {
    qDebug() << "CCameraBaumer::IStartCamera";
    return guardBoundary("IStartCamera", 0, [this] {
        if (enterTurn(Leave::Nothing)) {
            return withTurnTaken(&CCameraBaumer::startHeld);
        }
        return startWithoutSwitch();
    });
}

// From inside the callback while another thread holds the turn: a start
// that changes nothing is counted; a mode switch is refused.
int CCameraBaumer::startWithoutSwitch() {
    {
        MutexLock lock(m_stateMutex);
        if (!usable(m_state)) {
            return 0;
        }
        if (m_nReqMode == m_nCurMode) {
            ++m_nStartCount;
            return 1;
        }
    }
    refuseInCallback("IStartCamera");
    return 0;
}

int CCameraBaumer::startHeld() {
    BGAPI2::Device* device = usableDevice();
    if (device == nullptr) {
        return 0;
    }
    const int mode = m_nReqMode;
    if (mode != m_nCurMode) {
        const bool acquisition = mode >= MODE_EXTERNAL_TRIGGER && mode <= MODE_SOFT_TRIGGER;
        {
            // Before frames flow: the delivery thread writes these too.
            MutexLock lock(m_stateMutex);
            m_bCountFrames = mode == MODE_FRAME_LIMIT;
            if (m_bCountFrames) {
                m_nFramesSinceStart = 0;
                m_nFrameId = 0;
            }
            settle(acquisition ? DriverState::Grabbing : DriverState::Open);
        }
        const bool result = runModeSetup(device, mode);
        MutexLock lock(m_stateMutex);
        m_nCurMode = mode;
        m_bGrabbing = result;
        ++m_nSetups;
        settle(acquisition && result ? DriverState::Grabbing : DriverState::Open);
    }
    MutexLock lock(m_stateMutex);
    ++m_nStartCount;
    return 1;
}

bool CCameraBaumer::runModeSetup(BGAPI2::Device* device, int mode) {
    switch (mode) {
        case MODE_EXTERNAL_TRIGGER:
            return setDeviceOutTrigger(device);
        case MODE_CONTINUOUS:
        case MODE_FRAME_LIMIT:
            return setDeviceAutoTrigger(device);
        case MODE_SOFT_TRIGGER:
            return setDeviceSoftTrigger(device);
        default:
            return stopDeviceDataStream(device);
    }
}

void CCameraBaumer::IStopCamera() {
    guardBoundary("IStopCamera", [this] {
        if (enterTurn(Leave::Stop)) {
            withTurnTaken(&CCameraBaumer::stopHeld);
        }
    });
}

int CCameraBaumer::stopHeld() {
    if (BGAPI2::Device* device = currentDevice()) {
        stopDeviceDataStream(device);
    }
    MutexLock lock(m_stateMutex);
    markStopped();
    return 1;
}
