// A stand-in for the spreadsheet application, for tests only: an in-process
// COM server that registers the spreadsheet's global-object class and its
// application class, and records every call made on its objects.
//
// Objects and the members they implement (slot = index in the function
// table; 0-2 are IUnknown's, 3-6 IDispatch's):
//
//   Global      {000208D9-...}   7 Application (get)   18 ActiveWorkbook (get)
//   Application {000208D5-...} 120 DisplayAlerts (put) 283 Visible (put)
//                               52 Workbooks (get)
//   Workbooks   {000208DB-...}  19 Open (BSTR, 14 VARIANTs by value, lcid, out)
//   Workbook    {000208DA-...} 101 RunAutoMacros (Which, lcid)
//
// Every other slot up to kTableSize records its number and answers E_NOTIMPL,
// so a call of any member the launcher must not make (a close or a quit, say)
// shows in the log. Objects are never freed: a release below zero or a call
// on a released object is logged as an ERROR line instead of crashing.
//
// Settings, read from the environment of the process that loads the DLL:
//   SPC_SERVER_LOG    the file that log lines are appended to (UTF-8).
//   SPC_SERVER_FAIL   comma-separated "Kind.slot=HRESULT" entries making that
//                     member answer the HRESULT, e.g. "Workbooks.19=0x800A03EC";
//                     "Kind.create=HRESULT" makes the class factory fail.
//   SPC_SERVER_ACTIVE_WORKBOOK=none   ActiveWorkbook answers S_OK and NULL.
//
// Log lines:
//   new <Obj> by <how>
//   call <Obj> slot=<n> <member> <arguments> -> <hr> [out=<Obj>|out=null]
//   ref <Obj> AddRef|Release <count after>
//   qi <Obj> <iid> -> <hr>
//   end <Obj> refs=<count>          (when the process detaches the DLL)
//   ERROR <text>
#include <oaidl.h>
#include <objbase.h>
#include <olectl.h>
#include <windows.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kTableSize = 512;

enum class Kind { kGlobal, kApplication, kWorkbooks, kWorkbook };

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kGlobal:
      return "Global";
    case Kind::kApplication:
      return "Application";
    case Kind::kWorkbooks:
      return "Workbooks";
    case Kind::kWorkbook:
      return "Workbook";
  }
  return "?";
}

