// tumbra for X11: the process entry, the window it draws into (its own, its
// own over the whole screen, the root window or xscreensaver's, or one given
// by number), and the loop that waits for events or the next due frame. The
// ending rules are the host's portable ones; the engine is the saver's.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/engine.h"
#include "loop/loop.h"
#include "host/host.h"
#include "host/options.h"
#include "lifeface/lifeface.h"
#include "platform/x11/x11.h"
#include "render/render.h"
#include "settings/settings.h"

#ifndef TUMBRA_DATA_FROM_PROGRAM
#define TUMBRA_DATA_FROM_PROGRAM "../../share/tumbra"
#endif

namespace {

const char ProgramName[] = "tumbra";
const int32_t OwnWindowWidth = 800;
const int32_t OwnWindowHeight = 600;
// How long a shown frame may stay unconfirmed before the server is taken
// to have dropped it (a window that went away answers with an error only).
const uint32_t PresentTimeout = 1000;

struct LoopState {
  FrontEndTarget target;
  Window window;
  bool ownWindow;
  Atom protocols;  // the window manager's WM_PROTOCOLS messages to a window of our own
  Atom deleteWindow;
  bool quit;
  bool exposed;
  int32_t width;  // the window's size as last configured
  int32_t height;
  bool resized;
  int signalPipe[2];
};
LoopState Loop = {};

volatile sig_atomic_t SignalSeen = 0;
// Once the settings are stored whole and until the first shared memory is
// made nothing needs undoing, and start-up may take long there (indexing
// Golly's thousands of pattern files on a slow disk): a signal then ends the
// process at once, as it would end the loop.
volatile sig_atomic_t EndAtOnce = 0;

[[noreturn]] void Fail(int code, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", ProgramName, message.c_str());
  std::exit(code);
}

// The interrupted code may be about to read errno: the write must not change it.
void OnSignal(int) {
  if (EndAtOnce) _exit(0);
  const int savedErrno = errno;
  SignalSeen = 1;
  const char byte = 1;
  ssize_t ignored = write(Loop.signalPipe[1], &byte, 1);
  (void)ignored;
  errno = savedErrno;
}

void CatchSignals() {
  if (pipe(Loop.signalPipe) != 0) Fail(1, "cannot make a pipe");
  for (int end : Loop.signalPipe) fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  // Xlib's reads and writes go on after the handler (a signal in the midst
  // of one would be a fatal I/O error); the loop's poll returns at once.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

// X errors do not end the program: a window that another program destroys
// fails a few requests before its destruction is reported.
int RecordError(Display*, XErrorEvent* error) {
  X11.lastError = error->error_code;
  X11.lastErrorResource = error->resourceid;
  X11SurfaceError(*error);
  if ((error->error_code == BadWindow || error->error_code == BadDrawable) && error->resourceid == Loop.window &&
      !Loop.ownWindow)
    Loop.quit = true;
  return 0;
}

bool IsReadable(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

// The data folder of an installed program, found from the program's own place.
std::string InstalledDataFolder() {
  char program[PATH_MAX];
  return PlatformProgramFolder(program, sizeof program) ? std::string(program) + "/" + TUMBRA_DATA_FROM_PROGRAM
                                                         : std::string();
}

// The catalogue file: in the folder given, or the first data folder that has one.
std::string FindCatalogue(const FrontEndOptions& options) {
  if (!options.catalogue.empty()) {
    const std::string path = options.catalogue + "/tumbra.ini";
    if (!IsReadable(path)) Fail(2, "--catalogue: no tumbra.ini in " + options.catalogue);
    return path;
  }
  const std::string installed = InstalledDataFolder();
  std::string searched;
  for (const std::string& folder : CatalogueFolders(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"),
                                                    std::getenv("XDG_DATA_DIRS"), installed.c_str())) {
    if (IsReadable(folder + "/tumbra.ini")) return folder + "/tumbra.ini";
    searched += "\n  " + folder;
  }
  Fail(1, "no lifeface catalogue tumbra.ini in any of" + searched + "\n(give one with --catalogue DIR)");
}

double DisplayDpi(Display* display) {
  const char* resource = XGetDefault(display, "Xft", "dpi");
  if (resource != nullptr) {
    const double dpi = std::atof(resource);
    if (dpi >= 48 && dpi <= 480) return dpi;
  }
  const int screen = DefaultScreen(display);
  if (DisplayHeightMM(display, screen) > 0) {
    const double dpi = DisplayHeight(display, screen) * 25.4 / DisplayHeightMM(display, screen);
    if (dpi >= 48 && dpi <= 480) return dpi;
  }
  return 96;
}

void NameWindow(Display* display, Window window) {
  XStoreName(display, window, ProgramName);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(ProgramName), sizeof ProgramName - 1);
  XClassHint hint = {const_cast<char*>(ProgramName), const_cast<char*>("Tumbra")};
  XSetClassHint(display, window, &hint);
}

Cursor BlankCursor(Display* display, Window window) {
  static const char empty[1] = {0};
  Pixmap pixmap = XCreateBitmapFromData(display, window, empty, 1, 1);
  XColor black = {};
  Cursor cursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
  XFreePixmap(display, pixmap);
  return cursor;
}

Window CreateOwnWindow(Display* display, bool fullScreen) {
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  XSetWindowAttributes attributes = {};
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.event_mask = ExposureMask | StructureNotifyMask | KeyPressMask;
  unsigned long mask = CWBackPixel | CWEventMask;
  int32_t width = OwnWindowWidth, height = OwnWindowHeight;
  if (fullScreen) {
    width = DisplayWidth(display, screen);
    height = DisplayHeight(display, screen);
    attributes.override_redirect = True;
    attributes.event_mask |= ButtonPressMask | PointerMotionMask | FocusChangeMask;
    mask |= CWOverrideRedirect;
  }
  const Window window = XCreateWindow(display, root, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                      0, CopyFromParent, InputOutput, CopyFromParent, mask, &attributes);
  if (!fullScreen) NameWindow(display, window);
  Loop.protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  Loop.deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &Loop.deleteWindow, 1);
  if (fullScreen) {
    XDefineCursor(display, window, BlankCursor(display, window));
  } else {
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize;
    hints->min_width = 16;
    hints->min_height = 16;
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
  }
  XMapRaised(display, window);
  if (fullScreen) {
    // Input must reach the saver wherever the pointer is: it takes keyboard
    // and pointer for itself, as a screen saver does (the server may need a
    // moment after mapping).
    for (int attempt = 0; attempt < 50; ++attempt) {
      const bool keyboard = XGrabKeyboard(display, window, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
      const bool pointer = XGrabPointer(display, window, True, ButtonPressMask | PointerMotionMask, GrabModeAsync,
                                        GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
      if (keyboard && pointer) break;
      usleep(20000);
    }
    // Named once input reaches it: whoever finds it by name can type to it.
    NameWindow(display, window);
  }
  return window;
}

Window ForeignWindow(Display* display, const FrontEndOptions& options) {
  Window window = RootWindow(display, DefaultScreen(display));
  std::string named = "the root window";
  if (options.target == TargetWindowId) {
    window = static_cast<Window>(options.windowId);
    named = "window " + std::to_string(options.windowId);
  } else if (const char* saver = std::getenv("XSCREENSAVER_WINDOW"); saver != nullptr && saver[0] != 0) {
    uint64_t id = 0;
    if (!ParseWindowId(saver, &id)) Fail(1, std::string("XSCREENSAVER_WINDOW is no window number: ") + saver);
    window = static_cast<Window>(id);
    named = std::string("XSCREENSAVER_WINDOW ") + saver;
  }
  Loop.window = window;
  XWindowAttributes attributes;
  X11.lastError = 0;
  const Status found = XGetWindowAttributes(display, window, &attributes);
  XSync(display, False);
  if (!found || X11.lastError != 0) Fail(options.target == TargetWindowId ? 2 : 1, "no such window: " + named);
  XSelectInput(display, window, ExposureMask | StructureNotifyMask);
  return window;
}

static_assert(InputButtonLeft == Button1 && InputButtonMiddle == Button2 && InputButtonRight == Button3,
              "the button numbers are X's");
static_assert(FocusDetailInferior == NotifyInferior && FocusDetailPointer == NotifyPointer &&
                  FocusModeUngrab == NotifyUngrab,
              "the focus details are X's");
static_assert(KeySymEscape == XK_Escape && KeySymLowerQ == XK_q && KeySymUpperQ == XK_Q, "the key symbols are X's");

// The fields of an X event the host's rules look at.
InputEvent InputEventOf(const XEvent& event) {
  InputEvent input = {InputOther, 0, 0, 0, 0};
  switch (event.type) {
    case KeyPress:
      input.kind = InputKey;
      input.keySym = static_cast<uint32_t>(XLookupKeysym(const_cast<XKeyEvent*>(&event.xkey), 0));
      break;
    case ButtonPress:
      input.kind = InputButton;
      input.button = event.xbutton.button;
      break;
    case MotionNotify:
      input.kind = InputMotion;
      break;
    case FocusOut:
      input.kind = InputFocusOut;
      input.focusDetail = static_cast<uint32_t>(event.xfocus.detail);
      input.focusMode = static_cast<uint32_t>(event.xfocus.mode);
      break;
    default:
      break;
  }
  return input;
}

// The host's rules decide what input does; only a full-screen run ends on it.
void HandleInput(const XEvent& event) {
  uintptr_t wParam = 0;
  const uint32_t message = InputMessage(InputEventOf(event), Loop.target == TargetOwnWindow, &wParam);
  if (message == 0) return;
  if (message == MsgClose) {
    Loop.quit = true;
    return;
  }
  const HostAction action = DefaultMessageAction(&Host, message, wParam);
  if (action.acts & ActPostClose) Loop.quit = true;
  if (action.acts & ActCheckMouse) {
    const ScreenPoint cursor = {event.xmotion.x_root, event.xmotion.y_root};
    if (MouseMovedPastThreshold(&Host, cursor)) Loop.quit = true;
  }
}

void HandleEvent(const XEvent& event) {
  if (X11SurfaceEvent(event)) return;
  switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0) Loop.exposed = true;
      break;
    case ConfigureNotify:
      if (event.xconfigure.window == Loop.window &&
          (event.xconfigure.width != Loop.width || event.xconfigure.height != Loop.height)) {
        Loop.width = event.xconfigure.width;
        Loop.height = event.xconfigure.height;
        Loop.resized = true;
      }
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window == Loop.window) Loop.quit = true;
      break;
    case ClientMessage:
      // Only the window manager's request to close a window of our own ends
      // the run: other programs send messages of their own to the root
      // window or to xscreensaver's, whatever their first word.
      if (Loop.ownWindow && event.xclient.window == Loop.window && event.xclient.message_type == Loop.protocols &&
          event.xclient.format == 32 && static_cast<Atom>(event.xclient.data.l[0]) == Loop.deleteWindow)
        Loop.quit = true;
      break;
    default:
      HandleInput(event);
      break;
  }
}

