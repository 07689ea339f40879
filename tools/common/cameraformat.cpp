#include "cameraformat.h"

#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "sdkdevices.h"

namespace {

using BGAPI2::Exceptions::IException;

// The device with this serial number that the plug-in opened.
BGAPI2::Device* findOpenDevice(const QString& serial) {
    return findListedDevice([&serial](BGAPI2::Device* device) {
        return QString::fromUtf8(device->GetSerialNumber().get()) == serial && device->IsOpen();
    });
}

void setByKind(BGAPI2::Node* node, const QString& value, bool* ok) {
    const QString kind = QString::fromUtf8(node->GetInterface().get());
    if (kind == "IInteger") {
        const qlonglong number = value.toLongLong(ok);
        if (*ok)
            node->SetInt(number);
    } else if (kind == "IFloat") {
        const double number = value.toDouble(ok);
        if (*ok)
            node->SetDouble(number);
    } else if (kind == "ICommand") {
        node->Execute();
    } else {
        node->SetString(value.toUtf8().constData());
    }
}

}  // namespace

qint64 cameraIntFeature(const QString& serial, const char* name) {
    try {
        BGAPI2::Device* device = findOpenDevice(serial);
        if (device != nullptr && device->GetRemoteNodeList()->GetNodePresent(name)) {
            return device->GetRemoteNode(name)->GetInt();
        }
    } catch (IException&) {
    }
    return 0;
}

QString cameraPixelFormat(const QString& serial) {
    try {
        if (BGAPI2::Device* device = findOpenDevice(serial)) {
            return QString::fromUtf8(device->GetRemoteNode("PixelFormat")->GetString().get());
        }
    } catch (IException&) {
        // Unknown format: frames are saved as the plug-in's BGR8.
    }
    return QString();
}

bool cameraStreamStatistics(const QString& serial, BGAPI2::StreamStatistics* statistics) {
    try {
        BGAPI2::Device* device = findOpenDevice(serial);
        if (device == nullptr) {
            return false;
        }
        // Safe against the plug-in refreshing the streams on another thread.
        *statistics = device->GetStreamStatistics();
        return true;
    } catch (IException&) {
        return false;
    }
}

bool setCameraFeature(const QString& serial, const QString& assignment, QString* error) {
    const QString name = assignment.section('=', 0, 0);
    const QString value = assignment.section('=', 1);
    try {
        BGAPI2::Device* device = findOpenDevice(serial);
        if (device == nullptr) {
            *error = "the camera is not open";
            return false;
        }
        if (!device->GetRemoteNodeList()->GetNodePresent(name.toUtf8().constData())) {
            *error = "the camera has no feature '" + name + "'";
            return false;
        }
        bool ok = true;
        setByKind(device->GetRemoteNode(name.toUtf8().constData()), value, &ok);
        if (!ok) {
            *error = "'" + value + "' is not a number for '" + name + "'";
        }
        return ok;
    } catch (IException& ex) {
        *error = QString("'%1': %2").arg(name, QString::fromUtf8(ex.GetErrorDescription().get()));
        return false;
    }
}

bool cameraExposureRange(const QString& serial, ExposureRange* range) {
    try {
        BGAPI2::Device* device = findOpenDevice(serial);
        if (device == nullptr) {
            return false;
        }
        for (const char* name : {"ExposureTime", "ExposureTimeAbs"}) {
            if (device->GetRemoteNodeList()->GetNodePresent(name)) {
                BGAPI2::Node* node = device->GetRemoteNode(name);
                *range = {node->GetDoubleMin(), node->GetDoubleMax(), node->GetDouble()};
                return true;
            }
        }
    } catch (IException&) {
        // No readable exposure: the host leaves it alone.
    }
    return false;
}
