// The toolkit's own operations on the offscreen screen (1024 x 768 at 96
// dots per inch, 15 twips a pixel).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include "platform/qt/toolkit.h"

namespace spc::qt {
namespace {

TEST(QtToolkit, ScreenIsMeasuredInTwips) {
  QtToolkit toolkit;
  EXPECT_EQ(*toolkit.ScreenWidth(), 15360.0f);
  EXPECT_EQ(*toolkit.ScreenHeight(), 11520.0f);
}

TEST(QtToolkit, ControlsAreCreatedWithTheirDefinedSizes) {
  QtToolkit toolkit;
  // The client area at creation: 10755 x 8190 twips.
  EXPECT_EQ(*toolkit.Get(ControlId::kForm3, Dimension::kWidth), 10755.0f);
  EXPECT_EQ(*toolkit.Get(ControlId::kForm3, Dimension::kHeight), 8190.0f);
  EXPECT_EQ(*toolkit.Get(ControlId::kLabel1, Dimension::kWidth), 135.0f);
  EXPECT_EQ(*toolkit.Get(ControlId::kLabel1, Dimension::kHeight), 360.0f);
  EXPECT_EQ(*toolkit.Caption(ControlId::kLabel1), u"");
  for (ControlId box : {ControlId::kPicture1, ControlId::kPicture2, ControlId::kPicture3, ControlId::kPicture4,
                        ControlId::kPicture5}) {
    EXPECT_EQ(*toolkit.Get(box, Dimension::kWidth), 1575.0f);
    EXPECT_EQ(*toolkit.Get(box, Dimension::kHeight), 1575.0f);
  }
  EXPECT_FALSE(toolkit.window()->isVisible());
}

TEST(QtToolkit, TwipsBecomeTheNearestPixel) {
  struct Case {
    float twips;
    int pixels;
  };
  // 15 twips a pixel; halves go away from zero.
  const Case cases[] = {{0, 0}, {7, 0}, {8, 1}, {6892.5f, 460}, {4972.5f, 332}, {1536, 102}, {8793, 586},
                        {-7.5f, -1}, {-22, -1}};
  QtToolkit toolkit;
  QWidget* box = toolkit.window()->findChild<QWidget*>(QStringLiteral("Picture5"));
  for (const Case& c : cases) {
    ASSERT_TRUE(toolkit.Set(ControlId::kPicture5, Dimension::kLeft, c.twips).ok()) << c.twips;
    EXPECT_EQ(box->x(), c.pixels) << c.twips;
    EXPECT_EQ(*toolkit.Get(ControlId::kPicture5, Dimension::kLeft), c.pixels * 15.0f) << c.twips;
  }
  // A position beyond what a pixel coordinate can hold fails and changes nothing.
  EXPECT_FALSE(toolkit.Set(ControlId::kPicture5, Dimension::kTop, 3.0e38f).ok());
  EXPECT_FALSE(toolkit.Set(ControlId::kForm3, Dimension::kWidth, -15).ok());
}

TEST(QtToolkit, Label1KeepsItsWidthWhateverTheCaptionAndReadsItBackWhileHidden) {
  QtToolkit toolkit;
  ASSERT_TRUE(toolkit.SetVisible(ControlId::kLabel1, false).ok());
  const std::u16string path = u"/home/équipe qualité/Cartes de contrôle/atelier n° 3/ligne B/classeur été.xls";
  ASSERT_TRUE(toolkit.SetCaption(ControlId::kLabel1, path).ok());
  EXPECT_EQ(*toolkit.Caption(ControlId::kLabel1), path);
  EXPECT_EQ(*toolkit.Get(ControlId::kLabel1, Dimension::kWidth), 135.0f);
  // Word-wrapped at that width, the label grows downwards.
  EXPECT_GT(*toolkit.Get(ControlId::kLabel1, Dimension::kHeight), 360.0f);
  EXPECT_TRUE(toolkit.window()->findChild<QLabel*>(QStringLiteral("Label1"))->isHidden());
  // Markup is shown as text, not interpreted.
  ASSERT_TRUE(toolkit.SetCaption(ControlId::kLabel1, u"<b>a</b>").ok());
  EXPECT_EQ(*toolkit.Caption(ControlId::kLabel1), u"<b>a</b>");
}

TEST(QtToolkit, LoadWhileLoadedMakesNoSecondWindowAndUnloadClosesAtOnce) {
  auto windows = [] {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) n += w->objectName() == QLatin1String("Form3");
    return n;
  };
  QtToolkit toolkit;
  ASSERT_TRUE(toolkit.SetVisible(ControlId::kForm3, true).ok());
  EXPECT_TRUE(toolkit.LoadWindow().ok());
  EXPECT_EQ(windows(), 1);

  ASSERT_TRUE(toolkit.UnloadWindow().ok());
  EXPECT_EQ(windows(), 0);
  EXPECT_EQ(toolkit.window(), nullptr);
  // Nothing of the window is left to reach.
  EXPECT_FALSE(toolkit.Get(ControlId::kForm3, Dimension::kWidth).ok());
  EXPECT_FALSE(toolkit.SetCaption(ControlId::kLabel1, u"x").ok());
  EXPECT_FALSE(toolkit.LoadWindow().ok());
}

TEST(QtToolkit, TextComparisonIgnoresCaseAndExactComparisonDoesNot) {
  struct Case {
    std::u16string left, right;
    int order;
  };
  const Case cases[] = {
      {u"Classeur.XLS", u"classeur.xls", 0}, {u"été", u"ÉTÉ", 0}, {u"a", u"b", -1},   {u"b", u"A", 1},
      {u"x", u"", 1},                        {u"", u"x", -1},     {u"", u"", 0},
  };
  QtToolkit toolkit;
  for (const Case& c : cases) {
    EXPECT_EQ(*toolkit.TextCompare(c.left, c.right), c.order);
  }
  EXPECT_TRUE(toolkit.ExactEqual(u"", u""));
  EXPECT_FALSE(toolkit.ExactEqual(u"a.xls", u"A.xls"));
  EXPECT_FALSE(toolkit.ExactEqual(u"é", u"e\u0301"));  // same letter, other code units
}

}  // namespace
}  // namespace spc::qt
