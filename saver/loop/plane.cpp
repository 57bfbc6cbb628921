// Pattern fields on the unbounded plane: HashLife steps them 2^N generations
// a frame, and a camera fits the view to the pattern and follows it, so a
// gun's stream or a breeder's wake never wraps onto itself.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/counters.h"
#include "engine/engine.h"
#include "engine/plane.h"
#include "lifeface/lifeface.h"
#include "loop/loop.h"
#include "render/render.h"
#include "settings/settings.h"

PlaneCamera Camera = {true, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, false, 0, 0, 0, false};

namespace {

// The camera: a fitted view leaves the pattern FitFill of the view's width or
// height; it zooms out once the pattern fills more than OutFill, and in one
// step once it has filled less than InFill for InFrames frames in a row, so
// that a pattern that grows and shrinks back never makes it pump.
const double FitFill = 0.8;
const double OutFill = 0.95;
const double InFill = 0.35;
const int32_t InFrames = 60;
const int32_t FarthestZoom = 60;
// Each frame it closes this share of the distance to the pattern's middle,
// besides moving with the pattern's own movement, smoothed at MoveRate: a
// ship stays in the middle, a jump of the middle is taken without a jolt.
const double FollowRate = 0.08;
const double MoveRate = 0.1;

// The step: a smaller one after a frame that overran its time; the one asked
// for again after RaiseFrames frames in a row within it.
const int32_t RaiseFrames = 30;
const int32_t LargestStepLog = 30;

// Shapes up to this many cells are told apart cell by cell (moved or not);
// larger ones by the quadtree's own node, where they stand.
const int64_t ShapeCellLimit = int64_t(1) << 22;

// What the frames keep between them: the cells under the view, and a shape's bits.
struct PlaneScratch {
  std::vector<uint8_t> window;
  std::vector<uint8_t> bits;
};
PlaneScratch Scratch;

double Fill(const PlaneBox& box, int32_t zoom) {
  const double width = static_cast<double>(box.right - box.left + 1);
  const double height = static_cast<double>(box.bottom - box.top + 1);
  const double cells = std::max(width / std::max(View.ClientWidth, 1), height / std::max(View.ClientHeight, 1));
  return std::ldexp(cells, -zoom);
}

// The closest zoom at which the pattern fills at most `fill` of the view.
int32_t ZoomFitting(const PlaneBox& box, double fill) {
  int32_t zoom = ClosestZoom();
  while (zoom < FarthestZoom && Fill(box, zoom) > fill) ++zoom;
  return zoom;
}

uint64_t Mix(uint64_t hash, uint64_t value) {
  hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
  return hash * 0xBF58476D1CE4E5B9ull;
}

// The pattern's shape, the same wherever it stands: its cells from its
// bounding box's corner; a large one by its node, in place.
uint64_t PlaneShapeHash() {
  PlaneBox box;
  if (!PlaneBounds(&box)) return 0;
  const int64_t width = box.right - box.left + 1, height = box.bottom - box.top + 1;
  if (width > ShapeCellLimit / height) return Mix(Mix(1, Plane.root), static_cast<uint64_t>(Plane.level));
  const size_t rowBytes = static_cast<size_t>((width + 7) / 8);
  Scratch.bits.resize(rowBytes * static_cast<size_t>(height));
  ExtractPlaneBits(box.left, box.top, static_cast<int32_t>(width), static_cast<int32_t>(height), Scratch.bits.data(),
                   rowBytes);
  uint64_t hash = Mix(Mix(2, static_cast<uint64_t>(width)), static_cast<uint64_t>(height));
  for (size_t i = 0; i + 8 <= Scratch.bits.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, Scratch.bits.data() + i, 8);
    hash = Mix(hash, word);
  }
  for (size_t i = Scratch.bits.size() & ~size_t{7}; i < Scratch.bits.size(); ++i) hash = Mix(hash, Scratch.bits[i]);
  return hash;
}

