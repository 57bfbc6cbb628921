// larger_torus: a field stepped by StepLarger on the grid, for comparison
// with bgolly (larger_against_golly.py).
//
//   larger_torus [--set NAME] COLUMNS ROWS RANGE STATES MIDDLE SHAPE SL SH BL BH IN OUT G...
//   larger_torus --sets
//
// IN holds the field's states, one byte a cell, row-major; the rule is
// Rrange,Cstates,Mmiddle,Ssl..sh,Bbl..bh,Nshape. Each generation G (in
// increasing order) is written to OUT-G in the same form. --set steps with
// the named set of loops instead of the CPU's choice; --sets prints the
// names of the sets this CPU runs.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/larger_kernels.h"

namespace {

bool ReadNumber(const char* text, long low, long high, int32_t* value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != 0 || v < low || v > high) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

int Usage() {
  std::fprintf(stderr, "usage: larger_torus [--set NAME] COLUMNS ROWS RANGE STATES MIDDLE SHAPE SL SH BL BH IN OUT G...\n"
                       "       larger_torus --sets\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--sets") {
    for (int32_t k = 0; LargerKernelSet(k) != nullptr; ++k) std::printf("%s\n", LargerKernelSet(k)->name);
    return 0;
  }
  if (argc > 2 && std::string(argv[1]) == "--set") {
    const LargerKernels* chosen = nullptr;
    for (int32_t k = 0; LargerKernelSet(k) != nullptr; ++k)
      if (std::string(LargerKernelSet(k)->name) == argv[2]) chosen = LargerKernelSet(k);
    if (chosen == nullptr) return Usage();
    UseLargerKernels(chosen);
    argc -= 2;
    argv += 2;
  }
  if (argc < 14) return Usage();
  int32_t columns, rows, middle, states;
  LargerThanLife rule = {};
  if (!ReadNumber(argv[1], 1, 4096, &columns) || !ReadNumber(argv[2], 1, 4096, &rows) ||
      !ReadNumber(argv[3], 1, LargerRangeLimit, &rule.range) || !ReadNumber(argv[4], 2, RuleMaxStates, &states) ||
      !ReadNumber(argv[5], 0, 1, &middle) || argv[6][0] == 0 || argv[6][1] != 0 ||
      !ReadNumber(argv[7], 0, 1 << 30, &rule.surviveLow) || !ReadNumber(argv[8], 0, 1 << 30, &rule.surviveHigh) ||
      !ReadNumber(argv[9], 0, 1 << 30, &rule.birthLow) || !ReadNumber(argv[10], 0, 1 << 30, &rule.birthHigh))
    return Usage();
  rule.middle = middle != 0;
  rule.shape = argv[6][0];
  const size_t cells = static_cast<size_t>(columns) * rows;

  std::vector<uint8_t> field(cells);
  FILE* in = std::fopen(argv[11], "rb");
  if (in == nullptr || std::fread(field.data(), 1, cells, in) != cells) {
    std::fprintf(stderr, "cannot read %zu cells from %s\n", cells, argv[11]);
    return 1;
  }
  std::fclose(in);

  AllocateCellGrid(cells);
  // The field's rule says where the grid keeps the dying states.
  CellRule fieldRule = CellRuleOf(ConwayRule);
  fieldRule.kind = RuleLarger;
  fieldRule.states = states;
  fieldRule.larger = rule;
  UseRule(fieldRule);
  ClearField(columns, rows);
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < columns; ++x) SetCellState(x, y, field[static_cast<size_t>(y) * columns + x], columns, rows);

  int32_t done = 0;
  for (int k = 13; k < argc; ++k) {
    int32_t wanted;
    if (!ReadNumber(argv[k], done, 1 << 20, &wanted)) return Usage();
    for (; done < wanted; ++done)
      StepLarger(Grid.LiveCells, Grid.decay, Grid.SnapshotCells, columns, rows, rule, states);
    for (int32_t y = 0; y < rows; ++y)
      for (int32_t x = 0; x < columns; ++x)
        field[static_cast<size_t>(y) * columns + x] = static_cast<uint8_t>(CellState(x, y, columns, rows));
    const std::string path = std::string(argv[12]) + "-" + std::to_string(wanted);
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr || std::fwrite(field.data(), 1, cells, out) != cells || std::fclose(out) != 0) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
