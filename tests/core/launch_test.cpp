// The launch sequence: the spreadsheet calls for a present file, an absent
// file, a spreadsheet application that cannot start and a workbook that
// cannot be opened, and where each failing statement leads.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/recording_platform.h"
#include "platform/utf.h"

namespace spc::testing {
namespace {

constexpr char kPath[] = "/srv/atelier/cartes S.P.C./ligne n°3.xls";
const std::string kOpenArguments = std::string(kPath) +
                                   " | 10:80020004 10:80020004 10:80020004 8:pelisvarko!?dimaqu_wfz 10:80020004 "
                                   "10:80020004 10:80020004 10:80020004 10:80020004 10:80020004 10:80020004 "
                                   "10:80020004 10:80020004 10:80020004 | 1033";
constexpr char kAbsentMessage[] =
    "MessageBox Désolé , le fichier correspondant est absent du répertoire de travail . | 0 | telvo";
constexpr char kNotStartedMessage[] = "MessageBox Désolé , le tableur n'a pas pu être démarré . | 0 | telvo";
constexpr char kNotOpenedMessage[] = "MessageBox Désolé , le classeur n'a pas pu être ouvert . | 0 | telvo";

// A run in which the user chooses kPath, which the directory search finds
// unless told otherwise.
struct Launch : RecordingPlatform {
  explicit Launch(bool present = true) {
    dialog.choice = FromUtf8(kPath);
    toolkit.directorySearch = [present](const std::u16string&, std::int32_t) -> Expected<std::u16string> {
      return std::u16string(present ? u"ligne n°3.xls" : u"");
    };
  }
  // The calls made from LaunchWorkbook on.
  std::vector<std::string> LaunchCalls() {
    const auto& log = recorder.log;
    const auto it = std::find(log.begin(), log.end(), "Set Label1.Left 7612.5");
    return {std::find(it + 1, log.end(), "Set Label1.Left 7612.5") + 1, log.end()};
  }
};

TEST(Launch, APresentFileIsOpenedInANewVisibleInstanceAndItsOpenMacrosRun) {
  Launch run;
  run.form.Load();
  EXPECT_EQ(run.LaunchCalls(), (std::vector<std::string>{
                                   "CreateGlobal",
                                   "Global.Application",
                                   "GlobalApplication.DisplayAlerts 1033 0",
                                   "Release GlobalApplication",
                                   "Caption Label1",
                                   std::string("TextCompare ") + kPath + " | ",
                                   std::string("DirectorySearch ") + kPath + " | 0",
                                   "TextCompare ligne n°3.xls | ",
                                   "CreateApplication",
                                   "NewApplication.Visible 1033 -1",
                                   "Caption Label1",
                                   "NewApplication.Workbooks",
                                   "Workbooks.Open " + kOpenArguments,
                                   "Release OpenedWorkbook",
                                   "Release Workbooks",
                                   "Global.ActiveWorkbook",
                                   "ActiveWorkbook.RunAutoMacros 1 1033",
                                   "Release ActiveWorkbook",
                                   "UnloadWindow",
                               }));
  EXPECT_EQ(run.form.outcome(), Outcome::kHandedOver);
  EXPECT_FALSE(run.toolkit.loaded());
  // The new instance is kept by the window and the global object by the
  // process: neither is released while the launcher runs.
  EXPECT_FALSE(run.recorder.Called("Release NewApplication"));
  EXPECT_FALSE(run.recorder.Called("Release Global"));
}

TEST(Launch, AnAbsentFileGetsTheMessageAfterAlertsAreOffAndStartsNoInstance) {
  Launch run(/*present=*/false);
  run.form.Load();
  const std::vector<std::string> calls = run.LaunchCalls();
  const std::vector<std::string> tail(calls.end() - 3, calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"TextCompare  | ", kAbsentMessage, "UnloadWindow"}));
  EXPECT_TRUE(run.recorder.Called("GlobalApplication.DisplayAlerts 1033 0"));
  EXPECT_EQ(run.recorder.Count("CreateApplication"), 0);
  EXPECT_EQ(run.form.outcome(), Outcome::kFileAbsent);
}

