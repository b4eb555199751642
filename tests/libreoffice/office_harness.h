// What the LibreOffice tests need around a real office: an X server of their
// own, a throwaway home (and so office profile), the processes started there
// ended by pid, and a look into the office over UNO.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/libreoffice/libreoffice_automation.h"
#include "platform/libreoffice/office_session.h"

namespace spc::libreoffice::testing {

// Xvfb on the first free display, ended by pid when destroyed.
class XServer {
 public:
  XServer();
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;
  bool running() const { return pid_ > 0 && !display_.empty(); }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// A temporary folder, removed when destroyed.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Starts soffice with `arguments` in a session of its own, its output going
// to `log`: what an office says when it dies (a fatal signal, a lost
// display) is kept for the test's report. -1 when it cannot be started.
pid_t StartOfficeWithLog(const std::vector<std::string>& arguments, const std::filesystem::path& log);

// The last `max_bytes` of a file; empty when it does not exist.
std::string Tail(const std::filesystem::path& file, std::size_t max_bytes);

// Pids of the processes whose environment has HOME=`home`: the offices
// started for a test's throwaway profile.
std::vector<pid_t> ProcessesWithHome(const std::filesystem::path& home);
// Kills them by pid and waits (bounded) until they are gone.
void KillProcessesWithHome(const std::filesystem::path& home);

// Ends the processes with HOME=`home` and removes `folder` once this process
// has ended, however it ends (a crash, a kill at a timeout): a helper process
// of its own session waits for that.
void CleanUpAfterExit(const std::filesystem::path& home, const std::filesystem::path& folder);

// Pids of the processes whose command line or environment contains `text`.
std::vector<pid_t> ProcessesMentioning(const std::string& text);

// Lines of a text file; none when it does not exist.
std::vector<std::string> ReadLines(const std::filesystem::path& file);

// The fixture workbooks made by make_fixtures.
std::filesystem::path Fixture(const std::string& name);

// A look into the office over a connection of the test's own.
class OfficeProbe {
 public:
  explicit OfficeProbe(const Options& options);
  bool connected() const { return session_ != nullptr; }

  // The open document whose file is `path`; empty when none is.
  css::uno::Reference<css::frame::XModel> Document(const std::filesystem::path& path);
  // The text of a cell of the document's first sheet.
  std::string CellText(const css::uno::Reference<css::frame::XModel>& document, int column, int row);
  bool WindowVisible(const css::uno::Reference<css::frame::XModel>& document);
  // Titles of the office's visible top windows that belong to no document
  // frame: dialogs and message boxes.
  std::vector<std::string> VisibleDialogs();
  // The path of the document's file.
  std::filesystem::path PathOf(const css::uno::Reference<css::frame::XModel>& document);

 private:
  std::shared_ptr<OfficeSession> session_;
};

}  // namespace spc::libreoffice::testing
