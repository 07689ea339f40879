#include "grabrun.h"

#include <QDir>
#include <QTextStream>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "cameraformat.h"
#include "camerahandle.h"
#include "grabhost.h"
#include "sdkdevices.h"
#include "setuprun.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> g_interrupted{false};
std::atomic<bool> g_openRefusedInUse{false};

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

int listCameras(const Plugin& plugin) {
    tagQZ_CAMERA_OPTION option;
    IdleHost host;
    CameraHandle handle{plugin, plugin.create(&option, &host)};
    for (const QString& name : handle.camera->IEnumAvailableCameras()) {
        QTextStream(stdout) << name << "\n";
    }
    for (const QString& warning : nameWarnings(listedDevices())) {
        err() << warning << "\n";
    }
    return kExitOk;
}

QString chooseCamera(const Plugin& plugin, const QString& requested) {
    if (!requested.isEmpty()) {
        return requested;
    }
    tagQZ_CAMERA_OPTION option;
    IdleHost host;
    CameraHandle handle{plugin, plugin.create(&option, &host)};
    const QList<QString> names = handle.camera->IEnumAvailableCameras();
    return names.isEmpty() ? QString() : names.first();
}

bool writeSaved(GrabHost& host, const QString& dir, int* written) {
    GrabHost::Saved saved;
    while (host.takeSaved(&saved)) {
        const QString path =
            QDir(dir).filePath(QString("frame-%1.png").arg(saved.count, 10, 10, QChar('0')));
        if (!saved.image.save(path, "PNG")) {
            err() << "error: cannot write " << path << "\n";
            return false;
        }
        ++*written;
    }
    return true;
}

void printProgress(const GrabHost::Stats& stats, double seconds) {
    err() << QString("\rframes %1  fps %2  lost %3   ")
                 .arg(stats.frames)
                 .arg(seconds > 0 ? stats.frames / seconds : 0.0, 0, 'f', 1)
                 .arg(stats.lost);
    err().flush();
}

struct Acquisition {
    std::uint64_t target;
    double triggerRate;  // 0: no software triggers
    double timeoutSeconds;
};

enum class Outcome { Complete, TimedOut, Interrupted, SaveFailed };

// Waits for the frames, firing software triggers where asked and writing
// saved frames.
Outcome acquire(ICameraObject* camera, GrabHost& host, const Acquisition& plan,
                const QString& saveDir, int* written, double* seconds) {
    const auto start = Clock::now();
    auto lastFrameAt = start;
    auto nextProgress = start + std::chrono::seconds(1);
    auto nextTrigger = start;
    std::uint64_t lastFrames = 0;
    for (;;) {
        if (g_interrupted) {
            return Outcome::Interrupted;
        }
        const auto now = Clock::now();
        if (plan.triggerRate > 0 && now >= nextTrigger) {
            camera->ISendSoftTrigger();
            nextTrigger += std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(1.0 / plan.triggerRate));
        }
        host.waitFrames(plan.target, std::chrono::milliseconds(plan.triggerRate > 0 ? 5 : 100));
        if (!saveDir.isEmpty() && !writeSaved(host, saveDir, written)) {
            return Outcome::SaveFailed;
        }
        const GrabHost::Stats stats = host.stats();
        *seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (stats.frames >= plan.target) {
            return Outcome::Complete;
        }
        if (stats.frames != lastFrames) {
            lastFrames = stats.frames;
            lastFrameAt = Clock::now();
        } else if (std::chrono::duration<double>(Clock::now() - lastFrameAt).count() >
                   plan.timeoutSeconds) {
            return Outcome::TimedOut;
        }
        if (Clock::now() >= nextProgress) {
            printProgress(stats, *seconds);
            nextProgress += std::chrono::seconds(1);
        }
    }
}

QString streamSummary(const BGAPI2::StreamStatistics& s) {
    return QString(
               "stream delivered %1  incomplete %2  lost %3  resent packets %4  missing "
               "packets %5\n")
        .arg(s.delivered)
        .arg(s.incomplete)
        .arg(s.lost)
        .arg(s.resentPackets)
        .arg(s.missingPackets);
}

bool setFeatures(const QString& serial, const QStringList& features) {
    for (const QString& feature : features) {
        QString error;
        if (!setCameraFeature(serial, feature, &error)) {
            err() << "error: cannot set " << feature << ": " << error << "\n";
            return false;
        }
    }
    return true;
}

// The plug-in makes its buffers at opening, for the image size then.
bool changesImageSize(const QStringList& features) {
    for (const QString& feature : features) {
        const QString name = feature.section('=', 0, 0);
        if (name == "PixelFormat" || name == "Width" || name == "Height") {
            return true;
        }
    }
    return false;
}

}  // namespace

void notePluginMessage(const QString& text) {
    // The SDK refuses a camera that another application controls this way.
    if (text.contains("AccessDeniedException")) {
        g_openRefusedInUse = true;
    }
}

