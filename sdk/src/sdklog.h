#pragma once

#include <QLoggingCategory>

// The SDK's own log lines, off unless a host enables "bgapi2.sdk" in its
// logging rules, so they never mix into the plug-in's output.
Q_DECLARE_LOGGING_CATEGORY(lcSdk)

// Problems with the simulated cameras' configuration: on from warnings up,
// since a host must hear of them.
Q_DECLARE_LOGGING_CATEGORY(lcSimConfig)
