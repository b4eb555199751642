// The run time of the Linux desktop: creates Form3 from its definition,
// raises its Load event and ends the run.
#pragma once

#include "platform/spreadsheet.h"

namespace spc::qt {

// Runs the launcher inside an existing QApplication and returns the process's
// exit status. Load runs once; when it returns, the window is gone (unloaded
// by the launcher, or closed here if its unload failed: a frameless
// full-screen window must never outlive the run).
int Run(SpreadsheetAutomation& spreadsheet);

}  // namespace spc::qt
