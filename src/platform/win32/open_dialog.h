// The Open dialog through the common dialog library (GetOpenFileNameW),
// driven by the dispatch ids of the common dialog control: DialogTitle,
// Flags and Filter are kept until ShowOpen; FileName holds the chosen path,
// and keeps its value when the user cancels.
#pragma once

#include <cstdint>
#include <string>

#include "platform/open_dialog.h"
#include "platform/win32/windows_api.h"

namespace spc::win32 {

// "description|pattern|description|pattern" as the double-NUL-terminated
// list of pairs that the Open dialog takes.
std::wstring FilterPairs(const std::u16string& filter);

class Win32OpenDialog : public OpenDialog {
 public:
  // `owner` gives the window the dialog stands over at the moment it opens.
  using OwnerFunction = HWND (*)(void* context);
  Win32OpenDialog(OwnerFunction owner, void* context) : owner_(owner), context_(context) {}

  Status PutProperty(DispId id, const Variant& value) override;
  Expected<Variant> GetProperty(DispId id) override;
  Status Invoke(DispId id) override;

 private:
  Status ShowOpen();

  OwnerFunction owner_;
  void* context_;
  std::u16string title_;
  std::u16string filter_;
  std::u16string fileName_;
  std::int32_t flags_ = 0;
};

}  // namespace spc::win32
