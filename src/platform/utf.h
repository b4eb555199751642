// Conversions between the launcher's UTF-16 texts and UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "platform/status.h"

namespace spc {

// Fails on an unpaired surrogate, which no file name can hold.
Expected<std::string> ToUtf8(std::u16string_view text);
// Bytes that are not UTF-8 become U+FFFD.
std::u16string FromUtf8(std::string_view text);

}  // namespace spc
