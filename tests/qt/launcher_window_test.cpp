// The launcher run from start to end on the offscreen screen (1024 x 768, 15
// twips a pixel), with a test playing the user in the Open dialog and the
// message box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "launcher/form3.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/run_time.h"
#include "spreadsheet_double.h"

namespace spc::qt {
namespace {

using testing::SpreadsheetDouble;

const QString kTitle = ToQString(text::kDialogTitle);

QWidget* TopLevel(const QString& name) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == name) return widget;
  }
  return nullptr;
}

// Plays the user: runs `action` on the modal window of type T as soon as it
// is shown, from inside the modal loop the launcher waits in.
template <class T>
void WhenShown(std::function<void(T*)> action) {
  auto* poll = new QTimer;
  auto since = std::make_shared<QElapsedTimer>();
  since->start();
  QObject::connect(poll, &QTimer::timeout, [poll, since, action] {
    auto* shown = qobject_cast<T*>(QApplication::activeModalWidget());
    if (shown == nullptr || !shown->isVisible()) {
      if (since->elapsed() < 10000) return;
      ADD_FAILURE() << "no " << T::staticMetaObject.className() << " was shown";
      poll->stop();
      poll->deleteLater();
      return;
    }
    poll->stop();
    poll->deleteLater();
    action(shown);
  });
  poll->start(10);
}

// Types a name into the dialog's file name field and presses Enter.
void TypeName(QFileDialog* dialog, const QString& name) {
  auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(edit, nullptr);
  edit->setFocus();
  edit->setText(name);
  QTest::keyClick(edit, Qt::Key_Return);
}

QString Stripped(QString buttonText) { return buttonText.remove(QLatin1Char('&')); }

class LauncherRun : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

  // Creates a file under the test's folder and returns its full path.
  QString MakeFile(const QString& relative) {
    const QString path = folder_.filePath(relative);
    EXPECT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
    return path;
  }
  QString Missing(const QString& relative) const { return folder_.filePath(relative); }

  int RunLauncher() { return qt::Run(spreadsheet_); }

  SpreadsheetDouble spreadsheet_;

 private:
  QTemporaryDir folder_;
};

// Records what a widget looked like at a moment of the run.
struct Box {
  const char* name;
  QRect geometry;
};

TEST_F(LauncherRun, WindowAndPicturesStandWhereTheTwipsLayoutPutsThem) {
  std::vector<Box> seen;
  QRect window;
  Qt::WindowFlags flags;
  Qt::WindowStates states;
  QSize minimum, maximum;
  QString caption;
  bool iconLoaded = false, windowVisible = false, dialogOverWindow = false;
  QRect label1;
  bool label1Visible = true;
  QStringList stacking;

  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    QWidget* form = TopLevel(QStringLiteral("Form3"));
    ASSERT_NE(form, nullptr);
    window = form->frameGeometry();
    flags = form->windowFlags();
    states = form->windowState();
    minimum = form->minimumSize();
    maximum = form->maximumSize();
    caption = form->windowTitle();
    iconLoaded = !form->windowIcon().pixmap(32, 32).isNull();
    windowVisible = form->isVisible();
    dialogOverWindow = dialog->parentWidget() == form;
    for (const char* name : {"Picture1", "Picture2", "Picture3", "Picture4", "Picture5"}) {
      auto* box = form->findChild<QWidget*>(QLatin1String(name));
      ASSERT_NE(box, nullptr) << name;
      seen.push_back({name, box->geometry()});
    }
    auto* label = form->findChild<QLabel*>(QStringLiteral("Label1"));
    ASSERT_NE(label, nullptr);
    label1 = label->geometry();
    label1Visible = label->isVisible();
    for (QObject* child : form->children()) {
      auto* widget = qobject_cast<QWidget*>(child);
      if (widget != nullptr && !widget->isWindow()) stacking.append(widget->objectName());
    }
    dialog->reject();
  });

  EXPECT_EQ(RunLauncher(), static_cast<int>(Outcome::kNoFileChosen));

  // 15360 x 11520 twips: the window covers the screen, in normal state, with
  // neither frame nor taskbar button, and cannot be resized.
  EXPECT_EQ(window, QRect(0, 0, 1024, 768));
  EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(states, Qt::WindowNoState);
  EXPECT_EQ(minimum, QSize(1024, 768));
  EXPECT_EQ(maximum, QSize(1024, 768));
  EXPECT_EQ(caption, QStringLiteral("plenavo"));
  EXPECT_TRUE(iconLoaded);
  EXPECT_TRUE(windowVisible);
  EXPECT_TRUE(dialogOverWindow);

  // Twips to the nearest pixel: 1536 -> 102.4, 1152 -> 76.8, 12249 -> 816.6,
  // 8793 -> 586.2, 6892.5 -> 459.5, 4972.5 -> 331.5; 1575 -> 105.
  const std::vector<Box> expected = {
      {"Picture1", QRect(102, 586, 105, 105)}, {"Picture2", QRect(102, 77, 105, 105)},
      {"Picture3", QRect(817, 77, 105, 105)},  {"Picture4", QRect(817, 586, 105, 105)},
      {"Picture5", QRect(460, 332, 105, 105)},
  };
  ASSERT_EQ(seen.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(seen[i].geometry, expected[i].geometry) << expected[i].name;
  }
  // Label1 centred (7612.5 twips -> 507.5), at its defined top (3240 -> 216)
  // and width (135 -> 9), hidden.
  EXPECT_EQ(label1.topLeft(), QPoint(508, 216));
  EXPECT_EQ(label1.width(), 9);
  EXPECT_FALSE(label1Visible);
  // Back to front: Label1 behind everything, Picture5 in front.
  EXPECT_EQ(stacking, QStringList({"Label1", "Picture1", "Picture2", "Picture3", "Picture4", "Picture5"}));

  EXPECT_EQ(TopLevel(QStringLiteral("Form3")), nullptr) << "the window outlived the run";
}

