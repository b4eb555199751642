// The directory search on POSIX file systems, and the UTF-16 / UTF-8
// conversions it needs for file names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace spc::posix {

// Fails on an unpaired surrogate, which no file name can hold.
Expected<std::string> ToUtf8(std::u16string_view text);
// Bytes that are not UTF-8 become U+FFFD.
std::u16string FromUtf8(std::string_view text);

// Name of the first entry (in byte order of the names) that matches `path` and
// the attribute mask; empty text when none does.
//
// On these file systems a name beginning with a dot is hidden; entries that
// are neither regular files nor directories (devices, pipes, sockets) count
// as system files. Mask 0 therefore matches visible regular files, following
// symbolic links. `*` and `?` are wildcards in the last component only. A
// path the file system rejects (too long, a loop of links, no permission, a
// NUL character) is a failure, not an empty answer.
Expected<std::u16string> DirectorySearch(const std::u16string& path, std::int32_t attributes);

}  // namespace spc::posix
