// The information overlay: the lifeface's name, the generation, the
// population and the frame rate, printed over the cells.
#include <cinttypes>
#include <cstdio>

#include "engine/engine.h"
#include "lifeface/lifeface.h"
#include "render/render.h"
#include "settings/settings.h"

static void DrawLine(const TextMetrics& tm, int32_t* y, int32_t textIndex, int32_t backIndex, const char* text,
                     int length) {
  ContextHandle dc = View.Surface->dc;
  PlatformSetBackgroundOpaque(dc, true);
  PlatformSetTextColour(dc, ColourByIndex(textIndex));
  PlatformSetBackgroundColour(dc, ColourByIndex(backIndex));
  if (length > 79) length = 79;
  if (length > 0) PlatformTextOut(dc, tm.maxCharWidth, *y, text, length);
  *y += tm.height;
}

// Takes one interval sample; false when there is no valid interval (the first
// frame, a gap of ten seconds or more, a wrapped tick count).
static bool SampleFrameInterval(uint32_t* average) {
  const int32_t dt = static_cast<int32_t>(PlatformTickCount() - Schedule.FrameRate.lastOverlayTime);
  if (dt <= 0 || dt >= 10000) return false;
  const uint32_t before = Schedule.FrameRate.intervalCount;
  Schedule.FrameRate.intervalSum += static_cast<uint32_t>(dt);
  Schedule.FrameRate.intervalCount += 1;
  if (before > 10000) {
    Schedule.FrameRate.intervalCount >>= 1;
    Schedule.FrameRate.intervalSum >>= 1;
  }
  *average = Schedule.FrameRate.intervalSum / Schedule.FrameRate.intervalCount;
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

  const LifefaceRecord* face = CurrentLifeface();
  if (Settings.mode == ModeAnimated && (Settings.flags & FlagPrintInfo) && face != nullptr) {
    length = std::snprintf(text, sizeof text, "%s", face->name);
    DrawLine(tm, &y, Settings.inf, Settings.binf, text, length);
  }
  if (Settings.flags & FlagPrintGeneration) {
    length = std::snprintf(text, sizeof text, "Generation: %d", static_cast<int>(Field.Generation));
    DrawLine(tm, &y, Settings.gen, Settings.bgen, text, length);
  }
  if (Settings.flags & FlagPrintPopulation) {
    length = std::snprintf(text, sizeof text, "Population: %d", static_cast<int>(Field.Population));
    DrawLine(tm, &y, Settings.pop, Settings.bpop, text, length);
  }
  if (Settings.flags & FlagPrintFps) {
    uint32_t average = 0;
    if (SampleFrameInterval(&average)) {
      if (Settings.delay > 0)
        length = std::snprintf(text, sizeof text, "FPS/target: %" PRIu32 "/%" PRIu32, 1000u / average,
                               1000u / static_cast<uint32_t>(Settings.delay));
      else
        length = std::snprintf(text, sizeof text, "FPS/target: %" PRIu32 "/(none)", 1000u / average);
      DrawLine(tm, &y, Settings.fps, Settings.bfps, text, length);
    }
    Schedule.FrameRate.lastOverlayTime = PlatformTickCount();
  }
}
