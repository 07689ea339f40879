#include "setuprun.h"

#include <QTextStream>

#include <cstdint>
#include <utility>
#include <vector>

#include "cameraformat.h"
#include "camerahandle.h"
#include "grabrun.h"
#include "setupcheck.h"
#include "setupprobe.h"

namespace {

// Opens the camera with this serial number through the plug-in and reads
// an integer feature per name; they stay 0 where it cannot be opened.
void readOpened(const Plugin& plugin, const QString& serial,
                const std::vector<std::pair<const char*, std::int64_t*>>& features) {
    IdleHost host;
    tagQZ_CAMERA_OPTION option;
    option.strCameraName = "baumer " + serial;
    CameraHandle handle{plugin, plugin.create(&option, &host)};
    if (handle.camera->IOpenCamera() != 1) {
        return;
    }
    for (const auto& feature : features) {
        *feature.second = cameraIntFeature(serial, feature.first);
    }
}

// The packet and frame sizes of the cameras that can be reached and opened.
void readCameraSizes(const Plugin& plugin, SetupFacts* facts) {
    for (auto& camera : facts->gigeCameras) {
        if (!reachable(*facts, camera)) {
            continue;  // opening would wait out every retry
        }
        std::int64_t packetSize = 0;
        readOpened(plugin, camera.serial,
                   {{"GevSCPSPacketSize", &packetSize}, {"PayloadSize", &camera.payloadSize}});
        camera.packetSize = int(packetSize);
    }
    for (auto& camera : facts->usbCameras) {
        if (camera.accessible && !camera.serial.isEmpty()) {
            readOpened(plugin, camera.serial, {{"PayloadSize", &camera.payloadSize}});
        }
    }
}

}  // namespace

int checkSetupOfThisMachine(const Plugin& plugin) {
    SetupFacts facts = probeSetup();
    readCameraSizes(plugin, &facts);
    QTextStream out(stdout);
    out << QString(
               "setup: %1 network interfaces, %2 GigE Vision cameras answering, %3 USB3 "
               "Vision cameras\n")
               .arg(facts.interfaces.size())
               .arg(facts.gigeCameras.size())
               .arg(facts.usbCameras.size());
    for (const auto& camera : facts.gigeCameras) {
        out << QString("camera %1 at %2 on %3: packets %4 bytes, frames %5 bytes\n")
                   .arg(camera.serial, ipText(camera.address), camera.foundOn)
                   .arg(camera.packetSize > 0 ? QString::number(camera.packetSize) : "unknown")
                   .arg(camera.payloadSize > 0 ? QString::number(camera.payloadSize) : "unknown");
    }
    const std::vector<SetupFinding> findings = checkSetup(facts);
    for (const SetupFinding& finding : findings) {
        out << "problem: " << finding.problem << "; fix: " << finding.fix << "\n";
    }
    if (findings.empty()) {
        out << "setup: nothing found wrong\n";
        return kExitOk;
    }
    return kExitSetup;
}
