// StepLarger against a stepper that counts every neighbour of every cell
// directly, on every set of loops this CPU runs: random fields of many sizes
// (tori narrower than the range among them), ranges, shapes, middles and
// numbers of states; bytes, Moore counts and decay plane alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/larger_kernels.h"
#include "test_support.h"

namespace {

// ---- The reference -------------------------------------------------------------

struct StateField {
  int32_t columns;
  int32_t rows;
  std::vector<int32_t> states;  // 0 dead, 1 alive, 2.. dying
};

int32_t Wrapped(int64_t i, int32_t n) { return static_cast<int32_t>(((i % n) + n) % n); }

bool InNeighbourhood(char shape, int32_t r, int32_t dx, int32_t dy) {
  if (shape == 'N') return std::abs(dx) + std::abs(dy) <= r;
  if (shape == 'C') return static_cast<int64_t>(dx) * dx + static_cast<int64_t>(dy) * dy <= static_cast<int64_t>(r) * r + r;
  return true;
}

// Each cell's count of live cells in its neighbourhood, every offset of the
// neighbourhood taken once (so a torus narrower than it counts a cell as
// often as the neighbourhood covers it), the cell's own offset only with
// the middle. Large neighbourhoods on small tori are counted by how many
// offsets land on each cell of the torus.
std::vector<int64_t> DirectCounts(const StateField& f, const LargerThanLife& rule) {
  const int32_t c = f.columns, rows = f.rows, r = rule.range;
  const auto alive = [&](int64_t x, int64_t y) {
    return f.states[static_cast<size_t>(Wrapped(y, rows)) * c + Wrapped(x, c)] == 1 ? 1 : 0;
  };
  std::vector<int64_t> counts(f.states.size(), 0);
  const int64_t span = 2 * static_cast<int64_t>(r) + 1;
  if (span * span <= 4 * static_cast<int64_t>(c) * rows) {
    for (int32_t y = 0; y < rows; ++y)
      for (int32_t x = 0; x < c; ++x) {
        int64_t n = 0;
        for (int32_t dy = -r; dy <= r; ++dy)
          for (int32_t dx = -r; dx <= r; ++dx)
            if ((dx != 0 || dy != 0 || rule.middle) && InNeighbourhood(rule.shape, r, dx, dy))
              n += alive(static_cast<int64_t>(x) + dx, static_cast<int64_t>(y) + dy);
        counts[static_cast<size_t>(y) * c + x] = n;
      }
    return counts;
  }
  std::vector<int64_t> landing(static_cast<size_t>(c) * rows, 0);
  for (int32_t dy = -r; dy <= r; ++dy)
    for (int32_t dx = -r; dx <= r; ++dx)
      if ((dx != 0 || dy != 0 || rule.middle) && InNeighbourhood(rule.shape, r, dx, dy))
        landing[static_cast<size_t>(Wrapped(dy, rows)) * c + Wrapped(dx, c)] += 1;
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < c; ++x) {
      int64_t n = 0;
      for (int32_t j = 0; j < rows; ++j)
        for (int32_t i = 0; i < c; ++i)
          if (landing[static_cast<size_t>(j) * c + i] != 0)
            n += landing[static_cast<size_t>(j) * c + i] * alive(static_cast<int64_t>(x) + i, static_cast<int64_t>(y) + j);
      counts[static_cast<size_t>(y) * c + x] = n;
    }
  return counts;
}

StateField ReferenceStep(const StateField& f, const LargerThanLife& rule, int32_t states) {
  const std::vector<int64_t> counts = DirectCounts(f, rule);
  StateField next = f;
  for (size_t i = 0; i < f.states.size(); ++i) {
    const int32_t s = f.states[i];
    const int64_t n = counts[i];
    if (s == 1)
      next.states[i] = n >= rule.surviveLow && n <= rule.surviveHigh ? 1 : states > 2 ? 2 : 0;
    else if (s == 0)
      next.states[i] = n >= rule.birthLow && n <= rule.birthHigh ? 1 : 0;
    else
      next.states[i] = s + 1 < states ? s + 1 : 0;
  }
  return next;
}

