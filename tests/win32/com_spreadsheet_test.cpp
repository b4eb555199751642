// The function-table calls into the spreadsheet's objects, against stand-in
// objects whose tables record the slot called and the arguments as they
// arrive: locale, VARIANT_BOOL, BSTR and the fourteen VARIANTs of Open, and
// the reference counts the launcher leaves behind.
#include "platform/win32/com_spreadsheet.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <oleauto.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/utf.h"
#include "platform/win32/windows_api.h"

namespace spc::win32 {
namespace {

constexpr std::size_t kSlots = 300;
std::vector<std::string> calls;

struct Fake {
  void* const* table;
  std::string name;
  LONG refs = 1;
  HRESULT status = S_OK;               // what its own members answer
  std::map<std::size_t, Fake*> gives;  // the object a read at a slot returns
};

std::string Hex(long value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(value));
  return text;
}

std::string Text(BSTR s) {
  if (!s) return "(null)";
  const std::u16string text(reinterpret_cast<const char16_t*>(s), ::SysStringLen(s));
  return ToUtf8(text).ok() ? *ToUtf8(text) : "?";
}

std::string Describe(const VARIANT& v) {
  switch (v.vt) {
    case VT_ERROR:
      return "10:" + Hex(v.scode);
    case VT_BSTR:
      return "8:" + Text(v.bstrVal);
    default:
      return std::to_string(v.vt) + ":?";
  }
}

// IUnknown.
HRESULT STDMETHODCALLTYPE QueryInterface(Fake* self, const IID&, void** out) {
  ++self->refs;
  *out = self;
  return S_OK;
}
ULONG STDMETHODCALLTYPE AddRef(Fake* self) { return static_cast<ULONG>(++self->refs); }
ULONG STDMETHODCALLTYPE Release(Fake* self) { return static_cast<ULONG>(--self->refs); }

template <std::size_t N>
HRESULT STDMETHODCALLTYPE Unexpected(Fake* self) {
  calls.push_back(self->name + "." + std::to_string(N) + " unexpected");
  return E_NOTIMPL;
}

template <std::size_t N>
HRESULT STDMETHODCALLTYPE Read(Fake* self, IUnknown** result) {
  calls.push_back(self->name + "." + std::to_string(N));
  if (FAILED(self->status)) return self->status;
  Fake* given = self->gives.count(N) ? self->gives[N] : nullptr;
  if (given) ++given->refs;
  *result = reinterpret_cast<IUnknown*>(given);
  return S_OK;
}

template <std::size_t N>
HRESULT STDMETHODCALLTYPE PutBool(Fake* self, LCID lcid, VARIANT_BOOL value) {
  calls.push_back(self->name + "." + std::to_string(N) + " lcid=" + std::to_string(lcid) +
                  " value=" + std::to_string(value));
  return self->status;
}

HRESULT STDMETHODCALLTYPE Open(Fake* self, BSTR filename, VARIANT a1, VARIANT a2, VARIANT a3, VARIANT a4, VARIANT a5,
                               VARIANT a6, VARIANT a7, VARIANT a8, VARIANT a9, VARIANT a10, VARIANT a11, VARIANT a12,
                               VARIANT a13, VARIANT a14, LCID lcid, IUnknown** result) {
  std::string call = self->name + ".19 " + Text(filename) + " (" + std::to_string(::SysStringLen(filename)) + ")";
  for (const VARIANT* v : {&a1, &a2, &a3, &a4, &a5, &a6, &a7, &a8, &a9, &a10, &a11, &a12, &a13, &a14}) {
    call += " " + Describe(*v);
  }
  calls.push_back(call + " lcid=" + std::to_string(lcid));
  Fake* given = self->gives.count(19) ? self->gives[19] : nullptr;
  if (given) ++given->refs;
  *result = reinterpret_cast<IUnknown*>(given);
  return self->status;
}

HRESULT STDMETHODCALLTYPE RunAutoMacros(Fake* self, int which, LCID lcid) {
  calls.push_back(self->name + ".101 which=" + std::to_string(which) + " lcid=" + std::to_string(lcid));
  return self->status;
}

template <std::size_t... I>
std::array<void*, kSlots> UnexpectedEverywhere(std::index_sequence<I...>) {
  return {reinterpret_cast<void*>(&Unexpected<I>)...};
}

template <class F>
void* Entry(F* f) {
  return reinterpret_cast<void*>(f);
}

// One function table for every stand-in: the members the launcher may call
// at their slots, every other slot records an unexpected call.
const std::array<void*, kSlots>& Table() {
  static const std::array<void*, kSlots> table = [] {
    std::array<void*, kSlots> t = UnexpectedEverywhere(std::make_index_sequence<kSlots>());
    t[0] = Entry(&QueryInterface);
    t[1] = Entry(&AddRef);
    t[2] = Entry(&Release);
    t[7] = Entry(&Read<7>);
    t[18] = Entry(&Read<18>);
    t[19] = Entry(&Open);
    t[52] = Entry(&Read<52>);
    t[101] = Entry(&RunAutoMacros);
    t[120] = Entry(&PutBool<120>);
    t[283] = Entry(&PutBool<283>);
    return t;
  }();
  return table;
}

class ComSpreadsheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    global.gives = {{7, &application}, {18, &workbook}};
    application.gives = {{52, &workbooks}};
    workbooks.gives = {{19, &workbook}};
  }
  // Hands one reference over to the code under test.
  static IUnknown* HandOver(Fake& f) {
    ++f.refs;
    return reinterpret_cast<IUnknown*>(&f);
  }

  Fake global{Table().data(), "global", 1, S_OK, {}};
  Fake application{Table().data(), "application", 1, S_OK, {}};
  Fake workbooks{Table().data(), "workbooks", 1, S_OK, {}};
  Fake workbook{Table().data(), "workbook", 1, S_OK, {}};
};