// The frame's picture of the plane: zoomed out, each pixel the cells under
// it; else the cells under the view in the classic colours, as blocks that
// slide with the camera a pixel at a time.
void PaintPlaneView() {
  const int32_t width = View.ClientWidth, height = View.ClientHeight;
  if (View.Surface == nullptr || width <= 0 || height <= 0) return;
  const int32_t zoom = Camera.zoom;
  if (zoom >= 1) {
    const int64_t x = static_cast<int64_t>(std::floor(Camera.centreX)) - (static_cast<int64_t>(width / 2) << zoom);
    const int64_t y = static_cast<int64_t>(std::floor(Camera.centreY)) - (static_cast<int64_t>(height / 2) << zoom);
    const uint32_t live = View.Palette[(3 + ColourOffset()) & 7u];
    PaintPlaneZoomedOut(View.Surface, PixelRect{0, 0, width, height}, x, y, zoom, View.Palette[DeadColour], live);
    ForgetSurfacePaint();
    DamageSurface();
    return;
  }
  const int32_t s = 1 << -zoom;
  // The view's left edge in pixels of the plane, split into a cell and the
  // part of it left of the edge.
  const double left = Camera.centreX * s - width / 2.0, top = Camera.centreY * s - height / 2.0;
  const int64_t column = static_cast<int64_t>(std::floor(left / s)), row = static_cast<int64_t>(std::floor(top / s));
  const int32_t originX = -static_cast<int32_t>(std::floor(left - static_cast<double>(column) * s));
  const int32_t originY = -static_cast<int32_t>(std::floor(top - static_cast<double>(row) * s));
  const int32_t columns = (width - originX + s - 1) / s, rows = (height - originY + s - 1) / s;
  if (!GridFits(columns, rows)) return;
  const size_t stride = static_cast<size_t>(columns) + 2;
  Scratch.window.resize(stride * (static_cast<size_t>(rows) + 2));
  ExtractPlaneBytes(column - 1, row - 1, columns + 2, rows + 2, Scratch.window.data(), stride);
  SetGridFromWindow(Scratch.window.data(), stride, columns, rows);
  DrawClassicWindow(columns, rows, s, originX, originY);
}

// In Animated Mode, one generation a frame, and while the pattern fits the
// view at the lifeface's size, its cells are the lifeface's tiles, a
// transition for each generation: the side of a tile, else 0.
int32_t TileSide() {
  const LifefaceRecord* face = CurrentLifeface();
  if (Settings.mode != ModeAnimated || face == nullptr || LifefaceSurface == nullptr) return 0;
  if (Camera.stepLog != 0 || WantedStepLog() != 0) return 0;
  const int32_t side = face->pixels * AnimatedScale();
  PlaneBox box;
  if (side <= 0 || !PlaneBounds(&box)) return side;
  const double width = static_cast<double>(box.right - box.left + 1) * side;
  const double height = static_cast<double>(box.bottom - box.top + 1) * side;
  return width <= OutFill * View.ClientWidth && height <= OutFill * View.ClientHeight ? side : 0;
}

// The cells under the view as the grid, for the lifeface's tiles: whole
// cells, the camera's middle cell in the middle. The window moves only
// between transitions.
void TakeTileWindow(int32_t side, int32_t* columns, int32_t* rows) {
  *columns = (View.ClientWidth + side - 1) / side;
  *rows = (View.ClientHeight + side - 1) / side;
  if (!GridFits(*columns, *rows)) {
    *columns = *rows = 0;
    return;
  }
  const int64_t column = static_cast<int64_t>(std::floor(Camera.centreX)) - *columns / 2;
  const int64_t row = static_cast<int64_t>(std::floor(Camera.centreY)) - *rows / 2;
  const size_t stride = static_cast<size_t>(*columns) + 2;
  Scratch.window.resize(stride * (static_cast<size_t>(*rows) + 2));
  ExtractPlaneBytes(column - 1, row - 1, *columns + 2, *rows + 2, Scratch.window.data(), stride);
  SetGridFromWindow(Scratch.window.data(), stride, *columns, *rows);
}

// Settled, dead or shown long enough: time for another field.
bool PlaneDeveloping() {
  if (static_cast<int32_t>(PlatformTickCount() - Field.ShownUntil) >= 0) return false;
  return ShapeDeveloping(&Field.Shapes, PlaneShapeHash());
}

void ReplacePlaneField(int32_t columns, int32_t rows) {
  ResetField(columns, rows);
  Field.ResetCount += 1;
  ForgetHistory(&Field.ClassicHistory);
  ForgetHistory(&Field.AnimatedHistory);
  ForgetSurfacePaint();  // the surface shows the plane
}

}  // namespace

void ResetCamera() { Camera = PlaneCamera{true, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, false, 0, 0, 0, false}; }

int32_t ClosestZoom() { return -std::clamp(Settings.cscale, 0, MaxClassicScale); }

int32_t WantedStepLog() {
  // A ship crosses a cell every two generations at most: at 2^zoom cells a
  // pixel, twice that many generations move it about a pixel.
  if (Settings.hyper != 0) return std::clamp(Camera.zoom + 1, 0, LargestStepLog);
  return std::clamp(Settings.step, 0, LargestStepLog);
}

void StartPlaneField(const CellRule& rule) {
  Field.OnPlane = true;
  UseRule(rule);
  Camera.placed = false;
  Camera.calmFrames = 0;
  Camera.closerFrames = 0;
  Camera.overran = false;
}

void FitCamera() {
  PlaneBox box;
  Camera.placed = true;
  Camera.velocityX = Camera.velocityY = 0.0;
  Camera.closerFrames = 0;
  if (!PlaneBounds(&box)) {
    Camera.zoom = ClosestZoom();
    Camera.centreX = Camera.centreY = Camera.targetX = Camera.targetY = 0.0;
    return;
  }
  Camera.targetX = Camera.centreX = (static_cast<double>(box.left) + static_cast<double>(box.right) + 1) / 2;
  Camera.targetY = Camera.centreY = (static_cast<double>(box.top) + static_cast<double>(box.bottom) + 1) / 2;
  Camera.zoom = ZoomFitting(box, FitFill);
}