constexpr GUID kClsidGlobal = {0x00020812, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kClsidApplication = {0x00024500, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidGlobal = {0x000208D9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidApplication = {0x000208D5, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidWorkbooks = {0x000208DB, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidWorkbook = {0x000208DA, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const GUID& OwnIid(Kind kind) {
  switch (kind) {
    case Kind::kGlobal:
      return kIidGlobal;
    case Kind::kApplication:
      return kIidApplication;
    case Kind::kWorkbooks:
      return kIidWorkbooks;
    case Kind::kWorkbook:
      return kIidWorkbook;
  }
  return kIidUnknown;
}

HMODULE g_module = nullptr;

// ---------------------------------------------------------------- the log

std::string Utf8(const wchar_t* text, std::size_t length) {
  if (length == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[4096];
  const DWORD n = GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(std::size(buffer)));
  if (n == 0 || n >= std::size(buffer)) return {};
  return std::wstring(buffer, n);
}

std::mutex g_log_mutex;

// Appends one line and closes the file again, so that the log is complete
// whenever the process ends.
void Log(const std::string& line) {
  static const std::wstring path = Environment(L"SPC_SERVER_LOG");
  if (path.empty()) return;
  std::lock_guard<std::mutex> lock(g_log_mutex);
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string data = line + "\n";
  DWORD written = 0;
  WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  CloseHandle(file);
}

std::string Hex(HRESULT hr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08lX", static_cast<unsigned long>(hr));
  return buffer;
}

std::string GuidText(const GUID& g) {
  wchar_t buffer[40] = {};
  StringFromGUID2(g, buffer, 40);
  return Utf8(buffer, std::wcslen(buffer));
}

// A BSTR as "text"(bstrlen=N). The text is read up to its terminating zero and
// the length from the BSTR prefix, so a string that is not a real BSTR shows.
std::string BstrText(BSTR text) {
  if (text == nullptr) return "null";
  return "\"" + Utf8(text, std::wcslen(text)) + "\"(bstrlen=" + std::to_string(SysStringLen(text)) + ")";
}

std::string VariantText(const VARIANT& v) {
  switch (V_VT(&v)) {
    case VT_EMPTY:
      return "VT_EMPTY";
    case VT_ERROR:
      return "VT_ERROR:" + Hex(V_ERROR(&v));
    case VT_BSTR:
      return "VT_BSTR:" + BstrText(V_BSTR(&v));
    case VT_I4:
      return "VT_I4:" + std::to_string(V_I4(&v));
    case VT_I2:
      return "VT_I2:" + std::to_string(V_I2(&v));
    case VT_BOOL:
      return "VT_BOOL:" + std::to_string(V_BOOL(&v));
    default: {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "VT_0x%04X", static_cast<unsigned>(V_VT(&v)));
      return buffer;
    }
  }
}

// ---------------------------------------------------------------- settings

struct Settings {
  std::map<std::string, HRESULT> failures;  // "Workbooks.19" -> HRESULT
  bool activeWorkbookNone = false;
};

const Settings& GetSettings() {
  static const Settings settings = [] {
    Settings s;
    const std::wstring wide = Environment(L"SPC_SERVER_FAIL");
    std::string text = Utf8(wide.c_str(), wide.size());
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find(',', start);
      if (end == std::string::npos) end = text.size();
      const std::string entry = text.substr(start, end - start);
      const std::size_t eq = entry.find('=');
      if (eq != std::string::npos) {
        s.failures[entry.substr(0, eq)] = static_cast<HRESULT>(std::strtoul(entry.substr(eq + 1).c_str(), nullptr, 0));
      }
      start = end + 1;
    }
    s.activeWorkbookNone = Environment(L"SPC_SERVER_ACTIVE_WORKBOOK") == L"none";
    return s;
  }();
  return settings;
}

// The HRESULT a member is set to fail with, or S_OK.
HRESULT Failure(Kind kind, const std::string& member) {
  const auto& failures = GetSettings().failures;
  const auto found = failures.find(std::string(KindName(kind)) + "." + member);
  return found == failures.end() ? S_OK : found->second;
}

// ---------------------------------------------------------------- objects

struct Object {
  void* const* table;
  Kind kind;
  int id;
  LONG refs;
};

std::string Name(const Object* o) { return std::string(KindName(o->kind)) + "#" + std::to_string(o->id); }

std::mutex g_objects_mutex;
std::vector<Object*> g_objects;  // every object made, for the end-of-process report
int g_next_id = 1;

std::array<std::array<void*, kTableSize>, 4> g_tables;

Object* NewObject(Kind kind, const std::string& how) {
  auto* o = new Object{g_tables[static_cast<int>(kind)].data(), kind, 0, 1};
  {
    std::lock_guard<std::mutex> lock(g_objects_mutex);
    o->id = g_next_id++;
    g_objects.push_back(o);
  }
  Log("new " + Name(o) + " by " + how);
  return o;
}

// Logs a member call and notes a call on an object that holds no reference.
void LogCall(const Object* self, int slot, const std::string& member, const std::string& arguments, HRESULT hr,
             const std::string& result = "") {
  if (self->refs <= 0) Log("ERROR call on released object " + Name(self) + " slot=" + std::to_string(slot));
  std::string line = "call " + Name(self) + " slot=" + std::to_string(slot) + " " + member;
  if (!arguments.empty()) line += " " + arguments;
  line += " -> " + Hex(hr);
  if (!result.empty()) line += " " + result;
  Log(line);
}

std::string OutText(const Object* o) { return o ? "out=" + Name(o) : "out=null"; }

// IUnknown

HRESULT STDMETHODCALLTYPE QueryInterface(Object* self, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  HRESULT hr = E_NOINTERFACE;
  *out = nullptr;
  if (IsEqualGUID(iid, kIidUnknown) || IsEqualGUID(iid, kIidDispatch) || IsEqualGUID(iid, OwnIid(self->kind))) {
    const LONG refs = InterlockedIncrement(&self->refs);
    *out = self;
    hr = S_OK;
    Log("qi " + Name(self) + " " + GuidText(iid) + " -> " + Hex(hr));
    Log("ref " + Name(self) + " AddRef " + std::to_string(refs));
    return hr;
  }
  Log("qi " + Name(self) + " " + GuidText(iid) + " -> " + Hex(hr));
  return hr;
}

ULONG STDMETHODCALLTYPE AddRef(Object* self) {
  const LONG refs = InterlockedIncrement(&self->refs);
  Log("ref " + Name(self) + " AddRef " + std::to_string(refs));
  return static_cast<ULONG>(refs);
}

ULONG STDMETHODCALLTYPE Release(Object* self) {
  const LONG refs = InterlockedDecrement(&self->refs);
  Log("ref " + Name(self) + " Release " + std::to_string(refs));
  if (refs < 0) Log("ERROR released more than held: " + Name(self));
  return static_cast<ULONG>(refs < 0 ? 0 : refs);
}

// Every slot without a member of its own. Under the x64 calling convention
// the caller removes its own arguments, so one body serves any signature.
template <std::size_t Slot>
HRESULT STDMETHODCALLTYPE Unimplemented(Object* self) {
  const HRESULT configured = Failure(self->kind, std::to_string(Slot));
  const HRESULT hr = configured != S_OK ? configured : E_NOTIMPL;
  LogCall(self, static_cast<int>(Slot), "not-implemented", "", hr);
  return hr;
}

// The members.

HRESULT STDMETHODCALLTYPE GlobalApplication(Object* self, Object** out) {
  const HRESULT hr = Failure(self->kind, "7");
  Object* result = nullptr;
  if (hr == S_OK && out) result = NewObject(Kind::kApplication, Name(self) + ".Application");
  if (out) *out = result;
  LogCall(self, 7, "Application", "", hr, OutText(result));
  return hr;
}

HRESULT STDMETHODCALLTYPE GlobalActiveWorkbook(Object* self, Object** out) {
  const HRESULT hr = Failure(self->kind, "18");
  Object* result = nullptr;
  if (hr == S_OK && out && !GetSettings().activeWorkbookNone) {
    result = NewObject(Kind::kWorkbook, Name(self) + ".ActiveWorkbook");
  }
  if (out) *out = result;
  LogCall(self, 18, "ActiveWorkbook", "", hr, OutText(result));
  return hr;
}

HRESULT STDMETHODCALLTYPE ApplicationDisplayAlerts(Object* self, LCID lcid, VARIANT_BOOL value) {
  const HRESULT hr = Failure(self->kind, "120");
  LogCall(self, 120, "DisplayAlerts", "lcid=" + std::to_string(lcid) + " value=" + std::to_string(value), hr);
  return hr;
}

HRESULT STDMETHODCALLTYPE ApplicationVisible(Object* self, LCID lcid, VARIANT_BOOL value) {
  const HRESULT hr = Failure(self->kind, "283");
  LogCall(self, 283, "Visible", "lcid=" + std::to_string(lcid) + " value=" + std::to_string(value), hr);
  return hr;
}

HRESULT STDMETHODCALLTYPE ApplicationWorkbooks(Object* self, Object** out) {
  const HRESULT hr = Failure(self->kind, "52");
  Object* result = nullptr;
  if (hr == S_OK && out) result = NewObject(Kind::kWorkbooks, Name(self) + ".Workbooks");
  if (out) *out = result;
  LogCall(self, 52, "Workbooks", "", hr, OutText(result));
  return hr;
}

// Each VARIANT parameter is declared by value: the compiler then receives it
// as the x64 convention passes any argument larger than 8 bytes, through a
// pointer to a copy that the caller made.
HRESULT STDMETHODCALLTYPE WorkbooksOpen(Object* self, BSTR filename, VARIANT v1, VARIANT v2, VARIANT v3, VARIANT v4,
                                        VARIANT v5, VARIANT v6, VARIANT v7, VARIANT v8, VARIANT v9, VARIANT v10,
                                        VARIANT v11, VARIANT v12, VARIANT v13, VARIANT v14, LCID lcid, Object** out) {
  const HRESULT hr = Failure(self->kind, "19");
  std::string arguments = "filename=" + BstrText(filename);
  const VARIANT* options[] = {&v1, &v2, &v3, &v4, &v5, &v6, &v7, &v8, &v9, &v10, &v11, &v12, &v13, &v14};
  for (std::size_t i = 0; i < std::size(options); ++i) {
    arguments += " " + std::to_string(i + 2) + "=" + VariantText(*options[i]);
  }
  arguments += " lcid=" + std::to_string(lcid);
  Object* result = nullptr;
  if (hr == S_OK && out) result = NewObject(Kind::kWorkbook, Name(self) + ".Open");
  if (out) *out = result;
  LogCall(self, 19, "Open", arguments, hr, OutText(result));
  return hr;
}

HRESULT STDMETHODCALLTYPE WorkbookRunAutoMacros(Object* self, LONG which, LCID lcid) {
  const HRESULT hr = Failure(self->kind, "101");
  LogCall(self, 101, "RunAutoMacros", "which=" + std::to_string(which) + " lcid=" + std::to_string(lcid), hr);
  return hr;
}

template <std::size_t... Slots>
std::array<void*, kTableSize> StubTable(std::index_sequence<Slots...>) {
  return {{reinterpret_cast<void*>(&Unimplemented<Slots>)...}};
}

template <class F>
void* Entry(F function) {
  return reinterpret_cast<void*>(function);
}

void BuildTables() {
  for (auto& table : g_tables) {
    table = StubTable(std::make_index_sequence<kTableSize>());
    table[0] = Entry(&QueryInterface);
    table[1] = Entry(&AddRef);
    table[2] = Entry(&Release);
  }
  auto& global = g_tables[static_cast<int>(Kind::kGlobal)];
  global[7] = Entry(&GlobalApplication);
  global[18] = Entry(&GlobalActiveWorkbook);
  auto& application = g_tables[static_cast<int>(Kind::kApplication)];
  application[52] = Entry(&ApplicationWorkbooks);
  application[120] = Entry(&ApplicationDisplayAlerts);
  application[283] = Entry(&ApplicationVisible);
  g_tables[static_cast<int>(Kind::kWorkbooks)][19] = Entry(&WorkbooksOpen);
  g_tables[static_cast<int>(Kind::kWorkbook)][101] = Entry(&WorkbookRunAutoMacros);
}

// ---------------------------------------------------------------- class factories

struct Factory : IClassFactory {
  explicit Factory(Kind k) : kind(k) {}
  Kind kind;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualGUID(iid, kIidUnknown) || IsEqualGUID(iid, kIidClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The factories are static and live as long as the DLL.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    const HRESULT configured = Failure(kind, "create");
    if (configured != S_OK) {
      Log("create " + std::string(KindName(kind)) + " -> " + Hex(configured));
      return configured;
    }
    if (!IsEqualGUID(iid, kIidUnknown) && !IsEqualGUID(iid, kIidDispatch) && !IsEqualGUID(iid, OwnIid(kind))) {
      Log("qi-create " + std::string(KindName(kind)) + " " + GuidText(iid) + " -> " + Hex(E_NOINTERFACE));
      return E_NOINTERFACE;
    }
    *out = NewObject(kind, "CreateInstance " + GuidText(iid));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_global_factory(Kind::kGlobal);
Factory g_application_factory(Kind::kApplication);

// ---------------------------------------------------------------- registration

struct ClassEntry {
  const wchar_t* clsid;
  const wchar_t* name;
};

constexpr ClassEntry kClasses[] = {
    {L"{00020812-0000-0000-C000-000000000046}", L"Test spreadsheet global object"},
    {L"{00024500-0000-0000-C000-000000000046}", L"Test spreadsheet application"},
};

bool SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    BuildTables();
  } else if (reason == DLL_PROCESS_DETACH) {
    // What each object still holds when the process lets the DLL go.
    for (const Object* o : g_objects) Log("end " + Name(o) + " refs=" + std::to_string(o->refs));
  }
  return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (IsEqualGUID(clsid, kClsidGlobal)) return g_global_factory.QueryInterface(iid, out);
  if (IsEqualGUID(clsid, kClsidApplication)) return g_application_factory.QueryInterface(iid, out);
  if (out) *out = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

// Objects are never freed, so the DLL stays loaded.
HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

HRESULT WINAPI DllRegisterServer() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
  for (const ClassEntry& c : kClasses) {
    const std::wstring key = std::wstring(L"CLSID\\") + c.clsid;
    HKEY cls = nullptr;
    HKEY server = nullptr;
    bool ok = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &cls, nullptr) ==
              ERROR_SUCCESS;
    ok = ok && SetString(cls, nullptr, c.name);
    ok = ok &&
         RegCreateKeyExW(cls, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &server, nullptr) == ERROR_SUCCESS;
    // "Both": the objects are used directly from whichever apartment the
    // caller is in, with no proxy (the interfaces have no proxy/stub here).
    ok = ok && SetString(server, nullptr, path) && SetString(server, L"ThreadingModel", L"Both");
    if (server) RegCloseKey(server);
    if (cls) RegCloseKey(cls);
    if (!ok) return SELFREG_E_CLASS;
  }
  return S_OK;
}

HRESULT WINAPI DllUnregisterServer() {
  for (const ClassEntry& c : kClasses) {
    const std::wstring key = std::wstring(L"CLSID\\") + c.clsid;
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  }
  return S_OK;
}

}  // extern "C"
