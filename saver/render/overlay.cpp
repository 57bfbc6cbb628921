// The information overlay: the lifeface's name, the generation, the
// population and the frame rate, printed over the cells.
#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "engine/engine.h"
#include "lifeface/lifeface.h"
#include "render/render.h"
#include "settings/settings.h"

FrameRateMeter FrameRate = {};

// The overlay's lines are drawn over the cells; the widest one's length is
// kept to bound where they lie.
static void DrawLine(const TextMetrics& tm, int32_t* y, int32_t textIndex, int32_t backIndex, const char* text,
                     int length, int* widest) {
  ContextHandle dc = View.Surface->dc;
  PlatformSetBackgroundOpaque(dc, true);
  PlatformSetTextColour(dc, ColourByIndex(textIndex));
  PlatformSetBackgroundColour(dc, ColourByIndex(backIndex));
  if (length > 79) length = 79;
  if (length > 0) PlatformTextOut(dc, tm.maxCharWidth, *y, text, length);
  if (length > *widest) *widest = length;
  *y += tm.height;
}

// Takes one interval sample; false when there is no valid interval (the first
// frame, a gap of ten seconds or more, a wrapped tick count).
static bool SampleFrameInterval(uint32_t* average) {
  const int32_t dt = static_cast<int32_t>(PlatformTickCount() - FrameRate.lastOverlayTime);
  if (dt <= 0 || dt >= 10000) return false;
  const uint32_t before = FrameRate.intervalCount;
  FrameRate.intervalSum += static_cast<uint32_t>(dt);
  FrameRate.intervalCount += 1;
  if (before > 10000) {
    FrameRate.intervalCount >>= 1;
    FrameRate.intervalSum >>= 1;
  }
  *average = FrameRate.intervalSum / FrameRate.intervalCount;
  if (*average < 1) *average = 1;
  return true;
}

void DrawOverlay() {
  if (View.Surface == nullptr) return;
  ContextHandle dc = View.Surface->dc;
  PlatformSelectFont(dc, View.OverlayFont);
  TextMetrics tm = {};
  PlatformGetTextMetrics(dc, &tm);
  int32_t y = tm.height;
  char text[80];
  int length;
  int widest = 0;

  // The name line: a pattern field's name in either mode, else the lifeface's.
  const LifefaceRecord* face = CurrentLifeface();
  const char* name = Field.PatternName[0] != 0                          ? Field.PatternName
                     : Settings.mode == ModeAnimated && face != nullptr ? face->name
                                                                        : nullptr;
  if ((Settings.flags & FlagPrintInfo) && name != nullptr) {
    LifeRule life;
    if (IsLifeLike(Field.Rule, &life) && SameLifeRule(life, ConwayRule)) {
      length = std::snprintf(text, sizeof text, "%s", name);
    } else {
      char rule[RuleTextSize];
      FormatRuleLabel(Field.Rule, rule, sizeof rule);
      length = std::snprintf(text, sizeof text, "%s, %s", name, rule);
    }
    DrawLine(tm, &y, Settings.inf, Settings.binf, text, length, &widest);
  }
  if (Settings.flags & FlagPrintGeneration) {
    length = std::snprintf(text, sizeof text, "Generation: %" PRId64, Field.Generation);
    DrawLine(tm, &y, Settings.gen, Settings.bgen, text, length, &widest);
    // On the plane, how far a frame goes.
    if (Field.OnPlane) {
      length = std::snprintf(text, sizeof text, "Step: 2^%d", static_cast<int>(Field.StepLog));
      DrawLine(tm, &y, Settings.gen, Settings.bgen, text, length, &widest);
    }
  }
  if (Settings.flags & FlagPrintPopulation) {
    length = std::snprintf(text, sizeof text, "Population: %" PRId64, Field.Population);
    DrawLine(tm, &y, Settings.pop, Settings.bpop, text, length, &widest);
  }
  if (Settings.flags & FlagPrintFps) {
    uint32_t average = 0;
    if (SampleFrameInterval(&average)) {
      if (Settings.delay > 0)
        length = std::snprintf(text, sizeof text, "FPS/target: %" PRIu32 "/%" PRIu32, 1000u / average,
                               1000u / static_cast<uint32_t>(Settings.delay));
      else
        length = std::snprintf(text, sizeof text, "FPS/target: %" PRIu32 "/(none)", 1000u / average);
      DrawLine(tm, &y, Settings.fps, Settings.bfps, text, length, &widest);
    }
    FrameRate.lastOverlayTime = PlatformTickCount();
  }
  // Bounded by the widest glyph, with one more for any overhang: the next
  // frame paints the cells under all of it again.
  if (widest > 0 && y > tm.height) {
    const int64_t right = static_cast<int64_t>(tm.maxCharWidth) * (widest + 2);
    const PixelRect drawn = {0, tm.height, static_cast<int32_t>(std::min<int64_t>(right, View.Surface->width)),
                             y - tm.height};
    DamageRect(drawn.x, drawn.y, drawn.width, drawn.height);
    // A frame that paints nothing (a lifeface's step frame) leaves the last
    // overlay under this one.
    PixelRect& stale = Painted.stale;
    if (stale.width <= 0 || stale.height <= 0) {
      stale = drawn;
    } else {
      const int32_t right = std::max(stale.x + stale.width, drawn.x + drawn.width);
      const int32_t bottom = std::max(stale.y + stale.height, drawn.y + drawn.height);
      stale.x = std::min(stale.x, drawn.x);
      stale.y = std::min(stale.y, drawn.y);
      stale.width = right - stale.x;
      stale.height = bottom - stale.y;
    }
  }
}
