// A plain window for the end-to-end tests to hand to tumbra --window-id:
// prints its number, stays until SIGTERM or SIGINT, then destroys the window.
// Usage: make_window WIDTH HEIGHT
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>

static volatile sig_atomic_t Stop = 0;
static void OnSignal(int) { Stop = 1; }

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_window WIDTH HEIGHT\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  const int screen = DefaultScreen(display);
  XSetWindowAttributes attributes = {};
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.override_redirect = True;  // where it is made, with no window manager to ask
  const Window window =
      XCreateWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(std::atoi(argv[1])),
                    static_cast<unsigned>(std::atoi(argv[2])), 0, CopyFromParent, InputOutput, CopyFromParent,
                    CWBackPixel | CWOverrideRedirect, &attributes);
  XStoreName(display, window, "tumbra test window");
  XMapRaised(display, window);
  XSync(display, False);
  std::printf("0x%lx\n", window);
  std::fflush(stdout);
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  while (!Stop) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
    }
    pollfd wait = {ConnectionNumber(display), POLLIN, 0};
    poll(&wait, 1, 100);
  }
  XDestroyWindow(display, window);
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}
