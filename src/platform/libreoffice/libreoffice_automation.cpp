// The automation objects over one office session:
//
//   Global       Application -> the application; ActiveWorkbook -> the
//                office's current spreadsheet document, or the last one this
//                process opened
//   Application  DisplayAlerts, Visible, Workbooks
//   Workbooks    Open: loads the file with macros off, runs its Workbook_Open
//   Workbook     RunAutoMacros: runs Auto_Open through the document's script
//                provider
//
// No object here closes a document or ends the office.
#include "platform/libreoffice/libreoffice_automation.h"

#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/XEmbeddedScripts.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/script/XLibraryContainer.hpp>
#include <com/sun/star/script/provider/XScript.hpp>
#include <com/sun/star/script/provider/XScriptProvider.hpp>
#include <com/sun/star/script/provider/XScriptProviderSupplier.hpp>
#include <com/sun/star/script/ModuleType.hpp>
#include <com/sun/star/script/vba/XVBAModuleInfo.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionHandler.hpp>
#include <com/sun/star/task/XInteractionRequest.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/implbase1.hxx>
#include <osl/file.hxx>
#include <osl/process.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/libreoffice/office_process.h"
#include "platform/libreoffice/office_session.h"
#include "platform/libreoffice/xls_encryption.h"
#include "platform/utf.h"

namespace spc::libreoffice {

namespace uno = css::uno;
using css::beans::NamedValue;
using css::beans::PropertyValue;
using uno::Any;
using rtl::OUString;
using uno::Reference;
using uno::Sequence;
using uno::UNO_QUERY;

namespace {

OUString ToOUString(std::u16string_view text) {
  return OUString(reinterpret_cast<const sal_Unicode*>(text.data()), static_cast<sal_Int32>(text.size()));
}

std::u16string ToU16(const OUString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.getStr()), static_cast<std::size_t>(text.getLength()));
}

PropertyValue Property(const char* name, const Any& value) {
  PropertyValue p;
  p.Name = OUString::createFromAscii(name);
  p.Value = value;
  return p;
}

// Answers every request of the office (password, lock file, filter options,
// repair...) with its abort continuation, so that no dialog can block.
class AbortingInteractionHandler : public cppu::WeakImplHelper1<css::task::XInteractionHandler> {
 public:
  void SAL_CALL handle(const Reference<css::task::XInteractionRequest>& request) override {
    if (!request.is()) return;
    const Sequence<Reference<css::task::XInteractionContinuation>> continuations = request->getContinuations();
    for (const Reference<css::task::XInteractionContinuation>& continuation : continuations) {
      const Reference<css::task::XInteractionAbort> abort(continuation, UNO_QUERY);
      if (abort.is()) {
        abort->select();
        return;
      }
    }
  }
};

// The platform's own conversion of a path to a file URL. A relative path is
// taken from the working folder.
std::optional<OUString> FileUrl(const std::u16string& path) {
  if (path.empty()) return std::nullopt;
  OUString url;
  if (path.front() == u'/') {
    if (osl::FileBase::getFileURLFromSystemPath(ToOUString(path), url) != osl::FileBase::E_None) return std::nullopt;
    return url;
  }
  OUString cwd;
  if (osl_getProcessWorkingDir(&cwd.pData) != osl_Process_E_None) return std::nullopt;
  OUString cwd_path;
  if (osl::FileBase::getSystemPathFromFileURL(cwd, cwd_path) != osl::FileBase::E_None) return std::nullopt;
  if (osl::FileBase::getFileURLFromSystemPath(cwd_path + "/" + ToOUString(path), url) != osl::FileBase::E_None) {
    return std::nullopt;
  }
  return url;
}

// --- finding a procedure in a document's macro libraries

std::u16string Lower(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return text;
}

// Whether the Basic source declares `Sub <name>` (case ignored), with or
// without Public/Private/Static before it.
bool DeclaresSub(const std::u16string& source, const std::u16string& name) {
  const std::u16string lowered = Lower(source);
  const std::u16string wanted = Lower(name);
  std::size_t start = 0;
  while (start <= lowered.size()) {
    std::size_t end = lowered.find_first_of(u"\r\n", start);
    if (end == std::u16string::npos) end = lowered.size();
    std::u16string_view line(lowered.data() + start, end - start);
    auto skip_blanks = [&line] {
      while (!line.empty() && (line.front() == u' ' || line.front() == u'\t')) line.remove_prefix(1);
    };
    skip_blanks();
    for (std::u16string_view prefix : {u"public ", u"private ", u"static "}) {
      if (line.substr(0, prefix.size()) == prefix) {
        line.remove_prefix(prefix.size());
        skip_blanks();
      }
    }
    if (line.substr(0, 4) == u"sub " || line.substr(0, 4) == u"sub\t") {
      line.remove_prefix(4);
      skip_blanks();
      if (line.substr(0, wanted.size()) == wanted) {
        line.remove_prefix(wanted.size());
        if (line.empty() || line.front() == u'(' || line.front() == u' ' || line.front() == u'\t' ||
            line.front() == u'\'') {
          return true;
        }
      }
    }
    start = end + 1;
  }
  return false;
}

