#pragma once

#include "setupcheck.h"

// The machine as the setup check needs it: network interfaces and their
// limits, the GigE Vision cameras that answer a discovery on each interface,
// and the USB3 Vision devices with their device nodes. Camera packet and
// frame sizes are left for the caller, who can open the cameras.
SetupFacts probeSetup();
