// The spreadsheet application through COM, early-bound: every member is
// called through the interface's function table at its fixed slot, without
// the application's type library or headers.
//
//   _Global       {000208D9-...}  7 Application (read)   18 ActiveWorkbook (read)
//   _Application  {000208D5-...}  120 DisplayAlerts (write)  283 Visible (write)
//                                 52 Workbooks (read)
//   Workbooks     {000208DB-...}  19 Open (BSTR, 14 VARIANTs, locale, result)
//   _Workbook     {000208DA-...}  101 RunAutoMacros (Which, locale)
//
// Slots count the table's entries from 0: IUnknown's three, then IDispatch's
// four, so an interface's first own member is slot 7. Each reference is
// released when its owner is destroyed; nothing here closes a workbook or
// quits the application.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/spreadsheet.h"
#include "platform/win32/windows_api.h"

namespace spc::win32 {

namespace slot {
inline constexpr std::size_t kGlobalApplication = 7;
inline constexpr std::size_t kGlobalActiveWorkbook = 18;
inline constexpr std::size_t kApplicationDisplayAlerts = 120;
inline constexpr std::size_t kApplicationVisible = 283;
inline constexpr std::size_t kApplicationWorkbooks = 52;
inline constexpr std::size_t kWorkbooksOpen = 19;
inline constexpr std::size_t kWorkbookRunAutoMacros = 101;
}  // namespace slot

// The spreadsheet application's global object and application classes, and
// the interfaces the launcher asks them for.
extern const CLSID kClsidGlobal;       // {00020812-0000-0000-C000-000000000046}
extern const IID kIidGlobal;           // _Global {000208D9-0000-0000-C000-000000000046}
extern const CLSID kClsidApplication;  // {00024500-0000-0000-C000-000000000046}
extern const IID kIidApplication;      // _Application {000208D5-0000-0000-C000-000000000046}

// One counted reference to a COM object, released on destruction.
class ComReference {
 public:
  explicit ComReference(IUnknown* object = nullptr) : object_(object) {}
  ~ComReference() {
    if (object_) object_->Release();
  }
  ComReference(const ComReference&) = delete;
  ComReference& operator=(const ComReference&) = delete;
  IUnknown* get() const { return object_; }

 private:
  IUnknown* object_;
};

class ComSpreadsheet : public SpreadsheetAutomation {
 public:
  Expected<std::unique_ptr<SpreadsheetGlobal>> CreateGlobal() override;
  Expected<std::unique_ptr<Application>> CreateApplication() override;
};

// The application behind a reference the caller already holds (for tests).
std::unique_ptr<Application> WrapApplication(IUnknown* application);
std::unique_ptr<SpreadsheetGlobal> WrapGlobal(IUnknown* global);

}  // namespace spc::win32