void FollowPattern() {
  PlaneBox box;
  if (!PlaneBounds(&box)) return;
  const double targetX = (static_cast<double>(box.left) + static_cast<double>(box.right) + 1) / 2;
  const double targetY = (static_cast<double>(box.top) + static_cast<double>(box.bottom) + 1) / 2;
  // Zoom: out at once when the pattern outgrows the view, in one step only
  // after it has long been small.
  if (Fill(box, Camera.zoom) > OutFill) {
    Camera.zoom = ZoomFitting(box, FitFill);
    Camera.closerFrames = 0;
  } else if (Camera.zoom > ClosestZoom() && Fill(box, Camera.zoom) < InFill) {
    if (++Camera.closerFrames >= InFrames) {
      Camera.zoom -= 1;
      Camera.closerFrames = 0;
    }
  } else {
    Camera.closerFrames = 0;
  }
  // Follow: the pattern's own movement, and a share of what is left.
  const double viewCells = std::ldexp(static_cast<double>(std::max(View.ClientWidth, View.ClientHeight)), Camera.zoom);
  const double movedX = targetX - Camera.targetX, movedY = targetY - Camera.targetY;
  Camera.targetX = targetX;
  Camera.targetY = targetY;
  if (std::fabs(targetX - Camera.centreX) > viewCells || std::fabs(targetY - Camera.centreY) > viewCells) {
    // Far out of sight (a jump of many generations): there at once.
    Camera.centreX = targetX;
    Camera.centreY = targetY;
    Camera.velocityX = Camera.velocityY = 0.0;
    return;
  }
  Camera.velocityX += MoveRate * (movedX - Camera.velocityX);
  Camera.velocityY += MoveRate * (movedY - Camera.velocityY);
  Camera.centreX += Camera.velocityX + FollowRate * (targetX - Camera.centreX);
  Camera.centreY += Camera.velocityY + FollowRate * (targetY - Camera.centreY);
}

void PlaneTick(int32_t columns, int32_t rows) {
  UseTrails(0, false);  // the cells under the view change with the view: no trails to keep
  if (!Camera.placed) {
    FitCamera();
    Camera.stepLog = WantedStepLog();
  }
  const int32_t side = TileSide();
  if (side > 0) {
    // A transition of tiles; the generation moves on at its end.
    int32_t tileColumns = 0, tileRows = 0;
    if (Transition.TransitionFrame == 0) ForgetSurfacePaint();  // the window may have moved
    TakeTileWindow(side, &tileColumns, &tileRows);
    if (tileColumns == 0 || !AnimatedTick(tileColumns, tileRows, AnimatedScale())) return;
  } else {
    RestartTransition();
    PaintPlaneView();
  }
  const uint64_t population = PlanePopulation();
  if (!PlaneDeveloping()) {
    ReplacePlaneField(columns, rows);
    return;
  }
  // The step asked for, or a smaller one while it overruns the frame's time.
  const int32_t wanted = WantedStepLog();
  Camera.stepLog = std::min(Camera.stepLog, wanted);
  const uint32_t budget = static_cast<uint32_t>(std::clamp(Settings.delay, 10, 100));
  Field.StepLog = Camera.stepLog;
  switch (StepPlane(Camera.stepLog, true, PlatformTickCount() + budget)) {
    case PlaneDone:
      // Until a step overruns, the one asked for is taken at once.
      if (!Camera.overran)
        Camera.stepLog = wanted;
      else if (Camera.stepLog < wanted && ++Camera.calmFrames >= RaiseFrames) {
        Camera.stepLog += 1;
        Camera.calmFrames = 0;
      }
      break;
    case PlaneOverran:
      Camera.stepLog = std::max(Camera.stepLog - 1, 0);
      Camera.calmFrames = 0;
      Camera.overran = true;
      break;
    case PlaneNoMemory:
      // A smaller step needs fewer nodes; at one generation there is no room.
      if (Camera.stepLog == 0) {
        ReplacePlaneField(columns, rows);
        return;
      }
      Camera.stepLog -= 1;
      Camera.calmFrames = 0;
      Camera.overran = true;
      break;
    case PlaneTooFar:
    case PlaneRefused:
      ReplacePlaneField(columns, rows);
      return;
  }
  Field.Population = static_cast<int64_t>(std::min<uint64_t>(population, INT64_MAX));
  Field.Generation = Plane.generation >= static_cast<uint64_t>(INT64_MAX) ? INT64_MAX
                                                                        : static_cast<int64_t>(Plane.generation) + 1;
  Counters.generation = static_cast<int32_t>(Field.Generation);
  FollowPattern();
}
