// Sends a client message to a window, as other programs and window managers
// do, for the end-to-end tests: its type is the atom named TYPE, its first
// word the atom named WORD, or the number WORD when it is one. Those who
// select structure events on the window get it, or else its maker.
// Usage: send_message WINDOW|root TYPE WORD
#include <X11/Xlib.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: send_message WINDOW|root TYPE WORD\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  const Window window = std::string(argv[1]) == "root" ? DefaultRootWindow(display)
                                                      : static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, argv[2], False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = std::isdigit(static_cast<unsigned char>(argv[3][0]))
                                ? std::strtol(argv[3], nullptr, 0)
                                : static_cast<long>(XInternAtom(display, argv[3], False));
  event.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, window, False, StructureNotifyMask, &event) &&
                      XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return sent ? 0 : 1;
}
