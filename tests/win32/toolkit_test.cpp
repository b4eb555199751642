// The Win32 toolkit's Form3: the window and controls made from the
// definition, their sizes in twips, the hidden label, unload and reload, and
// the message box.
#include "platform/win32/toolkit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "launcher/form3.h"
#include "launcher/form3_definition.h"
#include "window_search.h"

namespace spc::win32 {
namespace {

using namespace testing;

class ToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tk_.CreateForm3().ok()); }

  // A defined size as the toolkit applies it: whole pixels.
  float Applied(float twips, double twipsPerPixel) const {
    return static_cast<float>(std::lround(twips / twipsPerPixel) * twipsPerPixel);
  }
  float Value(ControlId c, Dimension d) {
    const Expected<float> v = tk_.Get(c, d);
    return v.ok() ? *v : -1;
  }

  Win32Toolkit tk_{::GetModuleHandleW(nullptr)};
};

TEST_F(ToolkitTest, Form3IsAFramelessHiddenPopupOwnedByAHiddenWindow) {
  const HWND form = tk_.form3();
  const LONG_PTR style = ::GetWindowLongPtrW(form, GWL_STYLE);
  const LONG_PTR exStyle = ::GetWindowLongPtrW(form, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_BORDER), 0);
  EXPECT_EQ(exStyle & (WS_EX_APPWINDOW | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME), 0);
  EXPECT_FALSE(::IsWindowVisible(form));
  // An owned window gets no taskbar button; the owner itself never shows.
  EXPECT_EQ(::GetWindow(form, GW_OWNER), tk_.owner());
  EXPECT_FALSE(::IsWindowVisible(tk_.owner()));
  EXPECT_EQ(TextOf(form), L"plenavo");
  EXPECT_NE(::SendMessageW(form, WM_GETICON, ICON_BIG, 0), 0);
  // Without a frame the client area is the whole window.
  RECT window{}, client{};
  ::GetWindowRect(form, &window);
  ::GetClientRect(form, &client);
  EXPECT_EQ(window.right - window.left, client.right);
  EXPECT_EQ(window.bottom - window.top, client.bottom);
}

TEST_F(ToolkitTest, SizesAreTheDefinedTwipsInWholePixels) {
  const double tx = tk_.twipsPerPixelX(), ty = tk_.twipsPerPixelY();
  const Form3Definition& def = kForm3Definition;
  EXPECT_EQ(Value(ControlId::kForm3, Dimension::kWidth), Applied(def.window.clientWidth, tx));
  EXPECT_EQ(Value(ControlId::kForm3, Dimension::kHeight), Applied(def.window.clientHeight, ty));
  for (const PictureBoxDefinition& p : def.pictures) {
    EXPECT_EQ(Value(p.id, Dimension::kLeft), Applied(p.left, tx));
    EXPECT_EQ(Value(p.id, Dimension::kTop), Applied(p.top, ty));
    EXPECT_EQ(Value(p.id, Dimension::kWidth), Applied(p.width, tx));
    EXPECT_EQ(Value(p.id, Dimension::kHeight), Applied(p.height, ty));
  }
  EXPECT_EQ(Value(ControlId::kLabel1, Dimension::kWidth), Applied(def.label1.width, tx));
  EXPECT_EQ(Value(ControlId::kLabel1, Dimension::kHeight), Applied(def.label1.height, ty));
  if (tx == 15) {
    // At 96 DPI every defined size is a whole number of pixels.
    EXPECT_EQ(Value(ControlId::kForm3, Dimension::kWidth), 10755);
    EXPECT_EQ(Value(ControlId::kPicture5, Dimension::kWidth), 1575);
  }
}