void DrainEvents(Display* display) {
  while (!Loop.quit && XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    HandleEvent(event);
  }
  if (SignalSeen) Loop.quit = true;
}

// Sleeps until an event, a signal or the timeout, whichever comes first.
void WaitFor(Display* display, uint32_t milliseconds) {
  if (XPending(display) > 0) return;
  pollfd waits[2] = {{ConnectionNumber(display), POLLIN, 0}, {Loop.signalPipe[0], POLLIN, 0}};
  const int timeout = milliseconds > INT_MAX ? INT_MAX : static_cast<int>(milliseconds);
  if (poll(waits, 2, timeout) < 0 && errno != EINTR) Loop.quit = true;
  char drained[16];
  while (read(Loop.signalPipe[0], drained, sizeof drained) > 0) {
  }
}

void Show(Display* display) {
  if (Loop.exposed) DamageSurface();
  PresentFrame(HandleOf(Loop.window));
  XFlush(display);
  Loop.exposed = false;
}

// Classic frames repaint every cell, so each may go into the buffer the
// server is not reading. Lifeface transitions keep the last frame on the
// step between two generations, so they stay in one buffer.
void ChooseBuffer() {
  // The other buffer holds the frame before the last: it is painted whole.
  if (!CurrentLayout().animated && X11NextBuffer(View.Surface)) ForgetSurfacePaint();
}

