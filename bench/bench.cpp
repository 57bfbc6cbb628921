// tumbra_bench: the engine beside the plain algorithms, on 1080p and 2160p
// one-pixel fields, and the memory-bandwidth floor of a one-pixel frame.
//
//   tumbra_bench [benchmark flags]
//   tumbra_bench --soup-rle=FILE [--size=1080p] [--rule=B3/S23]
//       writes the benchmark's soup (generation 0) as RLE and exits
//   tumbra_bench --populations=G,G,... [--size=1080p]
//       prints the soup's population on the torus at those generations
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "bench_fields.h"
#include "engine/engine.h"
#include "loop/loop.h"
#include "plain.h"
#include "render/render.h"
#include "settings/settings.h"

namespace {

// Generations a Step or frame benchmark walks through before the field is put
// back to its start.
const int FieldSpan = 100;

// Frames always step: the reset deadline lies far ahead.
void KeepDeveloping() {
  Settings = DefaultSettings;
  Settings.reset = 1 << 30;
  Settings.delay = 0;  // frames back to back, as the benchmark draws them
  Field.ClassicHistory = PopulationHistory{0, 0, 0, PlatformTickCount() + (1u << 30)};
  Field.Generation = 1;
  Field.Population = 0;
}

void PlainClassicFrame(int32_t columns, int32_t rows, int32_t cellSize) {
  const PlainClassicLook look = {View.Palette, ColourOffset(), (Settings.flags & FlagDigitalEffect) != 0};
  const int32_t population = PlainPaintClassic(Grid.LiveCells, columns, rows, cellSize, View.Surface, look);
  if (PopulationDeveloping(&Field.ClassicHistory, population)) {
    Field.ClassicHistory.p3 = Field.ClassicHistory.p2;
    Field.ClassicHistory.p2 = Field.ClassicHistory.p1;
    Field.ClassicHistory.p1 = population;
    PlainStep(Grid.LiveCells, Grid.SnapshotCells, columns, rows);
    Field.Population = population;
    Field.Generation += 1;
  }
}

// Runs `work` once per iteration on a field that starts at `start` and is put
// back every FieldSpan generations (outside the timing).
template <class Work>
void WalkGenerations(benchmark::State& state, const std::vector<uint8_t>& start, Work work) {
  std::memcpy(Grid.LiveCells, start.data(), start.size());
  int generation = 0;
  for (auto _ : state) {
    if (generation == FieldSpan) {
      state.PauseTiming();
      std::memcpy(Grid.LiveCells, start.data(), start.size());
      ForgetSurfacePaint();  // the frame shown is not of this field
      RestartTrails();
      generation = 0;
      state.ResumeTiming();
    }
    work();
    ++generation;
  }
  benchmark::ClobberMemory();
}

void BenchStep(benchmark::State& state, bool engine, BenchSize size, int firstGeneration, LifeRule rule) {
  const int32_t columns = size.width, rows = size.height;
  UseGridFor(size);
  UseRule(rule);
  const std::vector<uint8_t>& start = BenchField(columns, rows, firstGeneration);
  if (engine)
    WalkGenerations(state, start, [&] { StepGeneration(columns, rows); });
  else
    WalkGenerations(state, start,
                    [&] { PlainStep(Grid.LiveCells, Grid.SnapshotCells, columns, rows, rule.birth, rule.survive); });
  UseRule(ConwayRule);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(columns) * rows);
}

void BenchFill(benchmark::State& state, bool engine, BenchSize size) {
  const int32_t columns = size.width, rows = size.height;
  UseGridFor(size);
  uint32_t plainState = BenchSeed;
  LcgSeed(BenchSeed);
  for (auto _ : state) {
    if (engine)
      RandomFill(columns, rows);
    else
      PlainFill(Grid.LiveCells, &plainState, columns, rows);
  }
  benchmark::ClobberMemory();
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(columns) * rows);
}

// Trails of 16 generations and colour by age, or neither.
void UseTrailSettings(bool trails) {
  Settings.fade = trails ? 16 : 0;
  Settings.age = trails ? 1 : 0;
}

void BenchClassicFrame(benchmark::State& state, bool engine, BenchSize size, int32_t cellSize, CellRule rule,
                       bool trails) {
  UseGridFor(size);
  UseSurface(size);
  KeepDeveloping();
  UseTrailSettings(trails);
  UseRule(rule);
  BuildPalette();
  const int32_t columns = CellCount(size.width, cellSize), rows = CellCount(size.height, cellSize);
  const std::vector<uint8_t>& start = BenchField(columns, rows, 0);
  if (engine)
    WalkGenerations(state, start, [&] { ClassicTick(columns, rows, cellSize); });
  else
    WalkGenerations(state, start, [&] { PlainClassicFrame(columns, rows, cellSize); });
  UseRule(ConwayRule);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(size.width) * size.height);
}

