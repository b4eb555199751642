// The LibreOffice backend against a real Calc: GUI mode under an Xvfb of the
// suite's own, a throwaway home (so a fresh office profile), its own pipe,
// and every process started there ended by pid when the suite ends.
//
// The launcher's own logic drives the backend: Form3 runs on the recording
// toolkit and Open dialog of the core tests, with the real directory search
// and the real spreadsheet automation, so each run goes from the choice of
// the file to the outcome the process would exit with.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "core/recording_platform.h"
#include "office_harness.h"
#include "platform/libreoffice/libreoffice_automation.h"
#include "platform/libreoffice/office_process.h"
#include "platform/posix/dir_search.h"
#include "platform/utf.h"

namespace spc::libreoffice::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr char kPassword[] = "pelisvarko!?dimaqu_wfz";
constexpr char kNotOpenedMessage[] = "MessageBox Désolé , le classeur n'a pas pu être ouvert . | 0 | telvo";
constexpr char kNotStartedMessage[] = "MessageBox Désolé , le tableur n'a pas pu être démarré . | 0 | telvo";
// Longer than any load of these small workbooks, shorter than the test's own
// timeout: an operation that takes this long is hanging on something.
constexpr auto kHang = 60s;
constexpr auto kWatchdog = 120s;

// One run of the launcher, from the dialog on, with `choice` picked.
struct LauncherRun : spc::testing::RecordingPlatform {
  explicit LauncherRun(const fs::path& choice, SpreadsheetAutomation& automation)
      : office_platform{toolkit, dialog, automation, global}, office_form{office_platform} {
    dialog.choice = FromUtf8(choice.string());
    toolkit.directorySearch = [](const std::u16string& path, std::int32_t attributes) {
      return posix::DirectorySearch(path, attributes);
    };
  }
  Outcome Run() {
    office_form.Load();
    return office_form.outcome();
  }
  bool Shown(const std::string& message) const { return recorder.Called(message); }

  Platform office_platform;
  Form3 office_form;
};

void SetEnv(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }

class Office : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    home_ = dir_->path() / "home";
    // Before any thread starts: the offices of this home are ended even if
    // the test is killed.
    CleanUpAfterExit(home_, dir_->path());
    x_ = std::make_unique<XServer>();
    if (!x_->running()) {
      broken_ = "Xvfb did not start";
      return;
    }
    log_ = dir_->path() / "macros.log";
    fs::create_directories(home_);
    // Inherited by the office: its display, its profile, and where the
    // fixtures' macros write.
    SetEnv("DISPLAY", x_->display());
    SetEnv("HOME", home_.string());
    SetEnv("SPC_MACRO_LOG", log_.string());
    ::unsetenv("SAL_USE_VCLPLUGIN");

    // The user's office already runs, not listening on the launcher's pipe:
    // the launcher's soffice must hand its --accept over to it.
    Options first;
    first.pipeName = "spc_test_first_" + std::to_string(::getpid());
    // Its output is kept: when an office dies under a test, the test says why.
    office_log_ = dir_->path() / "office.log";
    if (StartOfficeWithLog(OfficeArguments(first.pipeName), office_log_) <= 0) {
      broken_ = "soffice could not be started";
      return;
    }
    first.soffice = "/nonexistent/soffice";
    const auto deadline = Clock::now() + 120s;
    bool up = false;
    while (!up && Clock::now() < deadline) {
      up = OfficeProbe(first).connected();
      if (!up) std::this_thread::sleep_for(200ms);
    }
    if (!up) {
      broken_ = "the office did not come up";
      return;
    }

    options_.pipeName = "spc_test_launcher_" + std::to_string(::getpid());
  }

  static void TearDownTestSuite() {
    if (!home_.empty()) KillProcessesWithHome(home_);
    dir_.reset();
    x_.reset();
  }

  void SetUp() override {
    // A failed suite set-up fails each test: gtest would only skip them,
    // which CTest reports as skipped, not failed.
    if (!broken_.empty()) FAIL() << broken_;
    // A call that blocks on the office (a dialog it should not have shown)
    // would hang the test: past the limit the office is ended, which makes
    // the blocked call fail and the test report it.
    watchdog_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      if (!finished_.wait_for(lock, kWatchdog, [this] { return done_; })) {
        ADD_FAILURE() << "the office blocked for " << kWatchdog.count() << " s; ended";
        KillProcessesWithHome(home_);
      }
    });
  }

  void TearDown() override {
    if (HasFailure()) {
      // Whether the office died or stopped answering, and what it said.
      std::cerr << "processes of the test's home:";
      for (const pid_t pid : ProcessesWithHome(home_)) std::cerr << " " << pid;
      std::cerr << "\nthe office answers on the launcher's pipe: "
                << (OfficeProbe(options_).connected() ? "yes" : "no") << "\noffice output ("
                << office_log_.string() << "):\n" << Tail(office_log_, 4000) << "\n";
    }
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    finished_.notify_all();
    if (watchdog_.joinable()) watchdog_.join();
  }

  static std::vector<std::string> Macros() { return ReadLines(log_); }

  std::thread watchdog_;
  std::mutex mutex_;
  std::condition_variable finished_;
  bool done_ = false;

  static inline std::string broken_;
  static inline std::unique_ptr<XServer> x_;
  static inline std::unique_ptr<TempDir> dir_;
  static inline fs::path home_;
  static inline fs::path log_;
  static inline fs::path office_log_;
  static inline Options options_;
};

