#include "platform/win32/dir_search.h"

#include "platform/toolkit.h"
#include "platform/win32/wide.h"
#include "platform/win32/windows_api.h"

namespace spc::win32 {

Status FromWin32Error(unsigned long error) {
  if (error == ERROR_SUCCESS) return Status(code::kFail);
  return Status(static_cast<std::int32_t>(HRESULT_FROM_WIN32(error)));
}

namespace {

bool Matches(DWORD entry, std::int32_t attributes) {
  if ((entry & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & kDirectories)) return false;
  if ((entry & FILE_ATTRIBUTE_HIDDEN) && !(attributes & kHiddenFiles)) return false;
  if ((entry & FILE_ATTRIBUTE_SYSTEM) && !(attributes & kSystemFiles)) return false;
  return true;
}

// Errors that only mean "nothing of that name is there".
bool IsAbsence(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NO_MORE_FILES;
}

class FindHandle {
 public:
  explicit FindHandle(HANDLE h) : h_(h) {}
  ~FindHandle() {
    if (h_ != INVALID_HANDLE_VALUE) ::FindClose(h_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

}  // namespace

Expected<std::u16string> DirectorySearch(const std::u16string& path, std::int32_t attributes) {
  // An embedded NUL would silently cut the name short.
  if (path.empty() || path.find(u'\0') != std::u16string::npos) return Status(code::kBadFileName);
  const std::wstring wide = Wide(path);

  WIN32_FIND_DATAW entry{};
  const FindHandle find(::FindFirstFileW(wide.c_str(), &entry));
  if (find.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (IsAbsence(error)) return std::u16string();
    return FromWin32Error(error);
  }
  do {
    if (Matches(entry.dwFileAttributes, attributes)) return Utf16(entry.cFileName);
  } while (::FindNextFileW(find.get(), &entry));
  const DWORD error = ::GetLastError();
  if (error != ERROR_NO_MORE_FILES) return FromWin32Error(error);
  return std::u16string();
}

Expected<std::int32_t> TextCompare(const std::u16string& left, const std::u16string& right) {
  // CompareStringW takes explicit lengths, so embedded NULs take part in the
  // comparison. An empty string is passed as a one-character buffer of
  // length 0.
  const std::wstring l = Wide(left), r = Wide(right);
  const int result = ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE | NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH,
                                      l.c_str(), static_cast<int>(l.size()), r.c_str(), static_cast<int>(r.size()));
  switch (result) {
    case CSTR_LESS_THAN:
      return -1;
    case CSTR_EQUAL:
      return 0;
    case CSTR_GREATER_THAN:
      return 1;
    default:
      return FromWin32Error(::GetLastError());
  }
}

}  // namespace spc::win32
