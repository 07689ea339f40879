// Finding cameras in the SDK's lists, opening them, and the claims that keep
// one camera to one driver object.
#include <QDebug>

#include "camerabaumer.h"
#include "sdkobjects.h"

using BGAPI2::Exceptions::IException;

bool CCameraBaumer::walkDeviceLists(const std::function<bool(BGAPI2::DeviceList*)>& visit) {
    for (auto sys = s_pSystemList->begin(); sys != s_pSystemList->end(); ++sys) {
        BGAPI2::System* system = sys->second;
        if (!openSystem(system)) {
            continue;
        }
        BGAPI2::InterfaceList* interfaces = getSystemInterfaces(system);
        if (interfaces == nullptr) {
            continue;
        }
        for (auto ifc = interfaces->begin(); ifc != interfaces->end(); ++ifc) {
            BGAPI2::Interface* iface = ifc->second;
            if (!openInterface(iface)) {
                continue;
            }
            BGAPI2::DeviceList* devices = getDevices(iface);
            if (devices != nullptr && visit(devices)) {
                return true;
            }
        }
    }
    return false;
}

QList<QString> CCameraBaumer::IEnumAvailableCameras() try {
    QList<QString> names;
    MutexLock lock(s_listMutex);
    try {
        if (s_pSystemList == nullptr) {
            // A list obtained here has never been refreshed: it would list nothing.
            obtainSystemList();
            if (s_pSystemList == nullptr) {
                return names;
            }
            holdSystemList();
            s_pSystemList->Refresh();
        }
        walkDeviceLists([&names](BGAPI2::DeviceList* devices) {
            for (auto dev = devices->begin(); dev != devices->end(); ++dev) {
                const QString serial = QString::fromUtf8(dev->second->GetSerialNumber().get());
                names.append(QString("%1 %2").arg(QStringLiteral("baumer"), serial));
            }
            return false;
        });
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "IEnumAvailableCameras");
    }
    return names;
} catch (...) {
    reportCurrentException("IEnumAvailableCameras");
    return QList<QString>();
}

bool CCameraBaumer::openSystem(BGAPI2::System* system) {
    return SDK_STEP("openSystem", false, [system] { return openIfClosed(system); });
}

BGAPI2::InterfaceList* CCameraBaumer::getSystemInterfaces(BGAPI2::System* system) {
    return SDK_STEP("getSystemInterfaces", static_cast<BGAPI2::InterfaceList*>(nullptr),
                    [system] { return refreshed(system->GetInterfaces()); });
}

bool CCameraBaumer::openInterface(BGAPI2::Interface* iface) {
    return SDK_STEP("openInterface", false, [iface] { return openIfClosed(iface); });
}

BGAPI2::DeviceList* CCameraBaumer::getDevices(BGAPI2::Interface* iface) {
    return SDK_STEP("getDevices", static_cast<BGAPI2::DeviceList*>(nullptr),
                    [iface] { return refreshed(iface->GetDevices()); });
}

// The devices of a list with this serial number, as the list's entries give
// them.
std::vector<BGAPI2::Device*> CCameraBaumer::devicesWithSerial(BGAPI2::DeviceList* list,
                                                              const QString& serial) {
    std::vector<BGAPI2::Device*> found;
    for (auto dev = list->begin(); dev != list->end(); ++dev) {
        if (QString::fromUtf8(dev->second->GetSerialNumber().get()) == serial) {
            found.push_back((*list)[dev->first]);
        }
    }
    return found;
}

BGAPI2::Device* CCameraBaumer::openDeviceBySerialNumber(BGAPI2::DeviceList* list,
                                                        const QString& serial) {
    return SDK_STEP("openDeviceBySerialNumber", static_cast<BGAPI2::Device*>(nullptr),
                    [&] { return openFirst(devicesWithSerial(list, serial)); });
}

// The lists are searched under the list lock, up to the first that lists the
// serial number; the device is opened outside it, so that a slow camera holds
// up no other object.
BGAPI2::Device* CCameraBaumer::findAndOpen(const QString& serial) {
    std::vector<BGAPI2::Device*> candidates;
    {
        MutexLock lock(s_listMutex);
        if (s_pSystemList == nullptr) {
            return nullptr;
        }
        walkDeviceLists([this, &serial, &candidates](BGAPI2::DeviceList* devices) {
            SDK_STEP("openDeviceBySerialNumber", false, [&] {
                candidates = devicesWithSerial(devices, serial);
                return true;
            });
            return !candidates.empty();
        });
    }
    return SDK_STEP("openDeviceBySerialNumber", static_cast<BGAPI2::Device*>(nullptr),
                    [&] { return openFirst(candidates); });
}

BGAPI2::Device* CCameraBaumer::openFirst(const std::vector<BGAPI2::Device*>& candidates) {
    for (BGAPI2::Device* device : candidates) {
        if (openDevice(device) && prepareDevice(device)) {
            return device;
        }
    }
    return nullptr;
}

// Pixel format and streams of a device just opened; false leaves it closed,
// and so does anything thrown past the steps' own reports.
bool CCameraBaumer::prepareDevice(BGAPI2::Device* device) {
    try {
        if (!setDeviceProperty(device)) {
            closeDevice(device);
            return false;
        }
        if (setDeviceDataStream(device) == 0) {
            clearDeviceDataStream(device);  // buffers added before the failure
            closeDevice(device);
            return false;
        }
        return true;
    } catch (...) {
        clearDeviceDataStream(device);
        closeDevice(device);
        throw;
    }
}

bool CCameraBaumer::openDevice(BGAPI2::Device* device) {
    return SDK_STEP("openDevice", false, [device] { return openIfClosed(device); });
}

bool CCameraBaumer::closeDevice(BGAPI2::Device* device) {
    return SDK_STEP("closeDevice", false, [device] { return closeIfOpen(device); });
}

// A camera streams to one object: a second one would take over its frames and
// delete the first one's buffers on closing.
bool CCameraBaumer::claimCamera(const QString& serial) {
    const auto it = s_claims.find(serial);
    if (it != s_claims.end() && it->second != this) {
        qCritical() << QString("Baumer camera(%1) is in use by another object.").arg(serial)
                    << " - "
                    << "CCameraBaumer::IOpenCamera";
        return false;
    }
    s_claims[serial] = this;
    MutexLock lock(m_stateMutex);
    m_strSerial = serial;
    return true;
}

void CCameraBaumer::releaseClaim() {
    const QString claimed = serial();
    MutexLock listLock(s_listMutex);
    const auto it = s_claims.find(claimed);
    if (it != s_claims.end() && it->second == this) {
        s_claims.erase(it);
    }
}

QString CCameraBaumer::serial() {
    MutexLock lock(m_stateMutex);
    return m_strSerial;
}
