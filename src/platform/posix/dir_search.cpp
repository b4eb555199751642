#include "platform/posix/dir_search.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <vector>

#include "platform/toolkit.h"

namespace spc::posix {

namespace {

// `*` matches any run of characters, `?` any one; nothing else is special.
// Matching works on bytes of UTF-8, so `?` advances over a whole character.
bool WildcardMatch(std::string_view pattern, std::string_view name) {
  auto skipCharacter = [](std::string_view s, std::size_t i) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    return i;
  };
  std::size_t p = 0, n = 0;
  std::optional<std::size_t> starPattern, starName;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starPattern = ++p;
      starName = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n = skipCharacter(name, n);
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (starPattern) {
      p = *starPattern;
      n = *starName = skipCharacter(name, *starName);
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool Matches(std::string_view name, const struct stat& entry, std::int32_t attributes) {
  if (name.front() == '.' && !(attributes & kHiddenFiles)) return false;
  if (S_ISDIR(entry.st_mode)) return (attributes & kDirectories) != 0;
  if (S_ISREG(entry.st_mode)) return true;
  return (attributes & kSystemFiles) != 0;
}

// A missing entry or folder is no match; anything else the system refuses is
// a failure.
bool IsAbsence(int error) { return error == ENOENT || error == ENOTDIR; }

}  // namespace

Expected<std::u16string> DirectorySearch(const std::u16string& path, std::int32_t attributes) {
  if (path.empty() || path.find(u'\0') != std::u16string::npos) return Status(code::kBadFileName);
  SPC_TRY_ASSIGN(const std::string bytes, ToUtf8(path));

  const std::size_t slash = bytes.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : bytes.substr(0, slash);
  const std::string last = slash == std::string::npos ? bytes : bytes.substr(slash + 1);
  if (last.empty()) return std::u16string();  // a folder's path names no file

  if (last.find_first_of("*?") == std::string::npos) {
    struct stat entry {};
    if (::stat(bytes.c_str(), &entry) != 0) {
      if (IsAbsence(errno)) return std::u16string();
      return Status(code::kBadFileName);
    }
    return Matches(last, entry, attributes) ? FromUtf8(last) : std::u16string();
  }

  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) {
    if (IsAbsence(errno)) return std::u16string();
    return Status(code::kBadFileName);
  }
  std::vector<std::string> matches;
  while (const dirent* e = ::readdir(dir.get())) {
    const std::string_view name = e->d_name;
    if (name == "." || name == ".." || !WildcardMatch(last, name)) continue;
    struct stat entry {};
    const std::string full = folder + "/" + std::string(name);
    if (::stat(full.c_str(), &entry) == 0 && Matches(name, entry, attributes)) matches.emplace_back(name);
  }
  if (matches.empty()) return std::u16string();
  return FromUtf8(*std::min_element(matches.begin(), matches.end()));
}

}  // namespace spc::posix
