#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace BGAPI2 {
class Device;
}

// Visits the devices of every open system and interface in the SDK's lists
// as the plug-in last refreshed them (nothing is refreshed here, and no system
// list is made) until visit returns true; that device, or null.
BGAPI2::Device* findListedDevice(const std::function<bool(BGAPI2::Device*)>& visit);

struct ListedDevice {
    QString id;
    QString serial;
};

// Every listed device once, however many interfaces it sits on.
std::vector<ListedDevice> listedDevices();

// Warnings about names the plug-in lists but cannot open as listed: serial
// numbers shared by several cameras, and serial numbers with a blank.
QStringList nameWarnings(const std::vector<ListedDevice>& devices);
