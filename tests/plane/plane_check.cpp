// Runs a pattern file on the plane for the checks against bgolly: loads it
// (macrocell straight into the tree, anything else through the pattern
// readers), steps it COUNT times by 2^STEPLOG and prints "generation:
// population" before the first step and after each, as bgolly does; with
// --rle FILE it writes the last generation there (only when it has at most
// --rle-cells N live cells, if given), with --mc FILE as macrocell. Last, on
// the error stream: nodes, collections and the memory used.
//   plane_check [--rle FILE] [--rle-cells N] [--mc FILE] [--memory MB] PATTERN STEPLOG COUNT
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/plane.h"
#include "pattern/pattern.h"

namespace {

bool ReadWhole(const char* path, std::string* text) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  char buffer[1 << 16];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, got);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

bool WriteWhole(const char* path, const std::string& text) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

bool Load(const char* path) {
  const size_t length = std::strlen(path);
  if (length > 3 && std::strcmp(path + length - 3, ".mc") == 0) {
    std::string text;
    if (!ReadWhole(path, &text)) return false;
    return LoadPlaneMacrocell(text.data(), text.size()) == PlaneDone;
  }
  PatternCells pattern;
  if (!ReadPatternFile(path, &pattern)) return false;
  if (!ClearPlane(pattern.hasRule ? pattern.rule : CellRuleOf(ConwayRule))) return false;
  std::vector<PlaneCell> cells(pattern.cells.size());
  for (size_t i = 0; i < cells.size(); ++i) cells[i] = PlaneCell{pattern.cells[i].x, pattern.cells[i].y};
  return SetPlaneCells(cells.data(), cells.size()) == PlaneDone;
}

}  // namespace

int main(int argc, char** argv) {
  const char* rle = nullptr;
  const char* mc = nullptr;
  uint64_t rleCells = ~uint64_t{0};
  uint32_t memory = PlaneMemoryDefaultMb;
  int arg = 1;
  for (; arg + 1 < argc && argv[arg][0] == '-'; arg += 2) {
    if (std::strcmp(argv[arg], "--rle") == 0) rle = argv[arg + 1];
    else if (std::strcmp(argv[arg], "--mc") == 0) mc = argv[arg + 1];
    else if (std::strcmp(argv[arg], "--rle-cells") == 0) rleCells = std::strtoull(argv[arg + 1], nullptr, 10);
    else if (std::strcmp(argv[arg], "--memory") == 0) memory = static_cast<uint32_t>(std::atoi(argv[arg + 1]));
    else break;
  }
  if (argc - arg != 3) {
    std::fprintf(stderr, "usage: plane_check [--rle FILE] [--rle-cells N] [--mc FILE] [--memory MB] PATTERN STEPLOG COUNT\n");
    return 2;
  }
  SetPlaneMemoryLimit(memory);
  if (!ClearPlane(CellRuleOf(ConwayRule)) || !Load(argv[arg])) {
    std::fprintf(stderr, "plane_check: cannot load %s\n", argv[arg]);
    return 1;
  }
  const int32_t stepLog = std::atoi(argv[arg + 1]);
  const int32_t count = std::atoi(argv[arg + 2]);
  std::printf("%" PRIu64 ": %" PRIu64 "\n", Plane.generation, PlanePopulation());
  for (int32_t k = 0; k < count; ++k) {
    const PlaneOutcome outcome = StepPlane(stepLog, false, 0);
    if (outcome != PlaneDone) {
      std::fprintf(stderr, "plane_check: step %d failed (%d)\n", k + 1, static_cast<int>(outcome));
      return 1;
    }
    std::printf("%" PRIu64 ": %" PRIu64 "\n", Plane.generation, PlanePopulation());
  }
  if (rle != nullptr) std::remove(rle);
  if (rle != nullptr && PlanePopulation() <= rleCells) {
    std::string text;
    if (!WritePlaneRle(&text, size_t{1} << 30) || !WriteWhole(rle, text)) {
      std::fprintf(stderr, "plane_check: cannot write %s\n", rle);
      return 1;
    }
  }
  if (mc != nullptr) {
    std::string text;
    if (!WritePlaneMacrocell(&text, size_t{1} << 30) || !WriteWhole(mc, text)) {
      std::fprintf(stderr, "plane_check: cannot write %s\n", mc);
      return 1;
    }
  }
  std::fprintf(stderr, "nodes %u, collections %" PRIu64 ", memory %zu MB\n", Plane.liveNodes, Plane.collections,
               Plane.memoryUsed >> 20);
  return 0;
}
