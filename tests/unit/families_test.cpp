// Rules with dying states (Generations) and rules of the 3 x 3 block
// (non-totalistic, MAP, hexagonal, von Neumann): the engine on every kernel
// set, and on its plain path, against the plain algorithms of bench/plain.h,
// byte for byte and pixel for pixel.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/kernels.h"
#include "plain.h"
#include "test_support.h"

namespace {

class Families : public testing::Test {
 protected:
  void TearDown() override {
    UseKernels(nullptr);
    UseDyingPermutes(true);
  }
};

// A plain block rule as the engine takes it.
CellRule EngineRule(const PlainBlockRule& plain, bool counts, LifeRule life = ConwayRule) {
  CellRule rule = counts ? CellRuleOf(life) : CellRule{};
  rule.states = plain.states;
  if (!counts) {
    rule.kind = RuleMapped;
    for (uint32_t k = 0; k < 512; ++k)
      if (plain.outcome[k]) rule.map[k >> 3] |= static_cast<uint8_t>(1u << (k & 7));
  }
  std::snprintf(rule.text, sizeof rule.text, "test rule");
  return rule;
}

struct FamilyCase {
  std::string name;
  PlainBlockRule plain;
  CellRule rule;
};

// Totalistic counts over other neighbours: bit n of birth and survive for n
// live cells among those the mask of Golly's block bits names.
PlainBlockRule NeighbourCounts(uint32_t neighbours, uint16_t birth, uint16_t survive, int32_t states) {
  PlainBlockRule rule = {};
  rule.states = states;
  for (uint32_t k = 0; k < 512; ++k) {
    const int32_t n = __builtin_popcount(k & neighbours);
    rule.outcome[k] = static_cast<uint8_t>((((k >> 4 & 1) ? survive : birth) >> n) & 1);
  }
  return rule;
}

// Any table of the block that is no B0 rule (an empty block stays empty).
PlainBlockRule RandomTable(uint32_t seed, int32_t states) {
  std::mt19937 random(seed);
  PlainBlockRule rule = {};
  rule.states = states;
  for (uint8_t& outcome : rule.outcome) outcome = static_cast<uint8_t>(random() & 1);
  rule.outcome[0] = 0;
  return rule;
}

std::vector<FamilyCase> Cases() {
  std::vector<FamilyCase> cases;
  auto counts = [&](const char* name, uint16_t birth, uint16_t survive, int32_t states) {
    const PlainBlockRule plain = PlainCountsRule(birth, survive, states);
    cases.push_back({name, plain, EngineRule(plain, true, LifeRule{birth, survive})});
  };
  auto table = [&](const char* name, const PlainBlockRule& plain) {
    cases.push_back({name, plain, EngineRule(plain, false)});
  };
  counts("Brian's Brain", 0x4, 0x0, 3);
  counts("Star Wars", 0x4, 0x38, 4);
  counts("B3/S23 in 8 states", 0x8, 0xC, 8);
  counts("Xtasy", 0x6C, 0x72, 16);
  counts("B24/S1 in 256 states", 0x14, 0x2, 256);
  // Hexagonal: the Moore eight without NE (bit 6) and SW (bit 2); von
  // Neumann: N, W, E and S.
  const uint32_t hexagonal = 0x1EF & ~(1u << 6) & ~(1u << 2), vonNeumann = (1u << 7) | (1u << 5) | (1u << 3) | 2u;
  table("B2/S34H", NeighbourCounts(hexagonal, 0x4, 0x18, 2));
  table("B13/S012V", NeighbourCounts(vonNeumann, 0xA, 0x7, 2));
  table("B2/S34H in 5 states", NeighbourCounts(hexagonal, 0x4, 0x18, 5));
  table("a table", RandomTable(3, 2));
  table("another table", RandomTable(4, 2));
  table("a table in 3 states", RandomTable(5, 3));
  table("a table in 7 states", RandomTable(6, 7));
  // B3/S23 as a table: the block path must give the counts path's bytes.
  table("B3/S23 as a table", PlainCountsRule(0x8, 0xC, 2));
  return cases;
}

// A field of states: about a third alive, a fifth dying in any state.
std::vector<uint8_t> RandomStates(int32_t columns, int32_t rows, int32_t states, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> field(static_cast<size_t>(columns) * rows);
  for (uint8_t& s : field) {
    const uint32_t r = random() % 100;
    s = r < 35 ? 1 : (r < 55 && states > 2) ? static_cast<uint8_t>(2 + random() % (states - 2)) : 0;
  }
  return field;
}

// Puts a field of states into the engine's grid.
void PlaceStates(const std::vector<uint8_t>& states, int32_t columns, int32_t rows, int32_t ruleStates) {
  std::vector<uint8_t> decay(states.size());
  PlainEncodeStates(states.data(), Grid.LiveCells, decay.data(), columns, rows, ruleStates);
  std::memcpy(Grid.decay, decay.data(), decay.size());
}

// The grid's bytes equal the plain field's, and its decay plane where the
// rule keeps one (more than four states).
void ExpectGridHolds(const std::vector<uint8_t>& states, int32_t columns, int32_t rows, int32_t ruleStates,
                     const std::string& where) {
  std::vector<uint8_t> cells(states.size()), decay(states.size());
  PlainEncodeStates(states.data(), cells.data(), decay.data(), columns, rows, ruleStates);
  ASSERT_EQ(0, std::memcmp(cells.data(), Grid.LiveCells, cells.size())) << where;
  if (ruleStates > 4) {
    ASSERT_EQ(0, std::memcmp(decay.data(), Grid.decay, decay.size())) << where << " decay";
  }
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < columns; ++x)
      ASSERT_EQ(CellState(x, y, columns, rows), states[static_cast<size_t>(y) * columns + x]) << where;
}