// The grid's form: life, dying bit and the Moore eight's live count in the
// bytes, dying states in the decay plane.
void Encode(const StateField& f, std::vector<uint8_t>* cells, std::vector<uint8_t>* decay) {
  const int32_t c = f.columns;
  cells->assign(f.states.size(), 0);
  decay->assign(f.states.size(), 0);
  for (int32_t y = 0; y < f.rows; ++y)
    for (int32_t x = 0; x < c; ++x) {
      const size_t i = static_cast<size_t>(y) * c + x;
      int32_t moore = 0;
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx)
          if (dx != 0 || dy != 0)
            moore += f.states[static_cast<size_t>(Wrapped(y + dy, f.rows)) * c + Wrapped(x + dx, c)] == 1;
      const int32_t s = f.states[i];
      (*cells)[i] = static_cast<uint8_t>((s == 1 ? 1 : 0) | (s >= 2 ? CellDying : 0) | moore << 1);
      (*decay)[i] = static_cast<uint8_t>(s >= 2 ? s : 0);
    }
}

// ---- Cases ------------------------------------------------------------------------

int64_t NeighbourCount(const LargerThanLife& rule) {
  int64_t n = 0;
  for (int32_t dy = -rule.range; dy <= rule.range; ++dy)
    for (int32_t dx = -rule.range; dx <= rule.range; ++dx) n += InNeighbourhood(rule.shape, rule.range, dx, dy);
  return n;
}

// Bounds as shares of the neighbourhood, so that fields of every range keep
// being born into and dying.
LargerThanLife RuleOf(int32_t range, char shape, bool middle, double birthLow, double birthHigh, double surviveLow,
                      double surviveHigh) {
  LargerThanLife rule = {range, middle, shape, 0, 0, 0, 0};
  const double n = static_cast<double>(NeighbourCount(rule));
  rule.birthLow = std::max<int32_t>(1, static_cast<int32_t>(n * birthLow));
  rule.birthHigh = static_cast<int32_t>(n * birthHigh);
  rule.surviveLow = static_cast<int32_t>(n * surviveLow);
  rule.surviveHigh = static_cast<int32_t>(n * surviveHigh);
  return rule;
}

std::string RuleName(const LargerThanLife& rule, int32_t states) {
  return "R" + std::to_string(rule.range) + ",C" + std::to_string(states) + ",M" + std::to_string(rule.middle) + ",S" +
         std::to_string(rule.surviveLow) + ".." + std::to_string(rule.surviveHigh) + ",B" +
         std::to_string(rule.birthLow) + ".." + std::to_string(rule.birthHigh) + ",N" + rule.shape;
}

StateField RandomField(int32_t columns, int32_t rows, int32_t states, double density, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> share(0.0, 1.0);
  StateField f = {columns, rows, std::vector<int32_t>(static_cast<size_t>(columns) * rows, 0)};
  for (int32_t& s : f.states) {
    const double u = share(random);
    s = u < density ? 1 : (states > 2 && u < density + 0.15) ? 2 + static_cast<int32_t>(random() % (states - 2)) : 0;
  }
  return f;
}

std::vector<const LargerKernels*> Sets() {
  std::vector<const LargerKernels*> sets;
  for (int32_t k = 0; LargerKernelSet(k) != nullptr; ++k) sets.push_back(LargerKernelSet(k));
  return sets;
}

class LargerStep : public testing::Test {
 protected:
  void TearDown() override { UseLargerKernels(nullptr); }
};

// Steps the field by the reference and, in lockstep, by StepLarger on each
// set, comparing every byte after every generation. Returns the number of
// cells that changed state along the way, so callers can tell a case that
// did something.
int64_t ExpectSameGenerations(StateField f, const LargerThanLife& rule, int32_t states, int generations) {
  const std::vector<const LargerKernels*> sets = Sets();
  std::vector<std::vector<uint8_t>> cells(sets.size()), decay(sets.size());
  for (size_t k = 0; k < sets.size(); ++k) Encode(f, &cells[k], &decay[k]);
  std::vector<uint8_t> snapshot(f.states.size()), expectedCells, expectedDecay;
  int64_t changed = 0;
  for (int g = 1; g <= generations; ++g) {
    const StateField next = ReferenceStep(f, rule, states);
    for (size_t i = 0; i < f.states.size(); ++i) changed += next.states[i] != f.states[i];
    f = next;
    Encode(f, &expectedCells, &expectedDecay);
    for (size_t k = 0; k < sets.size(); ++k) {
      UseLargerKernels(sets[k]);
      StepLarger(cells[k].data(), decay[k].data(), snapshot.data(), f.columns, f.rows, rule, states);
      const std::string where = std::string(sets[k]->name) + " " + RuleName(rule, states) + " " +
                                std::to_string(f.columns) + "x" + std::to_string(f.rows) + " generation " +
                                std::to_string(g);
      if (cells[k] != expectedCells || decay[k] != expectedDecay) {
        for (size_t i = 0; i < f.states.size(); ++i)
          if (cells[k][i] != expectedCells[i] || decay[k][i] != expectedDecay[i]) {
            ADD_FAILURE() << where << ": cell " << i % f.columns << "," << i / f.columns << " byte "
                          << int(cells[k][i]) << " decay " << int(decay[k][i]) << ", expected byte "
                          << int(expectedCells[i]) << " decay " << int(expectedDecay[i]);
            return changed;
          }
      }
    }
  }
  return changed;
}

