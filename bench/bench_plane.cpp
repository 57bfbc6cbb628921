// The unbounded plane: HashLife runs as bgolly -h makes them, each step
// followed by a zoomed-out 1920 x 1080 frame fitted to the pattern, and the
// zoomed-out 3840 x 2160 frame alone. Patterns are read from the folder in
// TUMBRA_PLANE_DIR (tools/bench-plane inflates Golly's there), else from
// Golly's own folders, which hold some of them compressed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/plane.h"
#include "pattern/pattern.h"
#include "platform/surface.h"
#include "render/render.h"

namespace {

const uint32_t DeadColour = 0x000000;
const uint32_t LiveColour = 0xFFD040;

std::string PatternPath(const char* name, const char* gollyFolder) {
  const char* folder = std::getenv("TUMBRA_PLANE_DIR");
  std::string path = std::string(folder != nullptr ? folder : gollyFolder) + "/" + name;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    std::fclose(file);
    return path;
  }
  return std::string();
}

bool LoadPattern(const std::string& path) {
  if (path.size() > 3 && path.compare(path.size() - 3, 3, ".mc") == 0) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::string text;
    char buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    std::fclose(file);
    return ClearPlane(CellRuleOf(ConwayRule)) && LoadPlaneMacrocell(text.data(), text.size()) == PlaneDone;
  }
  PatternCells pattern;
  if (!ReadPatternFile(path.c_str(), &pattern) || !ClearPlane(pattern.hasRule ? pattern.rule : CellRuleOf(ConwayRule)))
    return false;
  std::vector<PlaneCell> cells(pattern.cells.size());
  for (size_t i = 0; i < cells.size(); ++i) cells[i] = PlaneCell{pattern.cells[i].x, pattern.cells[i].y};
  return SetPlaneCells(cells.data(), cells.size()) == PlaneDone;
}

// The view that fits the pattern: the smallest zoom of at least 1 that
// shows its box whole, centred.
int64_t PaintFitted(FrameSurface* surface) {
  PlaneBox box;
  if (!PlaneBounds(&box)) box = PlaneBox{0, 0, 0, 0};
  const int64_t width = box.right - box.left + 1, height = box.bottom - box.top + 1;
  int32_t zoom = 1;
  while (zoom < PlaneMaxLevel && ((width >> zoom) >= surface->width || (height >> zoom) >= surface->height)) ++zoom;
  const int64_t x = box.left + width / 2 - (int64_t{surface->width} << zoom) / 2;
  const int64_t y = box.top + height / 2 - (int64_t{surface->height} << zoom) / 2;
  const PixelRect area = {0, 0, surface->width, surface->height};
  return PaintPlaneZoomedOut(surface, area, x, y, zoom, DeadColour, LiveColour);
}

// A run from generation 0: `steps` steps of 2^stepLog, each with a frame.
void PlaneRun(benchmark::State& state, const char* name, const char* folder, int32_t stepLog, int32_t steps) {
  const std::string path = PatternPath(name, folder);
  if (path.empty()) {
    state.SkipWithError("pattern not found: set TUMBRA_PLANE_DIR (tools/bench-plane does)");
    return;
  }
  FrameSurface* surface = CreateFrameSurface(nullptr, 1920, 1080, 32);
  uint64_t population = 0;
  for (auto _ : state) {
    if (!LoadPattern(path)) {
      state.SkipWithError("pattern not read");
      break;
    }
    for (int32_t k = 0; k < steps; ++k) {
      if (StepPlane(stepLog, false, 0) != PlaneDone) {
        state.SkipWithError("step failed");
        break;
      }
      population = PlanePopulation();
      benchmark::DoNotOptimize(PaintFitted(surface));
    }
  }
  state.SetLabel(std::string(name) + ", generation " + std::to_string(Plane.generation) + ", population " +
                 std::to_string(population) + ", " + std::to_string(Plane.memoryUsed >> 20) + " MB");
  ReleaseFrameSurface(surface);
  ReleasePlane();
}

const char* const HashLifeFolder = "/usr/share/golly/Patterns/HashLife";
const char* const BreederFolder = "/usr/share/golly/Patterns/Life/Breeders";

BENCHMARK_CAPTURE(PlaneRun, galaxy, "metapixel-galaxy.mc", HashLifeFolder, 16, 16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlaneRun, totalperiodic, "totalperiodic.mc", HashLifeFolder, 16, 16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlaneRun, breeder, "breeder.lif", BreederFolder, 12, 120)->Unit(benchmark::kMillisecond);

// Every node's count forgotten, as if the whole pattern were new.
void ForgetCounts() {
  for (uint32_t i = 1; i < Plane.nodeCount; ++i) PlaneNodeAt(i).population = PlanePopulationUnknown;
  for (int32_t level = PlaneLeafLevel; level <= PlaneMaxLevel; ++level) PlaneNodeAt(Plane.empty[level]).population = 0;
}

enum PaintCase {
  PaintStepped,  // after a step (not timed): what a frame of a running pattern costs
  PaintCold,     // nothing counted or painted before: the worst a frame can cost
  PaintAgain,    // the same frame again
};

// A 4K frame of a pattern after `steps` steps of 2^stepLog.
void PlanePaint4K(benchmark::State& state, const char* name, const char* folder, int32_t stepLog, int32_t steps,
                  PaintCase paint) {
  const std::string path = PatternPath(name, folder);
  if (path.empty()) {
    state.SkipWithError("pattern not found: set TUMBRA_PLANE_DIR (tools/bench-plane does)");
    return;
  }
  FrameSurface* surface = CreateFrameSurface(nullptr, 3840, 2160, 32);
  if (!LoadPattern(path)) {
    state.SkipWithError("pattern not read");
    return;
  }
  for (int32_t k = 0; k < steps; ++k) StepPlane(stepLog, false, 0);
  const uint64_t first = Plane.generation;
  int64_t lit = 0;
  for (auto _ : state) {
    if (paint != PaintAgain) {
      state.PauseTiming();
      if (paint == PaintStepped) {
        StepPlane(stepLog, false, 0);
      } else {
        ForgetCounts();
        ReleasePlanePaint();
      }
      state.ResumeTiming();
    }
    lit = PaintFitted(surface);
    benchmark::DoNotOptimize(lit);
  }
  state.SetLabel(std::string(name) + ", generations " + std::to_string(first) + ".." + std::to_string(Plane.generation) +
                 ", " + std::to_string(lit) + " pixels lit");
  ReleaseFrameSurface(surface);
  ReleasePlane();
}

BENCHMARK_CAPTURE(PlanePaint4K, galaxy_stepped, "metapixel-galaxy.mc", HashLifeFolder, 16, 4, PaintStepped)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlanePaint4K, galaxy_cold, "metapixel-galaxy.mc", HashLifeFolder, 16, 4, PaintCold)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlanePaint4K, galaxy_again, "metapixel-galaxy.mc", HashLifeFolder, 16, 4, PaintAgain)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlanePaint4K, breeder_stepped, "breeder.lif", BreederFolder, 12, 120, PaintStepped)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlanePaint4K, breeder_cold, "breeder.lif", BreederFolder, 12, 120, PaintCold)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlanePaint4K, breeder_again, "breeder.lif", BreederFolder, 12, 120, PaintAgain)
    ->Unit(benchmark::kMillisecond);

}  // namespace
