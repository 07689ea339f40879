#include "cameraformat.h"

#include "bgapi2_genicam/bgapi2_genicam.hpp"

namespace {

QString pixelFormatIn(BGAPI2::DeviceList* devices, const QString& serial) {
    for (auto& entry : *devices) {
        BGAPI2::Device* device = entry.second;
        if (QString::fromUtf8(device->GetSerialNumber().get()) == serial && device->IsOpen()) {
            return QString::fromUtf8(device->GetRemoteNode("PixelFormat")->GetString().get());
        }
    }
    return QString();
}

}  // namespace

QString cameraPixelFormat(const QString& serial) {
    try {
        BGAPI2::SystemList* systems = BGAPI2::SystemList::GetInstance();
        if (systems == nullptr) {
            return QString();
        }
        for (auto& system : *systems) {
            if (!system.second->IsOpen())
                continue;
            BGAPI2::InterfaceList* interfaces = system.second->GetInterfaces();
            if (interfaces == nullptr)
                continue;
            for (auto& iface : *interfaces) {
                if (!iface.second->IsOpen())
                    continue;
                BGAPI2::DeviceList* devices = iface.second->GetDevices();
                const QString format = devices ? pixelFormatIn(devices, serial) : QString();
                if (!format.isEmpty())
                    return format;
            }
        }
    } catch (BGAPI2::Exceptions::IException&) {
        // Unknown format: frames are saved as the plug-in's BGR8.
    }
    return QString();
}

FrameLayout frameLayoutOf(const QString& pixelFormat, int* depth) {
    *depth = 8;
    if (pixelFormat == "Mono8") {
        return FrameLayout::Gray8;
    }
    if (pixelFormat.startsWith("Mono")) {
        bool ok = false;
        const int bits = pixelFormat.mid(4).toInt(&ok);
        *depth = ok ? bits : 16;
        return FrameLayout::Gray16;
    }
    if (pixelFormat.startsWith("RGB8")) {
        return FrameLayout::Rgb8;
    }
    return FrameLayout::Bgr8;
}
