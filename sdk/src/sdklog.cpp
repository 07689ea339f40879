#include "sdklog.h"

Q_LOGGING_CATEGORY(lcSdk, "bgapi2.sdk", QtFatalMsg)
