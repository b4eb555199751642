// Everything the launcher's logic asks of the platform it runs on.
#pragma once

#include "platform/open_dialog.h"
#include "platform/shared_object.h"
#include "platform/spreadsheet.h"
#include "platform/toolkit.h"

namespace spc {

struct Platform {
  Toolkit& toolkit;
  OpenDialog& commonDialog1;
  SpreadsheetAutomation& spreadsheet;
  // The spreadsheet application's global object, shared by the process.
  SharedObject<SpreadsheetGlobal>& spreadsheetGlobal;
};

}  // namespace spc
