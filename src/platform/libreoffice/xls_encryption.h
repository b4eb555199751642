// How an .xls workbook is encrypted, read from the FILEPASS record at the
// start of its Workbook stream, and the key LibreOffice accepts for the RC4
// CryptoAPI scheme in place of the password.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace spc::libreoffice {

struct XlsEncryption {
  enum class Scheme {
    kNone,       // not encrypted, or not a workbook this reader knows
    kXor,        // XOR obfuscation
    kRc4,        // RC4 with the Office 97 key derivation
    kCryptoApi,  // RC4 CryptoAPI
  };
  Scheme scheme = Scheme::kNone;
  std::array<std::uint8_t, 16> salt{};  // kRc4 and kCryptoApi
};

// Reads the compound file at `path` (UTF-8) with libgsf. Anything that is not
// a compound file with a BIFF8 Workbook stream reads as kNone: the office
// itself then decides what the file is.
XlsEncryption ReadXlsEncryption(const std::string& path);

// The RC4 CryptoAPI base key: SHA-1 of the salt followed by the password in
// UTF-16LE.
std::array<std::uint8_t, 20> CryptoApiKey(const std::array<std::uint8_t, 16>& salt, std::u16string_view password);

}  // namespace spc::libreoffice
