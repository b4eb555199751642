// Form3, the launcher's one window, and the procedures that run on it:
// Load (the whole program), LaunchWorkbook and Exists.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace spc {

// The fixed texts of the launcher.
namespace text {
inline constexpr std::u16string_view kDialogTitle = u"Maîtrise du procédé : cartes S.P.C. ...";
inline constexpr std::u16string_view kFilter = u"Fichiers Excel (*.xls)|*.xls";
inline constexpr std::int32_t kDialogFlags = kFlagFileMustExist | kFlagShowHelp;  // 4112
inline constexpr std::u16string_view kMessageTitle = u"telvo";
inline constexpr std::u16string_view kFileAbsent =
    u"Désolé , le fichier correspondant est absent du répertoire de travail .";
inline constexpr std::u16string_view kSpreadsheetNotStarted = u"Désolé , le tableur n'a pas pu être démarré .";
inline constexpr std::u16string_view kWorkbookNotOpened = u"Désolé , le classeur n'a pas pu être ouvert .";
inline constexpr std::u16string_view kWorkbookPassword = u"pelisvarko!?dimaqu_wfz";
}  // namespace text

// How a run ended; the process exits with this status.
enum class Outcome : int {
  kHandedOver = 0,             // the workbook was opened in the spreadsheet application
  kNoFileChosen = 1,           // the dialog was cancelled
  kFileAbsent = 2,             // the chosen file is not present
  kSpreadsheetNotStarted = 3,  // the spreadsheet application could not be started
  kWorkbookNotOpened = 4,      // the spreadsheet application could not open the workbook
};

class Form3 {
 public:
  explicit Form3(Platform& platform) : platform_(platform) {}

  // The Load event: raised once by the run time while the window is being
  // loaded. It lays out and shows the window, asks for the workbook and hands
  // it over; every way through it unloads the window.
  void Load();

  // Whether `filename` names a present normal file: -1 or 0. Never fails.
  VariantBool Exists(std::u16string filename);

  Outcome outcome() const { return outcome_; }

 private:
  // Opens the workbook named by Label1's caption, or tells the user why not,
  // then unloads the window.
  void LaunchWorkbook();

  // Label1.Left = window width / 2 - Label1.Width / 2.
  Status CentreLabel1();
  Status ShowMessage(std::u16string_view prompt);

  Platform& platform_;
  // The spreadsheet instance started by LaunchWorkbook. Kept for the life of
  // the window: the launcher never closes the workbook or quits the
  // application.
  std::unique_ptr<Application> spreadsheetApp_;
  Outcome outcome_ = Outcome::kNoFileChosen;
};

}  // namespace spc
