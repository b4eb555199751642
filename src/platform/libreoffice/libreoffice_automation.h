// The spreadsheet automation served by LibreOffice Calc over UNO.
#pragma once

#include <memory>

#include "platform/spreadsheet.h"

namespace spc::libreoffice {

// Reaches the user's office through a per-user named pipe, starting it when
// nothing answers there.
std::unique_ptr<SpreadsheetAutomation> MakeAutomation();

}  // namespace spc::libreoffice
