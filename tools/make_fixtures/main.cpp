// make_fixtures: the workbooks the LibreOffice backend is tested with.
//
//   make_fixtures OUTDIR
//
// writes into OUTDIR:
//   unprotected.xls     Excel 97-2003 workbook with a VBA project: Module1
//                       holds Auto_Open, ThisWorkbook holds Workbook_Open;
//                       each appends its name to the file named by
//                       SPC_MACRO_LOG and marks a cell of the first sheet.
//   protected.xls       the same, RC4 CryptoAPI encrypted under the
//                       launcher's workbook password.
//   other-password.xls  the same, encrypted under another 22-character
//                       password.
//   corrupt.xls         a compound file cut short, which no filter loads.
//   locked.xls          protected.xls with a stale lock file beside it
//                       (.~lock.locked.xls#), left by a user of another
//                       machine, so the office cannot tell it is stale.
//   chemin à #1 50%/copie protégée #2 100%.xls
//                       protected.xls again, under a folder and a name with
//                       blanks, accented letters, '#' and '%'.
//
// The office makes the base workbook (make_base_workbook.py, a headless Calc
// with a throwaway profile): it exports the Basic library as a VBA project but
// writes no CODENAME records, and without them an importer does not tie
// ThisWorkbook to the workbook, so they are added here. It cannot encrypt
// with a password of this length either, so the encryption is done here too.

#include <signal.h>
#include <spawn.h>
#include <sys/random.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "biff.h"
#include "compound_file.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace fixtures;

