// The directory search and the case-insensitive text comparison on Windows.
#pragma once

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace spc::win32 {

// Name of the first entry, in the order the file system lists them, that
// matches `path` (the platform's own wildcards, `*` and `?`, in its last
// component) and the attribute mask; empty text when none does. The mask adds
// hidden (2), system (4) and directory (16) entries to the normal files that
// always match. A missing file or folder is no match; a name the file system
// rejects (an invalid name, a NUL character, a drive that is not ready) is a
// failure.
Expected<std::u16string> DirectorySearch(const std::u16string& path, std::int32_t attributes);

// Text comparison in the user's locale, ignoring case, kana type and width:
// -1, 0 or 1 as `left` sorts before, equal to or after `right`.
Expected<std::int32_t> TextCompare(const std::u16string& left, const std::u16string& right);

// A Win32 error code as a status (HRESULT_FROM_WIN32).
Status FromWin32Error(unsigned long error);

}  // namespace spc::win32
