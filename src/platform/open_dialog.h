// The Open dialog control, driven by fixed dispatch ids as the launcher's
// common dialog control is.
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation.h"

namespace spc {

namespace dispid {
inline constexpr DispId kFileName = 1;     // property, string
inline constexpr DispId kDialogTitle = 2;  // property, string
inline constexpr DispId kFilter = 3;       // property, string: "description|pattern"
inline constexpr DispId kFlags = 7;        // property, 32-bit integer
inline constexpr DispId kShowOpen = 30;    // method: the modal Open dialog
}  // namespace dispid

// Open dialog flags.
inline constexpr std::int32_t kFlagReadOnly = 0x1;
inline constexpr std::int32_t kFlagHideReadOnly = 0x4;
inline constexpr std::int32_t kFlagShowHelp = 0x10;
inline constexpr std::int32_t kFlagFileMustExist = 0x1000;

class OpenDialog {
 public:
  virtual ~OpenDialog() = default;
  virtual Status PutProperty(DispId id, const Variant& value) = 0;
  virtual Expected<Variant> GetProperty(DispId id) = 0;
  // ShowOpen is modal: it returns once the user has closed the dialog,
  // normally whether a file was chosen or not.
  virtual Status Invoke(DispId id) = 0;
};

}  // namespace spc
