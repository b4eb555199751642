// Benchmark probe: starts a program and reports how long it takes until a
// top-level window with a given title is mapped on the X server, and the
// program's peak resident memory once that window has been open for a moment.
// The processor time the program has used by the time its window is mapped is
// reported too: on a busy machine it varies less than the elapsed time.
//
// Usage: map_timer TITLE SETTLE_MS -- PROGRAM [ARGUMENTS...]
//   TITLE "*" takes the first window mapped.
//   Prints "<elapsed ms> <peak kB> <processor ms>".
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

std::string WindowTitle(Display* display, Window window) {
  const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8, &type, &format, &items, &after, &data) ==
          Success &&
      data != nullptr) {
    title.assign(reinterpret_cast<char*>(data), items);
    XFree(data);
    return title;
  }
  char* name = nullptr;
  if (XFetchName(display, window, &name) && name != nullptr) {
    title = name;
    XFree(name);
  }
  return title;
}

long PeakResidentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// User and system time of all the process's threads so far, in milliseconds.
double ProcessorMs(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // Fields after the command name, which is in parentheses and may hold blanks.
  const std::size_t end = text.rfind(')');
  if (end == std::string::npos) return -1;
  unsigned long long user = 0, system = 0;
  if (std::sscanf(text.c_str() + end + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user,
                  &system) != 2) {
    return -1;
  }
  return (user + system) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 5 || std::strcmp(argv[3], "--") != 0) {
    std::fprintf(stderr, "usage: %s TITLE SETTLE_MS -- PROGRAM [ARGUMENTS...]\n", argv[0]);
    return 2;
  }
  const std::string wanted = argv[1];
  const int settleMs = std::atoi(argv[2]);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "no X display\n");
    return 2;
  }
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False);

  const double start = Now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(argv[4], argv + 4);
    _exit(127);
  }

  double mapped = -1;
  pollfd watch{ConnectionNumber(display), POLLIN, 0};
  while (mapped < 0 && Now() - start < 30000) {
    if (XPending(display) == 0) {
      if (waitpid(child, nullptr, WNOHANG) == child) break;
      poll(&watch, 1, 50);
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != MapNotify) continue;
    if (wanted == "*" || WindowTitle(display, event.xmap.window) == wanted) mapped = Now();
  }
  const double processor = mapped < 0 ? -1 : ProcessorMs(child);
  if (mapped < 0) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    std::fprintf(stderr, "%s: no window \"%s\" was mapped\n", argv[4], wanted.c_str());
    return 1;
  }

  usleep(static_cast<useconds_t>(settleMs) * 1000);
  const long peak = PeakResidentKb(child);
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  XCloseDisplay(display);
  std::printf("%.1f %ld %.0f\n", mapped - start, peak, processor);
  return 0;
}
