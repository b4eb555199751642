// The launcher's UTF-16 texts as the Windows API's wide strings. wchar_t is
// a 16-bit UTF-16 code unit on Windows, so the conversion is a copy.
#pragma once

#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide strings are UTF-16");

namespace spc::win32 {

inline std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

inline std::u16string Utf16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

}  // namespace spc::win32
