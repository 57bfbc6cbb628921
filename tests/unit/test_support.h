// Shared set-up of the process-wide engine state for unit tests.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/kernels.h"
#include "engine/plane.h"
#include "loop/loop.h"
#include "fakes/fakes.h"
#include "lifeface/lifeface.h"
#include "pattern/pattern.h"
#include "render/render.h"
#include "settings/settings.h"

// Fresh settings, counters, clock, store and text record; a grid buffer of
// `cells` bytes per half and, when width > 0, a frame surface.
inline void ResetEngineState(size_t cells, int32_t surfaceWidth = 0, int32_t surfaceHeight = 0) {
  Settings = DefaultSettings;
  FakeClockReset(100000);
  FakeStoreReset();
  FakeTextReset();
  FakeFaultsReset();
  ResetFieldState();
  ResetSchedule();
  ReleaseView();
  AllocateCellGrid(cells);
  View.Surface = surfaceWidth > 0 ? CreateFrameSurface(nullptr, surfaceWidth, surfaceHeight, 32) : nullptr;
  ReleaseFrameSurface(LifefaceSurface);
  LifefaceSurface = nullptr;
  ClearCatalogue();
  ClearPatternCollection();
  ReleasePlane();
  ResetCamera();
  View.ClientWidth = surfaceWidth;
  View.ClientHeight = surfaceHeight;
}

// The wide kernel sets this CPU runs, for checks of what only they do (marks,
// draws); none where it runs none.
inline std::vector<const GridKernels*> EveryWideKernelSet() {
  const WideKernelSets wide = KernelSetsTheCpuRuns();
  return std::vector<const GridKernels*>(wide.sets, wide.sets + wide.count);
}

// The sets a check of the engine's fields and frames runs with: each wide
// set, and the plain one that CPUs without them use.
inline std::vector<const GridKernels*> EveryKernelSetAndPlain() {
  std::vector<const GridKernels*> sets = EveryWideKernelSet();
  sets.push_back(&PlainKernels);
  return sets;
}

inline uint8_t CellAt(int32_t x, int32_t y, int32_t columns) { return Grid.LiveCells[y * columns + x]; }

// Places live cells given as rows of text ('#' alive) with their top-left at (x, y).
inline void PlacePattern(const std::vector<std::string>& pattern, int32_t x, int32_t y, int32_t columns,
                         int32_t rows) {
  for (size_t r = 0; r < pattern.size(); ++r)
    for (size_t c = 0; c < pattern[r].size(); ++c)
      if (pattern[r][c] == '#') SetCell((x + c) % columns, (y + r) % rows, columns, rows);
}

inline int32_t LiveCount(int32_t columns, int32_t rows) {
  int32_t n = 0;
  for (int32_t i = 0; i < columns * rows; ++i) n += Grid.LiveCells[i] & 1;
  return n;
}

inline uint32_t PixelAt(int32_t x, int32_t y) { return *SurfacePixel(View.Surface, x, y); }
