// BIFF8 records of an Excel 97-2003 Workbook stream, as far as the fixtures
// need them: split into records, write back with the stream positions that
// point into the stream kept right, add CODENAME records, and encrypt with
// RC4 CryptoAPI.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fixtures {

using Bytes = std::vector<std::uint8_t>;

namespace record {
constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kBoundSheet8 = 0x0085;
constexpr std::uint16_t kIndex = 0x020B;
constexpr std::uint16_t kCodeName = 0x01BA;
constexpr std::uint16_t kObProj = 0x00D3;
constexpr std::uint16_t kInterfaceHdr = 0x00E1;
constexpr std::uint16_t kUsrExcl = 0x0194;
constexpr std::uint16_t kFileLock = 0x0195;
constexpr std::uint16_t kRrdInfo = 0x0196;
constexpr std::uint16_t kRrdHead = 0x0138;
}  // namespace record

struct Record {
  std::uint16_t type = 0;
  Bytes data;
  // Position of the record in the stream it was read from; -1 for a record
  // added since. Stream positions stored inside records are translated
  // through it when the stream is written again.
  std::int64_t old_pos = -1;
};

// Splits a Workbook stream into records. Throws std::runtime_error when the
// stream does not consist of whole records.
std::vector<Record> parse_records(const Bytes& stream);

// Writes the records back into one stream. The stream positions held by
// BoundSheet8 (its sheet's BOF) and Index (DefColWidth and DBCell records)
// are moved along with the records they point at; one that points at no
// record start is an error (std::runtime_error).
Bytes write_records(const std::vector<Record>& records);

// Sheet names in BoundSheet8 order.
std::vector<std::string> sheet_names(const std::vector<Record>& records);

// Adds the CODENAME records the office leaves out: the workbook's own (in the
// globals, after ObProj) and one per worksheet (before the records that end
// its substream). A substream that has one already keeps it.
void add_code_names(std::vector<Record>& records, std::string_view workbook_code_name,
                    const std::vector<std::string>& sheet_code_names);

// The XLUnicodeString a CODENAME record holds.
Bytes xl_unicode_string(std::string_view ascii);

// RC4 CryptoAPI, the scheme Excel uses for .xls: SHA-1 for the key, RC4 with a
// 128-bit key, a new key for every 1024 bytes of the stream.
struct CryptoApiKey {
  std::array<std::uint8_t, 16> salt{};
  std::array<std::uint8_t, 20> password_hash{};  // SHA-1(salt + UTF-16LE password)
};

CryptoApiKey derive_key(std::u16string_view password, const std::array<std::uint8_t, 16>& salt);

// The FILEPASS record of an RC4 CryptoAPI encrypted workbook, with the
// verifier made from `verifier` under `key`.
Record make_file_pass(const CryptoApiKey& key, const std::array<std::uint8_t, 16>& verifier);

// Inserts the FILEPASS record right after the first BOF, writes the stream
// and encrypts it in place: every record's data except that of the records
// stored in the clear (BOF, FILEPASS, UsrExcl, FileLock, InterfaceHdr,
// RRDInfo, RRDHead) and the sheet position of BoundSheet8; record headers
// stay in the clear.
Bytes write_encrypted(std::vector<Record> records, const CryptoApiKey& key,
                      const std::array<std::uint8_t, 16>& verifier);

}  // namespace fixtures
