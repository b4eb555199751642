// The window toolkit on Win32: Form3 as a frameless popup window owned by a
// hidden window (so that it has no taskbar button), its five picture boxes
// as child windows painting their bitmap at its own size, Label1 as a hidden
// static control, sizes in twips at the display's logical DPI, and the
// message box, directory search and string comparisons of the system.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// clang-format off
// <windows.h> before the toolkit's interface, whose MessageBox it would rename.
#include "platform/win32/windows_api.h"
#include "platform/toolkit.h"
// clang-format on

namespace spc::win32 {

// Window classes and control ids, for the tests that look at the window.
inline constexpr wchar_t kForm3Class[] = L"SpcForm3";
inline constexpr wchar_t kOwnerClass[] = L"SpcForm3Owner";
inline constexpr wchar_t kPictureBoxClass[] = L"SpcPictureBox";
// A control's id is this plus its TabIndex: Label1 1000, Picture1 1001 ...
inline constexpr int kControlIdBase = 1000;

class Win32Toolkit : public Toolkit {
 public:
  explicit Win32Toolkit(HINSTANCE instance);
  ~Win32Toolkit() override;
  Win32Toolkit(const Win32Toolkit&) = delete;
  Win32Toolkit& operator=(const Win32Toolkit&) = delete;

  // Creates Form3 and its controls from their definition, hidden, stacked
  // and with the defined sizes. Done once before Load is raised.
  Status CreateForm3();

  HWND form3() const { return form_; }
  // The hidden window that owns Form3.
  HWND owner() const { return owner_; }
  // The child window of a control; nullptr for Form3 itself or when unloaded.
  HWND window(ControlId control) const;
  // Twips per pixel on each axis (15 at 96 DPI).
  double twipsPerPixelX() const { return twipsPerPixelX_; }
  double twipsPerPixelY() const { return twipsPerPixelY_; }

  Expected<float> ScreenWidth() override;
  Expected<float> ScreenHeight() override;
  Expected<float> Get(ControlId control, Dimension dimension) override;
  Status Set(ControlId control, Dimension dimension, float twips) override;
  Status SetVisible(ControlId control, bool visible) override;
  Expected<std::u16string> Caption(ControlId control) override;
  Status SetCaption(ControlId control, const std::u16string& caption) override;
  Status LoadWindow() override;
  Status UnloadWindow() override;
  Expected<std::int32_t> MessageBox(const std::u16string& prompt, std::int32_t buttons,
                                    const std::u16string& title) override;
  Expected<std::u16string> DirectorySearch(const std::u16string& path, std::int32_t attributes) override;
  Expected<std::int32_t> TextCompare(const std::u16string& left, const std::u16string& right) override;
  bool ExactEqual(const std::u16string& left, const std::u16string& right) override;

  // What a picture box needs to paint itself; also read by the window
  // procedures.
  struct PictureBox {
    Win32Toolkit* toolkit = nullptr;
    HBITMAP bitmap = nullptr;
    COLORREF backColor = 0;
    int systemColor = -1;  // a system colour index instead of backColor
    int tabIndex = 0;
  };

 private:
  static LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK PictureProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  Status RegisterClasses();
  Status ResizeLabelToCaption();
  void FocusNextPicture(HWND from, bool backwards);
  HWND Target(ControlId control) const;

  HINSTANCE instance_;
  double twipsPerPixelX_ = 15;
  double twipsPerPixelY_ = 15;
  HWND owner_ = nullptr;
  HWND form_ = nullptr;
  HWND label_ = nullptr;
  std::array<HWND, 5> pictureWindows_{};  // Picture1 to Picture5
  std::array<PictureBox, 5> pictures_{};  // Picture1 to Picture5
  HBITMAP corner_ = nullptr;
  HBITMAP centre_ = nullptr;
  HICON iconBig_ = nullptr;
  HICON iconSmall_ = nullptr;
  HFONT labelFont_ = nullptr;
  HBRUSH formBrush_ = nullptr;
  HBRUSH labelBrush_ = nullptr;
};

}  // namespace spc::win32
