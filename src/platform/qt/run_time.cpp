#include "platform/qt/run_time.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "launcher/form3.h"
#include "platform/qt/open_dialog.h"
#include "platform/qt/toolkit.h"

namespace spc::qt {

int Run(SpreadsheetAutomation& spreadsheet) {
  // The launcher speaks French: Qt's own texts (dialog buttons, labels) too,
  // whatever the user's locale.
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(&qtTexts);
  }

  QtToolkit toolkit;
  QtOpenDialog commonDialog1([&toolkit] { return toolkit.window(); });
  SharedObject<SpreadsheetGlobal> spreadsheetGlobal;
  Platform platform{toolkit, commonDialog1, spreadsheet, spreadsheetGlobal};
  Form3 form(platform);

  form.Load();

  // Form3 is the only window: the run ends here whether or not its unload
  // succeeded inside Load.
  (void)toolkit.UnloadWindow();
  QCoreApplication::removeTranslator(&qtTexts);
  return static_cast<int>(form.outcome());
}

}  // namespace spc::qt
