// LargerStep and LargerFrame: Larger than Life generations of a one-pixel
// 1080p soup, alone and with the classic painter after each, beside
// ClassicFrame's B3/S23 frame. Bosco's Rule at range 5 and a rule of the same
// shares at range 100 (the square), and a range 5 diamond.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench_fields.h"
#include "engine/engine.h"
#include "engine/larger_kernels.h"
#include "render/render.h"
#include "settings/settings.h"

namespace {

struct BenchLarger {
  const char* name;
  LargerThanLife rule;
};
const BenchLarger LargerRules[] = {
    {"bosco", {5, true, 'M', 34, 58, 34, 45}},                   // R5,C0,M1,S34..58,B34..45,NM
    {"r100", {100, true, 'M', 10350, 15740, 9350, 12360}},       // R100,C0,M1,S10350..15740,B9350..12360,NM
    {"r5-diamond", {5, true, 'N', 17, 29, 17, 22}},              // R5,C0,M1,S17..29,B17..22,NN
};

// A soup of 40 % live cells (Bosco's Rule thins a denser one out at once).
const std::vector<uint8_t>& LargerSoup(int32_t columns, int32_t rows) {
  static std::vector<uint8_t> soup;
  if (soup.size() != static_cast<size_t>(columns) * rows) {
    soup.assign(static_cast<size_t>(columns) * rows, 0);
    LcgSeed(BenchSeed);
    for (uint8_t& cell : soup) cell = LcgNext() % 100 < 40 ? 1 : 0;
  }
  return soup;
}

// Generations of `rule` from the soup, put back every 100 (outside the
// timing); with `paint`, a classic frame of the field before each step.
void BenchLargerStep(benchmark::State& state, BenchSize size, LargerThanLife rule, bool paint) {
  const int32_t columns = size.width, rows = size.height;
  const size_t cells = static_cast<size_t>(columns) * rows;
  UseGridFor(size);
  UseSurface(size);
  Settings = DefaultSettings;
  BuildPalette();
  const std::vector<uint8_t>& soup = LargerSoup(columns, rows);
  const auto restart = [&] {
    std::memcpy(Grid.LiveCells, soup.data(), cells);
    std::memset(Grid.decay, 0, cells);
  };
  restart();
  int generation = 0;
  for (auto _ : state) {
    if (generation == 100) {
      state.PauseTiming();
      restart();
      generation = 0;
      state.ResumeTiming();
    }
    if (paint) benchmark::DoNotOptimize(DrawClassicFrame(columns, rows, 1));
    StepLarger(Grid.LiveCells, Grid.decay, Grid.SnapshotCells, columns, rows, rule, 2);
    ++generation;
  }
  benchmark::ClobberMemory();
  state.SetLabel(ActiveLargerKernels()->name);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(cells));
}

}  // namespace

void RegisterLargerBenchmarks(const BenchSize& size) {
  for (const BenchLarger& larger : LargerRules)
    for (bool paint : {false, true})
      benchmark::RegisterBenchmark(
          (std::string(paint ? "LargerFrame/engine/" : "LargerStep/engine/") + size.name + (paint ? "/1px/" : "/soup/") +
           larger.name)
              .c_str(),
          BenchLargerStep, size, larger.rule, paint)
          ->Unit(benchmark::kMillisecond);
}
