// Reports what the installer's terms box holds: the length of its text and
// the text's last line, one per line. The window is the one titled by the
// argument; its terms box is its first "EDIT" child. Exit code 1 when there
// is no such window.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  HWND window = FindWindowA(nullptr, argv[1]);
  HWND terms = window != nullptr ? FindWindowExA(window, nullptr, "EDIT", nullptr) : nullptr;
  if (terms == nullptr) return 1;
  LRESULT length = SendMessageA(terms, WM_GETTEXTLENGTH, 0, 0);
  std::vector<char> text(static_cast<size_t>(length) + 1, 0);
  SendMessageA(terms, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  // The last line: after the last line break that ends some text.
  size_t end = std::strlen(text.data());
  while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n')) --end;
  size_t start = end;
  while (start > 0 && text[start - 1] != '\n') --start;
  std::printf("%ld\n%.*s\n", static_cast<long>(length), static_cast<int>(end - start), text.data() + start);
  return 0;
}