int RunLoop(Display* display) {
  const WindowHandle handle = HandleOf(Loop.window);
  uint32_t waitingSince = 0;
  bool bufferChosen = false;
  while (true) {
    DrainEvents(display);
    if (Loop.quit) break;
    if (Loop.resized) {
      Loop.resized = false;
      X11.windowWidth = Loop.width;
      X11.windowHeight = Loop.height;
      if (Loop.width > 0 && Loop.height > 0) {
        ResizeView(handle, Loop.width, Loop.height);
        bufferChosen = false;
      }
      Loop.exposed = true;
    }
    const uint32_t now = PlatformTickCount();
    const uint32_t due = FrameDueIn(now);
    if (due > 0 && !Loop.exposed) {
      WaitFor(display, due);
      continue;
    }
    if (due == 0 && !bufferChosen) {
      ChooseBuffer();
      bufferChosen = true;
    }
    if (X11SurfaceBusy(View.Surface)) {
      // The server still reads this buffer: drawing or sending it again now
      // could tear the frame on the screen.
      if (waitingSince == 0) waitingSince = now | 1u;
      if (now - waitingSince < PresentTimeout) {
        WaitFor(display, PresentTimeout - (now - waitingSince));
        continue;
      }
      X11ForgetPending();
    }
    waitingSince = 0;
    if (due == 0) {
      DrawDueFrame(handle, now);
      bufferChosen = false;
    }
    Show(display);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  FrontEndOptions options;
  std::string error;
  if (!ParseFrontEndOptions(argc, argv, &options, &error))
    Fail(2, error + "\nTry '" + std::string(ProgramName) + " --help'.");
  if (options.help) {
    std::fputs(FrontEndUsage().c_str(), stdout);
    return 0;
  }
  Loop.target = options.target;
  // From here on SIGTERM and SIGINT end the run cleanly, also during start-up.
  CatchSignals();

  const std::string catalogue = FindCatalogue(options);
  LoadCatalogue(catalogue.c_str());
  LoadSettings();
  EndAtOnce = 1;
  if (SignalSeen) return 0;  // it came while the settings were written
  ApplyOverrides(options.overrides, &Settings);
  if (options.overrides.faceGiven && options.overrides.face >= LifefaceCatalogue.count)
    Fail(2, "--face " + std::to_string(options.overrides.face) + ": the catalogue " + catalogue + " holds " +
                std::to_string(LifefaceCatalogue.count) + " lifefaces, numbered from 0");
  if (const std::string refusal = PatternFileRefusal(options); !refusal.empty()) Fail(2, refusal);
  if (Settings.start != StartSoup) {
    const std::string installed = InstalledDataFolder();
    IndexPatterns(options, PatternFolders(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"),
                                          std::getenv("XDG_DATA_DIRS"), installed.c_str()));
  }

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    const char* name = std::getenv("DISPLAY");
    Fail(1, std::string("cannot open display '") + (name ? name : "") + "'");
  }
  XSetErrorHandler(RecordError);
  const bool fullScreen = options.target == TargetFullScreen;
  Loop.ownWindow = options.target == TargetOwnWindow || fullScreen;
  if (Loop.ownWindow) {
    Loop.window = CreateOwnWindow(display, fullScreen);
  } else {
    Loop.window = ForeignWindow(display, options);
  }
  // Only a full-screen run is ended by input; every other window is a
  // preview in the host's terms.
  Host.preview = !fullScreen;
  if (fullScreen) {
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int buttons = 0;
    if (XQueryPointer(display, Loop.window, &root, &child, &rootX, &rootY, &x, &y, &buttons))
      Host.referencePoint = {rootX, rootY};
  }

  X11.dpi = DisplayDpi(display);
  EndAtOnce = 0;  // from here on the loop ends the run, and the frames' memory goes
  X11UseWindow(display, Loop.window);
  Loop.width = X11.windowWidth;
  Loop.height = X11.windowHeight;
  View.ClientWidth = Loop.width;
  View.ClientHeight = Loop.height;
  StartEngine(HandleOf(Loop.window), Align256(Loop.width), Align256(Loop.height));
  const int code = RunLoop(display);
  if (Loop.ownWindow) XDestroyWindow(display, Loop.window);
  XCloseDisplay(display);
  return code;
}
