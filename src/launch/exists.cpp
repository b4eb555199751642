// Exists: whether a path names a present normal file.
#include <string>

#include "launcher/form3.h"

namespace spc {

VariantBool Form3::Exists(std::u16string filename) {
  Toolkit& tk = platform_.toolkit;
  VariantBool result = kVariantFalse;

  // Leaves at its first error; the result turns true only as the very last
  // action of a successful test, so any error yields False.
  [[maybe_unused]] const Status ignored = [&]() -> Status {
    SPC_TRY_ASSIGN(const std::int32_t named, tk.TextCompare(filename, u""));
    if (named != 1) return kOk;  // an empty name: no directory search
    SPC_TRY_ASSIGN(const std::u16string found, tk.DirectorySearch(filename, kNormalFiles));
    SPC_TRY_ASSIGN(const std::int32_t matched, tk.TextCompare(found, u""));
    if (matched == 1) result = kVariantTrue;
    return kOk;
  }();

  return result;
}

}  // namespace spc
