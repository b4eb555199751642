#include "platform/win32/com_spreadsheet.h"

#include <oleauto.h>

#include <array>
#include <utility>

namespace spc::win32 {

const CLSID kClsidGlobal = {0x00020812, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidGlobal = {0x000208D9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const CLSID kClsidApplication = {0x00024500, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidApplication = {0x000208D5, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

// Calls the member at `slot` of the object's function table. The object
// pointer is the first, implicit argument; a VARIANT passed by value is
// passed as the platform's calling convention passes a structure.
template <class... Args>
HRESULT CallSlot(IUnknown* object, std::size_t slot, Args... args) {
  using Member = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, Args...);
  void* const* table = *reinterpret_cast<void* const* const*>(object);
  return reinterpret_cast<Member>(table[slot])(object, args...);
}

Status FromHresult(HRESULT hr) { return Status(static_cast<std::int32_t>(hr)); }

// A VARIANT that owns what it holds.
class OwnedVariant {
 public:
  OwnedVariant() { ::VariantInit(&v_); }
  ~OwnedVariant() { ::VariantClear(&v_); }
  OwnedVariant(const OwnedVariant&) = delete;
  OwnedVariant& operator=(const OwnedVariant&) = delete;
  VARIANT& get() { return v_; }

 private:
  VARIANT v_;
};

// A BSTR that is freed when it goes out of scope.
class OwnedBstr {
 public:
  explicit OwnedBstr(const std::u16string& text)
      : s_(::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()))) {}
  ~OwnedBstr() { ::SysFreeString(s_); }
  OwnedBstr(const OwnedBstr&) = delete;
  OwnedBstr& operator=(const OwnedBstr&) = delete;
  BSTR get() const { return s_; }

 private:
  BSTR s_;
};

Status ToVariant(const Variant& from, VARIANT& to) {
  switch (from.type) {
    case VarType::kEmpty:
      to.vt = VT_EMPTY;
      return kOk;
    case VarType::kI4:
      to.vt = VT_I4;
      to.lVal = from.integer;
      return kOk;
    case VarType::kError:
      to.vt = VT_ERROR;
      to.scode = from.integer;
      return kOk;
    case VarType::kBool:
      to.vt = VT_BOOL;
      to.boolVal = static_cast<VARIANT_BOOL>(from.integer);
      return kOk;
    case VarType::kBstr:
      to.bstrVal =
          ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(from.text.data()), static_cast<UINT>(from.text.size()));
      if (!to.bstrVal) return Status(static_cast<std::int32_t>(E_OUTOFMEMORY));
      to.vt = VT_BSTR;
      return kOk;
  }
  return Status(code::kTypeMismatch);
}

class ComWorkbook : public Workbook {
 public:
  explicit ComWorkbook(IUnknown* workbook) : workbook_(workbook) {}
  Status RunAutoMacros(std::int32_t which, Lcid lcid) override {
    return FromHresult(
        CallSlot(workbook_.get(), slot::kWorkbookRunAutoMacros, static_cast<int>(which), static_cast<LCID>(lcid)));
  }

 private:
  ComReference workbook_;
};

std::unique_ptr<Workbook> WrapWorkbook(IUnknown* workbook) {
  if (!workbook) return nullptr;
  return std::make_unique<ComWorkbook>(workbook);
}

class ComWorkbooks : public Workbooks {
 public:
  explicit ComWorkbooks(IUnknown* workbooks) : workbooks_(workbooks) {}

  Expected<std::unique_ptr<Workbook>> Open(const std::u16string& filename, const OpenOptions& options,
                                           Lcid lcid) override {
    const OwnedBstr name(filename);
    if (!name.get() && !filename.empty()) return Status(static_cast<std::int32_t>(E_OUTOFMEMORY));
    std::array<OwnedVariant, std::tuple_size_v<OpenOptions>> values;
    for (std::size_t i = 0; i < options.size(); ++i) SPC_TRY(ToVariant(options[i], values[i].get()));
    IUnknown* workbook = nullptr;
    const HRESULT hr = CallOpen(name.get(), values, static_cast<LCID>(lcid), &workbook,
                                std::make_index_sequence<std::tuple_size_v<OpenOptions>>());
    // The returned workbook is released at once, success or not.
    std::unique_ptr<Workbook> result = WrapWorkbook(workbook);
    if (FAILED(hr)) return FromHresult(hr);
    return result;
  }

