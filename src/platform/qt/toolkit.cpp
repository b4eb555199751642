#include "platform/qt/toolkit.h"

#include <QApplication>
#include <QColor>
#include <QEventLoop>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#ifdef SPC_HAVE_XCB
#include <xcb/xcb.h>
#endif

#include "launcher/form3_definition.h"
#include "platform/posix/dir_search.h"
#include "platform/qt/qt_text.h"

namespace spc::qt {

namespace {

// The message box answer for its OK button.
constexpr std::int32_t kAnswerOk = 1;

constexpr double kTwipsPerInch = 1440;

// Twips per pixel on each axis: 1440 twips to the inch at the primary
// screen's logical density (15 at 96 dots per inch).
struct Scale {
  double x;
  double y;
};

Expected<Scale> ScreenScale() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return Status(code::kFail);
  const double dpiX = screen->logicalDotsPerInchX();
  const double dpiY = screen->logicalDotsPerInchY();
  if (!(dpiX > 0) || !(dpiY > 0)) return Status(code::kFail);
  return Scale{kTwipsPerInch / dpiX, kTwipsPerInch / dpiY};
}

double Along(const Scale& scale, Dimension dimension) {
  return dimension == Dimension::kWidth || dimension == Dimension::kLeft ? scale.x : scale.y;
}

// Whole pixels for a number of twips, rounded to the nearest (halves away
// from zero).
Expected<int> ToPixels(float twips, double twipsPerPixel) {
  const double pixels = std::round(static_cast<double>(twips) / twipsPerPixel);
  if (!std::isfinite(pixels) || pixels > std::numeric_limits<int>::max() ||
      pixels < std::numeric_limits<int>::min()) {
    return Status(code::kOverflow);
  }
  return static_cast<int>(pixels);
}

float ToTwips(int pixels, double twipsPerPixel) { return static_cast<float>(pixels * twipsPerPixel); }

QColor ToQColor(Color color) {
  if (color.kind == Color::Kind::kRgb) return QColor::fromRgb(static_cast<QRgb>(color.value));
  // The user's colour scheme: the window background is the background of
  // text and list views (white in the usual schemes), the window text their
  // text colour.
  const QPalette palette = QApplication::palette();
  switch (color.value) {
    case kSystemWindowBackground: return palette.color(QPalette::Active, QPalette::Base);
    case kSystemWindowText: return palette.color(QPalette::Active, QPalette::Text);
    default: return palette.color(QPalette::Active, QPalette::Window);
  }
}

QString ImageResource(Image image) {
  switch (image) {
    case Image::kCorner: return QStringLiteral(":/corner.bmp");
    case Image::kCentre: return QStringLiteral(":/centre.bmp");
    case Image::kLauncherIcon: return QStringLiteral(":/launcher.ico");
  }
  return {};
}

// A picture box without border: its picture at the picture's own size in its
// top-left corner, never scaled, and its background colour in the part the
// picture leaves free.
class PictureBox final : public QWidget {
 public:
  PictureBox(QWidget* parent, const QColor& backColor, QImage picture)
      : QWidget(parent), backColor_(backColor), picture_(std::move(picture)) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), backColor_);
    // One picture pixel to one device pixel, whatever the screen's scaling.
    picture_.setDevicePixelRatio(devicePixelRatioF());
    painter.drawImage(QPointF(0, 0), picture_);
  }

 private:
  QColor backColor_;
  QImage picture_;
};

QString ControlObjectName(ControlId id) { return ToQString(ControlName(id)); }

// Sets a geometry from twips given at the definition's density.
Status PlaceFromDefinition(QWidget* widget, float left, float top, float width, float height, const Scale& scale) {
  SPC_TRY_ASSIGN(const int x, ToPixels(left, scale.x));
  SPC_TRY_ASSIGN(const int y, ToPixels(top, scale.y));
  SPC_TRY_ASSIGN(const int w, ToPixels(width, scale.x));
  SPC_TRY_ASSIGN(const int h, ToPixels(height, scale.y));
  widget->setGeometry(x, y, w, h);
  return kOk;
}

// The word-wrapped, auto-sized label keeps its width; its height follows the
// caption.
void AutoSizeLabel(QLabel* label) {
  const int height = label->heightForWidth(label->width());
  if (height > 0) label->resize(label->width(), height);
}

