// qzcam-grab: checks a camera through the qzCam_160d plug-in, as a host does.
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include "grabrun.h"
#include "options.h"
#include "plugin.h"
#include "simcam/simcam.h"

#include <csignal>
#include <cstdlib>
#include <string>

namespace {

void onSignal(int) {
    interruptGrab();
}

// The plug-in's own log lines, marked as such on stderr.
void printPluginMessage(QtMsgType, const QMessageLogContext&, const QString& text) {
    notePluginMessage(text);
    QTextStream(stderr) << "plug-in: " << text << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("qzcam-grab");
    // The plug-in logs a debug line per frame; a host shows warnings and up.
    QLoggingCategory::setFilterRules("*.debug=false");
    qInstallMessageHandler(printPluginMessage);

    const QString defaultPlugin = defaultPluginPath();
    GrabOptions options;
    QString error;
    bool helpShown = false;
    if (!parseGrabOptions(QCoreApplication::arguments(), defaultPlugin, &options, &error,
                          &helpShown)) {
        QTextStream(stderr) << "error: " << error << "\n";
        return kExitUsage;
    }
    if (helpShown) {
        return kExitOk;
    }
    // The SDK would present no simulated cameras at all: say why and stop.
    std::string configError;
    simcam::topologyFromEnvironment(&configError);
    if (!configError.empty()) {
        QTextStream(stderr) << "error: SIMCAM_CONFIG: " << QString::fromStdString(configError)
                            << "\n";
        return kExitConfig;
    }
    // Ctrl-C and kill end the grab cleanly: a camera left streaming goes on
    // sending to a port nobody reads.
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    // The check is about real cameras: the SDK's GenICam producer shows them.
    if (options.check && std::getenv("QZCAM_GENICAM") == nullptr) {
        setenv("QZCAM_GENICAM", "1", 1);
    }
    Plugin plugin;
    if (!plugin.load(options.pluginPath, &error)) {
        QTextStream(stderr) << "error: " << error << "\n";
        return kExitPlugin;
    }
    return runGrab(plugin, options);
}
