#include "biff.h"

#include <nettle/arcfour.h>
#include <nettle/sha1.h>

#include <algorithm>
#include <stdexcept>
#include <unordered_map>
#include <utility>

namespace fixtures {
namespace {

constexpr std::size_t kBlockSize = 1024;

std::uint16_t get16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t get32(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void append16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void append32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// BOF.dt of the substream a BOF record opens.
constexpr std::uint16_t kBofWorksheet = 0x0010;

// Index of the EOF that closes the substream opened by the BOF at `bof`;
// charts embedded in a sheet bring BOF/EOF pairs of their own.
std::size_t substream_end(const std::vector<Record>& records, std::size_t bof) {
  int depth = 0;
  for (std::size_t i = bof; i < records.size(); ++i) {
    if (records[i].type == record::kBof) ++depth;
    if (records[i].type == record::kEof && --depth == 0) return i;
  }
  throw std::runtime_error("substream without EOF");
}

// Whether the substream [bof, eof] holds a CODENAME record of its own.
bool has_code_name(const std::vector<Record>& records, std::size_t bof, std::size_t eof) {
  int depth = 0;
  for (std::size_t i = bof; i <= eof; ++i) {
    if (records[i].type == record::kBof) ++depth;
    if (records[i].type == record::kEof) --depth;
    if (depth == 1 && records[i].type == record::kCodeName) return true;
  }
  return false;
}

Record code_name_record(std::string_view name) {
  Record r;
  r.type = record::kCodeName;
  r.data = xl_unicode_string(name);
  return r;
}

// Where the workbook's CODENAME goes: after ObProj, or else before the first
// record that follows CodeName in the globals substream.
std::size_t globals_code_name_slot(const std::vector<Record>& records, std::size_t eof) {
  for (std::size_t i = 1; i < eof; ++i)
    if (records[i].type == record::kObProj) return i + 1;
  static constexpr std::uint16_t kFollowing[] = {
      0x009C /*BuiltInFnGroupCount*/, 0x0019 /*WinProtect*/, 0x0012 /*Protect*/,
      0x0013 /*Password*/,            0x01AF /*Prot4Rev*/,   0x01BC /*Prot4RevPass*/,
      0x003D /*Window1*/};
  for (std::size_t i = 1; i < eof; ++i)
    if (std::find(std::begin(kFollowing), std::end(kFollowing), records[i].type) !=
        std::end(kFollowing))
      return i;
  throw std::runtime_error("no place for the workbook's CODENAME record");
}

// Where a worksheet's CODENAME goes: before the run of records that close the
// substream (WebPub, CellWatch, SheetExt, the shared-feature records, EOF).
std::size_t sheet_code_name_slot(const std::vector<Record>& records, std::size_t bof,
                                 std::size_t eof) {
  static constexpr std::uint16_t kTrailing[] = {0x0801 /*WebPub*/,    0x086C /*CellWatch*/,
                                                0x0862 /*SheetExt*/,  0x0867 /*FeatHdr*/,
                                                0x0868 /*Feat*/,      0x0871 /*FeatHdr11*/,
                                                0x0872 /*Feature11*/, 0x0875 /*ContinueFrt11*/,
                                                0x0877 /*List12*/};
  std::size_t slot = eof;
  while (slot > bof + 1 && std::find(std::begin(kTrailing), std::end(kTrailing),
                                     records[slot - 1].type) != std::end(kTrailing))
    --slot;
  return slot;
}

void sha1(const std::vector<std::pair<const std::uint8_t*, std::size_t>>& parts,
          std::uint8_t out[SHA1_DIGEST_SIZE]) {
  sha1_ctx ctx;
  sha1_init(&ctx);
  for (const auto& [data, size] : parts) sha1_update(&ctx, size, data);
  sha1_digest(&ctx, SHA1_DIGEST_SIZE, out);
}

// The RC4 key of one 1024-byte block: the first 128 bits of
// SHA-1(password hash + little-endian block number).
arcfour_ctx block_cipher(const CryptoApiKey& key, std::uint32_t block) {
  std::uint8_t block_le[4];
  for (int i = 0; i < 4; ++i) block_le[i] = static_cast<std::uint8_t>(block >> (8 * i));
  std::uint8_t digest[SHA1_DIGEST_SIZE];
  sha1({{key.password_hash.data(), key.password_hash.size()}, {block_le, 4}}, digest);
  arcfour_ctx ctx;
  arcfour_set_key(&ctx, 16, digest);
  return ctx;
}

bool stored_in_clear(std::uint16_t type) {
  switch (type) {
    case record::kBof:
    case record::kFilePass:
    case record::kUsrExcl:
    case record::kFileLock:
    case record::kInterfaceHdr:
    case record::kRrdInfo:
    case record::kRrdHead:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::vector<Record> parse_records(const Bytes& stream) {
  std::vector<Record> records;
  std::size_t pos = 0;
  while (pos < stream.size()) {
    if (stream.size() - pos < 4) throw std::runtime_error("truncated record header");
    Record r;
    r.type = get16(stream, pos);
    const std::size_t size = get16(stream, pos + 2);
    if (stream.size() - pos - 4 < size) throw std::runtime_error("truncated record data");
    r.data.assign(stream.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                  stream.begin() + static_cast<std::ptrdiff_t>(pos + 4 + size));
    r.old_pos = static_cast<std::int64_t>(pos);
    records.push_back(std::move(r));
    pos += 4 + size;
  }
  if (records.empty() || records.front().type != record::kBof)
    throw std::runtime_error("the stream does not start with BOF");
  return records;
}

Bytes write_records(const std::vector<Record>& records) {
  std::unordered_map<std::int64_t, std::uint32_t> new_pos;
  std::uint32_t pos = 0;
  for (const Record& r : records) {
    if (r.data.size() > 0xFFFF) throw std::runtime_error("record too long");
    if (r.old_pos >= 0) new_pos[r.old_pos] = pos;
    pos += static_cast<std::uint32_t>(4 + r.data.size());
  }
  auto moved = [&](std::uint32_t old) {
    auto it = new_pos.find(old);
    if (it == new_pos.end()) throw std::runtime_error("stream position points at no record");
    return it->second;
  };

  Bytes out;
  out.reserve(pos);
  for (const Record& r : records) {
    Bytes data = r.data;
    if (r.type == record::kBoundSheet8 && data.size() >= 4) {
      put32(data, 0, moved(get32(data, 0)));
    } else if (r.type == record::kIndex && data.size() >= 16) {
      // reserved, rwMic, rwMac, ibXF (0 when there is no DefColWidth), rgibRw.
      if (get32(data, 12) != 0) put32(data, 12, moved(get32(data, 12)));
      for (std::size_t at = 16; at + 4 <= data.size(); at += 4)
        put32(data, at, moved(get32(data, at)));
    }
    append16(out, r.type);
    append16(out, static_cast<std::uint16_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
  }
  return out;
}

std::vector<std::string> sheet_names(const std::vector<Record>& records) {
  std::vector<std::string> names;
  for (const Record& r : records) {
    if (r.type != record::kBoundSheet8) continue;
    // lbPlyPos(4) hsState(1) dt(1) stName: cch(1) fHighByte(1) characters.
    if (r.data.size() < 8) throw std::runtime_error("short BoundSheet8");
    const std::size_t cch = r.data[6];
    const bool high = r.data[7] & 1;
    std::string name;
    for (std::size_t i = 0; i < cch; ++i) {
      const std::size_t at = 8 + (high ? 2 * i : i);
      if (at + (high ? 2 : 1) > r.data.size()) throw std::runtime_error("short BoundSheet8");
      const unsigned c = high ? get16(r.data, at) : r.data[at];
      if (c > 0x7F) throw std::runtime_error("sheet name is not ASCII");
      name.push_back(static_cast<char>(c));
    }
    names.push_back(name);
  }
  return names;
}

Bytes xl_unicode_string(std::string_view ascii) {
  Bytes b;
  append16(b, static_cast<std::uint16_t>(ascii.size()));
  b.push_back(0);  // fHighByte: one byte per character
  b.insert(b.end(), ascii.begin(), ascii.end());
  return b;
}

void add_code_names(std::vector<Record>& records, std::string_view workbook_code_name,
                    const std::vector<std::string>& sheet_code_names) {
  std::vector<std::pair<std::size_t, Record>> inserts;

  const std::size_t globals_eof = substream_end(records, 0);
  if (!has_code_name(records, 0, globals_eof))
    inserts.emplace_back(globals_code_name_slot(records, globals_eof),
                         code_name_record(workbook_code_name));

  std::size_t sheet = 0;
  for (const Record& r : records) {
    if (r.type != record::kBoundSheet8) continue;
    const std::size_t index = sheet++;
    if (index >= sheet_code_names.size() || sheet_code_names[index].empty()) continue;
    const std::int64_t target = get32(r.data, 0);
    auto bof = std::find_if(records.begin(), records.end(),
                            [&](const Record& x) { return x.old_pos == target; });
    if (bof == records.end() || bof->type != record::kBof)
      throw std::runtime_error("BoundSheet8 points at no BOF");
    const std::size_t b = static_cast<std::size_t>(bof - records.begin());
    if (bof->data.size() < 4 || get16(bof->data, 2) != kBofWorksheet) continue;
    const std::size_t e = substream_end(records, b);
    if (!has_code_name(records, b, e))
      inserts.emplace_back(sheet_code_name_slot(records, b, e),
                           code_name_record(sheet_code_names[index]));
  }

  std::stable_sort(inserts.begin(), inserts.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  for (auto& [at, r] : inserts)
    records.insert(records.begin() + static_cast<std::ptrdiff_t>(at), std::move(r));
}

CryptoApiKey derive_key(std::u16string_view password, const std::array<std::uint8_t, 16>& salt) {
  Bytes utf16le;
  for (char16_t c : password) append16(utf16le, static_cast<std::uint16_t>(c));
  CryptoApiKey key;
  key.salt = salt;
  sha1({{salt.data(), salt.size()}, {utf16le.data(), utf16le.size()}}, key.password_hash.data());
  return key;
}

Record make_file_pass(const CryptoApiKey& key, const std::array<std::uint8_t, 16>& verifier) {
  constexpr std::uint32_t kFlags = 0x04;  // fCryptoAPI
  static const char kProvider[] = "Microsoft Enhanced Cryptographic Provider v1.0";

  Bytes header;  // EncryptionHeader
  append32(header, kFlags);
  append32(header, 0);        // SizeExtra
  append32(header, 0x6801);   // AlgID: RC4
  append32(header, 0x8004);   // AlgIDHash: SHA-1
  append32(header, 128);      // KeySize in bits
  append32(header, 1);        // ProviderType: PROV_RSA_FULL
  append32(header, 0);        // Reserved1
  append32(header, 0);        // Reserved2
  for (const char* c = kProvider; *c; ++c) append16(header, static_cast<std::uint16_t>(*c));
  append16(header, 0);

  std::uint8_t verifier_hash[SHA1_DIGEST_SIZE];
  sha1({{verifier.data(), verifier.size()}}, verifier_hash);
  arcfour_ctx rc4 = block_cipher(key, 0);
  std::uint8_t encrypted_verifier[16];
  std::uint8_t encrypted_hash[SHA1_DIGEST_SIZE];
  arcfour_crypt(&rc4, sizeof encrypted_verifier, encrypted_verifier, verifier.data());
  arcfour_crypt(&rc4, sizeof encrypted_hash, encrypted_hash, verifier_hash);

  Record r;
  r.type = record::kFilePass;
  append16(r.data, 0x0001);  // wEncryptionType: RC4
  // Version 4.2, as current Excel writes it; LibreOffice's importer takes
  // 3.2 and 4.2 only, although 2.2 is a valid CryptoAPI version as well.
  append16(r.data, 0x0004);  // vMajor
  append16(r.data, 0x0002);  // vMinor
  append32(r.data, kFlags);
  append32(r.data, static_cast<std::uint32_t>(header.size()));
  r.data.insert(r.data.end(), header.begin(), header.end());
  append32(r.data, 16);  // SaltSize
  r.data.insert(r.data.end(), key.salt.begin(), key.salt.end());
  r.data.insert(r.data.end(), std::begin(encrypted_verifier), std::end(encrypted_verifier));
  append32(r.data, SHA1_DIGEST_SIZE);
  r.data.insert(r.data.end(), std::begin(encrypted_hash), std::end(encrypted_hash));
  return r;
}

Bytes write_encrypted(std::vector<Record> records, const CryptoApiKey& key,
                      const std::array<std::uint8_t, 16>& verifier) {
  if (records.empty() || records.front().type != record::kBof)
    throw std::runtime_error("the stream does not start with BOF");
  for (const Record& r : records)
    if (r.type == record::kFilePass) throw std::runtime_error("the workbook is encrypted already");
  records.insert(records.begin() + 1, make_file_pass(key, verifier));
  Bytes stream = write_records(records);

  // Which bytes get encrypted: record data, less what is stored in the clear.
  std::vector<bool> encrypt(stream.size(), false);
  std::size_t pos = 0;
  for (const Record& r : records) {
    const std::size_t data = pos + 4;
    if (!stored_in_clear(r.type)) {
      const std::size_t skip = r.type == record::kBoundSheet8 ? 4 : 0;  // lbPlyPos
      for (std::size_t i = skip; i < r.data.size(); ++i) encrypt[data + i] = true;
    }
    pos = data + r.data.size();
  }

  // The key stream restarts with a new key at every 1024-byte boundary of the
  // stream; bytes left in the clear still use up key stream.
  for (std::size_t block_start = 0; block_start < stream.size(); block_start += kBlockSize) {
    const std::size_t n = std::min(kBlockSize, stream.size() - block_start);
    arcfour_ctx rc4 = block_cipher(key, static_cast<std::uint32_t>(block_start / kBlockSize));
    std::uint8_t zeros[kBlockSize] = {};
    std::uint8_t key_stream[kBlockSize];
    arcfour_crypt(&rc4, n, key_stream, zeros);
    for (std::size_t i = 0; i < n; ++i)
      if (encrypt[block_start + i]) stream[block_start + i] ^= key_stream[i];
  }
  return stream;
}

}  // namespace fixtures