TEST(Launch, WithoutASpreadsheetApplicationThePresentFileGetsTheNotStartedMessage) {
  Launch run;
  run.recorder.FailOn("CreateGlobal");
  run.recorder.FailOn("CreateApplication");
  run.form.Load();
  const std::vector<std::string> calls = run.LaunchCalls();
  EXPECT_EQ(calls.front(), "CreateGlobal");
  EXPECT_EQ(std::vector<std::string>(calls.end() - 3, calls.end()),
            (std::vector<std::string>{"CreateApplication", kNotStartedMessage, "UnloadWindow"}));
  EXPECT_EQ(run.form.outcome(), Outcome::kSpreadsheetNotStarted);
}

// Each failing statement of the launch: which calls follow, which do not,
// and how the run ends.
struct LaunchFailure {
  const char* member;
  int occurrence;
  bool present;
  std::vector<std::string> made;     // calls that are still made, in this order
  std::vector<std::string> notMade;  // members that are not called
  Outcome outcome;
};

void PrintTo(const LaunchFailure& f, std::ostream* os) { *os << f.member << " #" << f.occurrence; }

class LaunchFailureTest : public ::testing::TestWithParam<LaunchFailure> {};

TEST_P(LaunchFailureTest, GoesOnAsTheFailureRulesSay) {
  const LaunchFailure& f = GetParam();
  Launch run(f.present);
  run.recorder.FailOn(f.member, f.occurrence);
  run.form.Load();
  const std::vector<std::string> calls = run.LaunchCalls();
  auto at = calls.begin();
  for (const std::string& expected : f.made) {
    at = std::find(at, calls.end(), expected);
    ASSERT_NE(at, calls.end()) << "missing or out of order: " << expected;
  }
  for (const std::string& member : f.notMade) EXPECT_EQ(run.recorder.Count(member), 0) << member;
  EXPECT_EQ(run.form.outcome(), f.outcome);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, LaunchFailureTest,
    ::testing::Values(
        // Alerts: the global object cannot be made; it is made again for the macros.
        LaunchFailure{"CreateGlobal", 1, true,
                      {"CreateGlobal", "Caption Label1", "CreateApplication", "CreateGlobal",
                       "ActiveWorkbook.RunAutoMacros 1 1033", "UnloadWindow"},
                      {"Global.Application"}, Outcome::kHandedOver},
        LaunchFailure{"Global.Application", 1, true, {"Caption Label1", "CreateApplication"},
                      {"GlobalApplication.DisplayAlerts"}, Outcome::kHandedOver},
        LaunchFailure{"GlobalApplication.DisplayAlerts", 1, false,
                      {"Release GlobalApplication", "Caption Label1", kAbsentMessage, "UnloadWindow"}, {},
                      Outcome::kFileAbsent},
        // The presence test fails: the launch path runs, even for an absent file.
        LaunchFailure{"Caption Label1", 1, false,
                      {"CreateApplication", "NewApplication.Visible 1033 -1", "Caption Label1",
                       "Workbooks.Open " + kOpenArguments, "ActiveWorkbook.RunAutoMacros 1 1033", "UnloadWindow"},
                      {"MessageBox"}, Outcome::kHandedOver},
        // A failing directory search is an absent file, not a failed test.
        LaunchFailure{"DirectorySearch", 1, true, {kAbsentMessage, "UnloadWindow"}, {"CreateApplication"},
                      Outcome::kFileAbsent},
        // The message box fails: the window is still unloaded.
        LaunchFailure{"MessageBox", 1, false, {"UnloadWindow"}, {"CreateApplication"}, Outcome::kFileAbsent},
        // The instance cannot be created: nothing is made visible or opened.
        LaunchFailure{"CreateApplication", 1, true, {kNotStartedMessage, "UnloadWindow"},
                      {"NewApplication.Visible", "NewApplication.Workbooks", "Workbooks.Open", "Global.ActiveWorkbook"},
                      Outcome::kSpreadsheetNotStarted},
        LaunchFailure{"NewApplication.Visible", 1, true,
                      {"Workbooks.Open " + kOpenArguments, "ActiveWorkbook.RunAutoMacros 1 1033", "UnloadWindow"}, {},
                      Outcome::kHandedOver},
        // The workbook cannot be opened: no macros of another workbook run.
        LaunchFailure{"NewApplication.Workbooks", 1, true, {kNotOpenedMessage, "UnloadWindow"},
                      {"Workbooks.Open", "Global.ActiveWorkbook"}, Outcome::kWorkbookNotOpened},
        LaunchFailure{"Workbooks.Open", 1, true, {"Release Workbooks", kNotOpenedMessage, "UnloadWindow"},
                      {"Global.ActiveWorkbook", "ActiveWorkbook.RunAutoMacros"}, Outcome::kWorkbookNotOpened},
        LaunchFailure{"Caption Label1", 2, true, {kNotOpenedMessage, "UnloadWindow"},
                      {"NewApplication.Workbooks", "Global.ActiveWorkbook"}, Outcome::kWorkbookNotOpened},
        // The macros cannot run: the window is unloaded all the same.
        LaunchFailure{"Global.ActiveWorkbook", 1, true, {"UnloadWindow"}, {"ActiveWorkbook.RunAutoMacros"},
                      Outcome::kHandedOver},
        LaunchFailure{"ActiveWorkbook.RunAutoMacros", 1, true, {"Release ActiveWorkbook", "UnloadWindow"}, {},
                      Outcome::kHandedOver}));