#ifdef SPC_HAVE_XCB
// Keeps the window off the taskbar on X11. The state is written on the
// unmapped window, where the window manager reads it at map time; Qt merges
// its own states into the property without dropping this one.
void SkipTaskbar(QWidget* window) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return;
  xcb_connection_t* connection = x11->connection();
  auto intern = [connection](const char* name) -> xcb_atom_t {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (reply == nullptr) return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
  };
  const xcb_atom_t state = intern("_NET_WM_STATE");
  const xcb_atom_t skipTaskbar = intern("_NET_WM_STATE_SKIP_TASKBAR");
  if (state == XCB_ATOM_NONE || skipTaskbar == XCB_ATOM_NONE) return;
  const auto id = static_cast<xcb_window_t>(window->winId());
  xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &skipTaskbar);
  xcb_flush(connection);
}
#else
void SkipTaskbar(QWidget*) {}
#endif

}  // namespace

QtToolkit::QtToolkit() {
  const WindowDefinition& form = kForm3Definition.window;
  // Without a screen to measure, the common 96 dots per inch.
  const Expected<Scale> screenScale = ScreenScale();
  const Scale scale = screenScale.ok() ? *screenScale : Scale{15, 15};

  // No frame, no title bar, no minimise or maximise command; a tool window
  // has no taskbar button.
  window_ = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint);
  window_->setObjectName(ControlObjectName(ControlId::kForm3));
  window_->setWindowTitle(ToQString(form.caption));
  window_->setWindowIcon(QIcon(ImageResource(form.icon)));
  QPalette palette = window_->palette();
  palette.setColor(QPalette::Window, ToQColor(form.backColor));
  window_->setPalette(palette);
  window_->setAutoFillBackground(true);
  // The defined client size; the system chooses the first position.
  const Expected<int> width = ToPixels(form.clientWidth, scale.x);
  const Expected<int> height = ToPixels(form.clientHeight, scale.y);
  if (width.ok() && height.ok()) window_->setFixedSize(*width, *height);

  // Children are stacked in creation order, the last in front: Label1 at the
  // back, Picture5 in front.
  const LabelDefinition& label = kForm3Definition.label1;
  auto* label1 = new QLabel(window_.get());
  label1->setObjectName(ControlObjectName(label.id));
  label1->setTextFormat(Qt::PlainText);
  label1->setWordWrap(label.wordWrap);
  label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label1->setAutoFillBackground(true);
  QPalette labelPalette = label1->palette();
  labelPalette.setColor(QPalette::Window, ToQColor(label.backColor));
  labelPalette.setColor(QPalette::WindowText, ToQColor(label.foreColor));
  label1->setPalette(labelPalette);
  QFont font(ToQString(label.font.name));
  font.setPointSizeF(label.font.points);
  font.setWeight(static_cast<QFont::Weight>(label.font.weight));
  font.setItalic(label.font.italic);
  font.setUnderline(label.font.underline);
  font.setStrikeOut(label.font.strikethrough);
  label1->setFont(font);
  (void)PlaceFromDefinition(label1, label.left, label.top, label.width, label.height, scale);

  for (auto it = kForm3Definition.pictures.rbegin(); it != kForm3Definition.pictures.rend(); ++it) {
    auto* box = new PictureBox(window_.get(), ToQColor(it->backColor), QImage(ImageResource(it->picture)));
    box->setObjectName(ControlObjectName(it->id));
    (void)PlaceFromDefinition(box, it->left, it->top, it->width, it->height, scale);
  }
}

QtToolkit::~QtToolkit() = default;

Expected<QWidget*> QtToolkit::Widget(ControlId control) const {
  // Once unloaded, the window and its controls are gone.
  if (!window_) return Status(code::kInvalidOperation);
  if (control == ControlId::kForm3) return window_.get();
  QWidget* child = window_->findChild<QWidget*>(ControlObjectName(control), Qt::FindDirectChildrenOnly);
  if (child == nullptr) return Status(code::kMemberNotFound);
  return child;
}

Expected<float> QtToolkit::ScreenWidth() {
  SPC_TRY_ASSIGN(const Scale scale, ScreenScale());
  return ToTwips(QGuiApplication::primaryScreen()->geometry().width(), scale.x);
}

Expected<float> QtToolkit::ScreenHeight() {
  SPC_TRY_ASSIGN(const Scale scale, ScreenScale());
  return ToTwips(QGuiApplication::primaryScreen()->geometry().height(), scale.y);
}

Expected<float> QtToolkit::Get(ControlId control, Dimension dimension) {
  SPC_TRY_ASSIGN(QWidget* const widget, Widget(control));
  SPC_TRY_ASSIGN(const Scale scale, ScreenScale());
  // A top-level window without frame: its outer and inner geometry agree,
  // and its position is on the screen; a control's is in the client area.
  const QRect geometry = widget->geometry();
  int pixels = 0;
  switch (dimension) {
    case Dimension::kWidth: pixels = geometry.width(); break;
    case Dimension::kHeight: pixels = geometry.height(); break;
    case Dimension::kLeft: pixels = geometry.x(); break;
    case Dimension::kTop: pixels = geometry.y(); break;
  }
  return ToTwips(pixels, Along(scale, dimension));
}

