// The trigger set-ups and software triggers.
#include <QDebug>

#include "camerabaumer.h"

// Features go under the device lock; starting the streams does not, since
// it may wait for a delivery that is itself waiting for the device lock.
// SDK failures reach the step. A null source selects software triggering.
bool CCameraBaumer::runTriggerSetup(BGAPI2::Device* device, const char* triggerMode,
                                    const char* source, const char* message,
                                    const char* qualifiedName, const QMessageLogContext& context) {
    {
        MutexLock lock(m_deviceMutex);
        setTriggerFeatures(device, triggerMode, source);
    }
    if (!startDeviceDataStream(device)) {
        return false;
    }
    MutexLock lock(m_deviceMutex);
    device->GetRemoteNode("AcquisitionStart")->Execute();
    QMessageLogger(context.file, context.line, context.function).debug()
        << message << " - " << qualifiedName;
    return true;
}

void CCameraBaumer::setTriggerFeatures(BGAPI2::Device* device, const char* triggerMode,
                                       const char* source) {
    if (device->GetRemoteNodeList()->GetNodePresent("AcquisitionAbort")) {
        device->GetRemoteNode("AcquisitionAbort")->Execute();
    }
    device->GetRemoteNode("AcquisitionStop")->Execute();
    device->GetRemoteNode("TriggerMode")->SetString(triggerMode);
    if (source == nullptr) {
        BGAPI2::NodeMap* entries = device->GetRemoteNode("TriggerSource")->GetEnumNodeList();
        source = entries->GetNodePresent("SoftwareTrigger") ? "SoftwareTrigger" : "Software";
    }
    device->GetRemoteNode("TriggerSource")->SetString(source);
}

bool CCameraBaumer::setDeviceOutTrigger(BGAPI2::Device* device) {
    const QMessageLogContext& context = SDK_REPORT_CONTEXT;
    return SDK_STEP("setDeviceOutTrigger", false, [&] {
        return runTriggerSetup(device, "On", "Line0", "Set out trigger successful.",
                               "CCameraBaumer::setDeviceOutTrigger", context);
    });
}

bool CCameraBaumer::setDeviceSoftTrigger(BGAPI2::Device* device) {
    const QMessageLogContext& context = SDK_REPORT_CONTEXT;
    return SDK_STEP("setDeviceSoftTrigger", false, [&] {
        return runTriggerSetup(device, "On", nullptr, "Set soft trigger successful.",
                               "CCameraBaumer::setDeviceSoftTrigger", context);
    });
}

bool CCameraBaumer::setDeviceAutoTrigger(BGAPI2::Device* device) {
    const QMessageLogContext& context = SDK_REPORT_CONTEXT;
    return SDK_STEP("setDeviceAutoTrigger", false, [&] {
        return runTriggerSetup(device, "Off", "Line0", "Set auto trigger successful.",
                               "CCameraBaumer::setDeviceAutoTrigger", context);
    });
}

// Takes only the device lock, so it works from inside the frame callback
// while another thread changes the camera.
int CCameraBaumer::ISendSoftTrigger() try {
    MutexLock lock(m_deviceMutex);
    if (m_pDevice == nullptr || !usable(state())) {
        return 0;
    }
    BGAPI2::Device* device = m_pDevice;
    return SDK_STEP("ISendSoftTrigger", 0, [device] {
        device->GetRemoteNode("TriggerSoftware")->Execute();
        return 1;
    });
} catch (...) {
    reportCurrentException("ISendSoftTrigger");
    return 0;
}

int CCameraBaumer::ITriggerCamera(int n) {
    return guardBoundary("ITriggerCamera", 0, [this, n] {
        {
            // The readiness test reads fields the delivery writes.
            MutexLock lock(m_stateMutex);
            if (ICameraObject::ITriggerCamera(n) == 0) {
                return 0;
            }
        }
        if (!enterTurn(Leave::Nothing)) {
            refuseInCallback("ITriggerCamera");
            return 0;
        }
        return withTurnTaken(&CCameraBaumer::triggerHeld);
    });
}

int CCameraBaumer::triggerHeld() {
    BGAPI2::Device* device = usableDevice();
    if (device == nullptr || !setDeviceSoftTrigger(device)) {
        return 0;
    }
    {
        MutexLock lock(m_stateMutex);
        settle(DriverState::Grabbing);
    }
    if (m_nCurMode == MODE_EXTERNAL_TRIGGER) {
        ISendSoftTrigger();
    }
    return 1;
}
