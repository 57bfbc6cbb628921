// The stagnation rule: a field whose population keeps repeating one of its
// last three values for `reset` ms is to be replaced by a new random one.
#include <cstring>

#include "engine/counters.h"
#include "engine/engine.h"
#include "settings/settings.h"

static FieldState NewFieldState() {
  return FieldState{1, 0, 0, 0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}, CellRuleOf(ConwayRule),
                    KernelRuleOf(ConwayRule.birth, ConwayRule.survive), {}, {}, 0, false, 0, 0, 0, 0};
}

FieldState Field = NewFieldState();
SaverCounters Counters = {0, 1};

void ResetFieldState() {
  Field = NewFieldState();
  Counters.generation = static_cast<int32_t>(Field.Generation);
}

bool PopulationDeveloping(PopulationHistory* history, int32_t population) {
  if (population != 0 && population != history->p1 && population != history->p2 &&
      population != history->p3) {
    history->ResetDeadline = PlatformTickCount() + static_cast<uint32_t>(Settings.reset);
    return true;
  }
  // The zero deadline of the start is always past: the first boundary makes
  // the first field. Any other deadline is still ahead while it lies within
  // `reset` ms of now, so one set just before the tick count wraps is not
  // taken to lie 49 days ahead once it has wrapped.
  if (history->ResetDeadline == 0) return false;
  const uint32_t window = Settings.reset > 0 ? static_cast<uint32_t>(Settings.reset) : 0u;
  return history->ResetDeadline - PlatformTickCount() <= window;
}

void AdvanceField(PopulationHistory* history, int32_t columns, int32_t rows, int32_t population) {
  history->p3 = history->p2;
  history->p2 = history->p1;
  history->p1 = population;
  StepGeneration(columns, rows);
  if (Field.GridEdge > 0) ClearGridBorder(columns, rows, Field.GridEdge);
  Field.Population = population;
  Field.Generation += 1;
  Counters.generation = static_cast<int32_t>(Field.Generation);
}

void ForgetHistory(PopulationHistory* history) {
  history->p1 = history->p2 = history->p3 = 0;
}

void UseRule(const CellRule& rule) {
  Field.Rule = rule;
  Field.RuleActions = KernelRuleFor(rule);
}

void UseRule(LifeRule rule) { UseRule(CellRuleOf(rule)); }

// ---- Shapes of pattern fields ---------------------------------------------------

namespace {

// The sums of each row's and each column's live cells, grown as fields grow.
struct ShapeCounts {
  uint32_t* sums;
  size_t capacity;  // entries
};
ShapeCounts Counts = {nullptr, 0};

uint64_t Mix(uint64_t a, uint64_t b) {
  uint64_t x = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull);
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ull;
  return x ^ (x >> 29);
}

// The pairs of neighbours of a ring of sums, added up: a turn of the ring
// gives the same.
uint64_t RingHash(const uint32_t* sums, int32_t count, uint64_t salt) {
  uint64_t hash = 0;
  for (int32_t i = 0; i < count; ++i) hash += Mix(sums[i] ^ salt, sums[i + 1 < count ? i + 1 : 0]);
  return hash;
}

}  // namespace

uint64_t FieldShapeHash(int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows)) return 0;
  const size_t entries = static_cast<size_t>(columns) + rows;
  if (entries > Counts.capacity) {
    uint32_t* grown = static_cast<uint32_t*>(PlatformAllocateZeroed(entries * sizeof(uint32_t)));
    if (grown == nullptr) return 0;  // no memory: every field looks the same, and is replaced in time
    PlatformFreeZeroed(Counts.sums);
    Counts = ShapeCounts{grown, entries};
  }
  uint32_t* columnSums = Counts.sums;
  uint32_t* rowSums = Counts.sums + columns;
  std::memset(columnSums, 0, static_cast<size_t>(columns) * sizeof(uint32_t));
  const GridKernels* kernels = ActiveKernels();
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* row = Grid.LiveCells + static_cast<size_t>(y) * columns;
    rowSums[y] = static_cast<uint32_t>(kernels->countAlive(row, columns));
    if (rowSums[y] == 0) continue;
    for (int32_t x = 0; x < columns; ++x) columnSums[x] += row[x] & 1u;
  }
  return RingHash(rowSums, rows, 1) ^ Mix(RingHash(columnSums, columns, 2), 3);
}

bool ShapeDeveloping(ShapeHistory* history, uint64_t hash) {
  const uint32_t slots = ShapePeriodLimit + ShapeRepeats;
  const uint32_t now = history->count;
  history->hashes[now % slots] = hash;
  history->count += 1;
  // A period p is the shape's when the last ShapeRepeats hashes equal those
  // p generations before them.
  bool recurs = false;
  if (now + 1 >= static_cast<uint32_t>(ShapeRepeats) + 1) {
    for (uint32_t p = 1; p <= static_cast<uint32_t>(ShapePeriodLimit) && !recurs; ++p) {
      if (now + 1 < p + ShapeRepeats) break;
      recurs = true;
      for (uint32_t k = 0; k < static_cast<uint32_t>(ShapeRepeats) && recurs; ++k)
        recurs = history->hashes[(now - k) % slots] == history->hashes[(now - k - p) % slots];
    }
  }
  const uint32_t window = Settings.reset > 0 ? static_cast<uint32_t>(Settings.reset) : 0u;
  if (!recurs) {
    history->SettleDeadline = PlatformTickCount() + window;
    return true;
  }
  return history->SettleDeadline - PlatformTickCount() <= window;
}

void ForgetShapes(ShapeHistory* history) {
  history->count = 0;
}
