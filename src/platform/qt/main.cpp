// The launcher's entry point on the Linux desktop. It hands over to the run
// time and ends with the exit status of the run. No command-line option is
// read: the application is given only the program's name.
#include <QApplication>

#include "platform/qt/no_spreadsheet.h"
#include "platform/qt/run_time.h"

int main(int argc, char* argv[]) {
  char fallbackName[] = "spc-launcher";
  char* programName = argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName;
  int qtArgc = 1;
  char* qtArgv[] = {programName, nullptr};
  QApplication application(qtArgc, qtArgv);
  QGuiApplication::setDesktopFileName(QStringLiteral("spc-launcher"));

  const std::unique_ptr<spc::SpreadsheetAutomation> spreadsheet = spc::qt::MakeSpreadsheetAutomation();
  return spc::qt::Run(*spreadsheet);
}
