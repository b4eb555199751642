#include "platform/libreoffice/xls_encryption.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <rtl/digest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace spc::libreoffice {

namespace {

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kFilePass = 0x002F;
// FILEPASS stands right after the BOF of the workbook globals; a few records
// are enough to know.
constexpr int kRecordsToScan = 16;

struct GObjectUnref {
  void operator()(void* object) const {
    if (object) g_object_unref(object);
  }
};
template <class T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool ReadExact(GsfInput* input, std::size_t size, std::uint8_t* out) {
  if (size == 0) return true;
  return gsf_input_read(input, size, out) != nullptr;
}

XlsEncryption ParseFilePass(const std::vector<std::uint8_t>& data) {
  XlsEncryption result;
  if (data.size() < 2) return result;
  const std::uint16_t type = U16(data.data());
  if (type == 0) {
    result.scheme = XlsEncryption::Scheme::kXor;
    return result;
  }
  if (type != 1 || data.size() < 6) return result;
  const std::uint16_t major = U16(data.data() + 2);
  const std::uint16_t minor = U16(data.data() + 4);
  if (major == 1 && minor == 1) {
    // Office 97 RC4: salt, encrypted verifier, encrypted verifier hash.
    if (data.size() < 6 + 16) return result;
    result.scheme = XlsEncryption::Scheme::kRc4;
    std::memcpy(result.salt.data(), data.data() + 6, 16);
    return result;
  }
  if (major >= 2 && major <= 4 && minor == 2) {
    // CryptoAPI: flags, header size, header, then the verifier: salt size
    // and salt.
    std::size_t at = 6;
    if (data.size() < at + 8) return result;
    const std::uint32_t header_size = U32(data.data() + at + 4);
    at += 8;
    if (header_size > data.size() - at) return result;
    at += header_size;
    if (data.size() < at + 4) return result;
    const std::uint32_t salt_size = U32(data.data() + at);
    at += 4;
    if (salt_size != 16 || data.size() < at + 16) return result;
    result.scheme = XlsEncryption::Scheme::kCryptoApi;
    std::memcpy(result.salt.data(), data.data() + at, 16);
  }
  return result;
}

}  // namespace

XlsEncryption ReadXlsEncryption(const std::string& path) {
  GPtr<GsfInput> file(gsf_input_stdio_new(path.c_str(), nullptr));
  if (!file) return {};
  GPtr<GsfInfile> storage(gsf_infile_msole_new(file.get(), nullptr));
  if (!storage) return {};
  GPtr<GsfInput> stream(gsf_infile_child_by_name(storage.get(), "Workbook"));
  if (!stream) return {};

  std::uint8_t header[4];
  for (int i = 0; i < kRecordsToScan; ++i) {
    if (!ReadExact(stream.get(), sizeof header, header)) break;
    const std::uint16_t type = U16(header);
    const std::uint16_t size = U16(header + 2);
    if (i == 0 && type != kBof) break;
    std::vector<std::uint8_t> data(size);
    if (!ReadExact(stream.get(), size, data.data())) break;
    if (type == kFilePass) return ParseFilePass(data);
  }
  return {};
}

std::array<std::uint8_t, 20> CryptoApiKey(const std::array<std::uint8_t, 16>& salt, std::u16string_view password) {
  std::vector<std::uint8_t> input(salt.begin(), salt.end());
  for (const char16_t c : password) {
    input.push_back(static_cast<std::uint8_t>(c & 0xFF));
    input.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  std::array<std::uint8_t, 20> key{};
  rtl_digest_SHA1(input.data(), static_cast<sal_uInt32>(input.size()), key.data(), static_cast<sal_uInt32>(key.size()));
  return key;
}

}  // namespace spc::libreoffice
