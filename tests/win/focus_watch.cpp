// Watches the keyboard focus in another program's dialog, for the end-to-end
// tests: focus_watch TITLE FILE appends "focus=ID place=P tab=N" to FILE each
// time the focus in the thread of the window titled TITLE moves (or its tab
// control shows another tab), until the window goes.
// ID is the focused control's id; P is "dialog" for a control of the window,
// "tabs" for its tab control (id 112), "page" for a control of a page inside
// the tab control, "other" or "none"; N is the selected tab.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

static std::string FocusLine(HWND window) {
  HWND tabs = GetDlgItem(window, 112);
  const int tab = tabs != nullptr ? static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0)) : -1;
  GUITHREADINFO gui;
  std::memset(&gui, 0, sizeof gui);
  gui.cbSize = sizeof gui;
  const char* place = "none";
  int id = 0;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui) && gui.hwndFocus != nullptr) {
    HWND focus = gui.hwndFocus;
    HWND parent = GetParent(focus);
    id = GetDlgCtrlID(focus);
    if (focus == tabs)
      place = "tabs";
    else if (parent == window)
      place = "dialog";
    else if (parent != nullptr && tabs != nullptr && GetParent(parent) == tabs)
      place = "page";
    else
      place = "other";
  }
  char line[96];
  std::snprintf(line, sizeof line, "focus=%d place=%s tab=%d", id, place, tab);
  return line;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: focus_watch TITLE FILE\n");
    return 2;
  }
  HWND window = nullptr;
  for (int i = 0; i < 300 && window == nullptr; ++i) {
    window = FindWindowA(nullptr, argv[1]);
    if (window == nullptr) Sleep(100);
  }
  if (window == nullptr) {
    std::fprintf(stderr, "no window \"%s\"\n", argv[1]);
    return 1;
  }
  std::string last;
  while (IsWindow(window)) {
    const std::string line = FocusLine(window);
    if (line != last) {
      FILE* out = std::fopen(argv[2], "a");
      if (out == nullptr) return 1;
      std::fprintf(out, "%s\n", line.c_str());
      std::fclose(out);
      last = line;
    }
    Sleep(10);
  }
  return 0;
}