// Steps a field with the plain rule and with the engine (every kernel set,
// and the plain path where the buffer leaves the kernels no room).
void ExpectSameStates(const FamilyCase& c, int32_t columns, int32_t rows, int generations, size_t capacity,
                      uint32_t seed) {
  std::vector<const GridKernels*> sets = EveryKernelSetAndPlain();
  for (const GridKernels* set : sets) {
    ResetEngineState(capacity);
    UseKernels(set);
    UseRule(c.rule);
    std::vector<uint8_t> states = RandomStates(columns, rows, c.plain.states, seed);
    std::vector<uint8_t> scratch(states.size());
    PlaceStates(states, columns, rows, c.plain.states);
    for (int g = 1; g <= generations; ++g) {
      PlainStepStates(states.data(), scratch.data(), columns, rows, c.plain);
      StepGeneration(columns, rows);
      ExpectGridHolds(states, columns, rows, c.plain.states,
                      c.name + " " + set->name + " " + std::to_string(columns) + "x" + std::to_string(rows) +
                          " generation " + std::to_string(g));
      if (testing::Test::HasFatalFailure()) return;
    }
  }
}

const std::pair<int32_t, int32_t> Shapes[] = {{2, 2},  {3, 5},  {1, 50}, {50, 1},  {16, 16},  {17, 4},  {33, 2},
                                              {37, 11}, {64, 64}, {65, 7}, {5, 100}, {97, 61}, {200, 150}};

TEST_F(Families, EveryFamilyStepsAsThePlainRuleOnManyShapes) {
  uint32_t seed = 1;
  for (const FamilyCase& c : Cases())
    for (auto [columns, rows] : Shapes) {
      ExpectSameStates(c, columns, rows, 30, 64 * 1024, seed++);
      if (HasFatalFailure()) return;
    }
}

TEST_F(Families, ThePlainPathStepsAsThePlainRule) {
  // A buffer of just the field leaves the kernels no room for their sums.
  uint32_t seed = 50;
  for (const FamilyCase& c : Cases())
    for (auto [columns, rows] : {std::pair{40, 3}, {64, 4}, {33, 5}}) {
      ExpectSameStates(c, columns, rows, 20, static_cast<size_t>(columns) * rows, seed++);
      if (HasFatalFailure()) return;
    }
}

TEST_F(Families, A1080pFieldStepsAsThePlainRule) {
  for (const FamilyCase& c : Cases()) {
    if (c.name != "Star Wars" && c.name != "a table in 3 states") continue;
    ExpectSameStates(c, 1920, 1080, 4, 1920 * 1080, 77);
    if (HasFatalFailure()) return;
  }
}

