#include "options.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <cstdio>

namespace {

bool positiveInt(const QString& text, int minimum, int* value) {
    bool ok = false;
    const int parsed = text.toInt(&ok);
    if (!ok || parsed < minimum) {
        return false;
    }
    *value = parsed;
    return true;
}

// minimum: the smallest value accepted; 0 takes any positive one.
bool positiveDouble(const QString& text, double* value, double minimum = 0.0) {
    bool ok = false;
    const double parsed = text.toDouble(&ok);
    if (!ok || !(parsed > 0.0) || parsed < minimum || parsed > 1e6) {
        return false;
    }
    *value = parsed;
    return true;
}

bool parseMode(const QString& text, GrabOptions::Mode* mode) {
    static const QPair<const char*, GrabOptions::Mode> kModes[] = {
        {"free", GrabOptions::Mode::Free},
        {"hardware", GrabOptions::Mode::Hardware},
        {"limit", GrabOptions::Mode::Limit},
        {"software", GrabOptions::Mode::Software},
    };
    for (const auto& entry : kModes) {
        if (text == QLatin1String(entry.first)) {
            *mode = entry.second;
            return true;
        }
    }
    return false;
}

}  // namespace

bool parseGrabOptions(const QStringList& arguments, const QString& defaultPlugin,
                      GrabOptions* options, QString* error, bool* helpShown) {
    QCommandLineParser parser;
    parser.setApplicationDescription("Grabs frames from a camera through the qzCam_160d plug-in.");
    parser.addHelpOption();
    parser.addOptions({
        {"plugin", "Plug-in file to load.", "path", defaultPlugin},
        {"list", "Print the camera names and exit."},
        {"check",
         "Check this machine's setup for cameras, print each problem with its fix, and "
         "exit (9 when something is wrong)."},
        {"camera", "Camera to open (default: the first listed).", "name"},
        {"mode", "Acquisition mode: free, hardware, limit or software.", "mode", "free"},
        {"frames", "Frames to grab.", "n", "100"},
        {"exposure", "Exposure time, in the camera's unit.", "value"},
        {"trigger-rate", "Software triggers per second in software mode.", "hz", "10"},
        {"frame-limit", "Frame limit in limit mode.", "n", "0"},
        {"save", "Directory to write frames to, as PNG.", "dir"},
        {"save-every", "Write every n-th frame.", "n", "10"},
        {"timeout", "Seconds to wait for a frame before giving up.", "seconds", "5"},
        {"feature", "Camera feature to set after opening, NAME=VALUE (repeatable).", "name=value"},
    });
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (parser.isSet("help")) {
        QTextStream(stdout) << parser.helpText();
        *helpShown = true;
        return true;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = "unexpected argument: " + parser.positionalArguments().first();
        return false;
    }
    options->pluginPath = parser.value("plugin");
    options->list = parser.isSet("list");
    options->check = parser.isSet("check");
    options->camera = parser.value("camera");
    options->saveDir = parser.value("save");
    if (!parseMode(parser.value("mode"), &options->mode)) {
        *error =
            "--mode must be free, hardware, limit or software, not '" + parser.value("mode") + "'";
        return false;
    }
    if (!positiveInt(parser.value("frames"), 1, &options->frames)) {
        *error = "--frames needs a whole number of at least 1";
        return false;
    }
    if (parser.isSet("exposure")) {
        bool ok = false;
        options->exposure = parser.value("exposure").toInt(&ok);
        if (!ok) {
            *error = "--exposure needs a whole number";
            return false;
        }
        options->exposureSet = true;
    }
    // One trigger in 1000 s at the least: a longer period does not fit the clock.
    if (!positiveDouble(parser.value("trigger-rate"), &options->triggerRate, 0.001)) {
        *error = "--trigger-rate needs 0.001 to 1000000 triggers per second";
        return false;
    }
    if (!positiveInt(parser.value("frame-limit"), 0, &options->frameLimit)) {
        *error = "--frame-limit needs a whole number of at least 0";
        return false;
    }
    if (options->mode == GrabOptions::Mode::Limit && options->frameLimit == 0) {
        *error = "--mode limit needs --frame-limit of at least 1";
        return false;
    }
    if (!positiveInt(parser.value("save-every"), 1, &options->saveEvery)) {
        *error = "--save-every needs a whole number of at least 1";
        return false;
    }
    if (!positiveDouble(parser.value("timeout"), &options->timeoutSeconds)) {
        *error = "--timeout needs a positive number of seconds";
        return false;
    }
    for (const QString& feature : parser.values("feature")) {
        if (feature.indexOf('=') < 1) {
            *error = "--feature needs NAME=VALUE, not '" + feature + "'";
            return false;
        }
        options->features.append(feature);
    }
    return true;
}
