// The engine's start-up, its view of the window and the paced frame loop.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "engine/counters.h"
#include "engine/engine.h"
#include "lifeface/lifeface.h"
#include "loop/loop.h"
#include "pattern/pattern.h"
#include "render/render.h"
#include "platform/names.h"
#include "settings/settings.h"

FrameSchedule Schedule = {};

void ResetSchedule() {
  Schedule = FrameSchedule{};
  FrameRate = FrameRateMeter{};
}

// The longest single pacing wait. Input ends a wait at once; a long delay is
// waited off in pieces all the same, so nothing else waits for ever.
static const int32_t MaxPacingSleep = 50;
// How often the whole surface is copied to the window although nothing
// changed: it repairs whatever covered the window meanwhile.
static const uint32_t RepairInterval = 1000;

int32_t CellCount(int32_t pixels, int32_t cellSize) {
  if (pixels <= 0 || cellSize <= 0) return 0;
  uint32_t q = static_cast<uint32_t>(cellSize);
  return static_cast<int32_t>(((static_cast<uint32_t>(pixels) + q - 1) & ~(q - 1)) / q);
}

int32_t ClassicCellSize() { return 1 << std::clamp(Settings.cscale, 0, MaxClassicScale); }

int32_t AnimatedScale() { return 1 << std::clamp(Settings.ascale, 0, MaxAnimatedScale); }

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
  layout.columns = CellCount(View.ClientWidth, layout.cellSize);
  layout.rows = CellCount(View.ClientHeight, layout.cellSize);
  if (Field.GridColumns > 0 && !Field.OnPlane) {
    // A grid of the rule's own: the largest cells of at most the set size
    // that show all of it (one pixel when none does), in the middle.
    layout.columns = Field.GridColumns;
    layout.rows = Field.GridRows;
    while (layout.cellSize > 1 && (static_cast<int64_t>(layout.columns) * layout.cellSize > View.ClientWidth ||
                                   static_cast<int64_t>(layout.rows) * layout.cellSize > View.ClientHeight)) {
      if (layout.animated) {
        layout.animated = false;  // tiles do not shrink: the cells turn classic
        layout.scale = 1;
        layout.cellSize = ClassicCellSize();
        continue;
      }
      layout.cellSize /= 2;
    }
    layout.originX = std::max<int64_t>(0, (View.ClientWidth - static_cast<int64_t>(layout.columns) * layout.cellSize) / 2);
    layout.originY = std::max<int64_t>(0, (View.ClientHeight - static_cast<int64_t>(layout.rows) * layout.cellSize) / 2);
  }
  return layout;
}

void InitEngine(WindowHandle window, int32_t surfaceWidth, int32_t surfaceHeight) {
  LoadCatalogue("tumbra.ini");
  LoadSettings();
  // The user's patterns lie in the lifeface folder beside the catalogue;
  // they are indexed only for a saver that will show them.
  char folder[sizeof LifefaceCatalogue.folder + 16];
  if (Settings.start != StartSoup && PatternCollection.entries.empty() &&
      std::snprintf(folder, sizeof folder, "%s" LifefaceFolderName "\\" PatternFolderName, LifefaceCatalogue.folder) < static_cast<int>(sizeof folder))
    AddPatternFolder(folder);
  StartEngine(window, surfaceWidth, surfaceHeight);
}

void StartEngine(WindowHandle window, int32_t surfaceWidth, int32_t surfaceHeight) {
  Field.SeedInUse = Settings.seed != 0 ? Settings.seed : static_cast<int32_t>(PlatformTickCount());
  LcgSeed(static_cast<uint32_t>(Field.SeedInUse));
  if (View.Surface == nullptr) {
    if ((Settings.flags & FlagRandomLifeface) && LifefaceCatalogue.count > 0)
      Settings.face = LcgNext() % LifefaceCatalogue.count;
    View.Surface = CreateFrameSurface(window, surfaceWidth, surfaceHeight, 32);
    UseLifeface();
    AllocateCellGrid(static_cast<size_t>(View.Surface->width) * static_cast<size_t>(View.Surface->height));
    View.OverlayFont = PlatformCreateOverlayFont(window);
  }
  BuildPalette();
  // The first frame is due now, whatever the tick count: a due time of 0
  // would lie in the future for the half of the count's range above 2^31.
  Schedule.NextFrameTime = PlatformTickCount();
}

