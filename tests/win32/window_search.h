// Finding the windows of the program under test, in this process or another:
// the Open dialog, message boxes, Form3.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/windows_api.h"

namespace spc::win32::testing {

inline std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256] = {};
  ::GetClassNameW(hwnd, name, 256);
  return name;
}

inline std::wstring TextOf(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

inline std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> all;
  ::EnumWindows(
      [](HWND hwnd, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
  return all;
}

// The first visible top-level window that `match` accepts, polled until
// `timeout`; nullptr when none appears.
inline HWND WaitForWindow(const std::function<bool(HWND)>& match,
                          std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  do {
    for (HWND hwnd : TopLevelWindows()) {
      if (::IsWindowVisible(hwnd) && match(hwnd)) return hwnd;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < end);
  return nullptr;
}

inline bool IsDialog(HWND hwnd) { return ClassOf(hwnd) == L"#32770"; }

// A dialog box with this title.
inline std::function<bool(HWND)> DialogTitled(std::wstring title) {
  return [title](HWND hwnd) { return IsDialog(hwnd) && TextOf(hwnd) == title; };
}

// A dialog box owned by `owner` (a message box over a dialog).
inline std::function<bool(HWND)> DialogOwnedBy(HWND owner) {
  return [owner](HWND hwnd) { return IsDialog(hwnd) && ::GetWindow(hwnd, GW_OWNER) == owner; };
}

// The texts of a window's direct children.
inline std::vector<std::wstring> ChildTexts(HWND parent) {
  std::vector<std::wstring> texts;
  for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) texts.push_back(TextOf(c));
  return texts;
}

// Presses a dialog's button as a click would, without waiting for what the
// click starts (which may be a modal loop).
inline void Press(HWND dialog, int id) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

// Waits until `hwnd` is gone.
inline bool WaitUntilGone(HWND hwnd, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (::IsWindow(hwnd)) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace spc::win32::testing
