// Benchmark baseline: the least a program can do to put a window on the
// screen with Xlib. It maps one titled window and waits until it is killed.
#include <X11/Xlib.h>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  const int screen = DefaultScreen(display);
  const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 400, 300, 0,
                                            BlackPixel(display, screen), WhitePixel(display, screen));
  XStoreName(display, window, "bare");
  XMapWindow(display, window);
  XFlush(display);
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
  }
}
