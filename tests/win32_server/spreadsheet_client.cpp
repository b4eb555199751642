// Drives the test spreadsheet server through its function tables the way the
// launcher drives the spreadsheet application, with values chosen so that
// the server's log shows whether it records each argument faithfully:
//
//   spreadsheet_client.exe <file name>
//
// Then it calls one member the server does not implement (application slot
// 302) to show that the stubs record their slot. Exits 0 when every call
// answered as the server was set up to answer, 1 otherwise.
#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdio>

namespace {

constexpr CLSID kClsidGlobal = {0x00020812, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr CLSID kClsidApplication = {0x00024500, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidGlobal = {0x000208D9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidApplication = {0x000208D5, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

using GetReference = HRESULT(STDMETHODCALLTYPE*)(void* self, void** out);
using PutBool = HRESULT(STDMETHODCALLTYPE*)(void* self, LCID lcid, VARIANT_BOOL value);
using Open = HRESULT(STDMETHODCALLTYPE*)(void* self, BSTR filename, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT,
                                         VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT,
                                         VARIANT, LCID lcid, void** out);
using RunAutoMacros = HRESULT(STDMETHODCALLTYPE*)(void* self, LONG which, LCID lcid);
using NoArguments = HRESULT(STDMETHODCALLTYPE*)(void* self);
using ReleaseFn = ULONG(STDMETHODCALLTYPE*)(void* self);

template <class F>
F Member(void* object, int slot) {
  return reinterpret_cast<F>((*static_cast<void***>(object))[slot]);
}

void Release(void* object) {
  if (object) Member<ReleaseFn>(object, 2)(object);
}

int failures = 0;

void Expect(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "unexpected result: %s\n", what);
    ++failures;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: spreadsheet_client <file name>\n");
    return 2;
  }
  if (FAILED(CoInitialize(nullptr))) return 1;

  void* global = nullptr;
  Expect(SUCCEEDED(CoCreateInstance(kClsidGlobal, nullptr, CLSCTX_ALL, kIidGlobal, &global)), "create global");

  if (global) {
    void* app = nullptr;
    Expect(SUCCEEDED(Member<GetReference>(global, 7)(global, &app)), "Application");
    if (app) Expect(SUCCEEDED(Member<PutBool>(app, 120)(app, 1033, VARIANT_FALSE)), "DisplayAlerts");
    Release(app);
  }

  void* spreadsheet = nullptr;
  Expect(SUCCEEDED(CoCreateInstance(kClsidApplication, nullptr, CLSCTX_ALL, kIidApplication, &spreadsheet)),
         "create application");
  if (spreadsheet) {
    Expect(SUCCEEDED(Member<PutBool>(spreadsheet, 283)(spreadsheet, 1033, VARIANT_TRUE)), "Visible");
    void* workbooks = nullptr;
    Expect(SUCCEEDED(Member<GetReference>(spreadsheet, 52)(spreadsheet, &workbooks)), "Workbooks");
    if (workbooks) {
      VARIANT omitted;
      VariantInit(&omitted);
      V_VT(&omitted) = VT_ERROR;
      V_ERROR(&omitted) = DISP_E_PARAMNOTFOUND;
      VARIANT password;
      VariantInit(&password);
      V_VT(&password) = VT_BSTR;
      V_BSTR(&password) = SysAllocString(L"pelisvarko!?dimaqu_wfz");
      // Distinct values at the ends, so a shifted or swapped parameter shows.
      VARIANT first;
      VariantInit(&first);
      V_VT(&first) = VT_I4;
      V_I4(&first) = 3;
      VARIANT last;
      VariantInit(&last);
      V_VT(&last) = VT_BOOL;
      V_BOOL(&last) = VARIANT_TRUE;
      BSTR filename = SysAllocString(argv[1]);
      void* workbook = nullptr;
      Expect(SUCCEEDED(Member<Open>(workbooks, 19)(workbooks, filename, first, omitted, omitted, password, omitted,
                                                   omitted, omitted, omitted, omitted, omitted, omitted, omitted,
                                                   omitted, last, 1036, &workbook)),
             "Open");
      Release(workbook);
      SysFreeString(filename);
      VariantClear(&password);
    }
    Release(workbooks);
    Expect(Member<NoArguments>(spreadsheet, 302)(spreadsheet) == E_NOTIMPL, "slot 302 answers E_NOTIMPL");
  }

  if (global) {
    void* active = nullptr;
    Expect(SUCCEEDED(Member<GetReference>(global, 18)(global, &active)), "ActiveWorkbook");
    if (active) Expect(SUCCEEDED(Member<RunAutoMacros>(active, 101)(active, 1, 1033)), "RunAutoMacros");
    Release(active);
  }
  // The global object and the application are kept, as the launcher keeps them.
  return failures == 0 ? 0 : 1;
}
