// Loading a pattern field: reading the file and placing its cells, for the
// largest pattern of the shipped collection (and of Golly's, where it is
// installed), on a 1920 x 1080 field of one-pixel cells.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <string>

#include "engine/engine.h"
#include "pattern/pattern.h"

namespace {

struct Largest {
  std::string path;
  long long bytes = -1;
};

void Visit(const char* path, void* context) {
  Largest* largest = static_cast<Largest*>(context);
  struct stat info;
  if (stat(path, &info) != 0 || info.st_size <= largest->bytes || info.st_size > static_cast<long long>(PatternFileLimit))
    return;
  PatternCells pattern;
  if (!ReadPatternFile(path, &pattern) || !PatternFits(pattern.width, pattern.height, 1920, 1080)) return;
  largest->path = path;
  largest->bytes = info.st_size;
}

void LoadLargest(benchmark::State& state, const char* folder) {
  Largest largest;
  PlatformListFolder(folder, PatternFolderDepth, Visit, &largest);
  if (largest.path.empty()) {
    state.SkipWithError("no pattern that fits in the folder");
    return;
  }
  AllocateCellGrid(1920u * 1080u);
  int32_t population = 0;
  for (auto _ : state) {
    PatternCells pattern;
    ReadPatternFile(largest.path.c_str(), &pattern);
    SetPatternCells(pattern, CentrePattern(pattern.width, pattern.height, 0, 1920, 1080), 1920, 1080);
    population = static_cast<int32_t>(pattern.cells.size());
  }
  state.SetLabel(largest.path.substr(largest.path.rfind('/') + 1) + ", " + std::to_string(largest.bytes) +
                 " bytes, " + std::to_string(population) + " cells");
  ReleaseCellGrid();
}

BENCHMARK_CAPTURE(LoadLargest, Shipped, SHIPPED_PATTERNS_DIR)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadLargest, Golly, "/usr/share/golly/Patterns")->Unit(benchmark::kMillisecond);

}  // namespace
