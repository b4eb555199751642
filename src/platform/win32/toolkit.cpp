#include "platform/win32/toolkit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "launcher/form3_definition.h"
#include "platform/win32/dir_search.h"
#include "platform/win32/resource_ids.h"
#include "platform/win32/wide.h"

namespace spc::win32 {

namespace {

constexpr double kTwipsPerInch = 1440;

// Picture1 to Picture5 at index 0 to 4.
int PictureIndex(ControlId control) {
  switch (control) {
    case ControlId::kPicture1:
      return 0;
    case ControlId::kPicture2:
      return 1;
    case ControlId::kPicture3:
      return 2;
    case ControlId::kPicture4:
      return 3;
    case ControlId::kPicture5:
      return 4;
    default:
      return -1;
  }
}

COLORREF ToColorRef(std::uint32_t rrggbb) { return RGB((rrggbb >> 16) & 0xFF, (rrggbb >> 8) & 0xFF, rrggbb & 0xFF); }

// Twips to whole pixels, rounded to the nearest. Positions beyond what a
// window can take are an overflow.
Expected<int> ToPixels(double twips, double twipsPerPixel) {
  const double pixels = std::nearbyint(twips / twipsPerPixel);
  if (!std::isfinite(pixels) || std::fabs(pixels) > 1 << 24) return Status(code::kOverflow);
  return static_cast<int>(pixels);
}

Status LastError() { return FromWin32Error(::GetLastError()); }

}  // namespace

Win32Toolkit::Win32Toolkit(HINSTANCE instance) : instance_(instance) {
  if (HDC screen = ::GetDC(nullptr)) {
    const int dpiX = ::GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
    if (dpiX > 0) twipsPerPixelX_ = kTwipsPerInch / dpiX;
    if (dpiY > 0) twipsPerPixelY_ = kTwipsPerInch / dpiY;
    ::ReleaseDC(nullptr, screen);
  }
}

Win32Toolkit::~Win32Toolkit() {
  if (form_) ::DestroyWindow(form_);
  if (owner_) ::DestroyWindow(owner_);
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(corner_), static_cast<HGDIOBJ>(centre_), static_cast<HGDIOBJ>(labelFont_),
                         static_cast<HGDIOBJ>(formBrush_), static_cast<HGDIOBJ>(labelBrush_)}) {
    if (object) ::DeleteObject(object);
  }
  if (iconBig_) ::DestroyIcon(iconBig_);
  if (iconSmall_) ::DestroyIcon(iconSmall_);
}

Status Win32Toolkit::RegisterClasses() {
  const Form3Definition& def = kForm3Definition;
  if (!formBrush_) formBrush_ = ::CreateSolidBrush(ToColorRef(def.window.backColor.value));
  if (!labelBrush_) labelBrush_ = ::CreateSolidBrush(ToColorRef(def.label1.backColor.value));
  if (!iconBig_) {
    iconBig_ = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(SPC_IDI_LAUNCHER), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
    iconSmall_ = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(SPC_IDI_LAUNCHER), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
  }
  if (!corner_) {
    corner_ = static_cast<HBITMAP>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(SPC_IDB_CORNER), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  }
  if (!centre_) {
    centre_ = static_cast<HBITMAP>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(SPC_IDB_CENTRE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  }

  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.style = CS_DBLCLKS;
  form.lpfnWndProc = FormProc;
  form.hInstance = instance_;
  form.hIcon = iconBig_;
  form.hIconSm = iconSmall_;
  form.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  form.hbrBackground = formBrush_;
  form.lpszClassName = kForm3Class;

  WNDCLASSEXW owner{};
  owner.cbSize = sizeof owner;
  owner.lpfnWndProc = ::DefWindowProcW;
  owner.hInstance = instance_;
  owner.hIcon = iconBig_;
  owner.lpszClassName = kOwnerClass;

  WNDCLASSEXW picture{};
  picture.cbSize = sizeof picture;
  picture.style = CS_DBLCLKS;
  picture.lpfnWndProc = PictureProc;
  picture.hInstance = instance_;
  picture.hCursor = form.hCursor;
  picture.lpszClassName = kPictureBoxClass;

  for (const WNDCLASSEXW* c : {&form, &owner, &picture}) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(instance_, c->lpszClassName, &existing)) continue;
    if (!::RegisterClassExW(c)) return LastError();
  }
  return kOk;
}

