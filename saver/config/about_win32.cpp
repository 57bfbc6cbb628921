// The About box: Life in large faded cells behind the credits, on the engine
// the settings dialog started; it closes on the first key or button release.
#include <windows.h>

#include <algorithm>

#include "config/config.h"
#include "engine/engine.h"
#include "render/render.h"
#include "settings/settings.h"

static void OpenAbout(HWND box) {
  HFONT font = static_cast<HFONT>(GetStockObject(OEM_FIXED_FONT));
  const int cx = GetSystemMetrics(SM_CXFULLSCREEN);
  const int cy = GetSystemMetrics(SM_CYFULLSCREEN);
  OpenAboutBox(font, SwapRedBlue(GetSysColor(COLOR_BTNFACE)));
  MoveWindow(box, cx / 2 - AboutBox.width / 2, cy / 2 - AboutBox.height / 2, AboutBox.width, AboutBox.height, FALSE);
}

// Copies the box from the surface. Where the box reaches past the surface
// there are no pixels to copy; that part shows the face colour.
static void PaintAbout(HWND box) {
  AboutBoxTick();
  if (View.Surface == nullptr) return;
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

INT_PTR CALLBACK AboutDialogProc(HWND box, UINT message, WPARAM, LPARAM) {
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
    case WM_KEYUP:
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
