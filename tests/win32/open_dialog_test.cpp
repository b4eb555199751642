// The Open dialog as the user meets it: its title, its single filter, its
// Help button, a cancel, a choice, and the refusal of a name that does not
// exist. A second thread plays the user while ShowOpen runs its modal loop.
#include "platform/win32/open_dialog.h"

#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "launcher/form3.h"
#include "window_search.h"

namespace spc::win32 {
namespace {

using namespace testing;
namespace fs = std::filesystem;

const std::wstring kTitle = L"Maîtrise du procédé : cartes S.P.C. ...";

TEST(FilterPairs, SplitsAtEveryBarAndEndsWithTwoNuls) {
  EXPECT_EQ(FilterPairs(u"Fichiers Excel (*.xls)|*.xls"), std::wstring(L"Fichiers Excel (*.xls)\0*.xls\0\0", 30));
  EXPECT_EQ(FilterPairs(u"A|*.a|B|*.b;*.c"), std::wstring(L"A\0*.a\0B\0*.b;*.c\0\0", 17));
  EXPECT_EQ(FilterPairs(u""), std::wstring(L"\0\0", 2));
}

// The file name box: a combo box in the Explorer-style dialog, an edit box
// in the old style.
HWND FileNameBox(HWND dialog) {
  HWND box = ::GetDlgItem(dialog, cmb13);
  return box ? box : ::GetDlgItem(dialog, edt1);
}

class OpenDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / (L"open-dialog-" + std::to_wstring(::GetCurrentProcessId()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    std::ofstream(folder_ / L"Cartes été.xls") << "x";
    ASSERT_TRUE(dialog_.PutProperty(dispid::kDialogTitle, Variant::String(std::u16string(text::kDialogTitle))).ok());
    ASSERT_TRUE(dialog_.PutProperty(dispid::kFlags, Variant::Int32(text::kDialogFlags)).ok());
    ASSERT_TRUE(dialog_.PutProperty(dispid::kFilter, Variant::String(std::u16string(text::kFilter))).ok());
  }
  void TearDown() override {
    // The dialog makes the folder it was in the current one.
    ::SetCurrentDirectoryW(fs::temp_directory_path().c_str());
    fs::remove_all(folder_);
  }

  // Shows the dialog while `user` plays the user on another thread.
  Status ShowWhile(const std::function<void(HWND dialog)>& user) {
    std::thread player([&] {
      const HWND dialog = WaitForWindow(DialogTitled(kTitle));
      if (!dialog) {
        ADD_FAILURE() << "the Open dialog did not appear";
        return;
      }
      user(dialog);
      // Whatever happened, the dialog must not outlive the test.
      if (::IsWindow(dialog) && !WaitUntilGone(dialog, std::chrono::seconds(5))) {
        Press(dialog, IDCANCEL);
        ADD_FAILURE() << "the Open dialog was still open";
      }
    });
    const Status shown = dialog_.Invoke(dispid::kShowOpen);
    player.join();
    return shown;
  }

  std::u16string FileName() {
    const Expected<Variant> name = dialog_.GetProperty(dispid::kFileName);
    return name.ok() ? name->text : u"(failed)";
  }

  fs::path folder_;
  Win32OpenDialog dialog_{nullptr, nullptr};
};

TEST_F(OpenDialogTest, ShowsTheTitleTheSingleFilterAndAHelpButtonAndCancelLeavesTheNameAsItWas) {
  ASSERT_TRUE(dialog_.PutProperty(dispid::kFileName, Variant::String(u"")).ok());
  const Status shown = ShowWhile([](HWND dialog) {
    EXPECT_EQ(TextOf(dialog), kTitle);
    const HWND types = ::GetDlgItem(dialog, cmb1);
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(::SendMessageW(types, CB_GETCOUNT, 0, 0), 1);
    wchar_t entry[128] = {};
    ::SendMessageW(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(entry));
    EXPECT_EQ(std::wstring(entry), L"Fichiers Excel (*.xls)");
    const HWND help = ::GetDlgItem(dialog, pshHelp);
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(::IsWindowVisible(help));
    // Hide-read-only is not among the flags: the read-only option shows.
    const HWND readOnly = ::GetDlgItem(dialog, chx1);
    EXPECT_TRUE(readOnly && ::IsWindowVisible(readOnly));
    Press(dialog, IDCANCEL);
  });
  EXPECT_TRUE(shown.ok());
  EXPECT_EQ(FileName(), u"");
}

TEST_F(OpenDialogTest, AChosenFileComesBackAsItsFullPath) {
  const std::wstring path = (folder_ / L"Cartes été.xls").wstring();
  const Status shown = ShowWhile([&](HWND dialog) {
    ::SendMessageW(FileNameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    Press(dialog, IDOK);
  });
  EXPECT_TRUE(shown.ok());
  EXPECT_EQ(FileName(), std::u16string(path.begin(), path.end()));
}

TEST_F(OpenDialogTest, ANameThatDoesNotExistIsRefusedAndTheDialogStaysOpen) {
  const std::wstring missing = (folder_ / L"absent.xls").wstring();
  const Status shown = ShowWhile([&](HWND dialog) {
    ::SendMessageW(FileNameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(missing.c_str()));
    Press(dialog, IDOK);
    const HWND warning = WaitForWindow(DialogOwnedBy(dialog), std::chrono::seconds(10));
    EXPECT_NE(warning, nullptr) << "no warning about the missing file";
    if (warning) {
      Press(warning, IDOK);
      EXPECT_TRUE(WaitUntilGone(warning));
    }
    EXPECT_TRUE(::IsWindow(dialog) && ::IsWindowVisible(dialog)) << "the dialog closed on a missing file";
    Press(dialog, IDCANCEL);
  });
  EXPECT_TRUE(shown.ok());
  EXPECT_EQ(FileName(), u"");
}

TEST(OpenDialog, AfterACancelTheNameKeepsItsFormerValue) {
  Win32OpenDialog dialog(nullptr, nullptr);
  ASSERT_TRUE(dialog.PutProperty(dispid::kFileName, Variant::String(u"C:\\avant.xls")).ok());
  ASSERT_TRUE(dialog.PutProperty(dispid::kDialogTitle, Variant::String(u"Annuler")).ok());
  std::thread player([] {
    const HWND d = WaitForWindow(DialogTitled(L"Annuler"));
    ASSERT_NE(d, nullptr);
    Press(d, IDCANCEL);
  });
  EXPECT_TRUE(dialog.Invoke(dispid::kShowOpen).ok());
  player.join();
  EXPECT_EQ(dialog.GetProperty(dispid::kFileName)->text, u"C:\\avant.xls");
}

TEST(OpenDialog, UnknownMembersAndWrongTypesFail) {
  Win32OpenDialog dialog(nullptr, nullptr);
  EXPECT_FALSE(dialog.PutProperty(99, Variant::Int32(1)).ok());
  EXPECT_FALSE(dialog.GetProperty(99).ok());
  EXPECT_FALSE(dialog.Invoke(31).ok());
  EXPECT_EQ(dialog.PutProperty(dispid::kFlags, Variant::String(u"4112")), Status(code::kTypeMismatch));
  ASSERT_TRUE(dialog.PutProperty(dispid::kFlags, Variant::Int32(4112)).ok());
  EXPECT_EQ(dialog.GetProperty(dispid::kFlags)->integer, 4112);
}

}  // namespace
}  // namespace spc::win32