struct Size {
  int32_t columns;
  int32_t rows;
};

TEST_F(LargerStep, MatchesTheDirectCountOnEverySizeRangeShapeAndMiddle) {
  // Whole registers and rests of rows, one-wide and one-high tori, and tori
  // narrower than the neighbourhood on one axis or both.
  const Size sizes[] = {{1, 1}, {3, 7}, {17, 5}, {64, 64}, {70, 3}, {2, 41}, {33, 9}, {100, 6}};
  uint32_t seed = 1;
  for (int32_t range : {1, 2, 5, 13})
    for (char shape : {'M', 'N', 'C'})
      for (bool middle : {false, true})
        for (int32_t states : {2, 3, 25}) {
          const LargerThanLife rule = RuleOf(range, shape, middle, 0.25, 0.45, 0.2, 0.5);
          int64_t changed = 0;
          for (const Size& size : sizes) {
            changed += ExpectSameGenerations(RandomField(size.columns, size.rows, states, 0.35, seed++), rule,
                                             states, range > 5 ? 2 : 4);
            if (HasFailure()) return;
          }
          EXPECT_GT(changed, 100) << RuleName(rule, states) << " changed too little to tell";
        }
}

TEST_F(LargerStep, CountsBeyond16BitsTakeWideLanes) {
  // Neighbourhoods of more than 65535 cells, on tori both narrower and
  // wider than a register, some narrower than the range.
  const struct {
    int32_t range;
    char shape;
    Size size;
  } cases[] = {{130, 'M', {70, 9}}, {128, 'M', {301, 4}}, {181, 'N', {40, 7}}, {200, 'N', {450, 3}},
               {144, 'C', {37, 5}}, {150, 'C', {320, 2}}, {500, 'M', {33, 6}}, {500, 'N', {5, 3}}};
  uint32_t seed = 500;
  for (const auto& c : cases)
    for (bool middle : {false, true}) {
      const LargerThanLife rule = RuleOf(c.range, c.shape, middle, 0.3, 0.4, 0.25, 0.45);
      ASSERT_GT(NeighbourCount(rule), 65535);
      const int64_t changed =
          ExpectSameGenerations(RandomField(c.size.columns, c.size.rows, 4, 0.35, seed++), rule, 4, 3);
      if (HasFailure()) return;
      EXPECT_GT(changed, 0) << RuleName(rule, 4);
    }
}

TEST_F(LargerStep, CountsAtTheTopOfTheirLanesStayExact) {
  // The largest squares, diamonds and discs counted in 8-bit and in 16-bit
  // lanes, every cell alive but one, on a torus that wraps them many times.
  for (const auto& [range, shape] :
       {std::pair{7, 'M'}, {10, 'N'}, {8, 'C'}, {127, 'M'}, {180, 'N'}, {143, 'C'}}) {
    LargerThanLife rule = RuleOf(range, shape, true, 0.5, 0.9, 0.99, 1.0);
    ASSERT_LE(NeighbourCount(rule), range < 100 ? 255 : 65535);
    ASSERT_GT(NeighbourCount(rule), range < 100 ? 200 : 60000);
    rule.surviveHigh = static_cast<int32_t>(NeighbourCount(rule));
    StateField full = {48, 5, std::vector<int32_t>(48 * 5, 1)};
    full.states[7] = 0;
    ExpectSameGenerations(full, rule, 2, 2);
  }
}

