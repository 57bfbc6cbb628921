// The engine steps of start-up, pacing and resizing that the X11 front end
// needs one by one, put together from the engine's own operations.
#include "host/seams_x11.h"

#include "engine/engine.h"
#include "lifeface/lifeface.h"
#include "render/render.h"
#include "settings/settings.h"

void StartEngine(WindowHandle window, int32_t clientWidth, int32_t clientHeight) {
  ClientWidth = clientWidth;
  ClientHeight = clientHeight;
  SeedInUse = Settings.seed != 0 ? Settings.seed : static_cast<int32_t>(PlatformTickCount());
  LcgSeed(static_cast<uint32_t>(SeedInUse));
  if ((Settings.flags & FlagRandomLifeface) && LifefaceCatalogue.count > 0)
    Settings.face = LcgNext() % LifefaceCatalogue.count;
  Surface = CreateFrameSurface(window, Align256(clientWidth), Align256(clientHeight), 32);
  LoadLifeface(window);
  AllocateCellGrid(static_cast<size_t>(Surface->width) * static_cast<size_t>(Surface->height));
  OverlayFont = PlatformCreateOverlayFont(window);
  BuildPalette();
}

uint32_t FrameDueIn(uint32_t now) {
  const int32_t early = static_cast<int32_t>(NextFrameTime - now);
  return early >= 1 ? static_cast<uint32_t>(early) : 0u;
}

void DrawDueFrame(WindowHandle window, uint32_t) { FrameTick(window); }

void ResizeView(WindowHandle window, int32_t clientWidth, int32_t clientHeight) {
  ClientWidth = clientWidth;
  ClientHeight = clientHeight;
  ReleaseFrameSurface(Surface);
  Surface = CreateFrameSurface(window, Align256(clientWidth), Align256(clientHeight), 32);
  AllocateCellGrid(static_cast<size_t>(Surface->width) * static_cast<size_t>(Surface->height));
  // As at start: an empty grid that the first frame finds stagnant and resets.
  ClassicHistory = PopulationHistory{0, 0, 0, 0};
  AnimatedHistory = PopulationHistory{0, 0, 0, 0};
  Generation = 1;
  Population = 0;
  RestartTransition();
  NextFrameTime = 0;
  BuildPalette();
}