TEST_F(Families, BrainsBrainsDyingCellsStayOneGenerationAndAreNeverBorn) {
  // Two live cells side by side each see one live neighbour: no birth under
  // B2, no survival under S; the cells between see two and are born.
  ResetEngineState(16 * 16);
  UseRule(EngineRule(PlainCountsRule(0x4, 0x0, 3), true, LifeRule{0x4, 0x0}));
  SetCell(5, 5, 16, 16);
  SetCell(5, 7, 16, 16);
  StepGeneration(16, 16);
  EXPECT_EQ(CellState(5, 5, 16, 16), 2);
  EXPECT_EQ(CellState(5, 7, 16, 16), 2);
  EXPECT_EQ(CellState(4, 6, 16, 16), 1);
  EXPECT_EQ(CellState(5, 6, 16, 16), 1);
  EXPECT_EQ(CellState(6, 6, 16, 16), 1);
  StepGeneration(16, 16);
  // The dying cells, with two live neighbours now, are dead, not born.
  EXPECT_EQ(CellState(5, 5, 16, 16), 0);
  EXPECT_EQ(CellState(5, 7, 16, 16), 0);
  EXPECT_EQ(CellState(5, 6, 16, 16), 2);
}

// Four states of the 3 x 3 block keep a dying cell's state in its byte, on
// every set; five keep it in the decay plane.
TEST_F(Families, FourStatesLiveInTheBytesAndMoreInTheDecayPlane) {
  for (const GridKernels* set : EveryKernelSetAndPlain()) {
    for (int32_t states : {4, 5}) {
      SCOPED_TRACE(std::string(set->name) + " states " + std::to_string(states));
      ResetEngineState(64 * 8);
      UseKernels(set);
      // B/S: every live cell starts dying, none is born.
      UseRule(EngineRule(PlainCountsRule(0x0, 0x0, states), true, LifeRule{0x0, 0x0}));
      std::memset(Grid.decay, 0, 64 * 8);
      SetCellState(3, 3, 1, 64, 8);
      SetCellState(40, 5, 3, 64, 8);
      EXPECT_EQ(CellState(40, 5, 64, 8), 3);
      EXPECT_EQ((CellAt(40, 5, 64) & CellLater) != 0, states == 4);
      // The live cell's states and the dying one's, a generation at a time.
      const std::vector<std::pair<int32_t, int32_t>> expected =
          states == 4 ? std::vector<std::pair<int32_t, int32_t>>{{2, 0}, {3, 0}, {0, 0}}
                      : std::vector<std::pair<int32_t, int32_t>>{{2, 4}, {3, 0}, {4, 0}, {0, 0}};
      for (size_t g = 0; g < expected.size(); ++g) {
        StepGeneration(64, 8);
        EXPECT_EQ(CellState(3, 3, 64, 8), expected[g].first) << "generation " << g;
        EXPECT_EQ(CellState(40, 5, 64, 8), expected[g].second) << "generation " << g;
        if (g == 1) {
          EXPECT_EQ((CellAt(3, 3, 64) & CellLater) != 0, states == 4);
        }
      }
      if (states == 4) {
        for (int32_t i = 0; i < 64 * 8; ++i) ASSERT_EQ(Grid.decay[i], 0) << "cell " << i;
      }
      ASSERT_EQ(CellAt(3, 3, 64) & (CellDying | CellLater), 0);
    }
  }
}

// ---- Frames ------------------------------------------------------------------

struct StateFrame {
  int32_t surfaceWidth;
  int32_t surfaceHeight;
  int32_t columns;
  int32_t rows;
  int32_t cellSize;
  uint32_t flags;
  int32_t delay = 0;  // a paced frame streams its pixels
};