TEST_F(LargerStep, DyingCellsRunThroughTheirStates) {
  // A lone live cell of R1 with survival only on 8 dies at once and takes
  // the states 2, 3, 4 and then 0; nothing is born from it.
  LargerThanLife rule = {1, false, 'M', 8, 8, 3, 3};
  StateField f = {8, 8, std::vector<int32_t>(64, 0)};
  f.states[3 * 8 + 4] = 1;
  for (int32_t expected : {2, 3, 4, 0, 0}) {
    std::vector<uint8_t> cells, decay, snapshot(64);
    Encode(f, &cells, &decay);
    StepLarger(cells.data(), decay.data(), snapshot.data(), 8, 8, rule, 5);
    f = ReferenceStep(f, rule, 5);
    EXPECT_EQ(f.states[3 * 8 + 4], expected);
    EXPECT_EQ(cells[3 * 8 + 4], expected >= 2 ? CellDying : 0);
    EXPECT_EQ(decay[3 * 8 + 4], expected >= 2 ? expected : 0);
    EXPECT_EQ(std::count(decay.begin(), decay.end(), 0), expected >= 2 ? 63 : 64);
  }
}

TEST_F(LargerStep, LifeAsALargerRuleGivesTheLifeKernelsBytes) {
  // R1,C0,M0,S2..3,B3..3,NM is Conway's Life: the bytes, Moore counts
  // included, are those StepGeneration makes.
  const LargerThanLife life = {1, false, 'M', 2, 3, 3, 3};
  for (const Size& size : {Size{64, 48}, Size{37, 11}, Size{3, 3}})
    for (const LargerKernels* set : Sets()) {
      UseLargerKernels(set);
      const size_t n = static_cast<size_t>(size.columns) * size.rows;
      ResetEngineState(n);
      LcgSeed(77);
      RandomFill(size.columns, size.rows);
      std::vector<uint8_t> cells(Grid.LiveCells, Grid.LiveCells + n), decay(n, 0), snapshot(n);
      for (int g = 0; g < 30; ++g) {
        StepGeneration(size.columns, size.rows);
        StepLarger(cells.data(), decay.data(), snapshot.data(), size.columns, size.rows, life, 2);
        ASSERT_EQ(0, std::memcmp(cells.data(), Grid.LiveCells, n)) << set->name << " generation " << g + 1;
      }
    }
}

TEST_F(LargerStep, EverySetGivesThePlainBytesWhateverTheBytes) {
  // Bytes no step leaves (both life and dying bits, stray count bits,
  // decay bytes out of range, dying cells of a 2-state rule) still step
  // the same on every set, and the sums carry nothing from one field to the
  // next.
  std::mt19937 random(9);
  const std::vector<const LargerKernels*> sets = Sets();
  for (const Size& size : {Size{37, 11}, Size{64, 8}, Size{300, 7}, Size{1, 40}, Size{40, 1}})
    for (const auto& [range, shape] : {std::pair{1, 'M'}, {3, 'N'}, {4, 'C'}, {130, 'M'}})
      for (int32_t states : {2, 3, 7, 256}) {
        const size_t n = static_cast<size_t>(size.columns) * size.rows;
        std::vector<uint8_t> cells(n), decay(n);
        for (uint8_t& b : cells) b = static_cast<uint8_t>(random());
        for (uint8_t& b : decay) b = static_cast<uint8_t>(random());
        const LargerThanLife rule = RuleOf(range, shape, (random() & 1) != 0, 0.2, 0.5, 0.1, 0.6);
        std::vector<uint8_t> plainCells = cells, plainDecay = decay, snapshot(n);
        UseLargerKernels(&PlainLarger);
        StepLarger(plainCells.data(), plainDecay.data(), snapshot.data(), size.columns, size.rows, rule, states);
        for (const LargerKernels* set : sets) {
          std::vector<uint8_t> c = cells, d = decay;
          UseLargerKernels(set);
          StepLarger(c.data(), d.data(), snapshot.data(), size.columns, size.rows, rule, states);
          ASSERT_EQ(c, plainCells) << set->name << " " << RuleName(rule, states) << " " << size.columns << "x"
                                   << size.rows;
          ASSERT_EQ(d, plainDecay) << set->name << " " << RuleName(rule, states) << " " << size.columns << "x"
                                   << size.rows;
        }
      }
}