TEST_F(ToolkitTest, ControlsStackFromPicture5InFrontToLabel1Behind) {
  std::vector<int> ids;
  for (HWND c = ::GetWindow(tk_.form3(), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
    ids.push_back(::GetDlgCtrlID(c));
  EXPECT_EQ(ids, (std::vector<int>{1005, 1004, 1003, 1002, 1001, 1000}));
  EXPECT_EQ(ClassOf(tk_.window(ControlId::kLabel1)), L"Static");
  EXPECT_EQ(ClassOf(tk_.window(ControlId::kPicture1)), kPictureBoxClass);
}

TEST_F(ToolkitTest, TabRunsFromPicture1ToPicture5AgainstTheStacking) {
  ASSERT_TRUE(tk_.SetVisible(ControlId::kLabel1, false).ok());
  ASSERT_TRUE(tk_.SetVisible(ControlId::kForm3, true).ok());
  ::SetFocus(tk_.form3());
  // Label1 comes first in the tab order but never takes the focus.
  EXPECT_EQ(::GetFocus(), tk_.window(ControlId::kPicture1));
  std::vector<int> order;
  for (int i = 0; i < 5; ++i) {
    ::SendMessageW(::GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    order.push_back(::GetDlgCtrlID(::GetFocus()));
  }
  EXPECT_EQ(order, (std::vector<int>{1002, 1003, 1004, 1005, 1001}));
  ASSERT_TRUE(tk_.SetVisible(ControlId::kForm3, false).ok());
}

TEST_F(ToolkitTest, PositionsRoundTripAndImpossibleValuesFail) {
  ASSERT_TRUE(tk_.Set(ControlId::kPicture3, Dimension::kLeft, 1500).ok());
  ASSERT_TRUE(tk_.Set(ControlId::kPicture3, Dimension::kTop, -300).ok());
  EXPECT_EQ(Value(ControlId::kPicture3, Dimension::kLeft), Applied(1500, tk_.twipsPerPixelX()));
  EXPECT_EQ(Value(ControlId::kPicture3, Dimension::kTop), Applied(-300, tk_.twipsPerPixelY()));
  EXPECT_EQ(Value(ControlId::kPicture3, Dimension::kWidth), Applied(1575, tk_.twipsPerPixelX()));
  const Expected<float> screenWidth = tk_.ScreenWidth();
  ASSERT_TRUE(screenWidth.ok());
  ASSERT_TRUE(tk_.Set(ControlId::kForm3, Dimension::kWidth, *screenWidth).ok());
  EXPECT_EQ(Value(ControlId::kForm3, Dimension::kWidth), *screenWidth);
  EXPECT_EQ(tk_.Set(ControlId::kForm3, Dimension::kLeft, 3e30f), Status(code::kOverflow));
  EXPECT_FALSE(tk_.Set(ControlId::kForm3, Dimension::kWidth, -15).ok());
  EXPECT_EQ(Value(ControlId::kForm3, Dimension::kWidth), *screenWidth);
}

TEST_F(ToolkitTest, Label1KeepsItsWidthAndItsCaptionWhileHidden) {
  ASSERT_TRUE(tk_.SetVisible(ControlId::kLabel1, false).ok());
  const float width = Value(ControlId::kLabel1, Dimension::kWidth);
  const std::u16string path = u"Z:\\tmp\\Dossier de travail\\Cartes S.P.C. & été\\classeur numéro 1.xls";
  ASSERT_TRUE(tk_.SetCaption(ControlId::kLabel1, path).ok());
  EXPECT_EQ(*tk_.Caption(ControlId::kLabel1), path);
  EXPECT_EQ(Value(ControlId::kLabel1, Dimension::kWidth), width);
  // The height follows the wrapped caption.
  EXPECT_GT(Value(ControlId::kLabel1, Dimension::kHeight), kForm3Definition.label1.height);
  EXPECT_FALSE(::IsWindowVisible(tk_.window(ControlId::kLabel1)));
  EXPECT_FALSE(tk_.Caption(ControlId::kPicture1).ok());
}

TEST_F(ToolkitTest, UnloadClosesTheWindowAndLoadMakesItAgain) {
  const HWND form = tk_.form3();
  ASSERT_TRUE(tk_.UnloadWindow().ok());
  EXPECT_FALSE(::IsWindow(form));
  EXPECT_EQ(tk_.form3(), nullptr);
  EXPECT_EQ(tk_.Get(ControlId::kPicture2, Dimension::kWidth).status(), Status(code::kEmptyReference));
  EXPECT_TRUE(tk_.UnloadWindow().ok());  // unloading an unloaded window is harmless
  ASSERT_TRUE(tk_.LoadWindow().ok());
  ASSERT_NE(tk_.form3(), nullptr);
  EXPECT_EQ(*tk_.Caption(ControlId::kLabel1), u"");
  EXPECT_EQ(Value(ControlId::kLabel1, Dimension::kHeight), Applied(360, tk_.twipsPerPixelY()));
  const HWND again = tk_.form3();
  ASSERT_TRUE(tk_.LoadWindow().ok());  // already loaded: the same window
  EXPECT_EQ(tk_.form3(), again);
}

TEST_F(ToolkitTest, TheMessageBoxHasThePromptTheTitleAndOneOkButton) {
  const std::wstring prompt(text::kFileAbsent.begin(), text::kFileAbsent.end());
  std::thread user([&] {
    const HWND box = WaitForWindow(DialogTitled(L"telvo"));
    ASSERT_NE(box, nullptr);
    const std::vector<std::wstring> texts = ChildTexts(box);
    EXPECT_NE(std::find(texts.begin(), texts.end(), prompt), texts.end());
    EXPECT_NE(::GetDlgItem(box, IDOK), nullptr);
    for (int other : {IDCANCEL, IDYES, IDNO, IDABORT, IDRETRY, IDIGNORE}) {
      const HWND button = ::GetDlgItem(box, other);
      EXPECT_TRUE(!button || !::IsWindowVisible(button)) << other;
    }
    Press(box, IDOK);
  });
  const Expected<std::int32_t> pressed =
      tk_.MessageBox(std::u16string(text::kFileAbsent), kOkOnly, std::u16string(text::kMessageTitle));
  user.join();
  ASSERT_TRUE(pressed.ok());
  EXPECT_EQ(*pressed, IDOK);
}

}  // namespace
}  // namespace spc::win32
