#include "sdkdevices.h"

#include <map>
#include <set>

#include "bgapi2_genicam/bgapi2_genicam.hpp"

namespace {

BGAPI2::Device* findIn(BGAPI2::Interface* iface,
                       const std::function<bool(BGAPI2::Device*)>& visit) {
    BGAPI2::DeviceList* devices = iface->IsOpen() ? iface->GetDevices() : nullptr;
    if (devices == nullptr) {
        return nullptr;
    }
    for (auto& entry : *devices) {
        if (visit(entry.second)) {
            return entry.second;
        }
    }
    return nullptr;
}

}  // namespace

BGAPI2::Device* findListedDevice(const std::function<bool(BGAPI2::Device*)>& visit) {
    BGAPI2::SystemList* systems = BGAPI2::SystemList::GetInstance();
    if (systems == nullptr) {
        return nullptr;
    }
    for (auto& system : *systems) {
        BGAPI2::InterfaceList* interfaces =
            system.second->IsOpen() ? system.second->GetInterfaces() : nullptr;
        if (interfaces == nullptr) {
            continue;
        }
        for (auto& iface : *interfaces) {
            if (BGAPI2::Device* device = findIn(iface.second, visit)) {
                return device;
            }
        }
    }
    return nullptr;
}

std::vector<ListedDevice> listedDevices() {
    std::vector<ListedDevice> devices;
    std::set<QString> seen;
    try {
        findListedDevice([&](BGAPI2::Device* device) {
            const QString id = QString::fromUtf8(device->GetID().get());
            if (seen.insert(id).second) {
                devices.push_back({id, QString::fromUtf8(device->GetSerialNumber().get())});
            }
            return false;
        });
    } catch (BGAPI2::Exceptions::IException&) {
        // What was read so far is all there is to check.
    }
    return devices;
}

QStringList nameWarnings(const std::vector<ListedDevice>& devices) {
    QStringList warnings;
    std::map<QString, QStringList> idsBySerial;
    for (const ListedDevice& device : devices) {
        idsBySerial[device.serial].append('"' + device.id + '"');
        if (device.serial.contains(' ')) {
            warnings << QString(
                            "warning: \"baumer %1\" cannot be opened by name: its serial "
                            "number has a blank")
                            .arg(device.serial);
        }
    }
    for (const auto& [serial, ids] : idsBySerial) {
        if (ids.size() > 1) {
            warnings << QString(
                            "warning: \"baumer %1\" names %2 cameras, ids %3: only one of "
                            "them can be opened")
                            .arg(serial)
                            .arg(ids.size())
                            .arg(ids.join(" and "));
        }
    }
    return warnings;
}