// Generations into a field where it has long stopped being a soup.
const int SettledGeneration = 5000;

// Frames with a delay between them, as the saver draws them by default: what
// the last step changed is painted, or the whole frame where that saves no
// copying. The field starts from generation `firstGeneration` (300: about
// where a saver's first seconds have it); "damaged" is the share of the
// surface's damage tiles a frame marks, "copies" and "copied" the rectangles
// it gives the window and their share of the surface.
void BenchDelayedFrame(benchmark::State& state, BenchSize size, int32_t cellSize, int firstGeneration, int32_t delay,
                       bool trails) {
  UseGridFor(size);
  UseSurface(size);
  KeepDeveloping();
  UseTrailSettings(trails);
  Settings.delay = delay;
  BuildPalette();
  const int32_t columns = CellCount(size.width, cellSize), rows = CellCount(size.height, cellSize);
  const std::vector<uint8_t>& start = BenchField(columns, rows, firstGeneration);
  int64_t damaged = 0, tiles = 0, copies = 0, copied = 0, frames = 0;
  static PixelRect rects[MaxDamageRects];
  WalkGenerations(state, start, [&] {
    ClearDamage();
    ClassicTick(columns, rows, cellSize);
    const int64_t all = static_cast<int64_t>(Damage.columns) * Damage.rows;
    tiles += all;
    damaged += Damage.whole ? all : std::count_if(Damage.tiles, Damage.tiles + all, [](uint8_t t) { return t != 0; });
    const int32_t count = DamageRects(rects, MaxDamageRects);
    copies += count;
    for (int32_t i = 0; i < count; ++i) copied += static_cast<int64_t>(rects[i].width) * rects[i].height;
    ++frames;
  });
  state.counters["damaged"] = tiles > 0 ? static_cast<double>(damaged) / tiles : 0.0;
  state.counters["copies"] = frames > 0 ? static_cast<double>(copies) / frames : 0.0;
  state.counters["copied"] =
      frames > 0 ? static_cast<double>(copied) / frames / (static_cast<double>(size.width) * size.height) : 0.0;
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(size.width) * size.height);
}

// The bytes a one-pixel frame cannot avoid: the grid read and written once,
// and every pixel written once.
void BenchMemoryBound(benchmark::State& state, BenchSize size) {
  const size_t cells = static_cast<size_t>(size.width) * size.height;
  std::vector<uint8_t> from(cells, 1), to(cells, 2);
  std::vector<uint32_t> pixels(cells, 3);
  uint8_t fill = 0;
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), cells);
    std::memset(pixels.data(), fill++, cells * 4);
    benchmark::DoNotOptimize(to.data());
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(cells));
}

struct BenchRule {
  const char* name;
  LifeRule rule;
};
const BenchRule OtherRules[] = {
    {"highlife", {0x48, 0xC}},     // B36/S23
    {"daynight", {0x1C8, 0x1D8}},  // B3678/S34678
    {"morley", {0x148, 0x34}},     // B368/S245
    {"2x2", {0x48, 0x26}},         // B36/S125
    {"seeds", {0x4, 0x0}},         // B2/S
};

// Rules of the other families, for frames beside Conway's.
struct BenchFamily {
  const char* name;
  const char* text;
};
const BenchFamily FamilyRules[] = {
    {"brians-brain", "B2/S/C3"},        // Generations, three states: no decay plane
    {"star-wars", "B2/S345/C4"},        // four states, kept in the bytes too
    {"hexagonal", "B2/S34H"},           // HexLife
    {"vonneumann", "B13/S012V"},
    {"non-totalistic", "B37/S2-i34q"},  // the pond puffer's rule
};

CellRule ParsedRule(const char* text) {
  CellRule rule = CellRuleOf(ConwayRule);
  ParseRule(text, std::strlen(text), &rule);
  return rule;
}

