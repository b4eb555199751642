// spc-launcher.exe: creates Form3 from its definition, raises its Load event
// (the whole program) and ends when Load has returned.

// clang-format off
// <windows.h> first, through the header that takes back its MessageBox macro.
#include "platform/win32/windows_api.h"
// clang-format on

#include <ole2.h>

#include "launcher/form3.h"
#include "platform/win32/com_spreadsheet.h"
#include "platform/win32/open_dialog.h"
#include "platform/win32/toolkit.h"

namespace {

HWND DialogOwner(void* toolkit) { return static_cast<spc::win32::Win32Toolkit*>(toolkit)->form3(); }

int Run(HINSTANCE instance) {
  spc::win32::Win32Toolkit toolkit(instance);
  spc::win32::Win32OpenDialog commonDialog1(DialogOwner, &toolkit);
  spc::win32::ComSpreadsheet spreadsheet;
  spc::SharedObject<spc::SpreadsheetGlobal> spreadsheetGlobal;
  spc::Platform platform{toolkit, commonDialog1, spreadsheet, spreadsheetGlobal};

  // The window exists, hidden, before Load runs; when it cannot be made,
  // Load's statements fail one by one and the program ends.
  [[maybe_unused]] const spc::Status created = toolkit.CreateForm3();

  int exitCode = 0;
  {
    spc::Form3 form(platform);
    form.Load();
    exitCode = static_cast<int>(form.outcome());
    // The window instance, and with it the spreadsheet instance's
    // reference, goes here.
  }
  // Load has returned: the program ends, even if the unload failed, so that
  // no frameless full-screen window is ever left behind.
  if (toolkit.form3()) ::DestroyWindow(toolkit.form3());
  return exitCode;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // OLE in a single-threaded apartment: the user-interface thread makes every
  // automation call, and the Open dialog's shell view (drag and drop) needs
  // OLE rather than bare COM.
  const HRESULT ole = ::OleInitialize(nullptr);
  const int exitCode = Run(instance);
  // References still held (the global object's) are released before OLE
  // goes; the spreadsheet application stays open.
  if (SUCCEEDED(ole)) ::OleUninitialize();
  return exitCode;
}