 private:
  template <std::size_t... I>
  HRESULT CallOpen(BSTR name, std::array<OwnedVariant, sizeof...(I)>& values, LCID lcid, IUnknown** result,
                   std::index_sequence<I...>) {
    return CallSlot(workbooks_.get(), slot::kWorkbooksOpen, name, values[I].get()..., lcid, result);
  }

  ComReference workbooks_;
};

class ComApplication : public Application {
 public:
  explicit ComApplication(IUnknown* application) : application_(application) {}

  Status PutDisplayAlerts(Lcid lcid, VariantBool value) override {
    return FromHresult(CallSlot(application_.get(), slot::kApplicationDisplayAlerts, static_cast<LCID>(lcid),
                                static_cast<VARIANT_BOOL>(value)));
  }
  Status PutVisible(Lcid lcid, VariantBool value) override {
    return FromHresult(CallSlot(application_.get(), slot::kApplicationVisible, static_cast<LCID>(lcid),
                                static_cast<VARIANT_BOOL>(value)));
  }
  Expected<std::unique_ptr<Workbooks>> GetWorkbooks() override {
    IUnknown* workbooks = nullptr;
    const HRESULT hr = CallSlot(application_.get(), slot::kApplicationWorkbooks, &workbooks);
    std::unique_ptr<Workbooks> result = workbooks ? std::make_unique<ComWorkbooks>(workbooks) : nullptr;
    if (FAILED(hr)) return FromHresult(hr);
    return result;
  }

 private:
  ComReference application_;
};

class ComGlobal : public SpreadsheetGlobal {
 public:
  explicit ComGlobal(IUnknown* global) : global_(global) {}

  Expected<std::unique_ptr<Application>> GetApplication() override {
    IUnknown* application = nullptr;
    const HRESULT hr = CallSlot(global_.get(), slot::kGlobalApplication, &application);
    std::unique_ptr<Application> result = WrapApplication(application);
    if (FAILED(hr)) return FromHresult(hr);
    return result;
  }
  Expected<std::unique_ptr<Workbook>> GetActiveWorkbook() override {
    IUnknown* workbook = nullptr;
    const HRESULT hr = CallSlot(global_.get(), slot::kGlobalActiveWorkbook, &workbook);
    std::unique_ptr<Workbook> result = WrapWorkbook(workbook);
    if (FAILED(hr)) return FromHresult(hr);
    return result;
  }

 private:
  ComReference global_;
};

Expected<IUnknown*> Create(const CLSID& clsid, const IID& iid) {
  void* object = nullptr;
  const HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, iid, &object);
  if (FAILED(hr)) return FromHresult(hr);
  if (!object) return Status(code::kEmptyReference);
  return static_cast<IUnknown*>(object);
}

}  // namespace

std::unique_ptr<Application> WrapApplication(IUnknown* application) {
  if (!application) return nullptr;
  return std::make_unique<ComApplication>(application);
}

std::unique_ptr<SpreadsheetGlobal> WrapGlobal(IUnknown* global) {
  if (!global) return nullptr;
  return std::make_unique<ComGlobal>(global);
}

Expected<std::unique_ptr<SpreadsheetGlobal>> ComSpreadsheet::CreateGlobal() {
  SPC_TRY_ASSIGN(IUnknown* const global, Create(kClsidGlobal, kIidGlobal));
  return WrapGlobal(global);
}

Expected<std::unique_ptr<Application>> ComSpreadsheet::CreateApplication() {
  SPC_TRY_ASSIGN(IUnknown* const application, Create(kClsidApplication, kIidApplication));
  return WrapApplication(application);
}

}  // namespace spc::win32
