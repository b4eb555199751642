// The window's start-up: fitting it to the screen, placing the label and the
// five pictures, showing it; and what each failing statement leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/recording_platform.h"
#include "launcher/form3_definition.h"

namespace spc::testing {
namespace {

using enum ControlId;
using enum Dimension;

struct Placement {
  ControlId control;
  float left, top;
};

struct LayoutCase {
  float screenWidth, screenHeight;
  std::vector<Placement> expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.screenWidth << "x" << c.screenHeight; }

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, PlacesWindowAndPicturesInProportionToTheScreen) {
  RecordingPlatform p;
  p.toolkit.screenWidth = GetParam().screenWidth;
  p.toolkit.screenHeight = GetParam().screenHeight;
  p.form.Load();

  EXPECT_EQ(p.toolkit.Value(kForm3, kWidth), GetParam().screenWidth);
  EXPECT_EQ(p.toolkit.Value(kForm3, kHeight), GetParam().screenHeight);
  for (const Placement& e : GetParam().expected) {
    SCOPED_TRACE(Utf8(ControlName(e.control)));
    EXPECT_EQ(p.toolkit.Value(e.control, kLeft), e.left);
    EXPECT_EQ(p.toolkit.Value(e.control, kTop), e.top);
    // Sizes are read, never set.
    if (e.control != kForm3) {
      EXPECT_EQ(p.toolkit.Value(e.control, kWidth), 1575);
      EXPECT_EQ(p.toolkit.Value(e.control, kHeight), 1575);
    }
  }
  // Label1 keeps its defined top and is centred across the window.
  EXPECT_EQ(p.toolkit.Value(kLabel1, kTop), 3240);
  EXPECT_EQ(p.toolkit.Value(kLabel1, kLeft), GetParam().screenWidth / 2 - 67.5f);
}

INSTANTIATE_TEST_SUITE_P(Screens, LayoutTest,
                         ::testing::Values(LayoutCase{15360, 11520,
                                                      {{kForm3, 0, 0},
                                                       {kPicture2, 1536, 1152},
                                                       {kPicture3, 12249, 1152},
                                                       {kPicture1, 1536, 8793},
                                                       {kPicture4, 12249, 8793},
                                                       {kPicture5, 6892.5, 4972.5}}},
                                           LayoutCase{19200, 14400,
                                                      {{kForm3, 0, 0},
                                                       {kPicture2, 1920, 1440},
                                                       {kPicture3, 15705, 1440},
                                                       {kPicture1, 1920, 11385},
                                                       {kPicture4, 15705, 11385},
                                                       {kPicture5, 8812.5, 6412.5}}}));

TEST(Layout, RunsTheStatementsInOrderAndShowsTheWindowWithTheLabelHidden) {
  RecordingPlatform p;
  p.dialog.choice = u"";
  p.form.Load();
  const std::vector<std::string> start(p.recorder.log.begin(), p.recorder.log.begin() + 44);
  EXPECT_EQ(start, (std::vector<std::string>{
                       "ScreenWidth", "Set Form3.Width 15360",                                   //
                       "ScreenHeight", "Set Form3.Height 11520",                                 //
                       "ScreenWidth", "Get Form3.Width", "Set Form3.Left 0",                     //
                       "ScreenHeight", "Get Form3.Height", "Set Form3.Top 0",                    //
                       "Get Form3.Width", "Get Label1.Width", "Set Label1.Left 7612.5",          //
                       "SetVisible Label1 0",                                                    //
                       "ScreenWidth", "Set Picture1.Left 1536",                                  //
                       "ScreenHeight", "Get Picture2.Height", "Set Picture1.Top 8793",           //
                       "ScreenWidth", "Set Picture2.Left 1536",                                  //
                       "ScreenHeight", "Set Picture2.Top 1152",                                  //
                       "ScreenWidth", "Get Picture2.Width", "Set Picture3.Left 12249",           //
                       "ScreenHeight", "Set Picture3.Top 1152",                                  //
                       "ScreenWidth", "Get Picture2.Width", "Set Picture4.Left 12249",           //
                       "ScreenHeight", "Get Picture2.Height", "Set Picture4.Top 8793",           //
                       "ScreenWidth", "Get Picture5.Width", "Set Picture5.Left 6892.5",          //
                       "ScreenHeight", "Get Picture5.Height", "Set Picture5.Top 4972.5",         //
                       "LoadWindow", "SetVisible Form3 -1",                                      //
                       "Dialog.Put 2 8:Maîtrise du procédé : cartes S.P.C. ...",                 //
                       "Dialog.Put 7 3:4112"}));
  EXPECT_FALSE(p.toolkit.labelEverShown());
  EXPECT_EQ(p.windowVisibleUnderDialog, true);
}

TEST(Layout, CornerPicturesArePlacedByPicture2sSizeAlone) {
  RecordingPlatform p;
  // Picture2 twice as large as the others: the right-hand and bottom pictures
  // follow its size, not their own.
  struct BigPicture2 : RecordingToolkit {
    using RecordingToolkit::RecordingToolkit;
    Expected<float> Get(ControlId c, Dimension d) override {
      Expected<float> v = RecordingToolkit::Get(c, d);
      if (v && c == kPicture2 && (d == kWidth || d == kHeight)) return 3150.0f;
      return v;
    }
  } toolkit{p.recorder};
  Platform platform{toolkit, p.dialog, p.spreadsheet, p.global};
  Form3 form(platform);
  form.Load();
  EXPECT_EQ(toolkit.Value(kPicture3, kLeft), 15360.0f * 9 / 10 - 3150);
  EXPECT_EQ(toolkit.Value(kPicture4, kLeft), 15360.0f * 9 / 10 - 3150);
  EXPECT_EQ(toolkit.Value(kPicture1, kTop), 11520.0f * 9 / 10 - 3150);
  EXPECT_EQ(toolkit.Value(kPicture4, kTop), 11520.0f * 9 / 10 - 3150);
  EXPECT_EQ(toolkit.Value(kPicture2, kLeft), 1536);  // its own position uses no size
  EXPECT_EQ(toolkit.Value(kPicture5, kLeft), 6892.5);
}

TEST(Layout, CentresTheWindowOnTheWidthTheToolkitApplied) {
  RecordingPlatform p;
  p.toolkit.applyWindowWidth = [](float) { return 14000.0f; };
  p.form.Load();
  EXPECT_EQ(p.toolkit.Value(kForm3, kLeft), 680);  // (15360 - 14000) / 2
  EXPECT_EQ(p.toolkit.Value(kLabel1, kLeft), 7000 - 67.5);
}

TEST(Layout, LabelIsCentredAgainAfterTheCaptionIsSetWithTheSameResult) {
  RecordingPlatform p;
  p.dialog.choice = u"/tmp/a rather long path/that wraps over several lines of the label/classeur.xls";
  p.form.Load();
  std::vector<std::string> centrings;
  for (const std::string& call : p.recorder.log) {
    if (call.rfind("Set Label1.Left", 0) == 0) centrings.push_back(call);
  }
  EXPECT_EQ(centrings, (std::vector<std::string>{"Set Label1.Left 7612.5", "Set Label1.Left 7612.5"}));
  EXPECT_EQ(p.toolkit.Value(kLabel1, kWidth), 135);
  EXPECT_FALSE(p.toolkit.labelEverShown());
}

// A failing statement leaves its property as the window definition has it,
// and the handler goes on with the next statement.
struct LayoutFailure {
  const char* member;
  int occurrence;
  ControlId control;
  Dimension dimension;
  float remains;          // the value the property keeps
  const char* nextCall;   // the call that follows the failing one
};

void PrintTo(const LayoutFailure& f, std::ostream* os) { *os << f.member << " #" << f.occurrence; }

class LayoutFailureTest : public ::testing::TestWithParam<LayoutFailure> {};

TEST_P(LayoutFailureTest, KeepsTheDefinedValueAndGoesOn) {
  const LayoutFailure& f = GetParam();
  RecordingPlatform p;
  p.recorder.FailOn(f.member, f.occurrence);
  p.form.Load();

  EXPECT_EQ(p.toolkit.Value(f.control, f.dimension), f.remains);
  const auto& log = p.recorder.log;
  int seen = 0;
  for (std::size_t i = 0; i + 1 < log.size(); ++i) {
    if (log[i].rfind(f.member, 0) == 0 && ++seen == (f.occurrence == 0 ? 1 : f.occurrence)) {
      EXPECT_EQ(log[i + 1].rfind(f.nextCall, 0), 0u) << log[i + 1];
      break;
    }
  }
  EXPECT_GT(seen, 0);
  EXPECT_EQ(p.recorder.Count("Dialog.Invoke 30"), 1);  // the run still reaches the dialog
}

INSTANTIATE_TEST_SUITE_P(
    Statements, LayoutFailureTest,
    ::testing::Values(
        // The window's width fails: its height is still set, and the window is
        // centred on the width it kept.
        LayoutFailure{"ScreenWidth", 1, kForm3, kWidth, 10755, "ScreenHeight"},
        LayoutFailure{"Set Form3.Height", 1, kForm3, kHeight, 8190, "ScreenWidth"},
        LayoutFailure{"Get Form3.Width", 1, kForm3, kLeft, 0, "ScreenHeight"},
        LayoutFailure{"Set Form3.Top", 1, kForm3, kTop, -105, "Get Form3.Width"},
        LayoutFailure{"Get Label1.Width", 1, kLabel1, kLeft, 360, "SetVisible Label1"},
        LayoutFailure{"Set Picture1.Left", 1, kPicture1, kLeft, 5880, "ScreenHeight"},
        LayoutFailure{"Get Picture2.Height", 1, kPicture1, kTop, 360, "ScreenWidth"},
        LayoutFailure{"Set Picture2.Top", 1, kPicture2, kTop, 3240, "ScreenWidth"},
        LayoutFailure{"Get Picture2.Width", 1, kPicture3, kLeft, 840, "ScreenHeight"},
        LayoutFailure{"Set Picture3.Top", 1, kPicture3, kTop, 120, "ScreenWidth"},
        LayoutFailure{"Get Picture2.Width", 2, kPicture4, kLeft, 5760, "ScreenHeight"},
        LayoutFailure{"Get Picture2.Height", 2, kPicture4, kTop, 2640, "ScreenWidth"},
        LayoutFailure{"Get Picture5.Width", 1, kPicture5, kLeft, 1080, "ScreenHeight"},
        LayoutFailure{"Set Picture5.Top", 1, kPicture5, kTop, 4080, "LoadWindow"},
        LayoutFailure{"LoadWindow", 1, kForm3, kWidth, 15360, "SetVisible Form3 -1"}));

TEST(Layout, FailedHideOfTheLabelAndFailedShowOfTheWindowAreAbsorbed) {
  {
    RecordingPlatform p;
    p.recorder.FailOn("SetVisible Label1", 1);
    p.form.Load();
    EXPECT_TRUE(p.toolkit.Visible(kLabel1));
    EXPECT_TRUE(p.recorder.Called("Set Picture1.Left 1536"));
  }
  {
    RecordingPlatform p;
    p.recorder.FailOn("SetVisible Form3", 1);
    p.form.Load();
    EXPECT_EQ(p.windowVisibleUnderDialog, false);  // the dialog still opens, without the window
  }
}

// A screen dimension that is not a number, or infinite, fails the arithmetic
// test of every formula it enters: those properties are not set at all.
class ArithmeticFailureTest : public ::testing::TestWithParam<float> {};

TEST_P(ArithmeticFailureTest, LeavesEveryPropertyComputedFromTheHeightUntouched) {
  RecordingPlatform p;
  p.toolkit.screenHeight = GetParam();
  p.form.Load();
  for (const char* setter : {"Set Form3.Top", "Set Picture1.Top", "Set Picture2.Top", "Set Picture3.Top",
                             "Set Picture4.Top", "Set Picture5.Top"}) {
    EXPECT_EQ(p.recorder.Count(setter), 0) << setter;
  }
  EXPECT_EQ(p.toolkit.Value(kForm3, kHeight), 8190);  // the toolkit refused the size
  EXPECT_EQ(p.toolkit.Value(kPicture2, kTop), 3240);
  EXPECT_EQ(p.toolkit.Value(kPicture5, kTop), 4080);
  // The width-based ones are placed as usual.
  EXPECT_EQ(p.toolkit.Value(kPicture3, kLeft), 12249);
  EXPECT_EQ(p.toolkit.Value(kPicture5, kLeft), 6892.5);
}

INSTANTIATE_TEST_SUITE_P(Heights, ArithmeticFailureTest,
                         ::testing::Values(std::numeric_limits<float>::quiet_NaN(),
                                           std::numeric_limits<float>::infinity(),
                                           -std::numeric_limits<float>::infinity()));

TEST(Layout, ArithmeticIsDoneInDoublePrecisionAndRoundedOnce) {
  // With this width, rounding every intermediate to single precision gives
  // 16738428 for Picture3; one rounding at the end gives 16738429.
  RecordingPlatform p;
  p.toolkit.screenWidth = 18600004.0f;
  p.form.Load();
  EXPECT_EQ(p.toolkit.Value(kPicture3, kLeft), 16738429.0f);
}

}  // namespace
}  // namespace spc::testing
