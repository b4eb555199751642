// LaunchWorkbook: opens the chosen workbook in a new, visible instance of the
// spreadsheet application, runs its automatic open macros and unloads the
// window; or, when it cannot, tells the user why and unloads the window.
#include <string>

#include "launcher/form3.h"
#include "platform/resume.h"

namespace spc {

namespace {

OpenOptions OpenOptionsWithPassword() {
  OpenOptions options;
  options.fill(Variant::Omitted());
  options[kOpenPassword] = Variant::String(std::u16string(text::kWorkbookPassword));
  return options;
}

}  // namespace

Status Form3::ShowMessage(std::u16string_view prompt) {
  return platform_.toolkit
      .MessageBox(std::u16string(prompt), kOkOnly, std::u16string(text::kMessageTitle))
      .status();
}

void Form3::LaunchWorkbook() {
  Toolkit& tk = platform_.toolkit;
  SpreadsheetAutomation& spreadsheet = platform_.spreadsheet;
  auto global = [&] { return platform_.spreadsheetGlobal.Get([&] { return spreadsheet.CreateGlobal(); }); };

  // Switch the spreadsheet application's alerts off through its global object.
  Statement([&]() -> Status {
    SPC_TRY_ASSIGN(SpreadsheetGlobal* const g, global());
    SPC_TRY_ASSIGN(const std::unique_ptr<Application> app, g->GetApplication());
    SPC_TRY_ASSIGN(Application* const a, Deref(app));
    return a->PutDisplayAlerts(kLocaleEnglishUS, kVariantFalse);
  });

  // The presence test. When the test itself fails, the file is taken as present.
  const bool present = BranchTest([&]() -> Expected<bool> {
    SPC_TRY_ASSIGN(std::u16string path, tk.Caption(ControlId::kLabel1));
    return Exists(std::move(path)) != kVariantFalse;
  });

  if (!present) {
    outcome_ = Outcome::kFileAbsent;
    Statement([&] { return ShowMessage(text::kFileAbsent); });
    Statement([&] { return tk.UnloadWindow(); });
    return;
  }

  // A new instance of the spreadsheet application, owned by the window.
  const bool started = Statement([&]() -> Status {
    SPC_TRY_ASSIGN(std::unique_ptr<Application> app, spreadsheet.CreateApplication());
    SPC_TRY(Deref(app).status());
    spreadsheetApp_ = std::move(app);
    return kOk;
  });

  if (!started) {
    // Without an application there is nothing to make visible or open in.
    outcome_ = Outcome::kSpreadsheetNotStarted;
    Statement([&] { return ShowMessage(text::kSpreadsheetNotStarted); });
  } else {
    Statement([&]() -> Status {
      SPC_TRY_ASSIGN(Application* const app, Deref(spreadsheetApp_));
      return app->PutVisible(kLocaleEnglishUS, kVariantTrue);
    });

    // Open the workbook with the fixed password. The workbook returned is
    // released unused.
    const bool opened = Statement([&]() -> Status {
      SPC_TRY_ASSIGN(const std::u16string path, tk.Caption(ControlId::kLabel1));
      SPC_TRY_ASSIGN(Application* const app, Deref(spreadsheetApp_));
      SPC_TRY_ASSIGN(const std::unique_ptr<Workbooks> workbooks, app->GetWorkbooks());
      SPC_TRY_ASSIGN(Workbooks* const collection, Deref(workbooks));
      return collection->Open(path, OpenOptionsWithPassword(), kLocaleEnglishUS).status();
    });

    if (!opened) {
      // Another workbook may be active: its macros must not run in place of
      // the one that failed to open.
      outcome_ = Outcome::kWorkbookNotOpened;
      Statement([&] { return ShowMessage(text::kWorkbookNotOpened); });
    } else {
      outcome_ = Outcome::kHandedOver;
      // Run the automatic open macros of the active workbook.
      Statement([&]() -> Status {
        SPC_TRY_ASSIGN(SpreadsheetGlobal* const g, global());
        SPC_TRY_ASSIGN(const std::unique_ptr<Workbook> active, g->GetActiveWorkbook());
        SPC_TRY_ASSIGN(Workbook* const workbook, Deref(active));
        return workbook->RunAutoMacros(kAutoOpen, kLocaleEnglishUS);
      });
    }
  }

  Statement([&] { return tk.UnloadWindow(); });
}

}  // namespace spc
