// Prints the metrics of the font that the saver's overlay gets here, as
// "max-char-width height ave-char-width face", through the saver's own font
// calls. Which font wine gives for "Courier New" depends on the fonts the
// machine has, so the overlay tests take their expected positions from this.
#include <windows.h>

#include <cstdio>

#include "platform/platform.h"

int main() {
  FontHandle font = PlatformCreateOverlayFont(GetDesktopWindow());
  HDC dc = CreateCompatibleDC(nullptr);
  if (font == nullptr || dc == nullptr) return 1;
  PlatformSelectFont(dc, font);
  TextMetrics metrics = {};
  PlatformGetTextMetrics(dc, &metrics);
  char face[LF_FACESIZE] = "";
  GetTextFaceA(dc, sizeof face, face);
  std::printf("%d %d %d %s\n", static_cast<int>(metrics.maxCharWidth), static_cast<int>(metrics.height),
              static_cast<int>(metrics.aveCharWidth), face);
  DeleteDC(dc);
  DeleteObject(static_cast<HFONT>(font));
  return metrics.height > 0 && metrics.maxCharWidth > 0 ? 0 : 1;
}
