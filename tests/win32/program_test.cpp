// spc-launcher.exe itself, started as a user starts it: its window while the
// Open dialog stands over it, the pictures on the screen, and the end of the
// program when the dialog is cancelled.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "launcher/form3.h"
#include "platform/win32/toolkit.h"
#include "window_search.h"

#ifndef SPC_LAUNCHER_EXE
#error "SPC_LAUNCHER_EXE must name the built program"
#endif

namespace spc::win32 {
namespace {

using namespace testing;

const std::wstring kTitle = L"Maîtrise du procédé : cartes S.P.C. ...";

std::wstring Widen(const char* text) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
  wide.resize(static_cast<std::size_t>(n - 1));
  return wide;
}

// The program in its own process, ended by the test if it is still running.
class Program {
 public:
  Program() {
    std::wstring command = L"\"" + Widen(SPC_LAUNCHER_EXE) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    started_ = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
  }
  ~Program() {
    if (!started_) return;
    if (::WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(pi_.hProcess, 99);
      ::WaitForSingleObject(pi_.hProcess, 10000);
    }
    ::CloseHandle(pi_.hThread);
    ::CloseHandle(pi_.hProcess);
  }
  bool started() const { return started_; }
  bool Owns(HWND hwnd) const {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    return pid == pi_.dwProcessId;
  }
  // The exit code once the program has ended by itself, or -1.
  int WaitForExit(DWORD milliseconds) {
    if (::WaitForSingleObject(pi_.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<int>(code);
  }

 private:
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  return os << "rgb(" << c.r << ", " << c.g << ", " << c.b << ")";
}
Rgb FromColorRef(COLORREF c) { return {GetRValue(c), GetGValue(c), GetBValue(c)}; }

TEST(Program, CoversTheScreenWithTheFivePicturesUnderTheOpenDialogAndEndsOnCancel) {
  Program program;
  ASSERT_TRUE(program.started());
  const HWND dialog = WaitForWindow([&](HWND h) { return program.Owns(h) && DialogTitled(kTitle)(h); });
  ASSERT_NE(dialog, nullptr) << "the Open dialog did not appear";
  const HWND form = WaitForWindow([&](HWND h) { return program.Owns(h) && ClassOf(h) == kForm3Class; });
  ASSERT_NE(form, nullptr) << "Form3 is not visible under the dialog";

  // The window: the whole screen, no frame, not maximised, no taskbar button.
  const int screenW = ::GetSystemMetrics(SM_CXSCREEN), screenH = ::GetSystemMetrics(SM_CYSCREEN);
  RECT r{};
  ::GetWindowRect(form, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, screenW);
  EXPECT_EQ(r.bottom, screenH);
  const LONG_PTR style = ::GetWindowLongPtrW(form, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_FALSE(::IsZoomed(form));
  EXPECT_FALSE(::IsIconic(form));
  EXPECT_EQ(::GetWindowLongPtrW(form, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
  const HWND owner = ::GetWindow(form, GW_OWNER);
  EXPECT_TRUE(owner && !::IsWindowVisible(owner));
  EXPECT_EQ(TextOf(form), L"plenavo");
  EXPECT_EQ(::GetWindow(dialog, GW_OWNER), form);

  // Label1 is hidden; the pictures sit where the start-up puts them.
  const HWND label = ::GetDlgItem(form, kControlIdBase + 0);
  ASSERT_NE(label, nullptr);
  EXPECT_FALSE(::IsWindowVisible(label));
  HDC screen = ::GetDC(nullptr);
  const double tx = 1440.0 / ::GetDeviceCaps(screen, LOGPIXELSX), ty = 1440.0 / ::GetDeviceCaps(screen, LOGPIXELSY);
  const double W = screenW * tx, H = screenH * ty, size = 1575;
  struct Box {
    int tabIndex;
    double left, top;  // twips
    Rgb ground, disc, strip;
  };
  const Rgb turquoise{0x3C, 0xFF, 0xEC}, white{0xFF, 0xFF, 0xFF}, yellow{0xF8, 0xFF, 0x78}, violet{0xC6, 0x75, 0xEC};
  const Rgb windowColour = FromColorRef(::GetSysColor(COLOR_WINDOW));
  const Box boxes[] = {
      {1, W / 10, H * 9 / 10 - size, turquoise, white, windowColour},
      {2, W / 10, H / 10, turquoise, white, windowColour},
      {3, W * 9 / 10 - size, H / 10, turquoise, white, white},
      {4, W * 9 / 10 - size, H * 9 / 10 - size, turquoise, white, white},
      {5, W * 5 / 10 - size / 2, H * 5 / 10 - size / 2, yellow, violet, white},
  };
  RECT covered{};
  ::GetWindowRect(dialog, &covered);
  ::Sleep(500);  // let the display catch up with the last paint
  for (const Box& b : boxes) {
    SCOPED_TRACE("Picture" + std::to_string(b.tabIndex));
    const HWND box = ::GetDlgItem(form, kControlIdBase + b.tabIndex);
    ASSERT_NE(box, nullptr);
    RECT br{};
    ::GetWindowRect(box, &br);
    const int x = static_cast<int>(std::nearbyint(b.left / tx)), y = static_cast<int>(std::nearbyint(b.top / ty));
    EXPECT_EQ(br.left, x);
    EXPECT_EQ(br.top, y);
    EXPECT_EQ(br.right - br.left, static_cast<int>(std::nearbyint(size / tx)));
    EXPECT_EQ(br.bottom - br.top, static_cast<int>(std::nearbyint(size / ty)));
    RECT overlap{};
    if (::IntersectRect(&overlap, &br, &covered)) continue;  // under the dialog: not on the screen
    auto at = [&](int dx, int dy) { return FromColorRef(::GetPixel(screen, br.left + dx, br.top + dy)); };
    // The picture at its own size, 100 x 100 pixels, in the box's top-left
    // corner; the box's background in the strip it leaves free.
    for (auto [dx, dy] : {std::pair{0, 0}, {99, 0}, {0, 99}, {99, 99}})
      EXPECT_EQ(at(dx, dy), b.ground) << dx << "," << dy;
    EXPECT_EQ(at(50, 90), b.disc);
    const int w = br.right - br.left, h = br.bottom - br.top;
    if (w > 100 && h > 100) {
      for (auto [dx, dy] : {std::pair{100, 0}, {0, 100}, {w - 1, h - 1}})
        EXPECT_EQ(at(dx, dy), b.strip) << dx << "," << dy;
    }
    EXPECT_EQ(FromColorRef(::GetPixel(screen, br.left - 1, br.top - 1)), white);  // the window around it
  }
  ::ReleaseDC(nullptr, screen);

  // Cancel: the program ends without starting anything.
  Press(dialog, IDCANCEL);
  EXPECT_EQ(program.WaitForExit(20000), static_cast<int>(Outcome::kNoFileChosen));
  EXPECT_FALSE(::IsWindow(form));
}

}  // namespace
}  // namespace spc::win32