TEST_F(LauncherRun, PicturesAreUnscaledInTheTopLeftCornerWithTheBackColourInTheFreeStrip) {
  // A colour scheme whose window background is not white tells the system
  // colour apart from the white of the other boxes.
  const QPalette original = QApplication::palette();
  QPalette scheme = original;
  const QColor schemeBackground(0x20, 0x40, 0x60);
  scheme.setColor(QPalette::Base, schemeBackground);
  QApplication::setPalette(scheme);

  QImage shot;
  std::map<QString, QPoint> origin;
  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    QWidget* form = TopLevel(QStringLiteral("Form3"));
    ASSERT_NE(form, nullptr);
    // The dialog stands over the centre picture on screen; the window's own
    // rendering shows all five.
    shot = form->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (const char* name : {"Picture1", "Picture2", "Picture3", "Picture4", "Picture5"}) {
      origin[QLatin1String(name)] = form->findChild<QWidget*>(QLatin1String(name))->pos();
    }
    dialog->reject();
  });
  RunLauncher();
  QApplication::setPalette(original);

  ASSERT_FALSE(shot.isNull());
  const QImage corner = QImage(QStringLiteral(":/corner.bmp")).convertToFormat(QImage::Format_RGB32);
  const QImage centre = QImage(QStringLiteral(":/centre.bmp")).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(corner.size(), QSize(100, 100));
  ASSERT_EQ(centre.size(), QSize(100, 100));

  struct Expectation {
    QString box;
    const QImage* picture;
    QColor strip;
  };
  const std::vector<Expectation> cases = {
      {"Picture1", &corner, schemeBackground}, {"Picture2", &corner, schemeBackground},
      {"Picture3", &corner, Qt::white},        {"Picture4", &corner, Qt::white},
      {"Picture5", &centre, Qt::white},
  };
  for (const Expectation& c : cases) {
    const QPoint at = origin[c.box];
    int wrongPicture = 0, wrongStrip = 0;
    for (int y = 0; y < 105; ++y) {
      for (int x = 0; x < 105; ++x) {
        const QRgb pixel = shot.pixel(at.x() + x, at.y() + y) & 0xFFFFFF;
        if (x < 100 && y < 100) {
          wrongPicture += pixel != (c.picture->pixel(x, y) & 0xFFFFFF);
        } else {
          wrongStrip += pixel != (c.strip.rgb() & 0xFFFFFF);
        }
      }
    }
    EXPECT_EQ(wrongPicture, 0) << c.box.toStdString() << ": picture pixels differ";
    EXPECT_EQ(wrongStrip, 0) << c.box.toStdString() << ": free strip not in the box's colour";
  }
  // The window around the boxes is white.
  EXPECT_EQ(shot.pixel(5, 5) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(LauncherRun, OpenDialogCarriesTheLaunchersSettings) {
  QString title;
  QStringList filters;
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  bool ownDialog = false, modal = false, applicationModal = false;
  bool helpPresent = false, helpChangedNothing = false;
  bool readOnlyOffered = false, readOnlyChecked = true;
  QString cancelText, openText;
  int inkPixels = 0;
  int charactersWithoutGlyph = -1;

  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    title = dialog->windowTitle();
    filters = dialog->nameFilters();
    mode = dialog->fileMode();
    ownDialog = dialog->testOption(QFileDialog::DontUseNativeDialog);
    modal = dialog->isModal();
    applicationModal = dialog->windowModality() == Qt::ApplicationModal;
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    cancelText = Stripped(buttons->button(QDialogButtonBox::Cancel)->text());
    openText = Stripped(buttons->button(QDialogButtonBox::Open)->text());
    QPushButton* help = buttons->button(QDialogButtonBox::Help);
    helpPresent = help != nullptr;
    if (help != nullptr) {
      const int windowsBefore = static_cast<int>(QApplication::topLevelWidgets().size());
      QTest::mouseClick(help, Qt::LeftButton);
      QApplication::processEvents();
      helpChangedNothing = dialog->isVisible() && dialog->result() == 0 &&
                           QApplication::activeModalWidget() == dialog &&
                           QApplication::topLevelWidgets().size() == windowsBefore;
    }
    auto* readOnly = dialog->findChild<QCheckBox*>(QStringLiteral("readOnly"));
    readOnlyOffered = readOnly != nullptr && readOnly->isVisible();
    readOnlyChecked = readOnly != nullptr && readOnly->isChecked();
    // Fonts: the field's label must be drawn with glyphs, not left blank.
    auto* label = dialog->findChild<QLabel*>(QStringLiteral("fileNameLabel"));
    ASSERT_NE(label, nullptr);
    // Without a font Qt still draws boxes in place of the letters: ask the
    // font for every character as well.
    const QFontMetrics metrics(label->font());
    charactersWithoutGlyph = 0;
    for (const QChar character : label->text()) charactersWithoutGlyph += !metrics.inFont(character);
    const QImage drawn = label->grab().toImage();
    const QColor ground = label->palette().color(QPalette::Window);
    for (int y = 0; y < drawn.height(); ++y) {
      for (int x = 0; x < drawn.width(); ++x) {
        inkPixels += qAbs(qGray(drawn.pixel(x, y)) - qGray(ground.rgb())) > 80;
      }
    }
    dialog->reject();
  });
  EXPECT_EQ(RunLauncher(), static_cast<int>(Outcome::kNoFileChosen));

  EXPECT_EQ(title, kTitle);
  EXPECT_EQ(title.size(), 39);
  EXPECT_EQ(filters, QStringList{QStringLiteral("Fichiers Excel (*.xls)")});
  EXPECT_EQ(mode, QFileDialog::ExistingFile);
  EXPECT_TRUE(ownDialog);
  EXPECT_TRUE(modal);
  EXPECT_TRUE(applicationModal);
  EXPECT_TRUE(helpPresent);
  EXPECT_TRUE(helpChangedNothing);
  EXPECT_TRUE(readOnlyOffered);
  EXPECT_FALSE(readOnlyChecked);
  // Qt's French texts are loaded.
  EXPECT_EQ(cancelText, QStringLiteral("Annuler"));
  EXPECT_EQ(openText, QStringLiteral("Ouvrir"));
  EXPECT_EQ(charactersWithoutGlyph, 0) << "the dialog's font has no glyphs: is a font installed?";
  EXPECT_GT(inkPixels, 30) << "the dialog's text was not drawn";
}

