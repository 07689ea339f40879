#include "sdklog.h"

Q_LOGGING_CATEGORY(lcSdk, "bgapi2.sdk", QtFatalMsg)
Q_LOGGING_CATEGORY(lcSimConfig, "bgapi2.simcam", QtWarningMsg)
