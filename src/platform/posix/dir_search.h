// The directory search on POSIX file systems.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "platform/utf.h"

namespace spc::posix {

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
