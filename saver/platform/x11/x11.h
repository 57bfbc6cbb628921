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
  int pendingPuts;      // XShmPutImage requests the server has not finished
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
// Runs the requests sent so far and tells whether any of them failed.
bool X11RequestsFailed();
