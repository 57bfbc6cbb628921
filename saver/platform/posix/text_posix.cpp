// The native build draws no text; metrics are those of a plain 8 x 16 cell.
#include "platform/platform.h"

FontHandle PlatformCreateOverlayFont(WindowHandle) {
  static int font;
  return &font;
}
void PlatformSelectFont(ContextHandle, FontHandle) {}
void PlatformGetTextMetrics(ContextHandle, TextMetrics* metrics) {
  metrics->height = 16;
  metrics->aveCharWidth = 8;
  metrics->maxCharWidth = 8;
}
void PlatformSetTextColour(ContextHandle, uint32_t) {}
void PlatformSetBackgroundOpaque(ContextHandle, bool) {}
void PlatformSetBackgroundColour(ContextHandle, uint32_t) {}
void PlatformTextOut(ContextHandle, int32_t, int32_t, const char*, int32_t) {}
