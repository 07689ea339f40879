#include "sdkdevices.h"

#include <map>
#include <set>

#include "bgapi2_genicam/bgapi2_genicam.hpp"

// From the SDK's snapshot: the plug-in's reconnection may refresh the lists
// on another thread meanwhile.
BGAPI2::Device* findListedDevice(const std::function<bool(BGAPI2::Device*)>& visit) {
    for (const BGAPI2::ListedDevice& listed : BGAPI2::SystemList::ListedDevices()) {
        if (visit(listed.device)) {
            return listed.device;
        }
    }
    return nullptr;
}

std::vector<ListedDevice> listedDevices() {
    std::vector<ListedDevice> devices;
    std::set<QString> seen;
    try {
        for (const BGAPI2::ListedDevice& listed : BGAPI2::SystemList::ListedDevices()) {
            const QString id = QString::fromUtf8(listed.id.get());
            if (seen.insert(id).second) {
                devices.push_back({id, QString::fromUtf8(listed.serial.get())});
            }
        }
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