Status Win32Toolkit::CreateForm3() {
  if (form_) return kOk;
  SPC_TRY(RegisterClasses());
  const Form3Definition& def = kForm3Definition;

  // The hidden owner keeps Form3 off the taskbar: an owned window gets no
  // taskbar button.
  if (!owner_) {
    owner_ = ::CreateWindowExW(0, kOwnerClass, std::wstring(Wide(def.window.caption)).c_str(), WS_POPUP, 0, 0, 0, 0,
                               nullptr, nullptr, instance_, nullptr);
    if (!owner_) return LastError();
  }

  // No frame, caption, system menu, minimise or maximise box. The system
  // places the window (at 0, 0 for a popup); Load moves it before showing it.
  SPC_TRY_ASSIGN(const int width, ToPixels(def.window.clientWidth, twipsPerPixelX_));
  SPC_TRY_ASSIGN(const int height, ToPixels(def.window.clientHeight, twipsPerPixelY_));
  form_ = ::CreateWindowExW(0, kForm3Class, Wide(def.window.caption).c_str(), WS_POPUP | WS_CLIPCHILDREN, CW_USEDEFAULT,
                            CW_USEDEFAULT, width, height, owner_, nullptr, instance_, this);
  if (!form_) return LastError();
  ::SendMessageW(form_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(iconBig_));
  ::SendMessageW(form_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(iconSmall_));

  // The picture boxes, Picture5 to Picture1.
  for (const PictureBoxDefinition& p : def.pictures) {
    const int index = PictureIndex(p.id);
    PictureBox& box = pictures_[index];
    box.toolkit = this;
    box.bitmap = p.picture == Image::kCentre ? centre_ : corner_;
    box.systemColor = p.backColor.kind == Color::Kind::kSystem ? static_cast<int>(p.backColor.value) : -1;
    box.backColor = ToColorRef(p.backColor.value);
    box.tabIndex = p.tabIndex;
    SPC_TRY_ASSIGN(const int x, ToPixels(p.left, twipsPerPixelX_));
    SPC_TRY_ASSIGN(const int y, ToPixels(p.top, twipsPerPixelY_));
    SPC_TRY_ASSIGN(const int w, ToPixels(p.width, twipsPerPixelX_));
    SPC_TRY_ASSIGN(const int h, ToPixels(p.height, twipsPerPixelY_));
    pictureWindows_[index] = ::CreateWindowExW(
        0, kPictureBoxClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, x, y, w, h, form_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlIdBase + p.tabIndex)), instance_, &box);
    if (!pictureWindows_[index]) return LastError();
  }

  // Label1: a static control whose caption never shows.
  const LabelDefinition& l = def.label1;
  SPC_TRY_ASSIGN(const int lx, ToPixels(l.left, twipsPerPixelX_));
  SPC_TRY_ASSIGN(const int ly, ToPixels(l.top, twipsPerPixelY_));
  SPC_TRY_ASSIGN(const int lw, ToPixels(l.width, twipsPerPixelX_));
  SPC_TRY_ASSIGN(const int lh, ToPixels(l.height, twipsPerPixelY_));
  label_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_LEFT | SS_NOPREFIX, lx, ly,
                             lw, lh, form_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlIdBase + l.tabIndex)),
                             instance_, nullptr);
  if (!label_) return LastError();
  if (!labelFont_) {
    const int points10 = static_cast<int>(std::lround(l.font.points * 10));
    const double dpiY = kTwipsPerInch / twipsPerPixelY_;
    labelFont_ =
        ::CreateFontW(-static_cast<int>(std::lround(points10 * dpiY / 720)), 0, 0, 0, l.font.weight, l.font.italic,
                      l.font.underline, l.font.strikethrough, static_cast<DWORD>(l.font.charset), OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Wide(l.font.name).c_str());
  }
  ::SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_), FALSE);

  // Stacking from back to front: Label1, then Picture1 up to Picture5, which
  // ends in front of all others.
  ::SetWindowPos(label_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  for (int i = 0; i < 5; ++i) {
    ::SetWindowPos(pictureWindows_[i], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return kOk;
}

HWND Win32Toolkit::window(ControlId control) const {
  if (control == ControlId::kLabel1) return label_;
  const int index = PictureIndex(control);
  return index < 0 ? nullptr : pictureWindows_[index];
}

HWND Win32Toolkit::Target(ControlId control) const { return control == ControlId::kForm3 ? form_ : window(control); }

Expected<float> Win32Toolkit::ScreenWidth() {
  return static_cast<float>(::GetSystemMetrics(SM_CXSCREEN) * twipsPerPixelX_);
}

Expected<float> Win32Toolkit::ScreenHeight() {
  return static_cast<float>(::GetSystemMetrics(SM_CYSCREEN) * twipsPerPixelY_);
}

Expected<float> Win32Toolkit::Get(ControlId control, Dimension dimension) {
  const HWND hwnd = Target(control);
  if (!hwnd) return Status(code::kEmptyReference);
  RECT r{};
  if (!::GetWindowRect(hwnd, &r)) return LastError();
  // A control's position is measured in its window's client area.
  if (control != ControlId::kForm3) ::MapWindowPoints(HWND_DESKTOP, form_, reinterpret_cast<POINT*>(&r), 2);
  switch (dimension) {
    case Dimension::kWidth:
      return static_cast<float>((r.right - r.left) * twipsPerPixelX_);
    case Dimension::kHeight:
      return static_cast<float>((r.bottom - r.top) * twipsPerPixelY_);
    case Dimension::kLeft:
      return static_cast<float>(r.left * twipsPerPixelX_);
    case Dimension::kTop:
      return static_cast<float>(r.top * twipsPerPixelY_);
  }
  return Status(code::kInvalidArgument);
}

Status Win32Toolkit::Set(ControlId control, Dimension dimension, float twips) {
  const HWND hwnd = Target(control);
  if (!hwnd) return Status(code::kEmptyReference);
  RECT r{};
  if (!::GetWindowRect(hwnd, &r)) return LastError();
  if (control != ControlId::kForm3) ::MapWindowPoints(HWND_DESKTOP, form_, reinterpret_cast<POINT*>(&r), 2);
  const bool horizontal = dimension == Dimension::kWidth || dimension == Dimension::kLeft;
  SPC_TRY_ASSIGN(const int pixels, ToPixels(twips, horizontal ? twipsPerPixelX_ : twipsPerPixelY_));
  int x = r.left, y = r.top, w = r.right - r.left, h = r.bottom - r.top;
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  switch (dimension) {
    case Dimension::kWidth:
      w = pixels;
      flags |= SWP_NOMOVE;
      break;
    case Dimension::kHeight:
      h = pixels;
      flags |= SWP_NOMOVE;
      break;
    case Dimension::kLeft:
      x = pixels;
      flags |= SWP_NOSIZE;
      break;
    case Dimension::kTop:
      y = pixels;
      flags |= SWP_NOSIZE;
      break;
  }
  if ((dimension == Dimension::kWidth || dimension == Dimension::kHeight) && pixels < 0) {
    return Status(code::kInvalidArgument);
  }
  if (!::SetWindowPos(hwnd, nullptr, x, y, w, h, flags)) return LastError();
  return kOk;
}

Status Win32Toolkit::SetVisible(ControlId control, bool visible) {
  const HWND hwnd = Target(control);
  if (!hwnd) return Status(code::kEmptyReference);
  if (control != ControlId::kForm3) {
    ::ShowWindow(hwnd, visible ? SW_SHOWNA : SW_HIDE);
    return kOk;
  }
  if (!visible) {
    ::ShowWindow(hwnd, SW_HIDE);
    return kOk;
  }
  // Shown and painted at once, before anything else runs.
  ::ShowWindow(hwnd, SW_SHOW);
  ::SetForegroundWindow(hwnd);
  ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  return kOk;
}

Expected<std::u16string> Win32Toolkit::Caption(ControlId control) {
  if (control != ControlId::kForm3 && control != ControlId::kLabel1) return Status(code::kInvalidArgument);
  const HWND hwnd = Target(control);
  if (!hwnd) return Status(code::kEmptyReference);
  const int length = ::GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return Utf16(text);
}

Status Win32Toolkit::SetCaption(ControlId control, const std::u16string& caption) {
  if (control != ControlId::kForm3 && control != ControlId::kLabel1) return Status(code::kInvalidArgument);
  const HWND hwnd = Target(control);
  if (!hwnd) return Status(code::kEmptyReference);
  if (!::SetWindowTextW(hwnd, Wide(caption).c_str())) return LastError();
  return control == ControlId::kLabel1 ? ResizeLabelToCaption() : kOk;
}

// AutoSize with WordWrap: the label keeps its width and takes the height of
// its caption wrapped at word breaks to that width.
Status Win32Toolkit::ResizeLabelToCaption() {
  RECT bounds{};
  if (!::GetClientRect(label_, &bounds)) return LastError();
  const int length = ::GetWindowTextLengthW(label_);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(std::max(::GetWindowTextW(label_, text.data(), length + 1), 0)));
  HDC dc = ::GetDC(label_);
  if (!dc) return LastError();
  const HGDIOBJ old = ::SelectObject(dc, labelFont_);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  RECT r{0, 0, bounds.right, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  ::SelectObject(dc, old);
  ::ReleaseDC(label_, dc);
  const int height = std::max<int>(r.bottom - r.top, metrics.tmHeight);
  RECT w{};
  ::GetWindowRect(label_, &w);
  if (!::SetWindowPos(label_, nullptr, 0, 0, w.right - w.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE)) {
    return LastError();
  }
  return kOk;
}

Status Win32Toolkit::LoadWindow() { return form_ ? kOk : CreateForm3(); }

Status Win32Toolkit::UnloadWindow() {
  if (!form_) return kOk;
  const HWND form = form_;
  if (!::DestroyWindow(form)) return LastError();
  return kOk;
}

Expected<std::int32_t> Win32Toolkit::MessageBox(const std::u16string& prompt, std::int32_t buttons,
                                                const std::u16string& title) {
  const int pressed = ::MessageBoxW(form_, Wide(prompt).c_str(), Wide(title).c_str(), static_cast<UINT>(buttons));
  if (pressed == 0) return LastError();
  return pressed;
}

Expected<std::u16string> Win32Toolkit::DirectorySearch(const std::u16string& path, std::int32_t attributes) {
  return win32::DirectorySearch(path, attributes);
}

Expected<std::int32_t> Win32Toolkit::TextCompare(const std::u16string& left, const std::u16string& right) {
  return win32::TextCompare(left, right);
}

bool Win32Toolkit::ExactEqual(const std::u16string& left, const std::u16string& right) { return left == right; }

void Win32Toolkit::FocusNextPicture(HWND from, bool backwards) {
  // The tab order: Label1 (which never takes the focus), Picture1 to Picture5.
  std::vector<const PictureBox*> order;
  for (const PictureBox& p : pictures_) order.push_back(&p);
  std::sort(order.begin(), order.end(), [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
  const auto* current = reinterpret_cast<const PictureBox*>(::GetWindowLongPtrW(from, GWLP_USERDATA));
  auto at = std::find(order.begin(), order.end(), current);
  if (at == order.end()) return;
  const std::size_t n = order.size();
  const std::size_t next = (static_cast<std::size_t>(at - order.begin()) + (backwards ? n - 1 : 1)) % n;
  const int index = static_cast<int>(order[next] - pictures_.data());
  ::SetFocus(pictureWindows_[index]);
}

LRESULT CALLBACK Win32Toolkit::FormProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32Toolkit*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self) {
    switch (message) {
      case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lparam) == self->label_) {
          const LabelDefinition& l = kForm3Definition.label1;
          const auto dc = reinterpret_cast<HDC>(wparam);
          ::SetTextColor(dc, ToColorRef(l.foreColor.value));
          ::SetBkColor(dc, ToColorRef(l.backColor.value));
          return reinterpret_cast<LRESULT>(self->labelBrush_);
        }
        break;
      case WM_SETFOCUS:
        // The first control in the tab order that takes the focus.
        if (self->pictureWindows_[0]) ::SetFocus(self->pictureWindows_[0]);
        return 0;
      case WM_NCDESTROY:
        // Unloaded: the window and its controls are gone.
        self->form_ = nullptr;
        self->label_ = nullptr;
        self->pictureWindows_.fill(nullptr);
        break;
      default:
        break;
    }
  }
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT CALLBACK Win32Toolkit::PictureProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  const auto* box = reinterpret_cast<const PictureBox*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = ::BeginPaint(hwnd, &ps);
      RECT client{};
      ::GetClientRect(hwnd, &client);
      if (box) {
        // The box's background in the strip the picture leaves free, and the
        // picture at its own size in the top-left corner.
        const COLORREF back = box->systemColor >= 0 ? ::GetSysColor(box->systemColor) : box->backColor;
        const HBRUSH brush = ::CreateSolidBrush(back);
        ::FillRect(dc, &client, brush);
        ::DeleteObject(brush);
        BITMAP bm{};
        if (box->bitmap && ::GetObjectW(box->bitmap, sizeof bm, &bm)) {
          HDC memory = ::CreateCompatibleDC(dc);
          const HGDIOBJ old = ::SelectObject(memory, box->bitmap);
          ::BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, memory, 0, 0, SRCCOPY);
          ::SelectObject(memory, old);
          ::DeleteDC(memory);
        }
      }
      ::EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      ::SetFocus(hwnd);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTTAB;
    case WM_KEYDOWN:
      if (wparam == VK_TAB && box && box->toolkit) {
        box->toolkit->FocusNextPicture(hwnd, ::GetKeyState(VK_SHIFT) < 0);
        return 0;
      }
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace spc::win32
