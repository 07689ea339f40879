#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "simcam/simcam.h"

namespace simcam {
namespace {

std::vector<std::string> strings(const QJsonValue& value) {
    std::vector<std::string> result;
    for (const auto& item : value.toArray()) {
        result.push_back(item.toString().toStdString());
    }
    return result;
}

bool parseExposure(const QString& text, ExposureFeature* feature) {
    if (text == "ExposureTime") {
        *feature = ExposureFeature::ExposureTime;
    } else if (text == "ExposureTimeAbs") {
        *feature = ExposureFeature::ExposureTimeAbs;
    } else if (text == "none") {
        *feature = ExposureFeature::None;
    } else {
        return false;
    }
    return true;
}

bool parseCamera(const QJsonObject& o, CameraConfig* c, std::string* error) {
    c->serial = o.value("serial").toString().toStdString();
    if (c->serial.empty()) {
        *error = "a camera needs a \"serial\"";
        return false;
    }
    c->id = o.value("id").toString(QString::fromStdString(c->serial)).toStdString();
    c->model = o.value("model").toString(QString::fromStdString(c->model)).toStdString();
    const int width = o.value("width").toInt(static_cast<int>(c->width));
    const int height = o.value("height").toInt(static_cast<int>(c->height));
    if (width <= 0 || height <= 0) {
        *error = "camera " + c->serial + ": width and height must be positive";
        return false;
    }
    c->width = static_cast<std::uint32_t>(width);
    c->height = static_cast<std::uint32_t>(height);
    c->pixelFormat = o.value("pixelFormat").toString("Mono8").toStdString();
    c->pixelFormats = strings(o.value("pixelFormats"));
    c->frameRate = o.value("frameRate").toDouble(c->frameRate);
    c->linePulseRate = o.value("linePulseRate").toDouble(c->linePulseRate);
    if (o.contains("exposure") && !parseExposure(o.value("exposure").toString(), &c->exposure)) {
        *error =
            "camera " + c->serial + ": \"exposure\" is one of ExposureTime, ExposureTimeAbs, none";
        return false;
    }
    c->exposureMin = o.value("exposureMin").toDouble(c->exposureMin);
    c->exposureMax = o.value("exposureMax").toDouble(c->exposureMax);
    c->exposureValue = o.value("exposureValue").toDouble(c->exposureValue);
    c->hasAcquisitionAbort = o.value("acquisitionAbort").toBool(c->hasAcquisitionAbort);
    c->hasTriggerFeatures = o.value("triggerFeatures").toBool(c->hasTriggerFeatures);
    if (o.contains("triggerSources")) {
        c->triggerSources = strings(o.value("triggerSources"));
    }
    c->streamCount = o.value("streams").toInt(c->streamCount);
    // Doubles reach 2^64 exactly; anything from there on, or negative, does
    // not convert.
    const double firstFrameId = o.value("firstFrameId").toDouble(0);
    if (!(firstFrameId >= 0.0 && firstFrameId < 18446744073709551616.0)) {
        *error = "camera " + c->serial + ": \"firstFrameId\" must be 0 to 2^64-1";
        return false;
    }
    c->firstFrameId = static_cast<std::uint64_t>(firstFrameId);
    *error = simcam::cameraConfigError(*c);
    return error->empty();
}

}  // namespace

bool loadTopologyFile(const std::string& path, Topology* topology, std::string* error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = "cannot read " + path;
        return false;
    }
    const QByteArray text = file.readAll();
    if (!parseTopology(std::string(text.constData(), static_cast<std::size_t>(text.size())),
                       topology, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool parseTopology(const std::string& json, Topology* topology, std::string* error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(json.data(), static_cast<int>(json.size())), &parseError);
    if (!document.isObject()) {
        *error = parseError.errorString().toStdString();
        return false;
    }
    Topology result;
    const QJsonObject root = document.object();
    for (const auto& item : root.value("cameras").toArray()) {
        CameraConfig camera;
        if (!parseCamera(item.toObject(), &camera, error)) {
            return false;
        }
        result.cameras.push_back(camera);
    }
    for (const auto& item : root.value("systems").toArray()) {
        const QJsonObject s = item.toObject();
        SystemConfig system{s.value("id").toString().toStdString(), {}, false};
        for (const auto& ifaceItem : s.value("interfaces").toArray()) {
            const QJsonObject i = ifaceItem.toObject();
            system.interfaces.push_back(
                {i.value("id").toString().toStdString(), strings(i.value("cameras")), false});
        }
        result.systems.push_back(system);
    }
    if (result.systems.empty()) {
        InterfaceConfig iface{"SimInterface0", {}, false};
        for (const auto& camera : result.cameras) {
            iface.cameras.push_back(camera.id);
        }
        result.systems.push_back({"SimSystem0", {iface}, false});
    }
    *topology = result;
    return true;
}

}  // namespace simcam