TEST_F(ComSpreadsheetTest, EachMemberIsCalledAtItsSlotWithTheLocaleAndItsValue) {
  {
    std::unique_ptr<SpreadsheetGlobal> g = WrapGlobal(HandOver(global));
    Expected<std::unique_ptr<Application>> app = g->GetApplication();
    ASSERT_TRUE(app.ok());
    EXPECT_TRUE((*app)->PutDisplayAlerts(kLocaleEnglishUS, kVariantFalse).ok());
    EXPECT_TRUE((*app)->PutVisible(kLocaleEnglishUS, kVariantTrue).ok());
    Expected<std::unique_ptr<Workbook>> active = g->GetActiveWorkbook();
    ASSERT_TRUE(active.ok() && *active);
    EXPECT_TRUE((*active)->RunAutoMacros(kAutoOpen, kLocaleEnglishUS).ok());
  }
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "global.7",
                       "application.120 lcid=1033 value=0",
                       "application.283 lcid=1033 value=-1",
                       "global.18",
                       "workbook.101 which=1 lcid=1033",
                   }));
  // Every reference obtained has been released again.
  for (const Fake* f : {&global, &application, &workbooks, &workbook}) EXPECT_EQ(f->refs, 1) << f->name;
}

TEST_F(ComSpreadsheetTest, OpenTakesABstrNameAndFourteenVariantsAndReleasesTheWorkbook) {
  std::unique_ptr<Application> app = WrapApplication(HandOver(application));
  Expected<std::unique_ptr<Workbooks>> collection = app->GetWorkbooks();
  ASSERT_TRUE(collection.ok() && *collection);
  OpenOptions options;
  options.fill(Variant::Omitted());
  options[kOpenPassword] = Variant::String(u"pelisvarko!?dimaqu_wfz");
  const std::u16string path = u"C:\\Cartes S.P.C.\\été.xls";
  {
    Expected<std::unique_ptr<Workbook>> opened = (*collection)->Open(path, options, kLocaleEnglishUS);
    ASSERT_TRUE(opened.ok());
    EXPECT_EQ(workbook.refs, 2);  // held until the launcher drops it
  }
  const std::string omitted = " 10:80020004";
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "application.52",
                       "workbooks.19 C:\\Cartes S.P.C.\\été.xls (24)" + omitted + omitted + omitted +
                           " 8:pelisvarko!?dimaqu_wfz" + omitted + omitted + omitted + omitted + omitted + omitted +
                           omitted + omitted + omitted + omitted + " lcid=1033",
                   }));
  collection = Status(code::kFail);
  app.reset();
  for (const Fake* f : {&application, &workbooks, &workbook}) EXPECT_EQ(f->refs, 1) << f->name;
}

TEST_F(ComSpreadsheetTest, AFailureStatusComesBackUnchangedAndNothingIsLeftHeld) {
  const HRESULT failure = DISP_E_EXCEPTION;
  for (Fake* f : {&global, &application, &workbooks, &workbook}) f->status = failure;
  std::unique_ptr<SpreadsheetGlobal> g = WrapGlobal(HandOver(global));
  std::unique_ptr<Application> app = WrapApplication(HandOver(application));
  std::unique_ptr<Workbooks> collection;
  {
    // A stand-in that returns a workbook together with the failure.
    workbooks.status = S_OK;
    std::unique_ptr<Application> a = WrapApplication(HandOver(application));
    application.status = S_OK;
    collection = std::move(*a->GetWorkbooks());
    application.status = failure;
    workbooks.status = failure;
  }
  OpenOptions options;
  options.fill(Variant::Omitted());
  EXPECT_EQ(g->GetApplication().status(), Status(failure));
  EXPECT_EQ(g->GetActiveWorkbook().status(), Status(failure));
  EXPECT_EQ(app->PutDisplayAlerts(kLocaleEnglishUS, kVariantFalse), Status(failure));
  EXPECT_EQ(app->PutVisible(kLocaleEnglishUS, kVariantTrue), Status(failure));
  EXPECT_EQ(app->GetWorkbooks().status(), Status(failure));
  EXPECT_EQ(collection->Open(u"x.xls", options, kLocaleEnglishUS).status(), Status(failure));
  EXPECT_EQ(workbook.refs, 1);  // the workbook Open returned with its failure is released
}

TEST_F(ComSpreadsheetTest, NoActiveWorkbookIsAnEmptyReferenceNotAFailure) {
  global.gives.erase(18);
  std::unique_ptr<SpreadsheetGlobal> g = WrapGlobal(HandOver(global));
  Expected<std::unique_ptr<Workbook>> active = g->GetActiveWorkbook();
  ASSERT_TRUE(active.ok());
  EXPECT_EQ(*active, nullptr);
}

bool Registered(const wchar_t* clsid) {
  HKEY key = nullptr;
  const std::wstring path = std::wstring(L"CLSID\\") + clsid;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

TEST(ComSpreadsheet, ClassesThatAreNotRegisteredCannotBeCreated) {
  // The prefix may hold the test server of the end-to-end runs.
  if (Registered(L"{00024500-0000-0000-C000-000000000046}") || Registered(L"{00020812-0000-0000-C000-000000000046}")) {
    GTEST_SKIP() << "a spreadsheet application is registered in this Wine prefix";
  }
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  ComSpreadsheet spreadsheet;
  EXPECT_EQ(spreadsheet.CreateApplication().status(), Status(code::kClassNotRegistered));
  EXPECT_EQ(spreadsheet.CreateGlobal().status(), Status(code::kClassNotRegistered));
  ::CoUninitialize();
}

}  // namespace
}  // namespace spc::win32
