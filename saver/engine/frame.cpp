#include <algorithm>

#include "engine/engine.h"
#include "lifeface/lifeface.h"
#include "render/render.h"
#include "settings/settings.h"

int32_t ClientWidth = 0;
int32_t ClientHeight = 0;
FrameSurface* Surface = nullptr;
FontHandle OverlayFont = nullptr;
uint32_t NextFrameTime = 0;
int32_t SeedInUse = 0;
uint32_t SuspendFlags = 0;

// The longest single pacing sleep. A long delay is slept off in pieces, so
// input keeps being handled between them.
static const int32_t MaxPacingSleep = 50;

int32_t CellCount(int32_t pixels, int32_t cellSize) {
  if (pixels <= 0 || cellSize <= 0) return 0;
  uint32_t q = static_cast<uint32_t>(cellSize);
  return static_cast<int32_t>(((static_cast<uint32_t>(pixels) + q - 1) & ~(q - 1)) / q);
}

int32_t ClassicCellSize() { return 1 << std::clamp(Settings.cscale, 0, 8); }

int32_t AnimatedScale() { return 1 << std::clamp(Settings.ascale, 0, 3); }

FrameLayout CurrentLayout() {
  FrameLayout layout = {};
  const LifefaceRecord* record = CurrentLifeface();
  layout.animated = Settings.mode == ModeAnimated && record != nullptr && LifefaceSurface != nullptr;
  if (layout.animated) {
    layout.scale = AnimatedScale();
    layout.cellSize = record->pixels * layout.scale;
  } else {
    layout.scale = 1;
    layout.cellSize = ClassicCellSize();
  }
  layout.columns = CellCount(ClientWidth, layout.cellSize);
  layout.rows = CellCount(ClientHeight, layout.cellSize);
  return layout;
}

void InitEngine(WindowHandle window, int32_t surfaceWidth, int32_t surfaceHeight) {
  LoadCatalogue("tumbra.ini");
  LoadSettings();
  SeedInUse = Settings.seed != 0 ? Settings.seed : static_cast<int32_t>(PlatformTickCount());
  LcgSeed(static_cast<uint32_t>(SeedInUse));
  if (Surface == nullptr) {
    if ((Settings.flags & FlagRandomLifeface) && LifefaceCatalogue.count > 0)
      Settings.face = LcgNext() % LifefaceCatalogue.count;
    Surface = CreateFrameSurface(window, surfaceWidth, surfaceHeight, 32);
    LoadLifeface(window);
    AllocateCellGrid(static_cast<size_t>(Surface->width) * static_cast<size_t>(Surface->height));
    OverlayFont = PlatformCreateOverlayFont(window);
  }
  BuildPalette();
}

void FrameTick(WindowHandle window) {
  const uint32_t now = PlatformTickCount();
  const int32_t early = static_cast<int32_t>(NextFrameTime - now);
  if (early >= 1) {
    if (early > 4) PlatformSleep(static_cast<uint32_t>(std::min(early - 2, MaxPacingSleep)));
    return;
  }
  // Half of the lateness comes off the next period; the other half is forgiven.
  // A negative delay asks for no pause at all; taken as it stands, a large one
  // would wrap the due time into the far future.
  const int32_t delay = std::max(Settings.delay, 0);
  NextFrameTime = now + static_cast<uint32_t>(delay) + static_cast<uint32_t>(early / 2);
  const FrameLayout layout = CurrentLayout();
  if (layout.animated)
    AnimatedTick(window, layout.columns, layout.rows, layout.scale);
  else
    DrawClassicFrame(layout.columns, layout.rows, layout.cellSize);
  DrawOverlay();
}

void PresentFrame(WindowHandle window) {
  if (Surface == nullptr) return;
  PlatformPresent(window, Surface, 0, 0, Surface->width, Surface->height);
}
