// The X11 build's view of its display, shared by its surfaces, its text and
// its host: the window drawn into, how its pixels are laid out, and whether
// frames can go through shared memory.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "platform/platform.h"

struct X11DisplayState {
  Display* display;
  Window window;        // the window frames are shown in
  int32_t windowWidth;  // its size: no more than this is sent
  int32_t windowHeight;
  Visual* visual;
  int depth;
  GC gc;
  bool directPixels;    // the visual takes 0x00RRGGBB words as they are
  bool shm;             // frames go through MIT-SHM
  int shmCompletion;    // event type of a finished XShmPutImage
  int shmOpcode;        // major opcode of MIT-SHM requests
  double dpi;           // for the overlay font
  int lastError;        // error code of the last X error, 0 when none came
  unsigned long lastErrorResource;
};
extern X11DisplayState X11;

inline Window WindowOf(WindowHandle handle) { return static_cast<Window>(reinterpret_cast<uintptr_t>(handle)); }
inline WindowHandle HandleOf(Window window) { return reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(window)); }

// Takes the window's visual and size, makes its drawing context and finds
// out whether shared memory can be used. Call once the display is open and
// before any surface is made.
void X11UseWindow(Display* display, Window window);
// The host hands every event here first; true when it belonged to the surfaces.
bool X11SurfaceEvent(const XEvent& event);
// The host hands every X error here: a frame the server refused is no longer awaited.
void X11SurfaceError(const XErrorEvent& error);
// True while the server still reads the buffer the surface draws into:
// drawing now could tear the frame on the screen.
bool X11SurfaceBusy(const FrameSurface* surface);
// Takes every frame shown as read (the server was too slow to say so).
void X11ForgetPending();
// Lets the surface draw into its other buffer, taking a second one (a copy
// of the first) when it has none. False when it cannot have two: only
// shared surfaces need them, as XPutImage copies the pixels at once.
bool X11NextBuffer(FrameSurface* surface);
// Runs the requests sent so far and tells whether any of them failed.
bool X11RequestsFailed();
