// Automation values and constants shared by the Open dialog and the
// spreadsheet interfaces.
#pragma once

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace spc {

// VARIANT_BOOL: true is -1, false is 0.
using VariantBool = std::int16_t;
inline constexpr VariantBool kVariantTrue = -1;
inline constexpr VariantBool kVariantFalse = 0;

using Lcid = std::uint32_t;
inline constexpr Lcid kLocaleEnglishUS = 1033;

using DispId = std::int32_t;

// The automation value types the launcher passes or receives.
enum class VarType : std::uint16_t {
  kEmpty = 0,
  kI4 = 3,      // 32-bit signed integer
  kBstr = 8,    // string
  kError = 10,  // an error code; with kParamNotFound it means "argument omitted"
  kBool = 11,
};

inline constexpr std::int32_t kParamNotFound = static_cast<std::int32_t>(0x80020004);  // DISP_E_PARAMNOTFOUND

struct Variant {
  VarType type = VarType::kEmpty;
  std::int32_t integer = 0;  // kI4 value, kError code, or kBool value (-1 / 0)
  std::u16string text;       // kBstr value

  static Variant String(std::u16string s) { return {VarType::kBstr, 0, std::move(s)}; }
  static Variant Int32(std::int32_t i) { return {VarType::kI4, i, {}}; }
  // An optional argument that is not given.
  static Variant Omitted() { return {VarType::kError, kParamNotFound, {}}; }

  friend bool operator==(const Variant&, const Variant&) = default;
};

// Converts an automation value to a string as the launcher reads it: an
// empty value is the empty string, an integer its decimal digits.
Expected<std::u16string> ToString(const Variant& value);

}  // namespace spc