TEST_F(LauncherRun, CancelEscapeOrCloseBoxChooseNothingAndStartNothing) {
  const std::vector<std::pair<const char*, std::function<void(QFileDialog*)>>> ways = {
      {"Cancel button",
       [](QFileDialog* d) {
         QTest::mouseClick(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
       }},
      {"Escape key", [](QFileDialog* d) { QTest::keyClick(d, Qt::Key_Escape); }},
      {"close box", [](QFileDialog* d) { d->close(); }},
  };
  for (const auto& [way, close] : ways) {
    SCOPED_TRACE(way);
    // A name in the field that is never confirmed must not come back.
    const QString typedOnly = MakeFile(QStringLiteral("typed.xls"));
    WhenShown<QFileDialog>([&, close = close](QFileDialog* dialog) {
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typedOnly);
      close(dialog);
    });
    EXPECT_EQ(RunLauncher(), static_cast<int>(Outcome::kNoFileChosen));
    EXPECT_EQ(spreadsheet_.applicationsCreated, 0);
    EXPECT_TRUE(spreadsheet_.opened.empty());
    EXPECT_EQ(TopLevel(QStringLiteral("Form3")), nullptr);
    EXPECT_EQ(TopLevel(QStringLiteral("CommonDialog1")), nullptr);
  }
}

