// qzcam-view: shows a camera live through the qzCam_160d plug-in.
#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QPointer>
#include <QTextStream>
#include <QTimer>

#include "frameview.h"
#include "plugin.h"
#include "viewerwindow.h"

namespace {

QPointer<ViewerWindow> g_window;

// Every line goes to stderr; critical ones also to the log pane, from
// whatever thread they come.
void showMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    QTextStream(stderr) << text << "\n";
    if ((type != QtCriticalMsg && type != QtFatalMsg) || g_window.isNull()) {
        return;
    }
    QMetaObject::invokeMethod(
        g_window.data(),
        [text] {
            if (g_window)
                g_window->appendLog(text);
        },
        Qt::QueuedConnection);
}

// --screenshot: open, start, wait for frames, save the window, quit.
void scheduleScreenshot(ViewerWindow* window, const QString& camera, const QString& path) {
    QTimer::singleShot(0, window, [=] {
        if (!window->openCamera(camera) || !window->start()) {
            QApplication::exit(3);
            return;
        }
        auto* poll = new QTimer(window);
        QObject::connect(poll, &QTimer::timeout, window, [=] {
            if (window->framesReceived() < 10 || window->view()->image().isNull()) {
                return;
            }
            poll->stop();
            QApplication::exit(window->grab().save(path, "PNG") ? 0 : 6);
        });
        poll->start(100);
    });
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("qzcam-view");
    QLoggingCategory::setFilterRules("*.debug=false");
    qInstallMessageHandler(showMessage);
    QCommandLineParser parser;
    parser.setApplicationDescription("Shows a camera live through the plug-in.");
    parser.addHelpOption();
    parser.addOption({"plugin", "The plug-in file.", "PATH", defaultPluginPath()});
    parser.addOption({"camera", "Open this camera at start.", "NAME"});
    parser.addOption({"screenshot", "Save the window once frames show, then quit.", "FILE"});
    parser.process(app);

    Plugin plugin;
    QString error;
    if (!plugin.load(parser.value("plugin"), &error)) {
        QTextStream(stderr) << "error: " << error << "\n";
        return 2;
    }
    ViewerWindow window(plugin);
    g_window = &window;
    window.resize(900, 700);
    window.show();
    if (parser.isSet("screenshot")) {
        scheduleScreenshot(&window, parser.value("camera"), parser.value("screenshot"));
    } else if (parser.isSet("camera")) {
        window.openCamera(parser.value("camera"));
    }
    return app.exec();
}
