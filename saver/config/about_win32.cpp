// The About box: Life in large faded cells behind the credits, on the engine
// the settings dialog started; it closes on the first key or button release.
#include <windows.h>

#include <algorithm>

#include "config/config_win32.h"
#include "engine/engine.h"
#include "loop/loop.h"
#include "render/render.h"
#include "settings/settings.h"

static const uint32_t AboutRepairInterval = 1000;

static void OpenAbout(HWND box) {
  HFONT font = static_cast<HFONT>(GetStockObject(OEM_FIXED_FONT));
  const int cx = GetSystemMetrics(SM_CXFULLSCREEN);
  const int cy = GetSystemMetrics(SM_CYFULLSCREEN);
  OpenAboutBox(font, SwapRedBlue(GetSysColor(COLOR_BTNFACE)));
  BYTE keys[256] = {};
  if (GetKeyboardState(keys)) NoteKeysHeldAtOpen(keys);
  MoveWindow(box, cx / 2 - AboutBox.width / 2, cy / 2 - AboutBox.height / 2, AboutBox.width, AboutBox.height, FALSE);
}

// Paint messages come as fast as the queue empties. Before the next
// generation is due the box waits until it is (or until input comes), and
// it copies itself to the window only when a generation changed it, or once
// a second to repair it.
static void WaitForGeneration() {
  const uint32_t early = FrameDueIn(GetTickCount());
  if (early > 0) PlatformIdle(std::min(early, static_cast<uint32_t>(AboutGenerationTime)));
}

// Copies the box from the surface. Where the box reaches past the surface
// there are no pixels to copy; that part shows the face colour.
static void PaintAbout(HWND box) {
  WaitForGeneration();
  const bool drawn = AboutBoxTick();
  if (View.Surface == nullptr) return;
  const uint32_t now = GetTickCount();
  if (!drawn && now - Schedule.LastRepairTime < AboutRepairInterval) return;
  Schedule.LastRepairTime = now;
  HDC window = GetDC(box);
  if (window == nullptr) return;
  HDC surface = static_cast<HDC>(View.Surface->dc);
  const int w = AboutBox.width;
  const int h = AboutBox.height;
  RECT frame = {8, 8, w - 12, h - 12};
  DrawEdge(surface, &frame, EDGE_ETCHED, BF_RECT);
  const int copiedWidth = std::min(w, View.Surface->width - 1);
  const int copiedHeight = std::min(h, View.Surface->height - 1);
  BitBlt(window, 0, 0, copiedWidth, copiedHeight, surface, 1, 1, SRCCOPY);
  if (copiedWidth < w || copiedHeight < h) {
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    RECT right = {std::max(copiedWidth, 0), 0, w, h};
    RECT bottom = {0, std::max(copiedHeight, 0), w, h};
    FillRect(window, &right, face);
    FillRect(window, &bottom, face);
  }
  ReleaseDC(box, window);
}

INT_PTR CALLBACK AboutDialogProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OpenAbout(box);
      return TRUE;
    case WM_PAINT:
      // Never validated: the next paint message comes as soon as the queue
      // is empty, and that stream drives the animation.
      PaintAbout(box);
      return TRUE;
    case WM_ERASEBKGND:
      return TRUE;
    case WM_KEYDOWN:
      NoteAboutKeyDown(static_cast<uint32_t>(wParam));
      return FALSE;
    case WM_KEYUP:
      // Enter on "About" opens the box while the key is still down.
      if (!AboutKeyReleaseCloses(static_cast<uint32_t>(wParam))) return FALSE;
      CloseAboutBox();
      EndDialog(box, 0);
      return FALSE;
    case WM_COMMAND:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      CloseAboutBox();
      EndDialog(box, 0);
      return FALSE;
  }
  return FALSE;
}