// Runs first, while the office holds no document.
TEST_F(Office, WithNoDocumentTheActiveWorkbookIsEmptyWithoutFailure) {
  const std::unique_ptr<SpreadsheetAutomation> automation = MakeAutomation(options_);
  Expected<std::unique_ptr<SpreadsheetGlobal>> global = automation->CreateGlobal();
  ASSERT_TRUE(global.ok()) << std::hex << global.status().code();
  Expected<std::unique_ptr<Workbook>> active = (*global)->GetActiveWorkbook();
  ASSERT_TRUE(active.ok());
  EXPECT_EQ(*active, nullptr);
}

TEST_F(Office, TheProtectedWorkbookOpensVisibleAndEachOpenMacroRunsOnce) {
  fs::remove(log_);
  const fs::path workbook = dir_->path() / "protected.xls";
  fs::copy_file(Fixture("protected.xls"), workbook);
  {
    const std::unique_ptr<SpreadsheetAutomation> automation = MakeAutomation(options_);
    LauncherRun run(workbook, *automation);
    const auto start = Clock::now();
    EXPECT_EQ(run.Run(), Outcome::kHandedOver);
    EXPECT_LT(Clock::now() - start, kHang);
    EXPECT_FALSE(run.toolkit.loaded()) << "the window was not unloaded";
  }  // the launcher's objects and its bridge are gone, as at its exit

  // Each macro once, in Excel's order, and still once a moment later: the
  // office did not run Auto_Open by itself as well.
  EXPECT_EQ(Macros(), (std::vector<std::string>{"Workbook_Open", "Auto_Open"}));
  std::this_thread::sleep_for(3s);
  EXPECT_EQ(Macros(), (std::vector<std::string>{"Workbook_Open", "Auto_Open"}));

  OfficeProbe probe(options_);
  ASSERT_TRUE(probe.connected()) << "the office did not stay";
  const auto document = probe.Document(workbook);
  ASSERT_TRUE(document.is()) << "the workbook did not stay open";
  EXPECT_TRUE(probe.WindowVisible(document));
  EXPECT_EQ(probe.CellText(document, 0, 0), "Auto_Open ran");
  EXPECT_EQ(probe.CellText(document, 0, 1), "Workbook_Open ran");
  EXPECT_EQ(probe.VisibleDialogs(), std::vector<std::string>{});
  // The password went through UNO only: no process shows it.
  EXPECT_EQ(ProcessesMentioning(kPassword), std::vector<pid_t>{});

  // Chosen again while it is open: not loaded a second time, so its open
  // event does not run again; its automatic open macros do, when asked.
  {
    const std::unique_ptr<SpreadsheetAutomation> automation = MakeAutomation(options_);
    LauncherRun again(workbook, *automation);
    EXPECT_EQ(again.Run(), Outcome::kHandedOver);
  }
  EXPECT_EQ(Macros(), (std::vector<std::string>{"Workbook_Open", "Auto_Open", "Auto_Open"}));
}

