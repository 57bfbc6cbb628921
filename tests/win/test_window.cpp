// A plain window standing in for the display settings' preview box: it
// writes its window number (decimal) to the file named by its argument,
// reports the windows placed inside it to "<file>.children" (class, title,
// client width and height, one line each, renewed every 100 ms) and lives
// until it is closed or killed.
#include <windows.h>

#include <cstdio>
#include <string>

static std::string ChildrenFile;

static BOOL CALLBACK ReportChild(HWND child, LPARAM out) {
  char className[128] = {}, title[128] = {};
  GetClassNameA(child, className, sizeof className);
  GetWindowTextA(child, title, sizeof title);
  RECT client = {};
  GetClientRect(child, &client);
  std::fprintf(reinterpret_cast<FILE*>(out), "%s|%s|%ld|%ld|%s\n", className, title, client.right, client.bottom,
               IsWindowVisible(child) ? "visible" : "hidden");
  return TRUE;
}

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    std::string temporary = ChildrenFile + ".new";
    FILE* out = std::fopen(temporary.c_str(), "w");
    if (out != nullptr) {
      EnumChildWindows(window, ReportChild, reinterpret_cast<LPARAM>(out));
      std::fclose(out);
      MoveFileExA(temporary.c_str(), ChildrenFile.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    return 0;
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char** argv) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = "TumbraPreviewHost";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "TumbraPreviewHost", "tumbra preview host", WS_POPUP | WS_VISIBLE, 40, 40, 320,
                                240, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return 1;
  if (argc > 1) {
    ChildrenFile = std::string(argv[1]) + ".children";
    FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) return 1;
    std::fprintf(out, "%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    std::fclose(out);
    SetTimer(window, 1, 100, nullptr);
  }
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
