#include "office_harness.h"

#include <com/sun/star/awt/Toolkit.hpp>
#include <com/sun/star/awt/XDialog.hpp>
#include <com/sun/star/awt/XExtendedToolkit.hpp>
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow2.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XFrames.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <fcntl.h>
#include <osl/file.hxx>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace spc::libreoffice::testing {

namespace fs = std::filesystem;
namespace uno = css::uno;
using rtl::OUString;
using uno::Reference;
using uno::UNO_QUERY;

namespace {

std::string Utf8(const OUString& text) { return OUStringToOString(text, RTL_TEXTENCODING_UTF8).getStr(); }

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<pid_t> AllPids() {
  std::vector<pid_t> pids;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(name));
    if (pid != ::getpid()) pids.push_back(pid);
  }
  return pids;
}

}  // namespace

XServer::XServer() {
  int fds[2];
  if (::pipe(fds) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    // The X server ends with the test, however the test ends.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    ::close(fds[0]);
    const int devnull = ::open("/dev/null", O_RDWR);
    ::dup2(devnull, 0);
    ::dup2(devnull, 1);
    ::dup2(devnull, 2);
    const std::string fd = std::to_string(fds[1]);
    // -noreset: an X server resets when its last client leaves, and closes
    // every connection made meanwhile. The office's first start in a fresh
    // profile runs two soffice.bin one after the other (the first exits to
    // restart): without it the second one, under load, either cannot open
    // the display or loses it later and dies in the middle of a test.
    ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
             "-noreset", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  if (pid_ < 0) {
    ::close(fds[0]);
    return;
  }
  // Xvfb writes its display number once it accepts connections.
  std::string number;
  char c;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
  while (std::chrono::steady_clock::now() < deadline) {
    const ssize_t n = ::read(fds[0], &c, 1);
    if (n == 1) {
      if (c == '\n') break;
      number += c;
    } else if (n == 0) {
      break;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ::close(fds[0]);
  if (!number.empty()) display_ = ":" + number;
}

XServer::~XServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "spc-lo-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) fs::remove_all(path_, ignored);
}

pid_t StartOfficeWithLog(const std::vector<std::string>& arguments, const fs::path& log) {
  std::vector<std::string> storage{"soffice"};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : storage) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setsid();
    ::signal(SIGPIPE, SIG_DFL);
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in < 0 || out < 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::execvp("soffice", argv.data());
    ::_exit(127);
  }
  return pid;
}

std::string Tail(const fs::path& file, std::size_t max_bytes) {
  const std::string text = ReadFile(file);
  return text.size() <= max_bytes ? text : text.substr(text.size() - max_bytes);
}

std::vector<pid_t> ProcessesWithHome(const fs::path& home) {
  const std::string wanted = "HOME=" + home.string();
  std::vector<pid_t> found;
  for (const pid_t pid : AllPids()) {
    const std::string environment = ReadFile(fs::path("/proc") / std::to_string(pid) / "environ");
    std::size_t start = 0;
    while (start < environment.size()) {
      std::size_t end = environment.find('\0', start);
      if (end == std::string::npos) end = environment.size();
      if (environment.compare(start, end - start, wanted) == 0) {
        found.push_back(pid);
        break;
      }
      start = end + 1;
    }
  }
  return found;
}

void KillProcessesWithHome(const fs::path& home) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::vector<pid_t> pids = ProcessesWithHome(home);
    if (pids.empty()) return;
    for (const pid_t pid : pids) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, WNOHANG);  // reaps our own children
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void CleanUpAfterExit(const fs::path& home, const fs::path& folder) {
  int fds[2];
  // Close-on-exec: only this process holds the writing end, so its end (and
  // no office's) is what the helper sees.
  if (::pipe2(fds, O_CLOEXEC) != 0) return;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setsid();
    ::close(fds[1]);
    char c;
    while (::read(fds[0], &c, 1) != 0 && errno == EINTR) {
    }
    KillProcessesWithHome(home);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    ::_exit(0);
  }
  ::close(fds[0]);
  // The writing end stays open for the life of this process.
}

std::vector<pid_t> ProcessesMentioning(const std::string& text) {
  std::vector<pid_t> found;
  for (const pid_t pid : AllPids()) {
    const fs::path dir = fs::path("/proc") / std::to_string(pid);
    if (ReadFile(dir / "cmdline").find(text) != std::string::npos ||
        ReadFile(dir / "environ").find(text) != std::string::npos) {
      found.push_back(pid);
    }
  }
  return found;
}