TEST_F(Office, AWorkbookOpenedThroughAnInvisibleApplicationShowsWhenItBecomesVisible) {
  const fs::path workbook = dir_->path() / "hidden.xls";
  fs::copy_file(Fixture("unprotected.xls"), workbook);
  const std::unique_ptr<SpreadsheetAutomation> automation = MakeAutomation(options_);
  Expected<std::unique_ptr<Application>> app = automation->CreateApplication();
  ASSERT_TRUE(app.ok());
  Expected<std::unique_ptr<Workbooks>> workbooks = (*app)->GetWorkbooks();
  ASSERT_TRUE(workbooks.ok());
  OpenOptions options;
  options.fill(Variant::Omitted());
  ASSERT_TRUE((*workbooks)->Open(FromUtf8(workbook.string()), options, kLocaleEnglishUS).ok());

  OfficeProbe probe(options_);
  const auto document = probe.Document(workbook);
  ASSERT_TRUE(document.is());
  EXPECT_FALSE(probe.WindowVisible(document));
  // Open ran the workbook's open event, and not its Auto_Open.
  EXPECT_EQ(probe.CellText(document, 0, 1), "Workbook_Open ran");
  EXPECT_EQ(probe.CellText(document, 0, 0), "");
  ASSERT_TRUE((*app)->PutVisible(kLocaleEnglishUS, kVariantTrue).ok());
  EXPECT_TRUE(probe.WindowVisible(document));
}

TEST_F(Office, PathsWithBlanksAccentsHashAndPercentOpen) {
  const std::vector<fs::path> names = {
      "with blanks/carte de contrôle.xls",
      "équipe été/mesures àéèçù.xls",
      "lot #3/carte#1.xls",
      "100% contrôlé/50%20taux %41.xls",
  };
  const std::unique_ptr<SpreadsheetAutomation> automation = MakeAutomation(options_);
  for (const fs::path& name : names) {
    SCOPED_TRACE(name.string());
    const fs::path workbook = dir_->path() / "odd" / name;
    fs::create_directories(workbook.parent_path());
    fs::copy_file(Fixture("protected.xls"), workbook);
    fs::remove(log_);

    LauncherRun run(workbook, *automation);
    EXPECT_EQ(run.Run(), Outcome::kHandedOver);
    EXPECT_EQ(Macros(), (std::vector<std::string>{"Workbook_Open", "Auto_Open"}));
    OfficeProbe probe(options_);
    const auto document = probe.Document(workbook);
    ASSERT_TRUE(document.is()) << "not open under its own path";
    // Auto_Open ran in this workbook, not in the one opened before it.
    EXPECT_EQ(probe.CellText(document, 0, 0), "Auto_Open ran");
  }
}

TEST_F(Office, UnopenableWorkbooksFailAtOnceAndLeaveNoDialog) {
  struct Case {
    const char* what;
    std::string fixture;
    bool stale_lock;
  };
  const std::vector<Case> cases = {
      {"another password", "other-password.xls", false},
      {"a corrupt file", "corrupt.xls", false},
      {"a stale lock of another user", "protected.xls", true},
  };
  const std::unique_ptr<SpreadsheetAutomation> automation = MakeAutomation(options_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path folder = dir_->path() / "unopenable" / c.fixture;
    fs::create_directories(folder);
    const fs::path workbook = folder / "carte.xls";
    fs::copy_file(Fixture(c.fixture), workbook);
    if (c.stale_lock) {
      // The office's lock file as another user on another machine left it.
      std::ofstream(folder / ".~lock.carte.xls#")
          << "Quelqu'un d'autre,autre,poste-atelier,01.12.2026 08:00,file:///home/autre/.config/libreoffice/4;";
    }
    fs::remove(log_);

    LauncherRun run(workbook, *automation);
    const auto start = Clock::now();
    EXPECT_EQ(run.Run(), Outcome::kWorkbookNotOpened);
    EXPECT_LT(Clock::now() - start, kHang);
    EXPECT_TRUE(run.Shown(kNotOpenedMessage));
    // No macro of whatever workbook was active before ran in its place.
    EXPECT_EQ(Macros(), std::vector<std::string>{});
    OfficeProbe probe(options_);
    ASSERT_TRUE(probe.connected());
    EXPECT_FALSE(probe.Document(workbook).is());
    EXPECT_EQ(probe.VisibleDialogs(), std::vector<std::string>{});
  }
}

