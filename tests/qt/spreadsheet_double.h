// A spreadsheet automation for the desktop tests: it has no global object,
// and its applications record the workbooks they are asked to open.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/spreadsheet.h"

namespace spc::testing {

class SpreadsheetDouble final : public SpreadsheetAutomation {
 public:
  int applicationsCreated = 0;
  std::vector<std::u16string> opened;
  // Called as an application is created, while the launcher waits for it.
  std::function<void()> onCreateApplication = [] {};

  Expected<std::unique_ptr<SpreadsheetGlobal>> CreateGlobal() override;
  Expected<std::unique_ptr<Application>> CreateApplication() override;
};

}  // namespace spc::testing
