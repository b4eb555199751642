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

Expected<std::string> ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return Status(code::kBadFileName);
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return Status(code::kBadFileName);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    char32_t c = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
    bool valid = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!valid || c < kMinimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
  return out;
}

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