namespace {

constexpr std::u16string_view kWorkbookPassword = u"pelisvarko!?dimaqu_wfz";
constexpr std::u16string_view kOtherPassword = u"Tzorbaniq#7plewvu-kaxo";
static_assert(kWorkbookPassword.size() == 22 && kOtherPassword.size() == 22);

constexpr auto kOfficeTimeout = std::chrono::seconds(90);

// Runs the script that has the office write the base workbook; ends it
// (SIGTERM, which makes it stop its office, then SIGKILL) if it overruns.
void make_base_workbook(const fs::path& out, const fs::path& workdir) {
  const std::string python = "/usr/bin/python3";
  const std::string script = MAKE_BASE_WORKBOOK_SCRIPT;
  const std::string out_s = out.string();
  const std::string work_s = workdir.string();
  std::vector<char*> argv{const_cast<char*>(python.c_str()), const_cast<char*>(script.c_str()),
                          const_cast<char*>(out_s.c_str()), const_cast<char*>(work_s.c_str()),
                          nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, python.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
    throw std::runtime_error("cannot start " + python);

  const auto deadline = std::chrono::steady_clock::now() + kOfficeTimeout;
  bool terminated = false;
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0) throw std::runtime_error("lost the base workbook script");
    const auto now = std::chrono::steady_clock::now();
    if (now > deadline + std::chrono::seconds(20)) {
      kill(pid, SIGKILL);
    } else if (now > deadline && !terminated) {
      kill(pid, SIGTERM);
      terminated = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (terminated) throw std::runtime_error("the office took too long to write the workbook");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("the office could not write the base workbook");
}

std::array<std::uint8_t, 16> random16() {
  std::array<std::uint8_t, 16> bytes{};
  if (getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
    throw std::runtime_error("no random bytes");
  return bytes;
}

// The VBA project must have a document module for every code name given.
void check_document_modules(const Entry& root, const std::vector<std::string>& names) {
  const Entry* vba = root.child("_VBA_PROJECT_CUR");
  const Entry* project = vba ? vba->child("PROJECT") : nullptr;
  if (!project) throw std::runtime_error("the office wrote no VBA project");
  const std::string text(project->data.begin(), project->data.end());
  for (const std::string& name : names)
    if (text.find("\r\nDocument=" + name + "/") == std::string::npos)
      throw std::runtime_error("the VBA project has no document module " + name);
}

Entry encrypted_copy(const Entry& plain, const std::vector<Record>& records,
                     std::u16string_view password) {
  Entry copy = plain;
  const CryptoApiKey key = derive_key(password, random16());
  copy.child("Workbook")->data = write_encrypted(records, key, random16());
  // The document properties stay out rather than in the clear.
  copy.remove_child("\x05SummaryInformation");
  copy.remove_child("\x05" "DocumentSummaryInformation");
  return copy;
}

// A compound file cut short: its header promises sectors (the allocation
// table and the directory among them) that are not there.
void write_corrupt(const fs::path& from, const fs::path& to) {
  std::ifstream in(from, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  constexpr std::size_t kKept = 1024;
  if (bytes.size() <= kKept) throw std::runtime_error("the workbook is too small to cut");
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), kKept);
  if (!out) throw std::runtime_error("cannot write " + to.string());
}

// The lock file the office keeps beside a document it has open: one CSV line
// of the office user's name, the system user, the host, the time and the
// profile URL.
void write_stale_lock(const fs::path& document) {
  const fs::path lock = document.parent_path() / (".~lock." + document.filename().string() + "#");
  std::ofstream out(lock, std::ios::binary | std::ios::trunc);
  out << "Claire Martin,cmartin,poste-atelier-7,01.12.2026 08:15,"
         "file:///home/cmartin/.config/libreoffice/4;";
  if (!out) throw std::runtime_error("cannot write " + lock.string());
}

void run(const fs::path& outdir) {
  fs::create_directories(outdir);
  std::string work_template = (fs::temp_directory_path() / "make_fixtures.XXXXXX").string();
  if (!mkdtemp(work_template.data())) throw std::runtime_error("cannot make a work folder");
  const fs::path workdir = work_template;
  struct Cleanup {
    fs::path dir;
    ~Cleanup() {
      std::error_code ignored;
      fs::remove_all(dir, ignored);
    }
  } cleanup{workdir};

  // An office killed while it had a fixture open leaves its lock file
  // behind, which would make the next load of the new file fail.
  for (const char* name : {"unprotected.xls", "protected.xls", "other-password.xls",
                           "corrupt.xls", "chemin à #1 50%/copie protégée #2 100%.xls"}) {
    const fs::path file = outdir / name;
    std::error_code ignored;
    fs::remove(file.parent_path() / (".~lock." + file.filename().string() + "#"), ignored);
  }

  const fs::path base = workdir / "base.xls";
  make_base_workbook(base, workdir / "office");

  Entry root = read_compound_file(base.string());
  Entry* workbook = root.child("Workbook");
  if (!workbook) throw std::runtime_error("the office wrote no Workbook stream");
  std::vector<Record> records = parse_records(workbook->data);

  const std::vector<std::string> sheets = sheet_names(records);
  std::vector<std::string> modules = sheets;
  modules.push_back("ThisWorkbook");
  check_document_modules(root, modules);
  add_code_names(records, "ThisWorkbook", sheets);

  workbook->data = write_records(records);
  // Written record by record again, so that positions are those of the
  // stream as it is now.
  records = parse_records(workbook->data);
  write_compound_file((outdir / "unprotected.xls").string(), root);
  write_compound_file((outdir / "protected.xls").string(),
                      encrypted_copy(root, records, kWorkbookPassword));
  write_compound_file((outdir / "other-password.xls").string(),
                      encrypted_copy(root, records, kOtherPassword));
  write_corrupt(outdir / "unprotected.xls", outdir / "corrupt.xls");

  fs::copy_file(outdir / "protected.xls", outdir / "locked.xls",
                fs::copy_options::overwrite_existing);
  write_stale_lock(outdir / "locked.xls");

  const fs::path odd = outdir / "chemin à #1 50%";
  fs::create_directories(odd);
  fs::copy_file(outdir / "protected.xls", odd / "copie protégée #2 100%.xls",
                fs::copy_options::overwrite_existing);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  try {
    run(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_fixtures: %s\n", e.what());
    return 1;
  }
  return 0;
}
