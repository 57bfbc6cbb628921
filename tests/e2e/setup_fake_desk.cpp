// A stand-in for the display control panel "desk.cpl", put into the test
// prefix's system32 folder: its "InstallScreenSaver" entry writes what it was
// handed to C:\desk-call.txt, so the tests can see whether and how the
// installer called it.
#include <windows.h>

#include <cstdio>

extern "C" __declspec(dllexport) void CALLBACK InstallScreenSaver(HWND owner, HINSTANCE instance, LPSTR argument,
                                                                  int show) {
  char title[128] = "";
  if (owner != nullptr) GetWindowTextA(owner, title, sizeof title);
  FILE* log = std::fopen("C:\\desk-call.txt", "wb");
  if (log == nullptr) return;
  std::fprintf(log, "argument=%s\nshow=%d\nowner=%s\ninstance=%s\n", argument ? argument : "(none)", show, title,
               instance == GetModuleHandleA(nullptr) ? "installer" : "other");
  std::fclose(log);
}