void ResizeView(WindowHandle window, int32_t clientWidth, int32_t clientHeight) {
  View.ClientWidth = clientWidth;
  View.ClientHeight = clientHeight;
  ReleaseFrameSurface(View.Surface);
  ReleaseCellGrid();
  View.Surface = CreateFrameSurface(window, Align256(clientWidth), Align256(clientHeight), 32);
  AllocateCellGrid(static_cast<size_t>(View.Surface->width) * static_cast<size_t>(View.Surface->height));
  ResetFieldState();
  RestartTransition();
  Camera.placed = false;  // a view of another size is fitted afresh
  BuildPalette();
  Schedule.NextFrameTime = PlatformTickCount();
}

uint32_t FrameDueIn(uint32_t now) {
  const int32_t early = static_cast<int32_t>(Schedule.NextFrameTime - now);
  return early > 0 ? static_cast<uint32_t>(early) : 0u;
}

static bool SameLayout(const FrameLayout& a, const FrameLayout& b) {
  return a.animated == b.animated && a.cellSize == b.cellSize && a.scale == b.scale && a.columns == b.columns &&
         a.rows == b.rows && a.originX == b.originX && a.originY == b.originY;
}

void DrawDueFrame(WindowHandle window, uint32_t now) {
  const int32_t early = std::min(static_cast<int32_t>(Schedule.NextFrameTime - now), 0);
  // Half of the lateness comes off the next period; the other half is forgiven.
  // A negative delay asks for no pause at all; taken as it stands, a large one
  // would wrap the due time into the far future.
  const int32_t delay = std::max(Settings.delay, 0);
  Schedule.NextFrameTime = now + static_cast<uint32_t>(delay) + static_cast<uint32_t>(early / 2);
  Counters.framesDrawn += 1;
  const FrameLayout layout = CurrentLayout();
  if (!SameLayout(layout, View.DrawnLayout)) {
    // Cells of another size or count: what they leave uncovered may still
    // show an earlier picture.
    ClearOutsideCells(layout, PixelRect{0, 0, INT32_MAX, INT32_MAX});
    ForgetSurfacePaint();
    View.DrawnLayout = layout;
  }
  // What lies under the last overlay outside the cells shows no cell: it
  // gets the clearing colour again before the overlay is drawn anew.
  ClearOutsideCells(layout, Painted.stale);
  // A grid of the rule's own is painted into the part of the surface it
  // covers, as if that were all of it, and shown whole.
  FrameSurface* const whole = View.Surface;
  FrameSurface part;
  const bool centred = !Field.OnPlane && (layout.originX > 0 || layout.originY > 0) && whole != nullptr;
  if (centred) {
    part = *whole;
    part.bits = whole->bits + static_cast<intptr_t>(layout.originY) * whole->stride + 4 * layout.originX;
    part.width = whole->width - layout.originX;
    part.height = whole->height - layout.originY;
    View.Surface = &part;
    ForgetSurfacePaint();
  }
  if (Field.OnPlane) {
    PlaneTick(layout.columns, layout.rows);
  } else if (!layout.animated) {
    ClassicTick(layout.columns, layout.rows, layout.cellSize);
  } else {
    UseTrails(0, false);  // lifeface tiles show no trails: their steps keep no planes
    if (AnimatedTick(layout.columns, layout.rows, layout.scale))
      AdvanceOrReset(window, layout.columns, layout.rows, Transition.NextPopulation);
  }
  if (centred) {
    View.Surface = whole;
    ForgetSurfacePaint();
    DamageSurface();
  }
  DrawOverlay();
}

bool FrameTick(WindowHandle window) {
  uint32_t now = PlatformTickCount();
  const uint32_t early = FrameDueIn(now);
  if (early > 0) {
    PlatformIdle(std::min(early, static_cast<uint32_t>(MaxPacingSleep)));
    now = PlatformTickCount();
    if (FrameDueIn(now) > 0) return false;
  }
  DrawDueFrame(window, now);
  return true;
}

void PresentFrame(WindowHandle window) {
  if (View.Surface == nullptr) return;
  const uint32_t now = PlatformTickCount();
  if (now - Schedule.LastRepairTime >= RepairInterval) {
    // Whatever covered the window meanwhile, it shows the surface again.
    DamageSurface();
    Schedule.LastRepairTime = now;
  }
  PixelRect rects[MaxDamageRects];
  const int32_t count = DamageRects(rects, MaxDamageRects);
  if (count == 0) return;
  if (PlatformPresent(window, View.Surface, rects, count)) ClearDamage();
}

bool AnswerPaint(WindowHandle window) {
  const bool drawn = !(Schedule.SuspendFlags & SuspendTick) && FrameTick(window);
  PresentFrame(window);
  return drawn;
}
