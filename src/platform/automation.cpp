#include "platform/automation.h"

#include <string>

namespace spc {

Expected<std::u16string> ToString(const Variant& value) {
  switch (value.type) {
    case VarType::kEmpty:
      return std::u16string();
    case VarType::kBstr:
      return value.text;
    case VarType::kI4: {
      std::string digits = std::to_string(value.integer);
      return std::u16string(digits.begin(), digits.end());
    }
    case VarType::kBool:
      return std::u16string(value.integer != 0 ? u"True" : u"False");
    case VarType::kError:
      break;
  }
  return Status(code::kTypeMismatch);
}

}  // namespace spc
