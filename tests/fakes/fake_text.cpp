#include <map>

#include "fakes/fakes.h"

std::vector<FakeTextCall> FakeTextOuts;
TextMetrics FakeMetrics = {16, 8, 9};

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
}