// Where a procedure may live: the automatic macros in standard modules, the
// workbook's events in its document module.
enum class ModuleKind { kStandard, kWorkbookDocument };

// The script URI of the first procedure `name` found in the document's Basic
// libraries (VBAProject, where imported VBA lives, first); empty when none.
OUString FindProcedure(const Reference<css::frame::XModel>& document, const std::u16string& name, ModuleKind kind) {
  const Reference<css::document::XEmbeddedScripts> scripts(document, UNO_QUERY);
  if (!scripts.is()) return {};
  const Reference<css::script::XLibraryContainer> libraries(scripts->getBasicLibraries(), UNO_QUERY);
  const Reference<css::container::XNameAccess> library_names(libraries, UNO_QUERY);
  if (!libraries.is() || !library_names.is()) return {};

  std::vector<OUString> order;
  const OUString vba_project("VBAProject");
  if (library_names->hasByName(vba_project)) order.push_back(vba_project);
  for (const OUString& library : library_names->getElementNames()) {
    if (library != vba_project) order.push_back(library);
  }

  OUString workbook_module("ThisWorkbook");
  if (kind == ModuleKind::kWorkbookDocument) {
    try {
      const Reference<css::beans::XPropertySet> properties(document, UNO_QUERY);
      OUString code_name;
      if (properties.is() && (properties->getPropertyValue("CodeName") >>= code_name) && !code_name.isEmpty()) {
        workbook_module = code_name;
      }
    } catch (const uno::Exception&) {
    }
  }

  for (const OUString& library : order) {
    try {
      if (!libraries->isLibraryLoaded(library)) libraries->loadLibrary(library);
      const Reference<css::container::XNameAccess> modules(library_names->getByName(library), UNO_QUERY);
      if (!modules.is()) continue;
      const Reference<css::script::vba::XVBAModuleInfo> module_info(modules, UNO_QUERY);
      for (const OUString& module : modules->getElementNames()) {
        // Modules without VBA module information are plain Basic modules.
        const sal_Int32 type = module_info.is() && module_info->hasModuleInfo(module)
                                   ? module_info->getModuleInfo(module).ModuleType
                                   : css::script::ModuleType::NORMAL;
        if (kind == ModuleKind::kWorkbookDocument) {
          if (type != css::script::ModuleType::DOCUMENT || !module.equalsIgnoreAsciiCase(workbook_module)) continue;
        } else if (type != css::script::ModuleType::NORMAL) {
          continue;
        }
        OUString source;
        if (!(modules->getByName(module) >>= source)) continue;
        if (DeclaresSub(ToU16(source), name)) {
          return "vnd.sun.star.script:" + library + "." + module + "." + ToOUString(name) +
                 "?language=Basic&location=document";
        }
      }
    } catch (const uno::Exception&) {
    }
  }
  return {};
}

// Runs the procedure `name` of the document when it has one. The procedure
// runs inside the office; its own errors are the office's to report.
Status RunProcedure(const Reference<css::frame::XModel>& document, const std::u16string& name, ModuleKind kind) {
  try {
    const OUString uri = FindProcedure(document, name, kind);
    if (uri.isEmpty()) return kOk;
    const Reference<css::script::provider::XScriptProviderSupplier> supplier(document, UNO_QUERY);
    if (!supplier.is()) return Status(code::kFail);
    const Reference<css::script::provider::XScript> script = supplier->getScriptProvider()->getScript(uri);
    if (!script.is()) return Status(code::kFail);
    Sequence<sal_Int16> out_index;
    Sequence<Any> out;
    script->invoke({}, out_index, out);
    return kOk;
  } catch (const uno::Exception&) {
    return Status(code::kFail);
  }
}

void ShowAndRaise(const Reference<css::frame::XModel>& document) {
  try {
    const Reference<css::frame::XController> controller = document->getCurrentController();
    if (!controller.is()) return;
    const Reference<css::frame::XFrame> frame = controller->getFrame();
    if (!frame.is()) return;
    const Reference<css::awt::XWindow> window = frame->getContainerWindow();
    if (!window.is()) return;
    window->setVisible(true);
    const Reference<css::awt::XTopWindow> top(window, UNO_QUERY);
    if (top.is()) top->toFront();
    frame->activate();
  } catch (const uno::Exception&) {
  }
}

