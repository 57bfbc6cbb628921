// Prints the monitors the system reports, one line each in screen
// coordinates: "monitor LEFT TOP RIGHT BOTTOM" with " primary" on the primary
// one, then "virtual LEFT TOP WIDTH HEIGHT". The monitors test checks with it
// that the display it made is seen as the monitors it laid out.
#include <windows.h>

#include <cstdio>

static BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  const RECT& r = info.rcMonitor;
  std::printf("monitor %ld %ld %ld %ld%s\n", r.left, r.top, r.right, r.bottom,
              (info.dwFlags & MONITORINFOF_PRIMARY) ? " primary" : "");
  return TRUE;
}

int main() {
  EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, 0);
  std::printf("virtual %d %d %d %d\n", GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
              GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
  return 0;
}
