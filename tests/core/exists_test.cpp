// The presence test on real files in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/recording_platform.h"
#ifdef _WIN32
#include "platform/utf.h"
#include "platform/win32/dir_search.h"
#include "platform/win32/windows_api.h"
#else
#include "platform/posix/dir_search.h"
#endif

namespace spc::testing {
namespace {

namespace fs = std::filesystem;
#ifdef _WIN32
namespace native = win32;
#else
namespace native = posix;
#endif

class ExistsTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    folder_ = fs::temp_directory_path() / ("exists-" + std::to_string(::GetCurrentProcessId()));
    ASSERT_TRUE(fs::create_directory(folder_));
#else
    std::string pattern = (fs::temp_directory_path() / "exists-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
#endif
    Touch("classeur.xls");
    Touch("Cartes S.P.C. été.xls");
    Touch("lecture seule.xls");
    fs::permissions(folder_ / "lecture seule.xls", fs::perms::owner_read);
    Touch(".caché.xls");
#ifdef _WIN32
    // Hidden and system files are marked by their attributes, not by name.
    ASSERT_TRUE(::SetFileAttributesW(Native(".caché.xls").c_str(), FILE_ATTRIBUTE_HIDDEN));
    Touch("système.xls");
    ASSERT_TRUE(::SetFileAttributesW(Native("système.xls").c_str(), FILE_ATTRIBUTE_SYSTEM));
#endif
    fs::create_directory(folder_ / "dossier.xls");
    p_.toolkit.directorySearch = native::DirectorySearch;
  }
  void TearDown() override {
    fs::permissions(folder_ / "lecture seule.xls", fs::perms::owner_all);
    fs::remove_all(folder_);
  }
#ifdef _WIN32
  // The names are UTF-8; Windows paths are UTF-16.
  std::wstring Native(const std::string& name) const { return (folder_ / fs::path(FromUtf8(name))).wstring(); }
  void Touch(const std::string& name) { std::ofstream(fs::path(Native(name))) << "x"; }
  std::u16string Path(const std::string& name) const { return fs::path(Native(name)).u16string(); }
#else
  void Touch(const std::string& name) { std::ofstream(folder_ / name) << "x"; }
  std::u16string Path(const std::string& name) const {
    return FromUtf8((folder_ / name).string());
  }
#endif

  fs::path folder_;
  RecordingPlatform p_;
};

TEST_F(ExistsTest, AnswersMinusOneOnlyForPresentNormalFiles) {
  struct Case {
    std::string name;
    VariantBool expected;
  };
  for (const Case& c : std::vector<Case>{
           {"classeur.xls", kVariantTrue},
           {"Cartes S.P.C. été.xls", kVariantTrue},
           {"lecture seule.xls", kVariantTrue},     // read-only files count
           {"absent.xls", kVariantFalse},
           {"dossier.xls", kVariantFalse},          // directories never count
           {".caché.xls", kVariantFalse},           // hidden files do not
           {"*.xls", kVariantTrue},                 // a wildcard that matches
           {"c?asseur.xls", kVariantTrue},
           {"*.xlsx", kVariantFalse},               // a wildcard that matches nothing
           {"dossier*", kVariantFalse},             // only a directory matches
           {".cach*", kVariantFalse},               // only a hidden file matches
#ifdef _WIN32
           {"système.xls", kVariantFalse},          // system files do not
           {"syst*", kVariantFalse},                // only a system file matches
#endif
           {"absent/classeur.xls", kVariantFalse},  // a missing folder
           {"classeur.xls/x.xls", kVariantFalse},   // a file used as a folder
           {"dossier.xls/", kVariantFalse},         // a folder's path names no file
       }) {
    EXPECT_EQ(p_.form.Exists(Path(c.name)), c.expected) << c.name;
  }
}

TEST_F(ExistsTest, NamesTheFileSystemRejectsYieldFalseWithoutFailing) {
  const std::u16string unpaired = Path("classeur") + u'\xD800' + u".xls";
  const std::u16string nul = Path("classeur.xls") + u'\0' + u"x";
  const std::u16string tooLong = Path(std::string(300, 'a') + ".xls");
  for (const std::u16string& name : {unpaired, nul, tooLong}) {
    EXPECT_EQ(p_.form.Exists(name), kVariantFalse);
  }
  EXPECT_EQ(p_.recorder.Count("DirectorySearch"), 3);
}

TEST_F(ExistsTest, AnEmptyNameMakesNoSearch) {
  EXPECT_EQ(p_.form.Exists(u""), kVariantFalse);
  EXPECT_EQ(p_.recorder.Count("DirectorySearch"), 0);
  EXPECT_EQ(p_.recorder.log, (std::vector<std::string>{"TextCompare  | "}));
}

TEST_F(ExistsTest, AnyFailingCallYieldsFalse) {
  for (const int occurrence : {1, 2}) {
    RecordingPlatform p;
    p.toolkit.directorySearch = native::DirectorySearch;
    p.recorder.FailOn("TextCompare", occurrence);
    EXPECT_EQ(p.form.Exists(Path("classeur.xls")), kVariantFalse) << occurrence;
  }
}

TEST_F(ExistsTest, LeavesTheCallersStringUnchanged) {
  const std::u16string name = Path("Cartes S.P.C. été.xls");
  std::u16string copy = name;
  EXPECT_EQ(p_.form.Exists(copy), kVariantTrue);
  EXPECT_EQ(copy, name);
}

#ifndef _WIN32
TEST(DirectorySearch, ReturnsTheNameOfTheFirstMatchInNameOrder) {
  const fs::path folder = fs::temp_directory_path() / "dir-search-order";
  fs::create_directories(folder);
  for (const char* name : {"b.xls", "a.xls", "c.txt"}) std::ofstream(folder / name) << "x";
  const Expected<std::u16string> found = posix::DirectorySearch(FromUtf8((folder / "*.xls").string()), 0);
  fs::remove_all(folder);
  ASSERT_TRUE(found.ok());
  EXPECT_EQ(*found, u"a.xls");
}
#endif

TEST(Utf, RoundTripsAndRefusesUnpairedSurrogates) {
  const std::u16string text = u"Maîtrise é 𝄞 n°";
  const Expected<std::string> bytes = ToUtf8(text);
  ASSERT_TRUE(bytes.ok());
  EXPECT_EQ(FromUtf8(*bytes), text);
  EXPECT_FALSE(ToUtf8(u"a\xDC00").ok());
  EXPECT_EQ(FromUtf8("a\xFF" "b"), u"a\uFFFDb");
}

}  // namespace
}  // namespace spc::testing