// --- the automation objects

class LoWorkbook : public Workbook {
 public:
  LoWorkbook(std::shared_ptr<OfficeSession> session, Reference<css::frame::XModel> document)
      : session_(std::move(session)), document_(std::move(document)) {}

  Status RunAutoMacros(std::int32_t which, Lcid) override {
    static constexpr const char16_t* kAutoMacros[] = {u"Auto_Open", u"Auto_Close", u"Auto_Activate",
                                                      u"Auto_Deactivate"};
    if (which < 1 || which > 4) return Status(code::kInvalidArgument);
    return RunProcedure(document_, kAutoMacros[which - 1], ModuleKind::kStandard);
  }

 private:
  std::shared_ptr<OfficeSession> session_;  // declared first: outlives the reference below
  Reference<css::frame::XModel> document_;
};

struct ApplicationState {
  bool visible = false;
  std::vector<Reference<css::frame::XModel>> opened;
};

class LoWorkbooks : public Workbooks {
 public:
  LoWorkbooks(std::shared_ptr<OfficeSession> session, std::shared_ptr<ApplicationState> application)
      : session_(std::move(session)), application_(std::move(application)) {}

  Expected<std::unique_ptr<Workbook>> Open(const std::u16string& filename, const OpenOptions& options,
                                           Lcid) override {
    std::optional<std::u16string> password;
    const Variant& given = options[kOpenPassword];
    if (given.type == VarType::kBstr) {
      password = given.text;
    } else if (given.type != VarType::kEmpty && given != Variant::Omitted()) {
      return Status(code::kTypeMismatch);
    }

    const std::optional<OUString> url = FileUrl(filename);
    if (!url) return Status(code::kBadFileName);

    std::vector<PropertyValue> descriptor;
    // The office must not run the workbook's macros by itself: Workbook_Open
    // runs below, Auto_Open only when asked through RunAutoMacros.
    descriptor.push_back(Property("MacroExecutionMode", Any(css::document::MacroExecMode::NEVER_EXECUTE)));
    descriptor.push_back(Property("Hidden", Any(!application_->visible)));
    if (!session_->alerts) {
      descriptor.push_back(Property(
          "InteractionHandler", Any(Reference<css::task::XInteractionHandler>(new AbortingInteractionHandler))));
    }
    if (password) AddPassword(filename, *password, descriptor);

    // A workbook that is already open is not loaded again, and its open
    // event does not run again: it only becomes the active one.
    if (const Reference<css::frame::XModel> open = OpenDocument(*url); open.is()) {
      session_->SetLastOpened(open);
      application_->opened.push_back(open);
      if (application_->visible) ShowAndRaise(open);
      return std::unique_ptr<Workbook>(std::make_unique<LoWorkbook>(session_, open));
    }

    Reference<css::frame::XModel> document;
    try {
      const Reference<css::frame::XComponentLoader> loader(session_->desktop(), UNO_QUERY);
      const Reference<uno::XInterface> loaded = loader->loadComponentFromURL(
          *url, "_default", 0, Sequence<PropertyValue>(descriptor.data(), static_cast<sal_Int32>(descriptor.size())));
      document.set(loaded, UNO_QUERY);
      if (!document.is()) return Status(code::kFail);
      if (!IsSpreadsheet(document)) {
        // Not a workbook (a text file, say): it is not left open.
        const Reference<css::util::XCloseable> closeable(document, UNO_QUERY);
        if (closeable.is()) closeable->close(true);
        return Status(code::kFail);
      }
    } catch (const uno::Exception&) {
      return Status(code::kFail);
    }

    session_->SetLastOpened(document);
    application_->opened.push_back(document);
    if (application_->visible) ShowAndRaise(document);
    // The workbook's own open event, as when the workbook is opened by hand.
    (void)RunProcedure(document, u"Workbook_Open", ModuleKind::kWorkbookDocument);
    return std::unique_ptr<Workbook>(std::make_unique<LoWorkbook>(session_, document));
  }

 private:
  // The open spreadsheet document loaded from `url`, if any.
  Reference<css::frame::XModel> OpenDocument(const OUString& url) {
    try {
      const Reference<css::container::XEnumeration> all = session_->desktop()->getComponents()->createEnumeration();
      while (all->hasMoreElements()) {
        const Reference<css::frame::XModel> model(all->nextElement(), UNO_QUERY);
        if (model.is() && model->getURL() == url && IsSpreadsheet(model)) return model;
      }
    } catch (const uno::Exception&) {
    }
    return {};
  }

