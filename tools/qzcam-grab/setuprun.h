#pragma once

#include "plugin.h"

// qzcam-grab --check: looks at this machine, prints what keeps cameras from
// working with the fix for each, and gives the tool's exit code for it.
int checkSetupOfThisMachine(const Plugin& plugin);
