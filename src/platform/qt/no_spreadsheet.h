// The spreadsheet automation the Linux desktop uses.
#pragma once

#include <memory>

#include "platform/spreadsheet.h"

namespace spc::qt {

// LibreOffice Calc when the program is built with it; otherwise an
// automation whose objects cannot be created (class not registered), so the
// user is told that the spreadsheet application could not be started.
std::unique_ptr<SpreadsheetAutomation> MakeSpreadsheetAutomation();

}  // namespace spc::qt