Status QtToolkit::Set(ControlId control, Dimension dimension, float twips) {
  SPC_TRY_ASSIGN(QWidget* const widget, Widget(control));
  SPC_TRY_ASSIGN(const Scale scale, ScreenScale());
  SPC_TRY_ASSIGN(const int pixels, ToPixels(twips, Along(scale, dimension)));
  const bool size = dimension == Dimension::kWidth || dimension == Dimension::kHeight;
  if (size && pixels < 0) return Status(code::kInvalidArgument);

  if (control == ControlId::kForm3) {
    // The window cannot be resized by the user: its size is fixed to the one
    // the program sets.
    switch (dimension) {
      case Dimension::kWidth: widget->setFixedWidth(pixels); break;
      case Dimension::kHeight: widget->setFixedHeight(pixels); break;
      case Dimension::kLeft: widget->move(pixels, widget->y()); break;
      case Dimension::kTop: widget->move(widget->x(), pixels); break;
    }
    return kOk;
  }

  QRect geometry = widget->geometry();
  switch (dimension) {
    case Dimension::kWidth: geometry.setWidth(pixels); break;
    case Dimension::kHeight: geometry.setHeight(pixels); break;
    case Dimension::kLeft: geometry.moveLeft(pixels); break;
    case Dimension::kTop: geometry.moveTop(pixels); break;
  }
  widget->setGeometry(geometry);
  if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && dimension == Dimension::kWidth) {
    AutoSizeLabel(label);
  }
  return kOk;
}

Status QtToolkit::SetVisible(ControlId control, bool visible) {
  SPC_TRY_ASSIGN(QWidget* const widget, Widget(control));
  if (control != ControlId::kForm3 || !visible) {
    widget->setVisible(visible);
    return kOk;
  }
  if (widget->isVisible()) return kOk;
  // The window appears at once: its state stays normal (sized to the
  // screen, neither maximised nor full screen), and it is mapped and painted
  // before this returns.
  widget->setWindowState(Qt::WindowNoState);
  SkipTaskbar(widget);
  widget->show();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  return kOk;
}

Expected<std::u16string> QtToolkit::Caption(ControlId control) {
  SPC_TRY_ASSIGN(QWidget* const widget, Widget(control));
  if (control == ControlId::kForm3) return FromQString(widget->windowTitle());
  if (auto* label = qobject_cast<QLabel*>(widget)) return FromQString(label->text());
  return Status(code::kMemberNotFound);
}

Status QtToolkit::SetCaption(ControlId control, const std::u16string& caption) {
  SPC_TRY_ASSIGN(QWidget* const widget, Widget(control));
  if (control == ControlId::kForm3) {
    widget->setWindowTitle(ToQString(caption));
    return kOk;
  }
  auto* label = qobject_cast<QLabel*>(widget);
  if (label == nullptr) return Status(code::kMemberNotFound);
  label->setText(ToQString(caption));
  AutoSizeLabel(label);
  return kOk;
}

Status QtToolkit::LoadWindow() {
  // The window is loaded from start-up until its unload; the run time loads
  // it once and never again after an unload.
  return window_ ? kOk : Status(code::kInvalidOperation);
}

Status QtToolkit::UnloadWindow() {
  if (!window_) return kOk;
  window_->hide();
  window_.reset();
  // Let the display server see the window go now, not at the process's end.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  return kOk;
}

Expected<std::int32_t> QtToolkit::MessageBox(const std::u16string& prompt, std::int32_t buttons,
                                             const std::u16string& title) {
  // The launcher asks only for the single OK button without icon.
  if (buttons != kOkOnly) return Status(code::kInvalidArgument);
  QMessageBox box(window_ && window_->isVisible() ? window_.get() : nullptr);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.setIcon(QMessageBox::NoIcon);
  box.setTextFormat(Qt::PlainText);
  box.setWindowTitle(ToQString(title));
  box.setText(ToQString(prompt));
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
  return kAnswerOk;
}

Expected<std::u16string> QtToolkit::DirectorySearch(const std::u16string& path, std::int32_t attributes) {
  return posix::DirectorySearch(path, attributes);
}

Expected<std::int32_t> QtToolkit::TextCompare(const std::u16string& left, const std::u16string& right) {
  const int order = QString::compare(ToQString(left), ToQString(right), Qt::CaseInsensitive);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

bool QtToolkit::ExactEqual(const std::u16string& left, const std::u16string& right) { return left == right; }

}  // namespace spc::qt