std::vector<std::string> ReadLines(const fs::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

fs::path Fixture(const std::string& name) { return fs::path(SPC_FIXTURE_DIR) / name; }

OfficeProbe::OfficeProbe(const Options& options) {
  Options no_start = options;
  // The probe only looks: it reaches the office the test started or none.
  no_start.soffice = "/nonexistent/soffice";
  Expected<std::shared_ptr<OfficeSession>> session = OfficeSession::Connect(no_start);
  if (session) session_ = *session;
}

Reference<css::frame::XModel> OfficeProbe::Document(const fs::path& path) {
  if (!session_) return {};
  try {
    const Reference<css::container::XEnumerationAccess> components(session_->desktop()->getComponents());
    const Reference<css::container::XEnumeration> all = components->createEnumeration();
    while (all->hasMoreElements()) {
      const Reference<css::frame::XModel> model(all->nextElement(), UNO_QUERY);
      if (model.is() && PathOf(model) == path) return model;
    }
  } catch (const uno::Exception&) {
  }
  return {};
}

fs::path OfficeProbe::PathOf(const Reference<css::frame::XModel>& document) {
  try {
    OUString system_path;
    if (osl::FileBase::getSystemPathFromFileURL(document->getURL(), system_path) == osl::FileBase::E_None) {
      return fs::path(Utf8(system_path));
    }
  } catch (const uno::Exception&) {
  }
  return {};
}

std::string OfficeProbe::CellText(const Reference<css::frame::XModel>& document, int column, int row) {
  try {
    const Reference<css::sheet::XSpreadsheetDocument> spreadsheet(document, UNO_QUERY);
    const Reference<css::container::XIndexAccess> sheets(spreadsheet->getSheets(), UNO_QUERY);
    const Reference<css::table::XCellRange> first(sheets->getByIndex(0), UNO_QUERY);
    return Utf8(first->getCellByPosition(column, row)->getFormula());
  } catch (const uno::Exception&) {
    return "<no cell>";
  }
}

bool OfficeProbe::WindowVisible(const Reference<css::frame::XModel>& document) {
  try {
    const Reference<css::awt::XWindow2> window(
        document->getCurrentController()->getFrame()->getContainerWindow(), UNO_QUERY);
    return window.is() && window->isVisible();
  } catch (const uno::Exception&) {
    return false;
  }
}

std::vector<std::string> OfficeProbe::VisibleDialogs() {
  std::vector<std::string> dialogs;
  if (!session_) return {"<no connection>"};
  try {
    std::vector<Reference<uno::XInterface>> frame_windows;
    const Reference<css::container::XIndexAccess> frames(session_->desktop()->getFrames(), UNO_QUERY);
    for (sal_Int32 i = 0; i < frames->getCount(); ++i) {
      const Reference<css::frame::XFrame> frame(frames->getByIndex(i), UNO_QUERY);
      if (frame.is()) frame_windows.emplace_back(frame->getContainerWindow(), UNO_QUERY);
    }
    const Reference<css::awt::XExtendedToolkit> toolkit(css::awt::Toolkit::create(session_->context()), UNO_QUERY);
    // Marked deprecated in favour of accessibility, but still the one place
    // that lists every top window of the office, dialogs included.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const sal_Int32 count = toolkit->getTopWindowCount();
    for (sal_Int32 i = 0; i < count; ++i) {
      const Reference<css::awt::XTopWindow> top = toolkit->getTopWindow(i);
#pragma GCC diagnostic pop
      const Reference<css::awt::XWindow2> window(top, UNO_QUERY);
      if (!window.is() || !window->isVisible()) continue;
      const Reference<uno::XInterface> identity(top, UNO_QUERY);
      bool is_frame = false;
      for (const Reference<uno::XInterface>& frame_window : frame_windows) is_frame = is_frame || frame_window == identity;
      if (is_frame) continue;
      const Reference<css::awt::XDialog> dialog(top, UNO_QUERY);
      dialogs.push_back(dialog.is() ? Utf8(dialog->getTitle()) : "<untitled window>");
    }
  } catch (const uno::Exception&) {
    dialogs.push_back("<office did not answer>");
  }
  return dialogs;
}

}  // namespace spc::libreoffice::testing
