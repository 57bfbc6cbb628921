// The saver window's procedure: its creation starts the engine, and every
// paint message is one pass of the frame loop.
#include <windows.h>

#include "engine/engine.h"
#include "loop/loop.h"
#include "host/host.h"

// The window is never validated, so paint messages keep coming whenever the
// queue is empty.
intptr_t SaverWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  HWND hwnd = static_cast<HWND>(window);
  switch (message) {
    case WM_CREATE: {
      RECT client;
      GetClientRect(hwnd, &client);
      View.ClientWidth = client.right - client.left;
      View.ClientHeight = client.bottom - client.top;
      InitEngine(window, Align256(View.ClientWidth), Align256(View.ClientHeight));
      return 0;
    }
    case WM_PAINT:
      AnswerPaint(window);
      return 1;
    case WM_QUIT:
      ExitProcess(0);
    case WM_ERASEBKGND:
      return 1;
    default:
      return DefaultSaverProc(window, message, wParam, lParam);
  }
}