void interruptGrab() {
    g_interrupted = true;
}

int runGrab(const Plugin& plugin, const GrabOptions& options) {
    if (options.list) {
        return listCameras(plugin);
    }
    if (options.check) {
        return checkSetupOfThisMachine(plugin);
    }
    const QString name = chooseCamera(plugin, options.camera);
    if (name.isEmpty()) {
        err() << "error: no camera found\n";
        return kExitCamera;
    }
    if (!options.saveDir.isEmpty() && !QDir().mkpath(options.saveDir)) {
        err() << "error: cannot create " << options.saveDir << "\n";
        return kExitSave;
    }

    tagQZ_CAMERA_OPTION option;
    option.strCameraName = name;
    // The host outlives the driver object, which is deleted first.
    GrabHost host(options.saveEvery, !options.saveDir.isEmpty());
    CameraHandle handle{plugin, plugin.create(&option, &host)};
    ICameraObject* camera = handle.camera;
    if (camera->IOpenCamera() != 1) {
        if (g_openRefusedInUse) {
            err() << "error: camera '" << name << "' is in use by another application\n";
            return kExitInUse;
        }
        err() << "error: cannot open camera '" << name << "' (unknown camera or open failed)\n";
        return kExitCamera;
    }
    const QString serial = name.section(' ', 1, 1);
    if (!setFeatures(serial, options.features)) {
        return kExitStart;
    }
    if (changesImageSize(options.features)) {
        camera->ICloseCamera();
        if (camera->IOpenCamera() != 1) {
            err() << "error: cannot open camera '" << name << "' again after setting features\n";
            return kExitCamera;
        }
    }
    const QString pixelFormat = cameraPixelFormat(serial);
    int depth = 8;
    const FrameLayout layout = frameLayoutOf(pixelFormat, &depth);
    host.setLayout(layout, depth);

    if (options.exposureSet) {
        ExposureRange range;
        if (cameraExposureRange(serial, &range) &&
            (options.exposure < range.min || options.exposure > range.max)) {
            err() << "error: exposure " << options.exposure << " is outside the camera's range "
                  << range.min << " to " << range.max << "\n";
            return kExitStart;
        }
        tagQZ_CAMERA_PROPERTY property{PROPERTY_EXPOSURE_TIME, options.exposure};
        camera->ISetProperty(&property);
    }
    camera->m_nFrameLimit = static_cast<std::uint32_t>(options.frameLimit);
    camera->m_nReqMode = static_cast<int>(options.mode);
    if (camera->IStartCamera() != 1 || !camera->m_bGrabbing) {
        err() << "error: cannot start camera '" << name << "'\n";
        return kExitStart;
    }

    std::uint64_t target = static_cast<std::uint64_t>(options.frames);
    if (options.mode == GrabOptions::Mode::Limit) {
        target = std::min<std::uint64_t>(target, static_cast<std::uint64_t>(options.frameLimit));
    }
    const double rate = options.mode == GrabOptions::Mode::Software ? options.triggerRate : 0.0;
    int written = 0;
    double seconds = 0.0;
    const Outcome outcome = acquire(camera, host, {target, rate, options.timeoutSeconds},
                                    options.saveDir, &written, &seconds);
    camera->IStopCamera();
    BGAPI2::StreamStatistics streams;
    const bool haveStreams = cameraStreamStatistics(serial, &streams);
    camera->ICloseCamera();
    if (!options.saveDir.isEmpty() && outcome != Outcome::SaveFailed) {
        writeSaved(host, options.saveDir, &written);
    }
    const GrabHost::Stats stats = host.stats();
    printProgress(stats, seconds);
    err() << "\n";
    err().flush();
    if (outcome == Outcome::SaveFailed) {
        return kExitSave;
    }
    if (outcome == Outcome::TimedOut) {
        err() << "error: no frame within " << options.timeoutSeconds << " s (" << stats.frames
              << " of " << target << " frames)\n";
        return kExitTimeout;
    }
    QTextStream(stdout)
        << QString("camera %1  format %2  size %3x%4  frames %5  rate %6 fps  lost %7\n")
               .arg(name, pixelFormat.isEmpty() ? QString("unknown") : pixelFormat)
               .arg(stats.width)
               .arg(stats.height)
               .arg(stats.frames)
               .arg(seconds > 0 ? stats.frames / seconds : 0.0, 0, 'f', 1)
               .arg(stats.lost);
    if (haveStreams) {
        QTextStream(stdout) << streamSummary(streams);
    }
    if (outcome == Outcome::Interrupted) {
        err() << "interrupted: camera stopped and closed after " << stats.frames << " frames\n";
    }
    if (!options.saveDir.isEmpty()) {
        QTextStream(stdout) << "saved " << written << " frames to "
                            << QDir(options.saveDir).absolutePath() << "\n";
    }
    return outcome == Outcome::Interrupted ? kExitInterrupted : kExitOk;
}