TEST_F(LargerStep, RandomRecordsOnRandomToriStepAlikeOnEverySet) {
  // Any range on any torus, bounds anywhere (negative, crossed, past the
  // neighbourhood), any number of states: every set makes the plain set's
  // bytes, and nothing is read or written out of bounds (the sanitizers
  // watch the buffers, each exactly the torus' size).
  std::mt19937 random(77);
  const std::vector<const LargerKernels*> sets = Sets();
  const char shapes[] = {'M', 'N', 'C', 'Q'};
  for (int round = 0; round < 150; ++round) {
    const int32_t columns = 1 + static_cast<int32_t>(random() % (round % 3 == 0 ? 3 : 90));
    const int32_t rows = 1 + static_cast<int32_t>(random() % (round % 5 == 0 ? 2 : 40));
    const int32_t range = round % 7 == 0 ? 1 + static_cast<int32_t>(random() % 500)
                                         : 1 + static_cast<int32_t>(random() % 20);
    const auto bound = [&] { return static_cast<int32_t>(random() % 1200) - 100; };
    const LargerThanLife rule = {range, (random() & 1) != 0, shapes[random() % 4], bound(), bound(), bound(),
                                 bound()};
    const int32_t states = static_cast<int32_t>(random() % 260);
    const size_t n = static_cast<size_t>(columns) * rows;
    std::vector<uint8_t> cells(n), decay(n);
    for (uint8_t& b : cells) b = static_cast<uint8_t>(random() % 3 == 0 ? 1 : random() % 3 == 0 ? CellDying : 0);
    for (uint8_t& b : decay) b = static_cast<uint8_t>(random());
    std::vector<std::vector<uint8_t>> results;
    for (const LargerKernels* set : sets) {
      std::vector<uint8_t> c = cells, d = decay, snapshot(n);
      UseLargerKernels(set);
      for (int g = 0; g < 2; ++g) StepLarger(c.data(), d.data(), snapshot.data(), columns, rows, rule, states);
      c.insert(c.end(), d.begin(), d.end());
      results.push_back(c);
    }
    for (size_t k = 1; k < sets.size(); ++k)
      ASSERT_EQ(results[k], results[0]) << sets[k]->name << " " << RuleName(rule, states) << " " << columns << "x"
                                        << rows;
  }
}

TEST_F(LargerStep, EmptyRangesHoldNoCount) {
  // Births from a range with low > high, and survival past the largest
  // count: nothing is born and nothing lives on, in lanes of every width.
  uint32_t seed = 40;
  for (const auto& [range, shape] : {std::pair{2, 'M'}, {20, 'M'}, {130, 'M'}, {3, 'C'}, {190, 'N'}}) {
    LargerThanLife rule = RuleOf(range, shape, false, 0.2, 0.4, 0.2, 0.5);
    rule.birthLow = rule.birthHigh + 1;
    ExpectSameGenerations(RandomField(40, 6, 3, 0.5, seed++), rule, 3, 2);
    rule = RuleOf(range, shape, true, 0.2, 0.4, 0.2, 0.5);
    rule.surviveLow = static_cast<int32_t>(NeighbourCount(rule)) + 1;
    rule.surviveHigh = rule.surviveLow + 10;
    ExpectSameGenerations(RandomField(40, 6, 2, 0.5, seed++), rule, 2, 2);
  }
}

TEST_F(LargerStep, RecordsOutOfRangeStepAsTheNearestOnes) {
  // A range past 500 steps as 500, below 1 as 1; a shape that is none as the
  // square; states below 2 as 2 and past 256 as 256; bounds past the
  // neighbourhood reach no further than it.
  const StateField f = RandomField(23, 9, 2, 0.4, 3);
  const auto stepped = [&](LargerThanLife rule, int32_t states) {
    std::vector<uint8_t> cells, decay, snapshot(f.states.size());
    Encode(f, &cells, &decay);
    StepLarger(cells.data(), decay.data(), snapshot.data(), f.columns, f.rows, rule, states);
    return cells;
  };
  const LargerThanLife base = {2, true, 'M', 5, 12, 6, 9};
  LargerThanLife rule = base;
  rule.range = 900;
  LargerThanLife nearest = base;
  nearest.range = 500;
  EXPECT_EQ(stepped(rule, 2), stepped(nearest, 2));
  rule.range = -3;
  nearest.range = 1;
  EXPECT_EQ(stepped(rule, 2), stepped(nearest, 2));
  rule = base;
  rule.shape = 'X';
  EXPECT_EQ(stepped(rule, 2), stepped(base, 2));
  EXPECT_EQ(stepped(base, -7), stepped(base, 2));
  EXPECT_EQ(stepped(base, 1000), stepped(base, 256));
  rule = base;
  rule.surviveHigh = 1 << 30;
  rule.birthLow = -5;
  nearest = base;
  nearest.surviveHigh = 25;
  nearest.birthLow = 0;
  EXPECT_EQ(stepped(rule, 2), stepped(nearest, 2));
  rule.surviveLow = 1 << 30;  // nothing lives on
  nearest.surviveLow = 26;
  nearest.surviveHigh = 26;
  EXPECT_EQ(stepped(rule, 2), stepped(nearest, 2));
}

}  // namespace
