#include "platform/qt/run_time.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QProxyStyle>
#include <QTranslator>

#include "launcher/form3.h"
#include "platform/qt/open_dialog.h"
#include "platform/qt/toolkit.h"

namespace spc::qt {

namespace {

// Dialog and message box buttons without pictures, as on the launcher's
// Windows dialogs; it also spares decoding each button's picture at three
// sizes while the Open dialog is built.
class LauncherStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

int Run(SpreadsheetAutomation& spreadsheet) {
  // The launcher speaks French: Qt's own texts (dialog buttons, labels) too,
  // whatever the user's locale.
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(&qtTexts);
  }

  // Without an icon theme of the desktop's own, Qt looks each of the
  // dialog's icons up in the freedesktop fallback theme, which holds
  // application icons only, before it takes its style's icons; where many
  // applications are installed, that search costs more than the rest of the
  // dialog. The style's icons are then taken at once: the search is pointed
  // at a folder of the program's resources that holds no theme (an empty list
  // would mean Qt's default folders).
  if (QIcon::themeName() == QLatin1String("hicolor")) {
    QIcon::setThemeSearchPaths({QStringLiteral(":/no-icon-theme")});
    QIcon::setFallbackSearchPaths({});
  }

  QApplication::setStyle(new LauncherStyle);  // owned by the application

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
