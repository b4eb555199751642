#include "platform/qt/no_spreadsheet.h"

#ifdef SPC_HAVE_LIBREOFFICE
#include "platform/libreoffice/libreoffice_automation.h"
#endif

namespace spc::qt {

namespace {

// No spreadsheet application is registered with this build.
class NoSpreadsheet final : public SpreadsheetAutomation {
 public:
  Expected<std::unique_ptr<SpreadsheetGlobal>> CreateGlobal() override { return Status(code::kClassNotRegistered); }
  Expected<std::unique_ptr<Application>> CreateApplication() override { return Status(code::kClassNotRegistered); }
};

}  // namespace

std::unique_ptr<SpreadsheetAutomation> MakeSpreadsheetAutomation() {
#ifdef SPC_HAVE_LIBREOFFICE
  return libreoffice::MakeAutomation();
#else
  return std::make_unique<NoSpreadsheet>();
#endif
}

}  // namespace spc::qt
