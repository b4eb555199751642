// Prints what a top-level window of another process shows, for tests that
// drive the launcher from outside:
//
//   window_probe.exe <exact window title>
//
// Output, UTF-8, one line each: "window <class> <title>", then for every
// descendant "child <class> <visible|hidden> <text>". Exits 1 when no
// top-level window has that title.
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// Writes bytes as they are: no code page conversion on the way to the shell.
void Print(const std::string& line) {
  const std::string data = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

// The text through WM_GETTEXT, which the owning thread answers even while it
// runs a modal loop.
std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           5000, &copied)) {
    return {};
  }
  text.resize(copied);
  return text;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  Print("child " + Utf8(ClassOf(child)) + (IsWindowVisible(child) ? " visible " : " hidden ") + Utf8(TextOf(child)));
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  HWND window = FindWindowW(nullptr, argv[1]);
  if (window == nullptr) return 1;
  Print("window " + Utf8(ClassOf(window)) + " " + Utf8(TextOf(window)));
  EnumChildWindows(window, PrintChild, 0);
  return 0;
}