TEST_F(LauncherRun, ChosenPathWithBlanksAndAccentsReachesLabel1Unchanged) {
  const QString path = MakeFile(QStringLiteral("Dossier été/Carte à tester n° 1.xls"));
  // Label1 must never appear, not even for a moment.
  struct ShowWatch : QObject {
    int label1Shown = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("Label1")) ++label1Shown;
      return false;
    }
  } watch;
  qApp->installEventFilter(&watch);

  QString caption;
  bool label1Hidden = false;
  spreadsheet_.onCreateApplication = [&] {
    // The launch reads the path from the hidden label.
    QWidget* form = TopLevel(QStringLiteral("Form3"));
    ASSERT_NE(form, nullptr);
    auto* label = form->findChild<QLabel*>(QStringLiteral("Label1"));
    caption = label->text();
    label1Hidden = label->isHidden();
  };
  WhenShown<QFileDialog>([&](QFileDialog* dialog) { TypeName(dialog, path); });
  const int status = RunLauncher();
  qApp->removeEventFilter(&watch);

  EXPECT_EQ(status, static_cast<int>(Outcome::kHandedOver));
  ASSERT_EQ(spreadsheet_.opened.size(), 1u);
  EXPECT_EQ(ToQString(spreadsheet_.opened.front()), path);
  EXPECT_EQ(spreadsheet_.applicationsCreated, 1);
  EXPECT_EQ(watch.label1Shown, 0);
  EXPECT_EQ(caption, path);
  EXPECT_TRUE(label1Hidden);
}

TEST_F(LauncherRun, TypedNameOfAMissingFileIsRefusedAndTheDialogStaysOpen) {
  const QString missing = Missing(QStringLiteral("absent.xls"));
  bool stayedOpen = false;
  QString warning;
  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      warning = box->text();
      box->accept();
    });
    TypeName(dialog, missing);
    QApplication::processEvents();
    stayedOpen = dialog->isVisible() && QApplication::activeModalWidget() == dialog;
    dialog->reject();
  });
  EXPECT_EQ(RunLauncher(), static_cast<int>(Outcome::kNoFileChosen));
  EXPECT_TRUE(stayedOpen);
  EXPECT_TRUE(warning.contains(QStringLiteral("absent.xls"))) << warning.toStdString();
  EXPECT_EQ(spreadsheet_.applicationsCreated, 0);
}

TEST_F(LauncherRun, AbsentFileGetsTheMessageBoxWithItsTitleTextAndSingleOkButton) {
  // A hidden file: the dialog can choose it, but it is no normal file, so
  // the presence test finds it absent.
  const QString hidden = MakeFile(QStringLiteral(".cartes été.xls"));
  QString title, prompt;
  QList<QAbstractButton*> buttons;
  QMessageBox::StandardButton only = QMessageBox::NoButton;
  QMessageBox::Icon icon = QMessageBox::Warning;
  bool modal = false;
  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      title = box->windowTitle();
      prompt = box->text();
      buttons = box->buttons();
      only = buttons.size() == 1 ? box->standardButton(buttons.front()) : QMessageBox::NoButton;
      icon = box->icon();
      modal = box->isModal();
      QTest::mouseClick(buttons.front(), Qt::LeftButton);
    });
    TypeName(dialog, hidden);
  });
  EXPECT_EQ(RunLauncher(), static_cast<int>(Outcome::kFileAbsent));
  EXPECT_EQ(title, QStringLiteral("telvo"));
  EXPECT_EQ(prompt, ToQString(text::kFileAbsent));
  EXPECT_EQ(buttons.size(), 1);
  EXPECT_EQ(only, QMessageBox::Ok);
  EXPECT_EQ(icon, QMessageBox::NoIcon);
  EXPECT_TRUE(modal);
  EXPECT_EQ(spreadsheet_.applicationsCreated, 0);
}

}  // namespace
}  // namespace spc::qt
