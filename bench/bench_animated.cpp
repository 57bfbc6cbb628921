// AnimatedFrame: one DrawLifefaceFrame over a soup with a shipped lifeface,
// read from the build's data folder the way the saver reads it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench_fields.h"
#include "engine/engine.h"
#include "loop/loop.h"
#include "lifeface/lifeface.h"
#include "render/render.h"
#include "settings/settings.h"

namespace {

const char* const BenchLifeface = "Ember Field";

// Loads the catalogue once and makes the benchmark's lifeface current; false
// when the build's data folder has no catalogue (the figure is then left out).
bool UseShippedLifeface() {
  static int loaded = 0;  // 0 not tried, 1 ready, -1 missing
  if (loaded == 0) {
    const std::string catalogue = std::string(SHIPPED_DATA_DIR) + "/tumbra.ini";
    FILE* probe = std::fopen(catalogue.c_str(), "rb");
    loaded = -1;
    if (probe != nullptr) {
      std::fclose(probe);
      LoadCatalogue(catalogue.c_str());
      for (int32_t k = 0; k < LifefaceCatalogue.count; ++k)
        if (std::strcmp(LifefaceCatalogue.records[k].name, BenchLifeface) == 0) loaded = k + 1;
    }
  }
  if (loaded < 0) return false;
  if (LifefaceSurface == nullptr || Settings.face != loaded - 1) {
    Settings.face = loaded - 1;
    UseLifeface();
  }
  return LifefaceSurface != nullptr;
}

void BenchAnimatedFrame(benchmark::State& state, BenchSize size, int32_t scale) {
  Settings = DefaultSettings;
  if (!UseShippedLifeface()) {
    state.SkipWithError("no shipped lifeface in " SHIPPED_DATA_DIR);
    return;
  }
  UseGridFor(size);
  if (View.Surface == nullptr || View.Surface->width != size.width || View.Surface->height != size.height) {
    ReleaseFrameSurface(View.Surface);
    View.Surface = CreateFrameSurface(nullptr, size.width, size.height, 32);
  }
  const LifefaceRecord* face = CurrentLifeface();
  const int32_t cellSize = face->pixels * scale;
  const int32_t columns = CellCount(size.width, cellSize), rows = CellCount(size.height, cellSize);
  const std::vector<uint8_t>& field = BenchField(columns, rows, 0);
  std::memcpy(Grid.LiveCells, field.data(), field.size());
  int32_t frame = 0;
  for (auto _ : state) {
    // Walk through the transition's tiles as the frames of a generation do.
    const int32_t birthTile = face->x0 + frame % Transition.birthSpan;
    const int32_t deathTile = face->x2 + frame % Transition.deathSpan;
    benchmark::DoNotOptimize(DrawLifefaceFrame(columns, rows, scale, birthTile, deathTile));
    ++frame;
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(size.width) * size.height);
}

}  // namespace

void RegisterAnimatedBenchmarks(const BenchSize& size) {
  for (int32_t scale : {1, 2})
    benchmark::RegisterBenchmark(
        ("AnimatedFrame/engine/" + std::string(size.name) + "/scale" + std::to_string(scale)).c_str(),
        BenchAnimatedFrame, size, scale)
        ->Unit(benchmark::kMillisecond);
}