// Three frames painted and stepped by the engine and by the plain colouring,
// on a surface of noise, as the differential frames of Life-like rules are.
void ExpectSameStateFrames(const GridKernels* set, const StateFrame& f, const FamilyCase& c) {
  ResetEngineState(static_cast<size_t>(f.columns) * f.rows + 4096);
  UseRule(c.rule);
  ReleaseFrameSurface(View.Surface);
  View.Surface = CreateFrameSurface(nullptr, f.surfaceWidth, f.surfaceHeight, 32);
  UseKernels(set);
  Settings.flags = (Settings.flags & ~(FlagDigitalEffect | FlagCycleAtReset)) | f.flags;
  const auto delay = Settings.delay;
  Settings.delay = f.delay;
  Field.ResetCount = 3;
  BuildPalette();
  std::mt19937 random(f.columns * 7 + f.rows);
  for (int32_t y = 0; y < f.surfaceHeight; ++y)
    for (int32_t x = 0; x < f.surfaceWidth; ++x) *SurfacePixel(View.Surface, x, y) = random() & 0xFFFFFF;
  FrameSurface* plainSurface = CreateFrameSurface(nullptr, f.surfaceWidth, f.surfaceHeight, 32);
  for (int32_t y = 0; y < f.surfaceHeight; ++y)
    std::memcpy(SurfacePixel(plainSurface, 0, y), SurfacePixel(View.Surface, 0, y), f.surfaceWidth * 4u);
  std::vector<uint8_t> states = RandomStates(f.columns, f.rows, c.plain.states, 99);
  std::vector<uint8_t> scratch(states.size());
  PlaceStates(states, f.columns, f.rows, c.plain.states);
  for (int frame = 0; frame < 4 && !testing::Test::HasFailure(); ++frame) {
    const PlainClassicLook look = {View.Palette, ColourOffset(), (Settings.flags & FlagDigitalEffect) != 0};
    const int32_t population =
        PlainPaintStates(states.data(), c.plain.states, f.columns, f.rows, f.cellSize, plainSurface, look);
    PlainStepStates(states.data(), scratch.data(), f.columns, f.rows, c.plain);
    const std::string where = c.name + " " + set->name + " cells " + std::to_string(f.columns) + "x" +
                              std::to_string(f.rows) + " size " + std::to_string(f.cellSize) + " frame " +
                              std::to_string(frame);
    if (frame % 2 == 0) {
      EXPECT_EQ(DrawClassicFrame(f.columns, f.rows, f.cellSize), population) << where;
      StepGeneration(f.columns, f.rows);
    } else {
      Field.ClassicHistory.ResetDeadline = FakeNow + 1;  // still developing
      ClassicTick(f.columns, f.rows, f.cellSize);
      EXPECT_EQ(Field.Population, population) << where;
    }
    ExpectGridHolds(states, f.columns, f.rows, c.plain.states, where);
    for (int32_t y = 0; y < f.surfaceHeight; ++y)
      for (int32_t x = 0; x < f.surfaceWidth; ++x)
        ASSERT_EQ(*SurfacePixel(View.Surface, x, y), *SurfacePixel(plainSurface, x, y))
            << where << " pixel " << x << "," << y;
  }
  ReleaseFrameSurface(plainSurface);
  Settings.delay = delay;
}

TEST_F(Families, FramesOfDyingStatesMatchThePlainColouring) {
  const StateFrame frames[] = {
      {64, 48, 64, 48, 1, FlagCycleAtReset}, {70, 50, 64, 48, 1, 0},   {37, 23, 37, 23, 1, 0},
      {100, 70, 25, 18, 4, FlagDigitalEffect}, {100, 70, 13, 9, 8, 0}, {64, 48, 32, 24, 2, FlagCycleAtReset},
      // Wider fields than the frame, and paced frames, whose rows are
      // streamed where they start on a whole register's bytes.
      {90, 40, 100, 44, 1, 0}, {96, 40, 96, 40, 1, 0, 20}, {130, 30, 130, 30, 1, 0, 20},
  };
  // Where the CPU runs them, the AVX2 set paints with permutes and, turned
  // off, with shuffles: both are checked.
  for (bool permutes : {true, false}) {
    if (!permutes && !CpuRunsAvx512Vbmi()) continue;
    SCOPED_TRACE(permutes ? "permutes where the CPU runs them" : "no permutes");
    UseDyingPermutes(permutes);
    for (const FamilyCase& c : Cases())
      for (const GridKernels* set : EveryKernelSetAndPlain())
        for (const StateFrame& f : frames) {
          ExpectSameStateFrames(set, f, c);
          if (HasFailure()) return;
        }
  }
}

}  // namespace
