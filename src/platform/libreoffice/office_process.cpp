#include "platform/libreoffice/office_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern char** environ;

namespace spc::libreoffice {

namespace {

// FNV-1a: a short, stable tag for the profile's location.
std::uint64_t Fnv1a(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Hex(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) out[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
  return out;
}

}  // namespace

std::string DefaultPipeName() {
  // The office keeps its profile under the user's home folder: the same home
  // means the same office.
  const char* home = std::getenv("HOME");
  return "spc_launcher_" + std::to_string(::getuid()) + "_" + Hex(Fnv1a(home ? home : "")).substr(0, 12);
}

std::vector<std::string> OfficeArguments(const std::string& pipeName) {
  return {"--accept=pipe,name=" + pipeName + ";urp;StarOffice.ComponentContext", "--norestore", "--nologo",
          "--nodefault"};
}

Expected<pid_t> StartDetached(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<std::string> argv_storage;
  argv_storage.reserve(arguments.size() + 1);
  argv_storage.push_back(program);
  argv_storage.insert(argv_storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : argv_storage) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) return Status(code::kFail);
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return Status(code::kFail);
  }
  for (int fd = 0; fd <= 2; ++fd) {
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  }
  // A session of its own: the office neither receives the launcher's terminal
  // signals nor ends with it.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGCHLD);
  posix_spawnattr_setsigdefault(&attributes, &defaults);

  pid_t pid = -1;
  const int error = posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) return Status(code::kClassNotRegistered);
  return pid;
}

ChildState PollChild(pid_t pid) {
  int status = 0;
  pid_t done;
  do {
    done = ::waitpid(pid, &status, WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done == 0) return ChildState::kRunning;
  if (done < 0) return ChildState::kExitedOk;  // not our child any more: reaped elsewhere
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ChildState::kExitedOk : ChildState::kFailed;
}

}  // namespace spc::libreoffice
