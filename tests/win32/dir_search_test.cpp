// The directory search and the text comparison on a real folder, with the
// file attributes that decide what the search matches.
#include "platform/win32/dir_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/utf.h"
#include "platform/win32/windows_api.h"

namespace spc::win32 {
namespace {

namespace fs = std::filesystem;

std::string U8(std::u16string_view text) { return ToUtf8(text).ok() ? *ToUtf8(text) : "?"; }
std::string U8(std::wstring_view text) { return U8(std::u16string(text.begin(), text.end())); }

class DirSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / (L"dir-search-" + std::to_wstring(::GetCurrentProcessId()));
    fs::remove_all(folder_);
    ASSERT_TRUE(fs::create_directory(folder_));
    Make(L"normal.xls", FILE_ATTRIBUTE_NORMAL);
    Make(L"archive.xls", FILE_ATTRIBUTE_ARCHIVE);
    Make(L"readonly.xls", FILE_ATTRIBUTE_READONLY);
    Make(L"hidden.xls", FILE_ATTRIBUTE_HIDDEN);
    Make(L"system.xls", FILE_ATTRIBUTE_SYSTEM);
    Make(L"hiddensystem.xls", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    Make(L"Classeur Été.XLS", FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(fs::create_directory(folder_ / L"folder.xls"));
    ASSERT_TRUE(fs::create_directory(folder_ / L"only-hidden"));
    ASSERT_TRUE(fs::create_directory(folder_ / L"only-dirs"));
    ASSERT_TRUE(fs::create_directory(folder_ / L"only-dirs" / L"sub.xls"));
    Make(L"only-hidden\\a.xls", FILE_ATTRIBUTE_HIDDEN);
    Make(L"only-hidden\\b.xls", FILE_ATTRIBUTE_SYSTEM);
  }
  void TearDown() override {
    for (const auto& e : fs::recursive_directory_iterator(folder_)) {
      ::SetFileAttributesW(e.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(folder_);
  }
  void Make(const std::wstring& name, DWORD attributes) {
    std::ofstream(folder_ / name) << "x";
    ASSERT_TRUE(::SetFileAttributesW((folder_ / name).c_str(), attributes)) << U8(name);
  }
  std::u16string Path(const std::wstring& name) const { return (folder_ / name).u16string(); }

  fs::path folder_;
};

TEST_F(DirSearchTest, MaskZeroMatchesNormalReadOnlyAndArchiveFilesOnly) {
  struct Case {
    const wchar_t* name;
    const char16_t* expected;
  };
  for (const Case& c : std::vector<Case>{
           {L"normal.xls", u"normal.xls"},
           {L"archive.xls", u"archive.xls"},
           {L"readonly.xls", u"readonly.xls"},
           {L"hidden.xls", u""},
           {L"system.xls", u""},
           {L"hiddensystem.xls", u""},
           {L"folder.xls", u""},
           {L"absent.xls", u""},
           {L"absent\\normal.xls", u""},    // a missing folder
           {L"NORMAL.XLS", u"normal.xls"},  // names match regardless of case; the entry's own name comes back
           {L"classeur été.xls", u"Classeur Été.XLS"},
           {L"only-hidden\\*.xls", u""},  // every match is hidden or system
           {L"only-dirs\\*", u""},        // every match is a directory
           {L"only-hidden\\?.xls", u""},
           {L"norm?l.xls", u"normal.xls"},
           {L"*.txt", u""},
       }) {
    const Expected<std::u16string> found = DirectorySearch(Path(c.name), 0);
    ASSERT_TRUE(found.ok()) << U8(c.name);
    EXPECT_EQ(*found, c.expected) << U8(c.name);
  }
}

TEST_F(DirSearchTest, AWildcardSkipsEntriesTheMaskExcludes) {
  // Every file here but one is hidden, system or a directory.
  const Expected<std::u16string> found = DirectorySearch(Path(L"*"), 0);
  ASSERT_TRUE(found.ok());
  const std::vector<std::u16string> normal{u"normal.xls", u"archive.xls", u"readonly.xls", u"Classeur Été.XLS"};
  EXPECT_NE(std::find(normal.begin(), normal.end(), *found), normal.end()) << U8(*found);
}

TEST_F(DirSearchTest, TheMaskAddsHiddenSystemAndDirectoryEntries) {
  EXPECT_EQ(*DirectorySearch(Path(L"hidden.xls"), 2), u"hidden.xls");
  EXPECT_EQ(*DirectorySearch(Path(L"system.xls"), 4), u"system.xls");
  EXPECT_EQ(*DirectorySearch(Path(L"system.xls"), 2), u"");
  EXPECT_EQ(*DirectorySearch(Path(L"hiddensystem.xls"), 6), u"hiddensystem.xls");
  EXPECT_EQ(*DirectorySearch(Path(L"folder.xls"), 16), u"folder.xls");
}

TEST_F(DirSearchTest, NamesNoFileCanHaveNeverMatch) {
  // A NUL would cut the name short, and an empty name names nothing: both
  // are refused before the file system is asked.
  for (const std::u16string& name : {Path(L"normal.xls") + u'\0' + u"x", std::u16string()}) {
    EXPECT_EQ(DirectorySearch(name, 0).status(), Status(code::kBadFileName)) << U8(name);
  }
  // Characters no file name may hold: Windows refuses the name, Wine finds
  // nothing; either way no name comes back.
  for (const std::u16string& name : {Path(L"a|b.xls"), Path(L"a\"b.xls"), Path(L"normal.xls:x:y:z")}) {
    const Expected<std::u16string> found = DirectorySearch(name, 0);
    EXPECT_TRUE(!found.ok() || found->empty()) << U8(name) << " gave " << U8(*found);
  }
}

TEST(TextCompare, IgnoresCaseAndOrdersTheEmptyTextFirst) {
  struct Case {
    std::u16string left, right;
    std::int32_t expected;
  };
  for (const Case& c : std::vector<Case>{
           {u"", u"", 0},
           {u"a", u"", 1},
           {u"", u"a", -1},
           {u"C:\\Classeur.XLS", u"c:\\classeur.xls", 0},
           {u"ÉTÉ", u"été", 0},
           {u"abc", u"abd", -1},
           {u"b", u"A", 1},
           {u" ", u"", 1},
       }) {
    const Expected<std::int32_t> result = TextCompare(c.left, c.right);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(*result, c.expected) << U8(c.left) << " / " << U8(c.right);
  }
}

}  // namespace
}  // namespace spc::win32
