#pragma once

#include <QString>
#include <QStringList>

// What the grab tool was asked to do.
struct GrabOptions {
    enum class Mode { Hardware = 1, Free = 2, Limit = 3, Software = 4 };

    QString pluginPath;
    bool list = false;
    bool check = false;  // look for what keeps cameras from working on this machine
    QString camera;      // empty: the first camera listed
    Mode mode = Mode::Free;
    int frames = 100;
    bool exposureSet = false;
    int exposure = 0;
    double triggerRate = 10.0;
    int frameLimit = 0;
    QString saveDir;
    int saveEvery = 10;
    double timeoutSeconds = 5.0;
    QStringList features;  // NAME=VALUE, written to the camera after opening
};

// Parses the command line; on false, error holds a message for the user.
bool parseGrabOptions(const QStringList& arguments, const QString& defaultPlugin,
                      GrabOptions* options, QString* error, bool* helpShown);
