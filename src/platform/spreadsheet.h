// The spreadsheet application's automation interface, as far as the launcher
// uses it. Each member is one early-bound call on one object:
//
//   global object   Application (read)      -> Application
//                   ActiveWorkbook (read)   -> Workbook, possibly empty
//   Application     DisplayAlerts (write), Visible (write), Workbooks (read)
//   Workbooks       Open (15 parameters)    -> Workbook
//   Workbook        RunAutoMacros(Which)
//
// References are owned by std::unique_ptr: destroying one releases the
// reference it holds, never the object behind it, and never closes a
// workbook or quits the application.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/automation.h"

namespace spc {

// RunAutoMacros: the automatic open macros.
inline constexpr std::int32_t kAutoOpen = 1;

class Workbook {
 public:
  virtual ~Workbook() = default;
  virtual Status RunAutoMacros(std::int32_t which, Lcid lcid) = 0;
};

// Open's parameters after Filename, in order: UpdateLinks, ReadOnly, Format,
// Password, WriteResPassword, IgnoreReadOnlyRecommended, Origin, Delimiter,
// Editable, Notify, Converter, AddToMru, Local, CorruptLoad.
using OpenOptions = std::array<Variant, 14>;
inline constexpr std::size_t kOpenPassword = 3;

class Workbooks {
 public:
  virtual ~Workbooks() = default;
  virtual Expected<std::unique_ptr<Workbook>> Open(const std::u16string& filename, const OpenOptions& options,
                                                   Lcid lcid) = 0;
};

class Application {
 public:
  virtual ~Application() = default;
  virtual Status PutDisplayAlerts(Lcid lcid, VariantBool value) = 0;
  virtual Status PutVisible(Lcid lcid, VariantBool value) = 0;
  virtual Expected<std::unique_ptr<Workbooks>> GetWorkbooks() = 0;
};

class SpreadsheetGlobal {
 public:
  virtual ~SpreadsheetGlobal() = default;
  virtual Expected<std::unique_ptr<Application>> GetApplication() = 0;
  // An empty reference, not a failure, when no workbook is active.
  virtual Expected<std::unique_ptr<Workbook>> GetActiveWorkbook() = 0;
};

// Creation of the two kinds of object the launcher starts from.
class SpreadsheetAutomation {
 public:
  virtual ~SpreadsheetAutomation() = default;
  virtual Expected<std::unique_ptr<SpreadsheetGlobal>> CreateGlobal() = 0;
  // A new instance of the application on each call.
  virtual Expected<std::unique_ptr<Application>> CreateApplication() = 0;
};

// A call through a reference that may be empty.
template <class T>
Expected<T*> Deref(const std::unique_ptr<T>& reference) {
  if (!reference) return Status(code::kEmptyReference);
  return reference.get();
}

}  // namespace spc
