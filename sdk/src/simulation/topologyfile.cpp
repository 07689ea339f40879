#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>
#include <set>

#include "jsonfields.h"
#include "simcam/simcam.h"

namespace simcam {
namespace {

bool parseExposure(const std::string& text, ExposureFeature* feature) {
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

void readExposure(JsonFields& fields, CameraConfig* c) {
    std::string exposure;
    fields.text("exposure", &exposure);
    if (!exposure.empty() && !parseExposure(exposure, &c->exposure)) {
        fields.fail("\"exposure\" is one of ExposureTime, ExposureTimeAbs, none, not \"" +
                    exposure + "\"");
    }
    fields.number("exposureMin", &c->exposureMin);
    fields.number("exposureMax", &c->exposureMax);
    fields.number("exposureValue", &c->exposureValue);
}

void readSize(JsonFields& fields, CameraConfig* c) {
    std::int64_t width = c->width;
    std::int64_t height = c->height;
    fields.integer("width", 1, kMaxSide, &width);
    fields.integer("height", 1, kMaxSide, &height);
    c->width = static_cast<std::uint32_t>(width);
    c->height = static_cast<std::uint32_t>(height);
}

void readCamera(const QJsonObject& o, std::size_t index, CameraConfig* c, std::string* error) {
    const QJsonValue serial = o.value("serial");
    JsonFields fields(o,
                      !serial.toString().isEmpty()
                          ? "camera \"" + serial.toString().toStdString() + "\""
                          : "cameras[" + std::to_string(index) + "]",
                      error);
    fields.allowOnly({"serial", "id", "model", "width", "height", "pixelFormat", "pixelFormats",
                      "frameRate", "linePulseRate", "exposure", "exposureMin", "exposureMax",
                      "exposureValue", "acquisitionAbort", "triggerFeatures", "triggerSources",
                      "streams", "firstFrameId"});
    fields.text("serial", &c->serial, true);
    c->id = c->serial;
    fields.text("id", &c->id);
    fields.text("model", &c->model);
    readSize(fields, c);
    fields.text("pixelFormat", &c->pixelFormat);
    fields.texts("pixelFormats", &c->pixelFormats);
    fields.number("frameRate", &c->frameRate);
    fields.number("linePulseRate", &c->linePulseRate);
    readExposure(fields, c);
    fields.flag("acquisitionAbort", &c->hasAcquisitionAbort);
    fields.flag("triggerFeatures", &c->hasTriggerFeatures);
    fields.texts("triggerSources", &c->triggerSources);
    std::int64_t streams = c->streamCount;
    fields.integer("streams", 1, kMaxStreams, &streams);
    c->streamCount = static_cast<int>(streams);
    // Doubles are exact up to 2^53; the ids above that a camera can start at
    // are the ones a double can hold.
    double firstFrameId = 0;
    fields.number("firstFrameId", &firstFrameId);
    if (!(firstFrameId >= 0.0 && firstFrameId < 18446744073709551616.0) ||
        std::floor(firstFrameId) != firstFrameId) {
        fields.fail("\"firstFrameId\" must be a whole number from 0 to 2^64-1");
    }
    c->firstFrameId = static_cast<std::uint64_t>(firstFrameId);
    if (fields.ok()) {
        *error = cameraConfigError(*c);  // names the camera itself
    }
}

void readInterface(const QJsonObject& o, const std::string& where,
                   const std::set<std::string>& cameraIds, InterfaceConfig* iface,
                   std::string* error) {
    JsonFields fields(o, where, error);
    fields.allowOnly({"id", "cameras"});
    fields.text("id", &iface->id, true);
    fields.texts("cameras", &iface->cameras);
    for (const std::string& id : iface->cameras) {
        if (cameraIds.count(id) == 0) {
            fields.fail("camera \"" + id + "\" is not one of \"cameras\"");
        }
    }
}

void readSystem(const QJsonObject& o, std::size_t index, const std::set<std::string>& cameraIds,
                SystemConfig* system, std::string* error) {
    const std::string where = "systems[" + std::to_string(index) + "]";
    JsonFields fields(o, where, error);
    fields.allowOnly({"id", "interfaces"});
    fields.text("id", &system->id, true);
    const std::vector<QJsonObject> interfaces = fields.objects("interfaces");
    for (std::size_t i = 0; i < interfaces.size() && fields.ok(); ++i) {
        InterfaceConfig iface{{}, {}, false};
        readInterface(interfaces[i], where + ".interfaces[" + std::to_string(i) + "]", cameraIds,
                      &iface, error);
        system->interfaces.push_back(iface);
    }
}

// "line L, column C" of a byte offset into the text.
std::string position(const std::string& text, int offset) {
    const std::size_t end = std::min(text.size(), static_cast<std::size_t>(std::max(offset, 0)));
    std::size_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(end - lineStart + 1);
}

Topology withDefaultSystem(Topology topology) {
    if (topology.systems.empty()) {
        InterfaceConfig iface{"SimInterface0", {}, false};
        for (const auto& camera : topology.cameras) {
            iface.cameras.push_back(camera.id);
        }
        topology.systems.push_back({"SimSystem0", {iface}, false});
    }
    return topology;
}

}  // namespace

bool loadTopologyFile(const std::string& path, Topology* topology, std::string* error) {
    const QString name = QString::fromStdString(path);
    QFile file(name);
    if (QFileInfo(name).isDir()) {
        *error = path + ": is a directory, not a JSON file";
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + ": cannot read: " + file.errorString().toStdString();
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
    error->clear();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(json.data(), static_cast<int>(json.size())), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = position(json, parseError.offset) + ": " + parseError.errorString().toStdString();
        return false;
    }
    if (!document.isObject()) {
        *error = "the top level must be an object with \"cameras\"";
        return false;
    }
    JsonFields root(document.object(), std::string(), error);
    root.allowOnly({"cameras", "systems"});
    if (root.ok() && !root.has("cameras")) {
        root.fail("needs \"cameras\"");
    }
    Topology result;
    std::set<std::string> ids;
    const std::vector<QJsonObject> cameras = root.objects("cameras");
    for (std::size_t i = 0; i < cameras.size() && root.ok(); ++i) {
        CameraConfig camera;
        readCamera(cameras[i], i, &camera, error);
        if (root.ok() && !ids.insert(camera.id).second) {
            root.fail("two cameras have the id \"" + camera.id + "\"");
        }
        result.cameras.push_back(camera);
    }
    const std::vector<QJsonObject> systems = root.objects("systems");
    for (std::size_t i = 0; i < systems.size() && root.ok(); ++i) {
        SystemConfig system{{}, {}, false};
        readSystem(systems[i], i, ids, &system, error);
        result.systems.push_back(system);
    }
    if (!root.ok()) {
        return false;
    }
    *topology = withDefaultSystem(result);
    return true;
}

}  // namespace simcam
