#include "platform/win32/open_dialog.h"

#include <commdlg.h>

#include <vector>

#include "platform/win32/wide.h"

namespace spc::win32 {

namespace {

// The longest path the dialog can return, in UTF-16 code units.
constexpr std::size_t kMaxPath = 32768;

Expected<std::u16string> AsString(const Variant& value) { return ToString(value); }

}  // namespace

std::wstring FilterPairs(const std::u16string& filter) {
  std::wstring pairs = Wide(filter);
  for (wchar_t& c : pairs) {
    if (c == L'|') c = L'\0';
  }
  pairs.push_back(L'\0');
  pairs.push_back(L'\0');
  return pairs;
}

Status Win32OpenDialog::PutProperty(DispId id, const Variant& value) {
  switch (id) {
    case dispid::kDialogTitle: {
      SPC_TRY_ASSIGN(title_, AsString(value));
      return kOk;
    }
    case dispid::kFilter: {
      SPC_TRY_ASSIGN(filter_, AsString(value));
      return kOk;
    }
    case dispid::kFileName: {
      SPC_TRY_ASSIGN(fileName_, AsString(value));
      return kOk;
    }
    case dispid::kFlags:
      if (value.type != VarType::kI4) return Status(code::kTypeMismatch);
      flags_ = value.integer;
      return kOk;
    default:
      return Status(code::kMemberNotFound);
  }
}

Expected<Variant> Win32OpenDialog::GetProperty(DispId id) {
  switch (id) {
    case dispid::kFileName:
      return Variant::String(fileName_);
    case dispid::kDialogTitle:
      return Variant::String(title_);
    case dispid::kFilter:
      return Variant::String(filter_);
    case dispid::kFlags:
      return Variant::Int32(flags_);
    default:
      return Status(code::kMemberNotFound);
  }
}

Status Win32OpenDialog::Invoke(DispId id) {
  if (id != dispid::kShowOpen) return Status(code::kMemberNotFound);
  return ShowOpen();
}

Status Win32OpenDialog::ShowOpen() {
  std::vector<wchar_t> file(kMaxPath, L'\0');
  const std::wstring initial = Wide(fileName_);
  if (initial.size() < kMaxPath) std::copy(initial.begin(), initial.end(), file.begin());
  const std::wstring filter = FilterPairs(filter_);
  const std::wstring title = Wide(title_);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner_ ? owner_(context_) : nullptr;
  ofn.lpstrFilter = filter_.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 0;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = title_.empty() ? nullptr : title.c_str();
  // Exactly the flags set by the caller, nothing added.
  ofn.Flags = static_cast<DWORD>(flags_);

  if (::GetOpenFileNameW(&ofn)) {
    fileName_ = Utf16(file.data());
    flags_ = static_cast<std::int32_t>(ofn.Flags);
    return kOk;
  }
  // A cancel is a normal return and leaves FileName as it was; a dialog that
  // could not open is a failure.
  if (::CommDlgExtendedError() == 0) return kOk;
  return Status(code::kFail);
}

}  // namespace spc::win32
