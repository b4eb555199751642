// The resources of the built program file, read back as Windows reads them:
// the application icon (group 1, image 30001), the two pictures, the version
// block; and the DLLs the program imports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32/resource_ids.h"
#include "platform/win32/windows_api.h"

#ifndef SPC_LAUNCHER_EXE
#error "SPC_LAUNCHER_EXE must name the built program"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::uint32_t U16(const Bytes& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::uint32_t U32(const Bytes& b, std::size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

std::wstring Widen(const char* text) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
  wide.resize(static_cast<std::size_t>(n - 1));
  return wide;
}

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ::LoadLibraryExW(Widen(SPC_LAUNCHER_EXE).c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    if (module_) ::FreeLibrary(module_);
  }
  // The bytes of a resource; empty when it is not there.
  Bytes Resource(const wchar_t* type, int id) const {
    HRSRC found = ::FindResourceW(module_, MAKEINTRESOURCEW(id), type);
    if (!found) return {};
    const auto* data = static_cast<const std::uint8_t*>(::LockResource(::LoadResource(module_, found)));
    return Bytes(data, data + ::SizeofResource(module_, found));
  }
  std::vector<std::uintptr_t> Ids(const wchar_t* type) const {
    std::vector<std::uintptr_t> ids;
    ::EnumResourceNamesW(
        module_, type,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) -> BOOL {
          reinterpret_cast<std::vector<std::uintptr_t>*>(list)->push_back(reinterpret_cast<std::uintptr_t>(name));
          return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&ids));
    return ids;
  }

  HMODULE module_ = nullptr;
};

TEST_F(ResourcesTest, TheIconIsGroupOneWithOneImageNumbered30001) {
  EXPECT_EQ(Ids(MAKEINTRESOURCEW(14)), std::vector<std::uintptr_t>{1});     // RT_GROUP_ICON
  EXPECT_EQ(Ids(MAKEINTRESOURCEW(3)), std::vector<std::uintptr_t>{30001});  // RT_ICON
  const Bytes group = Resource(MAKEINTRESOURCEW(14), SPC_IDI_LAUNCHER);
  ASSERT_EQ(group.size(), 6u + 14u);
  EXPECT_EQ(U16(group, 0), 0u);    // reserved
  EXPECT_EQ(U16(group, 2), 1u);    // icons
  EXPECT_EQ(U16(group, 4), 1u);    // one entry
  EXPECT_EQ(group[6], 32);         // width
  EXPECT_EQ(group[7], 32);         // height
  EXPECT_EQ(U16(group, 10), 1u);   // planes
  EXPECT_EQ(U16(group, 12), 24u);  // bits per pixel
  EXPECT_EQ(U32(group, 14), 3240u);
  EXPECT_EQ(U16(group, 18), 30001u);

  // The image is the icon file's image, byte for byte.
  const Bytes icon = ReadFile(SPC_ASSETS_DIR "/launcher.ico");
  ASSERT_EQ(icon.size(), 3262u);
  const Bytes image = Resource(MAKEINTRESOURCEW(3), SPC_IDI_LAUNCHER_IMAGE);
  EXPECT_EQ(image, Bytes(icon.begin() + 22, icon.end()));
}

TEST_F(ResourcesTest, ThePicturesAreTheBitmapFilesWithoutTheirFileHeader) {
  for (auto [id, file] : {std::pair{SPC_IDB_CORNER, "corner.bmp"}, {SPC_IDB_CENTRE, "centre.bmp"}}) {
    const Bytes bmp = ReadFile(std::string(SPC_ASSETS_DIR "/") + file);
    ASSERT_EQ(bmp.size(), 30054u) << file;
    EXPECT_EQ(Resource(MAKEINTRESOURCEW(2), id), Bytes(bmp.begin() + 14, bmp.end())) << file;  // RT_BITMAP
  }
}

TEST_F(ResourcesTest, TheVersionIsOnePointZeroInFrenchWithTheUnicodeCodePage) {
  const std::wstring exe = Widen(SPC_LAUNCHER_EXE);
  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<std::uint8_t> block(size);
  ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  WORD* translation = nullptr;
  ASSERT_TRUE(
      ::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x040C);  // French (France)
  EXPECT_EQ(translation[1], 1200);    // Unicode

  auto value = [&](const wchar_t* name) -> std::wstring {
    wchar_t* text = nullptr;
    UINT chars = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040C04B0\\") + name;
    if (!::VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &chars)) return L"(missing)";
    return std::wstring(text);
  };
  EXPECT_EQ(value(L"FileVersion"), L"1.00");
  EXPECT_EQ(value(L"ProductVersion"), L"1.00");
  // Accented letters survive the resource compiler.
  EXPECT_EQ(value(L"FileDescription"), L"Maîtrise du procédé : cartes S.P.C.");
}

// The DLL names in the program's import table.
std::vector<std::string> ImportedDlls(const Bytes& pe) {
  std::vector<std::string> names;
  const std::uint32_t nt = U32(pe, 0x3C);
  if (U32(pe, nt) != 0x4550) return names;  // "PE\0\0"
  const std::uint32_t sections = U16(pe, nt + 6);
  const std::uint32_t optionalSize = U16(pe, nt + 20);
  const std::size_t optional = nt + 24;
  if (U16(pe, optional) != 0x20B) return names;  // PE32+
  const std::uint32_t importRva = U32(pe, optional + 112 + 8);
  auto toOffset = [&](std::uint32_t rva) -> std::size_t {
    for (std::uint32_t i = 0; i < sections; ++i) {
      const std::size_t s = optional + optionalSize + i * 40;
      const std::uint32_t va = U32(pe, s + 12), rawSize = U32(pe, s + 16), raw = U32(pe, s + 20);
      const std::uint32_t virtualSize = std::max(U32(pe, s + 8), rawSize);
      if (rva >= va && rva < va + virtualSize) return raw + (rva - va);
    }
    return 0;
  };
  for (std::size_t d = toOffset(importRva); d && U32(pe, d + 12) != 0; d += 20) {
    std::string name;
    for (std::size_t at = toOffset(U32(pe, d + 12)); pe.at(at) != 0; ++at) name += static_cast<char>(pe[at]);
    names.push_back(name);
  }
  return names;
}

TEST(Program, ImportsOnlySystemDlls) {
  const std::vector<std::string> dlls = ImportedDlls(ReadFile(SPC_LAUNCHER_EXE));
  ASSERT_FALSE(dlls.empty());
  for (std::string dll : dlls) {
    for (char& c : dll) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::vector<std::string> system{"kernel32.dll", "user32.dll",   "gdi32.dll",  "comdlg32.dll",
                                          "ole32.dll",    "oleaut32.dll", "msvcrt.dll", "advapi32.dll"};
    EXPECT_NE(std::find(system.begin(), system.end(), dll), system.end()) << dll;
  }
}

}  // namespace