// Without an office to talk to, creation fails within seconds.
TEST(OfficeStart, AnOfficeThatCannotStartOrNeverAnswersIsAFailedCreation) {
  TempDir dir;
  const fs::path home = dir.path() / "home";
  fs::create_directories(home);
  CleanUpAfterExit(home, dir.path());
  const std::string saved_home = std::getenv("HOME") ? std::getenv("HOME") : "";
  SetEnv("HOME", home.string());

  auto script = [&](const char* name, const char* body) {
    const fs::path file = dir.path() / name;
    std::ofstream(file) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(file, fs::perms::owner_all);
    return file.string();
  };
  struct Case {
    const char* what;
    std::string soffice;
  };
  const std::vector<Case> cases = {
      {"no such program", (dir.path() / "missing" / "soffice").string()},
      {"not on the PATH", "spc-no-such-office"},
      {"dies at once", script("dies", "exit 1")},
      {"hands over to no office", script("hands-over", "exit 0")},
      {"never answers", script("silent", "exec sleep 600")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Options options;
    options.pipeName = "spc_test_nobody_" + std::to_string(::getpid());
    options.soffice = c.soffice;
    options.startTimeout = 3s;
    options.handOverTimeout = 1s;
    const std::unique_ptr<SpreadsheetAutomation> automation = MakeAutomation(options);
    const auto start = Clock::now();
    Expected<std::unique_ptr<Application>> app = automation->CreateApplication();
    EXPECT_EQ(app.status().code(), code::kClassNotRegistered);
    EXPECT_LT(Clock::now() - start, 20s);

    // The launcher then tells the user and ends with its own status.
    LauncherRun run(Fixture("protected.xls"), *automation);
    EXPECT_EQ(run.Run(), Outcome::kSpreadsheetNotStarted);
    EXPECT_TRUE(run.Shown(kNotStartedMessage));
  }
  KillProcessesWithHome(home);
  SetEnv("HOME", saved_home);
}

// The office goes away under the launcher's connection (it crashes, its user
// ends it): what the launcher asks next fails with a status, and neither a
// write to the dead connection (SIGPIPE) nor anything else ends the process.
TEST(OfficeDeath, AnOfficeEndedUnderTheConnectionGivesFailuresNotASignal) {
  TempDir dir;
  const fs::path home = dir.path() / "home";
  fs::create_directories(home);
  CleanUpAfterExit(home, dir.path());
  XServer x;
  ASSERT_TRUE(x.running()) << "Xvfb did not start";
  const std::string saved_home = std::getenv("HOME") ? std::getenv("HOME") : "";
  const std::string saved_display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  SetEnv("HOME", home.string());
  SetEnv("DISPLAY", x.display());
  SetEnv("SPC_MACRO_LOG", (dir.path() / "macros.log").string());

  Options options;
  options.pipeName = "spc_test_death_" + std::to_string(::getpid());
  {
    const std::unique_ptr<SpreadsheetAutomation> starter = MakeAutomation(options);
    ASSERT_TRUE(starter->CreateApplication().ok()) << "the office did not start";
  }
  // From here on no office may be started again: only the dead one is there.
  options.soffice = (dir.path() / "missing" / "soffice").string();
  const std::unique_ptr<SpreadsheetAutomation> automation = MakeAutomation(options);
  Expected<std::unique_ptr<Application>> app = automation->CreateApplication();
  ASSERT_TRUE(app.ok());
  Expected<std::unique_ptr<Workbooks>> workbooks = (*app)->GetWorkbooks();
  ASSERT_TRUE(workbooks.ok());
  OpenOptions open_options;
  open_options.fill(Variant::Omitted());
  const fs::path first = dir.path() / "first.xls";
  fs::copy_file(Fixture("unprotected.xls"), first);
  ASSERT_TRUE((*workbooks)->Open(FromUtf8(first.string()), open_options, kLocaleEnglishUS).ok());

  // Whether a call writes before the bridge has seen the connection close is
  // a race; what the write then meets is not: a connection whose peer is
  // gone answers EPIPE, and this process lives on.
  int ends[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
  ::close(ends[1]);
  EXPECT_EQ(::write(ends[0], "x", 1), -1);
  EXPECT_EQ(errno, EPIPE);
  ::close(ends[0]);

  KillProcessesWithHome(home);
  ASSERT_EQ(ProcessesWithHome(home), std::vector<pid_t>{});

  // At once, on the connection whose other end is gone.
  const fs::path second = dir.path() / "second.xls";
  fs::copy_file(Fixture("unprotected.xls"), second);
  EXPECT_FALSE((*workbooks)->Open(FromUtf8(second.string()), open_options, kLocaleEnglishUS).ok());
  EXPECT_FALSE((*app)->GetWorkbooks().ok());
  // Showing the workbooks opened before reaches the dead office too: whatever
  // it returns, the process goes on.
  (void)(*app)->PutVisible(kLocaleEnglishUS, kVariantTrue);
  // The launcher then finds no office and says so.
  LauncherRun run(second, *automation);
  EXPECT_EQ(run.Run(), Outcome::kSpreadsheetNotStarted);
  EXPECT_TRUE(run.Shown(kNotStartedMessage));

  KillProcessesWithHome(home);
  SetEnv("HOME", saved_home);
  SetEnv("DISPLAY", saved_display);
}

}  // namespace
}  // namespace spc::libreoffice::testing
