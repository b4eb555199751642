// The workbook chooser: the Open dialog's settings, a choice, a cancel, and
// the hand-over of the path through the hidden label.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/recording_platform.h"

namespace spc::testing {
namespace {

using enum ControlId;

std::vector<std::string> From(const std::vector<std::string>& log, const std::string& first) {
  const auto it = std::find(log.begin(), log.end(), first);
  return {it, log.end()};
}

TEST(Chooser, ACancelUnloadsTheWindowAndStartsNothing) {
  RecordingPlatform p;
  p.dialog.choice = u"";
  p.form.Load();
  EXPECT_EQ(From(p.recorder.log, "SetVisible Form3 -1"),
            (std::vector<std::string>{"SetVisible Form3 -1",
                                      "Dialog.Put 2 8:Maîtrise du procédé : cartes S.P.C. ...",
                                      "Dialog.Put 7 3:4112",
                                      "Dialog.Put 3 8:Fichiers Excel (*.xls)|*.xls",
                                      "Dialog.Invoke 30",
                                      "Dialog.Get 1",
                                      "ExactEqual  | ",
                                      "UnloadWindow"}));
  EXPECT_FALSE(p.toolkit.loaded());
  EXPECT_EQ(p.toolkit.CaptionOf(kLabel1), u"");
  EXPECT_EQ(p.form.outcome(), Outcome::kNoFileChosen);
  // The settings were in place when the dialog was shown.
  EXPECT_EQ(p.dialog.shownWith.at(dispid::kFlags), Variant::Int32(4112));
  EXPECT_EQ(p.dialog.shownWith.at(dispid::kDialogTitle).text.size(), 39u);
}

TEST(Chooser, AChoiceReachesTheLabelUnchangedAndIsLaunchedOnce) {
  // Blanks, accents, no .xls ending: the chooser hands the name on as it is.
  for (const std::u16string& path : {std::u16string(u"/home/élise/Cartes S.P.C./atelier n°2 .xls"),
                                    std::u16string(u"/tmp/classeur.ods")}) {
    RecordingPlatform p;
    p.dialog.choice = path;
    p.form.Load();
    EXPECT_EQ(From(p.recorder.log, "Dialog.Invoke 30"),
              (std::vector<std::string>{"Dialog.Invoke 30", "Dialog.Get 1", "ExactEqual " + Utf8(path) + " | ",
                                        "Dialog.Get 1", "SetCaption Label1 " + Utf8(path), "SetVisible Label1 0",
                                        "Get Form3.Width", "Get Label1.Width", "Set Label1.Left 7612.5",
                                        // LaunchWorkbook begins
                                        "CreateGlobal", "Global.Application", "GlobalApplication.DisplayAlerts 1033 0",
                                        "Release GlobalApplication", "Caption Label1", "TextCompare " + Utf8(path) + " | ",
                                        "DirectorySearch " + Utf8(path) + " | 0",
                                        // nothing found by the recording platform: the file is absent
                                        "TextCompare  | ",
                                        "MessageBox Désolé , le fichier correspondant est absent du répertoire de "
                                        "travail . | 0 | telvo",
                                        "UnloadWindow"}));
    EXPECT_EQ(p.toolkit.CaptionOf(kLabel1), path);
    EXPECT_FALSE(p.toolkit.Visible(kLabel1));
    EXPECT_FALSE(p.toolkit.labelEverShown());
  }
}

// Each statement of the chooser that fails: what runs next.
struct ChooserFailure {
  const char* member;
  int occurrence;
  const char16_t* choice;
  bool launched;            // LaunchWorkbook ran (its first call is made)
  const char16_t* caption;  // Label1's caption afterwards
  Outcome outcome;
};

void PrintTo(const ChooserFailure& f, std::ostream* os) { *os << f.member << " #" << f.occurrence; }

class ChooserFailureTest : public ::testing::TestWithParam<ChooserFailure> {};

TEST_P(ChooserFailureTest, GoesOnAsTheFailureRulesSay) {
  const ChooserFailure& f = GetParam();
  RecordingPlatform p;
  p.dialog.choice = f.choice;
  p.recorder.FailOn(f.member, f.occurrence);
  p.form.Load();
  EXPECT_EQ(p.recorder.Count("CreateGlobal") > 0, f.launched);
  EXPECT_EQ(p.toolkit.CaptionOf(kLabel1), f.caption);
  EXPECT_EQ(p.form.outcome(), f.outcome);
  EXPECT_EQ(p.recorder.Count("Dialog.Invoke 30"), 1);  // shown exactly once, whatever failed
  EXPECT_FALSE(p.toolkit.labelEverShown());
}

INSTANTIATE_TEST_SUITE_P(
    Statements, ChooserFailureTest,
    ::testing::Values(
        // A setting that fails keeps the control's default; the dialog still opens.
        ChooserFailure{"Dialog.Put 2", 1, u"", false, u"", Outcome::kNoFileChosen},
        ChooserFailure{"Dialog.Put 7", 1, u"", false, u"", Outcome::kNoFileChosen},
        ChooserFailure{"Dialog.Put 3", 1, u"", false, u"", Outcome::kNoFileChosen},
        // The dialog fails to open: no name, the window is unloaded.
        ChooserFailure{"Dialog.Invoke 30", 1, u"/w/a.xls", false, u"", Outcome::kNoFileChosen},
        // The test has no outcome: the chosen-name branch runs, here with an
        // empty label, which the presence test finds absent.
        ChooserFailure{"Dialog.Get 1", 1, u"", true, u"", Outcome::kFileAbsent},
        ChooserFailure{"Dialog.Get 1", 1, u"/w/a.xls", true, u"/w/a.xls", Outcome::kFileAbsent},
        // The name cannot be read again: the label keeps its empty caption.
        ChooserFailure{"Dialog.Get 1", 2, u"/w/a.xls", true, u"", Outcome::kFileAbsent},
        ChooserFailure{"SetCaption Label1", 1, u"/w/a.xls", true, u"", Outcome::kFileAbsent},
        ChooserFailure{"SetVisible Label1", 2, u"/w/a.xls", true, u"/w/a.xls", Outcome::kFileAbsent},
        ChooserFailure{"Get Label1.Width", 2, u"/w/a.xls", true, u"/w/a.xls", Outcome::kFileAbsent}));

TEST(Chooser, AFailedSettingStillOpensTheDialogWithTheOthers) {
  RecordingPlatform p;
  p.recorder.FailOn("Dialog.Put 7", 1);
  p.form.Load();
  EXPECT_EQ(p.dialog.shownWith.count(dispid::kFlags), 0u);
  EXPECT_EQ(p.dialog.shownWith.at(dispid::kFilter), Variant::String(u"Fichiers Excel (*.xls)|*.xls"));
}

TEST(Chooser, AFailedUnloadAfterACancelEndsTheHandlerWithTheWindowLoaded) {
  RecordingPlatform p;
  p.recorder.FailOn("UnloadWindow");
  p.form.Load();
  EXPECT_EQ(p.recorder.log.back(), "UnloadWindow");
  EXPECT_TRUE(p.toolkit.loaded());
  EXPECT_EQ(p.form.outcome(), Outcome::kNoFileChosen);
}

}  // namespace
}  // namespace spc::testing
