#pragma once

#include <QString>

#include "options.h"
#include "plugin.h"

// Exit codes of the grab tool.
enum GrabExit {
    kExitOk = 0,
    kExitUsage = 1,
    kExitPlugin = 2,
    kExitCamera = 3,
    kExitStart = 4,
    kExitTimeout = 5,
    kExitSave = 6,
    kExitConfig = 7,         // SIMCAM_CONFIG names a file that cannot be used
    kExitInUse = 8,          // the camera is in use by another application
    kExitSetup = 9,          // --check found something wrong with the machine
    kExitInterrupted = 130,  // SIGINT or SIGTERM: stopped, closed, summary printed
};

// Asks a running grab to stop, close the camera and print its summary. Safe
// to call from a signal handler.
void interruptGrab();

// Every line the plug-in logs passes here, so that the tool can tell why an
// opening failed.
void notePluginMessage(const QString& text);

// Lists the cameras, or opens one and grabs frames as the options say.
int runGrab(const Plugin& plugin, const GrabOptions& options);