void RegisterAll() {
  using benchmark::RegisterBenchmark;
  for (const BenchSize& size : BenchSizes) {
    const std::string s = size.name;
    for (bool engine : {false, true}) {
      const std::string kind = engine ? "engine" : "plain";
      RegisterBenchmark(("Step/" + kind + "/" + s + "/soup").c_str(), BenchStep, engine, size, 0, ConwayRule)
          ->Unit(benchmark::kMillisecond);
      RegisterBenchmark(("Step/" + kind + "/" + s + "/settled").c_str(), BenchStep, engine, size, 1000, ConwayRule)
          ->Unit(benchmark::kMillisecond);
    }
    // Other rules beside Conway's: the same soup, stepped and painted.
    for (const BenchRule& other : OtherRules) {
      RegisterBenchmark(("Step/engine/" + s + "/soup/" + other.name).c_str(), BenchStep, true, size, 0, other.rule)
          ->Unit(benchmark::kMillisecond);
      RegisterBenchmark(("ClassicFrame/engine/" + s + "/1px/" + other.name).c_str(), BenchClassicFrame, true, size,
                        1, CellRuleOf(other.rule), false)
          ->Unit(benchmark::kMillisecond);
    }
    for (const BenchFamily& family : FamilyRules)
      RegisterBenchmark(("ClassicFrame/engine/" + s + "/1px/" + family.name).c_str(), BenchClassicFrame, true, size, 1,
                        ParsedRule(family.text), false)
          ->Unit(benchmark::kMillisecond);
    for (bool engine : {false, true}) {
      const std::string kind = engine ? "engine" : "plain";
      RegisterBenchmark(("Fill/" + kind + "/" + s).c_str(), BenchFill, engine, size)->Unit(benchmark::kMillisecond);
    }
    for (int32_t cell : {1, 8})
      for (bool engine : {false, true}) {
        const std::string kind = engine ? "engine" : "plain";
        RegisterBenchmark(("ClassicFrame/" + kind + "/" + s + "/" + std::to_string(cell) + "px").c_str(),
                          BenchClassicFrame, engine, size, cell, CellRuleOf(ConwayRule), false)
            ->Unit(benchmark::kMillisecond);
      }
    // Trails of 16 generations and colour by age, beside the frames without.
    for (int32_t cell : {1, 8})
      RegisterBenchmark(("ClassicFrame/engine/" + s + "/" + std::to_string(cell) + "px/fade16-age").c_str(),
                        BenchClassicFrame, true, size, cell, CellRuleOf(ConwayRule), true)
          ->Unit(benchmark::kMillisecond);
    for (int32_t cell : {1, 8})
      for (int32_t delay : {0, 15})
        RegisterBenchmark(
            ("DelayedFrame/engine/" + s + "/" + std::to_string(cell) + "px/delay" + std::to_string(delay)).c_str(),
            BenchDelayedFrame, size, cell, 300, delay, false)
            ->Unit(benchmark::kMillisecond);
    for (int32_t cell : {1, 8})
      RegisterBenchmark(("DelayedFrame/engine/" + s + "/" + std::to_string(cell) + "px/delay15/fade16-age").c_str(),
                        BenchDelayedFrame, size, cell, 300, 15, true)
          ->Unit(benchmark::kMillisecond);
    // A field long past its soup, where a paced frame's marks pay.
    RegisterBenchmark(("DelayedFrame/engine/" + s + "/1px/delay15/settled").c_str(), BenchDelayedFrame, size, 1,
                      SettledGeneration, 15, false)
        ->Unit(benchmark::kMillisecond);
    RegisterAnimatedBenchmarks(size);
    if (size.width == 1920) RegisterLargerBenchmarks(size);
    RegisterBenchmark(("MemoryBound/" + s + "/1px").c_str(), BenchMemoryBound, size)->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string soupFile, sizeName = "1080p", rule = "B3/S23", populations;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--soup-rle=", 11) == 0)
      soupFile = argv[i] + 11;
    else if (std::strncmp(argv[i], "--size=", 7) == 0)
      sizeName = argv[i] + 7;
    else if (std::strncmp(argv[i], "--rule=", 7) == 0)
      rule = argv[i] + 7;
    else if (std::strncmp(argv[i], "--populations=", 14) == 0)
      populations = argv[i] + 14;
    else if (std::strcmp(argv[i], "--no-permutes") == 0)
      UseDyingPermutes(false);  // dying states painted as a CPU without AVX-512 VBMI paints them
    else
      rest.push_back(argv[i]);
  }
  if (!soupFile.empty()) return WriteSoupRle(soupFile.c_str(), sizeName.c_str(), rule.c_str()) ? 0 : 1;
  if (!populations.empty()) return PrintSoupPopulations(populations.c_str(), sizeName.c_str()) ? 0 : 1;

  int restCount = static_cast<int>(rest.size());
  benchmark::Initialize(&restCount, rest.data());
  if (benchmark::ReportUnrecognizedArguments(restCount, rest.data())) return 1;
  RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