  // The password in a form the office accepts. For RC4 CryptoAPI the office
  // refuses passwords of 16 characters or more, but takes the key derived
  // from it; other schemes get the password itself.
  static void AddPassword(const std::u16string& filename, const std::u16string& password,
                          std::vector<PropertyValue>& descriptor) {
    XlsEncryption encryption;
    if (Expected<std::string> path = ToUtf8(filename)) encryption = ReadXlsEncryption(*path);
    if (encryption.scheme == XlsEncryption::Scheme::kCryptoApi) {
      const std::array<std::uint8_t, 20> key = CryptoApiKey(encryption.salt, password);
      const Sequence<sal_Int8> key_bytes(reinterpret_cast<const sal_Int8*>(key.data()), key.size());
      const Sequence<sal_Int8> salt_bytes(reinterpret_cast<const sal_Int8*>(encryption.salt.data()),
                                          encryption.salt.size());
      const NamedValue values[] = {NamedValue("CryptoAPIEncryptionKey", Any(key_bytes)),
                                   NamedValue("STD97UniqueID", Any(salt_bytes))};
      const Sequence<NamedValue> data(values, 2);
      descriptor.push_back(Property("EncryptionData", Any(data)));
    } else if (encryption.scheme != XlsEncryption::Scheme::kNone) {
      descriptor.push_back(Property("Password", Any(ToOUString(password))));
    }
  }

  std::shared_ptr<OfficeSession> session_;
  std::shared_ptr<ApplicationState> application_;
};

class LoApplication : public Application {
 public:
  explicit LoApplication(std::shared_ptr<OfficeSession> session)
      : session_(std::move(session)), state_(std::make_shared<ApplicationState>()) {}

  Status PutDisplayAlerts(Lcid, VariantBool value) override {
    session_->alerts = value != kVariantFalse;
    return kOk;
  }

  Status PutVisible(Lcid, VariantBool value) override {
    state_->visible = value != kVariantFalse;
    if (state_->visible) {
      for (const Reference<css::frame::XModel>& document : state_->opened) ShowAndRaise(document);
    }
    return kOk;
  }

  Expected<std::unique_ptr<Workbooks>> GetWorkbooks() override {
    if (!session_->Alive()) return Status(code::kFail);
    return std::unique_ptr<Workbooks>(std::make_unique<LoWorkbooks>(session_, state_));
  }

 private:
  std::shared_ptr<OfficeSession> session_;
  std::shared_ptr<ApplicationState> state_;
};

class LoGlobal : public SpreadsheetGlobal {
 public:
  explicit LoGlobal(std::shared_ptr<OfficeSession> session) : session_(std::move(session)) {}

  Expected<std::unique_ptr<Application>> GetApplication() override {
    return std::unique_ptr<Application>(std::make_unique<LoApplication>(session_));
  }

  Expected<std::unique_ptr<Workbook>> GetActiveWorkbook() override {
    const Reference<css::frame::XModel> active = session_->ActiveWorkbook();
    if (!active.is()) return std::unique_ptr<Workbook>();
    return std::unique_ptr<Workbook>(std::make_unique<LoWorkbook>(session_, active));
  }

 private:
  std::shared_ptr<OfficeSession> session_;
};

class LoAutomation : public SpreadsheetAutomation {
 public:
  explicit LoAutomation(Options options) : options_(std::move(options)) {}

  Expected<std::unique_ptr<SpreadsheetGlobal>> CreateGlobal() override {
    SPC_TRY_ASSIGN(std::shared_ptr<OfficeSession> session, Session());
    return std::unique_ptr<SpreadsheetGlobal>(std::make_unique<LoGlobal>(std::move(session)));
  }

  Expected<std::unique_ptr<Application>> CreateApplication() override {
    SPC_TRY_ASSIGN(std::shared_ptr<OfficeSession> session, Session());
    return std::unique_ptr<Application>(std::make_unique<LoApplication>(std::move(session)));
  }

 private:
  // Every object of the process shares one connection while the office answers.
  Expected<std::shared_ptr<OfficeSession>> Session() {
    if (std::shared_ptr<OfficeSession> session = session_.lock(); session && session->Alive()) return session;
    SPC_TRY_ASSIGN(std::shared_ptr<OfficeSession> session, OfficeSession::Connect(options_));
    session_ = session;
    return session;
  }

  Options options_;
  std::weak_ptr<OfficeSession> session_;
};

}  // namespace

Options DefaultOptions() {
  Options options;
  options.pipeName = DefaultPipeName();
  return options;
}

std::unique_ptr<SpreadsheetAutomation> MakeAutomation() { return MakeAutomation(DefaultOptions()); }

std::unique_ptr<SpreadsheetAutomation> MakeAutomation(const Options& options) {
  return std::make_unique<LoAutomation>(options);
}

}  // namespace spc::libreoffice
