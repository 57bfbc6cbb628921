#include <map>

#include "fakes/fakes.h"

std::vector<FakeTextCall> FakeTextOuts;
TextMetrics FakeMetrics = {16, 8, 9};
bool FakeTextDraws = false;

struct FakeContextState {
  uint32_t colour = 0;
  uint32_t background = 0xFFFFFF;
  bool opaque = true;
  FontHandle font = nullptr;
};
static std::map<ContextHandle, FakeContextState> Contexts;

void FakeTextReset() {
  FakeTextOuts.clear();
  Contexts.clear();
  FakeMetrics = {16, 8, 9};
  FakeTextDraws = false;
}

FontHandle PlatformCreateOverlayFont(WindowHandle) {
  static int font;
  return &font;
}
void PlatformSelectFont(ContextHandle dc, FontHandle font) { Contexts[dc].font = font; }
void PlatformGetTextMetrics(ContextHandle, TextMetrics* metrics) { *metrics = FakeMetrics; }
void PlatformSetTextColour(ContextHandle dc, uint32_t colour) { Contexts[dc].colour = colour; }
void PlatformSetBackgroundOpaque(ContextHandle dc, bool opaque) { Contexts[dc].opaque = opaque; }
void PlatformSetBackgroundColour(ContextHandle dc, uint32_t colour) { Contexts[dc].background = colour; }
void PlatformTextOut(ContextHandle dc, int32_t x, int32_t y, const char* text, int32_t length) {
  const FakeContextState& state = Contexts[dc];
  FakeTextOuts.push_back({dc, x, y, std::string(text, static_cast<size_t>(length)), state.colour, state.background,
                          state.opaque, state.font});
  if (!FakeTextDraws) return;
  // Natively a surface is its own context: each character becomes a cell of
  // aveCharWidth x height, its background and one pixel per character code.
  FrameSurface* surface = static_cast<FrameSurface*>(dc);
  for (int32_t i = 0; i < length; ++i)
    for (int32_t v = 0; v < FakeMetrics.height; ++v)
      for (int32_t u = 0; u < FakeMetrics.aveCharWidth; ++u) {
        const int32_t px = x + i * FakeMetrics.aveCharWidth + u, py = y + v;
        if (px < 0 || py < 0 || px >= surface->width || py >= surface->height) continue;
        uint32_t* pixel = reinterpret_cast<uint32_t*>(surface->bits + static_cast<intptr_t>(py) * surface->stride) + px;
        const bool ink = (static_cast<uint8_t>(text[i]) >> (u % 8) & 1) != 0 && v % 3 == 0;
        if (ink)
          *pixel = state.colour;
        else if (state.opaque)
          *pixel = state.background;
      }
}