TEST(Launch, GlobalObjectThatCannotBeMadeTwiceSkipsTheMacrosAndUnloads) {
  Launch run;
  run.recorder.FailOn("CreateGlobal");
  run.form.Load();
  EXPECT_EQ(run.recorder.Count("CreateGlobal"), 2);
  EXPECT_TRUE(run.recorder.Called("Workbooks.Open " + kOpenArguments));
  EXPECT_EQ(run.recorder.Count("Global.ActiveWorkbook"), 0);
  EXPECT_EQ(run.recorder.log.back(), "UnloadWindow");
}

TEST(Launch, NoActiveWorkbookIsNoFailureToReportButRunsNoMacros) {
  Launch run;
  run.spreadsheet.noActiveWorkbook = true;
  run.form.Load();
  EXPECT_EQ(run.recorder.Count("ActiveWorkbook.RunAutoMacros"), 0);
  EXPECT_EQ(run.recorder.log.back(), "UnloadWindow");
  EXPECT_EQ(run.form.outcome(), Outcome::kHandedOver);
}

TEST(Launch, FailedUnloadsLeaveTheProcedure) {
  for (const bool present : {true, false}) {
    Launch run(present);
    run.recorder.FailOn("UnloadWindow");
    run.form.Load();
    EXPECT_EQ(run.recorder.log.back(), "UnloadWindow");
    EXPECT_EQ(run.recorder.Count("UnloadWindow"), 1);
    EXPECT_EQ(run.recorder.Count("Dialog.Invoke 30"), 1);
  }
}

TEST(Launch, TheCaptionIsReadAgainForTheOpen) {
  // Whatever the label holds when the workbook is opened is what is opened.
  struct ChangingCaption : RecordingToolkit {
    using RecordingToolkit::RecordingToolkit;
    int reads = 0;
    Expected<std::u16string> Caption(ControlId c) override {
      Expected<std::u16string> v = RecordingToolkit::Caption(c);
      if (v && ++reads == 2) return std::u16string(u"/other.xls");
      return v;
    }
  };
  Launch run;
  ChangingCaption toolkit{run.recorder};
  toolkit.directorySearch = run.toolkit.directorySearch;
  Platform platform{toolkit, run.dialog, run.spreadsheet, run.global};
  Form3 form(platform);
  form.Load();
  EXPECT_EQ(toolkit.reads, 2);
  EXPECT_EQ(run.recorder.Count("Workbooks.Open"), 1);
  EXPECT_TRUE(std::any_of(run.recorder.log.begin(), run.recorder.log.end(),
                          [](const std::string& c) { return c.rfind("Workbooks.Open /other.xls |", 0) == 0; }));
}

}  // namespace
}  // namespace spc::testing
