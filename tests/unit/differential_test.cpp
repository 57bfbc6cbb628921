// The engine against the plain algorithms of bench/plain.h, byte for byte and
// pixel for pixel, with every kernel set this CPU runs.
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

// Puts the CPU's own choice back after each test.
class Differential : public testing::Test {
 protected:
  void TearDown() override { UseKernels(nullptr); }
};

std::vector<uint8_t> PlainField(int32_t columns, int32_t rows, uint32_t seed) {
  std::vector<uint8_t> cells(static_cast<size_t>(columns) * rows);
  PlainFill(cells.data(), &seed, columns, rows);
  return cells;
}

std::string Where(const GridKernels* set, int32_t columns, int32_t rows, int generation) {
  return std::string(set->name) + " " + std::to_string(columns) + "x" + std::to_string(rows) + " generation " +
         std::to_string(generation);
}

// Steps the same field with the plain rule and, in lockstep, with the engine
// on every kernel set, comparing every byte after every generation.
void ExpectSameGenerations(std::vector<uint8_t> plain, int32_t columns, int32_t rows, int generations,
                           size_t capacity, LifeRule rule = ConwayRule) {
  const std::vector<const GridKernels*> sets = EveryKernelSetAndPlain();
  std::vector<CellGrid> grids;
  for (size_t i = 0; i < sets.size(); ++i) {
    ResetEngineState(capacity);
    std::memcpy(Grid.LiveCells, plain.data(), plain.size());
    grids.push_back(Grid);
    Grid = CellGrid{};
  }
  UseRule(rule);
  std::vector<uint8_t> snapshot(plain.size());
  for (int g = 1; g <= generations && !testing::Test::HasFailure(); ++g) {
    PlainStep(plain.data(), snapshot.data(), columns, rows, rule.birth, rule.survive);
    for (size_t i = 0; i < sets.size(); ++i) {
      Grid = grids[i];
      UseKernels(sets[i]);
      StepGeneration(columns, rows);
      EXPECT_EQ(0, std::memcmp(plain.data(), Grid.LiveCells, plain.size())) << Where(sets[i], columns, rows, g);
    }
  }
  for (CellGrid& grid : grids) PlatformFreeZeroed(grid.LiveCells);
  Grid = CellGrid{};
}

const std::pair<int32_t, int32_t> SmallShapes[] = {
    {2, 2},   {3, 5},   {5, 3},   {4, 4},   {2, 40},  {40, 2},  {3, 37},  {37, 3},  {4, 33},  {5, 64},
    {1, 50},  {50, 1},  {16, 16}, {17, 4},  {31, 5},  {32, 3},  {33, 2},  {47, 9},  {63, 12}, {64, 64},
    {65, 7},  {100, 5}, {5, 100}, {129, 31}, {200, 150}, {97, 61}};

TEST_F(Differential, StepMatchesThePlainRuleOnManyShapes) {
  uint32_t seed = 1;
  // A roomy buffer, so that even a few rows take the kernels.
  for (auto [columns, rows] : SmallShapes)
    ExpectSameGenerations(PlainField(columns, rows, seed++), columns, rows, 200, 64 * 1024);
}

TEST_F(Differential, StepMatchesThePlainRuleWhenTheBufferIsTight) {
  // Without room for the kernels' sums the plain path runs; same bytes.
  for (auto [columns, rows] : {std::pair{40, 3}, {64, 4}, {33, 5}})
    ExpectSameGenerations(PlainField(columns, rows, 77), columns, rows, 50, static_cast<size_t>(columns) * rows);
}

TEST_F(Differential, StepMatchesThePlainRuleOnA1080pField) {
  ExpectSameGenerations(PlainField(1920, 1080, 2024), 1920, 1080, 200, 1920 * 1080);
}

TEST_F(Differential, StepMatchesThePlainRuleOnArbitraryBytes) {
  // A field read at another size than it was made for holds any bytes; the
  // plain rule still defines the result, modulo 256.
  std::mt19937 random(5);
  for (auto [columns, rows] : {std::pair{37, 11}, {64, 8}, {45, 2}, {300, 7}, {1, 40}}) {
    std::vector<uint8_t> bytes(static_cast<size_t>(columns) * rows);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    ExpectSameGenerations(bytes, columns, rows, 3, 64 * 1024);
  }
}

// Rules drawn at random (never B0, which no field runs under), and every
// named one.
std::vector<LifeRule> SomeRules(int count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<LifeRule> rules;
  for (int i = 0; i < NamedLifeRuleCount; ++i) rules.push_back(NamedLifeRules[i].rule);
  for (int i = 0; i < count; ++i)
    rules.push_back(LifeRule{static_cast<uint16_t>(random() & 0x1FE), static_cast<uint16_t>(random() & 0x1FF)});
  rules.push_back(LifeRule{0x1FE, 0x1FF});  // every count but B0
  rules.push_back(LifeRule{0x100, 0x100});  // only the count 8, which the bytes 16 and 17 hold
  return rules;
}

std::string RuleText(LifeRule rule) {
  char text[LifeRuleTextSize];
  FormatLifeRule(rule, text, sizeof text);
  return text;
}

TEST_F(Differential, StepMatchesThePlainRuleUnderAnyLifeLikeRule) {
  uint32_t seed = 90;
  for (const LifeRule& rule : SomeRules(40, 7)) {
    SCOPED_TRACE(RuleText(rule));
    for (auto [columns, rows] : {std::pair{64, 64}, {37, 11}, {200, 150}, {5, 100}, {1, 50}, {33, 2}})
      ExpectSameGenerations(PlainField(columns, rows, seed++), columns, rows, 40, 64 * 1024, rule);
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(300 * 7);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    ExpectSameGenerations(bytes, 300, 7, 3, 64 * 1024, rule);
    if (HasFailure()) return;
  }
}

// ---- Fill ------------------------------------------------------------------

void ExpectSameFill(const GridKernels* set, int32_t columns, int32_t rows, uint32_t seed, size_t capacity) {
  ResetEngineState(capacity);
  UseKernels(set);
  std::memset(Grid.LiveCells, 0xCD, capacity);  // stale bytes of an earlier field
  uint32_t plainState = seed;
  const std::vector<uint8_t> plain = [&] {
    std::vector<uint8_t> cells(static_cast<size_t>(columns) * rows);
    PlainFill(cells.data(), &plainState, columns, rows);
    return cells;
  }();
  LcgSeed(seed);
  RandomFill(columns, rows);
  const std::string where = std::string(set->name) + " " + std::to_string(columns) + "x" + std::to_string(rows);
  ASSERT_EQ(0, std::memcmp(plain.data(), Grid.LiveCells, plain.size())) << where;
  EXPECT_EQ(plainState, Field.LcgState) << where;
  for (size_t i = plain.size(); i < capacity; ++i) ASSERT_EQ(Grid.LiveCells[i], 0xCD) << where << " byte " << i;
}

TEST_F(Differential, FillMatchesThePlainFillAndUsesAsManyValues) {
  uint32_t seed = 99;
  for (const GridKernels* set : EveryKernelSetAndPlain()) {
    for (auto [columns, rows] : SmallShapes) ExpectSameFill(set, columns, rows, seed++, 64 * 1024);
    // Draw counts that leave a remainder after the last full register.
    for (auto [columns, rows] : {std::pair{33, 3}, {35, 7}, {1001, 3}, {299, 13}})
      ExpectSameFill(set, columns, rows, seed++, 64 * 1024);
    // Row and column counts beyond the kernels' draw limit take the plain path.
    ExpectSameFill(set, 40000, 1, seed++, 40000);
    ExpectSameFill(set, 32767, 2, seed++, 65534);
    ExpectSameFill(set, 32760, 40, seed++, 32760 * 40);
    ExpectSameFill(set, 1920, 1080, seed++, 1920 * 1080);
  }
}

TEST_F(Differential, DrawnPositionsAreExactForEveryValueAndDivisor) {
  // 2^17 draws cover every generator value for x and y many times over.
  const int64_t draws = 1 << 17;
  const int32_t divisors[] = {1,    2,    3,    5,    7,    10,    100,   127,   128,   129,   255,   1000,  1023,
                              1080, 1920, 2160, 3840, 4095, 4097, 9999, 16383, 16384, 16385, 21845, 32749, 32760};
  for (const GridKernels* set : EveryWideKernelSet())
    for (int32_t d : divisors)
      for (auto [columns, rows] : {std::pair{d, 3}, {3, d}}) {
      const int32_t rowBytes = (columns + 7) / 8;
      std::vector<uint8_t> engine(static_cast<size_t>(rowBytes) * rows + 8, 0), plain(engine.size(), 0);
      uint32_t engineState = 12345u + d, plainState = engineState;
      set->markDraws(engine.data(), rowBytes, &engineState, columns, rows, draws);
      for (int64_t k = 0; k < draws; ++k) {
        const int32_t x = PlainLcgNext(&plainState) % columns;
        const int32_t y = PlainLcgNext(&plainState) % rows;
        plain[static_cast<size_t>(y) * rowBytes + x / 8] |= static_cast<uint8_t>(1 << (x % 8));
      }
      ASSERT_EQ(engine, plain) << set->name << " " << columns << "x" << rows;
      ASSERT_EQ(engineState, plainState) << set->name << " " << columns << "x" << rows;
      }
}

// ---- Classic frames ------------------------------------------------------------

struct FrameCase {
  int32_t surfaceWidth;
  int32_t surfaceHeight;  // negative: a top-down surface
  int32_t columns;
  int32_t rows;
  int32_t cellSize;
  uint32_t flags;   // settings flags besides the defaults' colour cycling
  int32_t cycle;    // timed colour cycling (0 off)
  bool anyBytes;    // a field of arbitrary bytes rather than a random fill
};

std::string Describe(const GridKernels* set, const FrameCase& c, int frame) {
  return std::string(set->name) + " surface " + std::to_string(c.surfaceWidth) + "x" +
         std::to_string(c.surfaceHeight) + " cells " + std::to_string(c.columns) + "x" + std::to_string(c.rows) +
         " size " + std::to_string(c.cellSize) + " flags " + std::to_string(c.flags) + " frame " +
         std::to_string(frame);
}

void CopyPixels(const FrameSurface* from, FrameSurface* to) {
  for (int32_t y = 0; y < (from->height < 0 ? -from->height : from->height); ++y)
    std::memcpy(SurfacePixel(to, 0, y), SurfacePixel(from, 0, y), static_cast<size_t>(from->width) * 4);
}

// Draws three frames with the engine and with the plain colouring and step on
// a surface whose old pixels are noise, so a pixel painted where it must not
// be (or not painted where it must) shows.
void ExpectSameFrames(const GridKernels* set, const FrameCase& c, LifeRule rule = ConwayRule) {
  ResetEngineState(static_cast<size_t>(c.columns) * c.rows + 4096);
  UseRule(rule);
  ReleaseFrameSurface(View.Surface);
  View.Surface = CreateFrameSurface(nullptr, c.surfaceWidth, c.surfaceHeight, 32);
  UseKernels(set);
  Settings.flags = (Settings.flags & ~(FlagDigitalEffect | FlagCycleAtReset)) | c.flags;
  Settings.cycle = c.cycle;
  Field.ResetCount = 5;
  FakeNow = 123457;
  BuildPalette();
  const int32_t height = c.surfaceHeight < 0 ? -c.surfaceHeight : c.surfaceHeight;
  std::mt19937 random(c.columns * 31 + c.rows);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < c.surfaceWidth; ++x) *SurfacePixel(View.Surface, x, y) = random() & 0xFFFFFF;
  FrameSurface* plainSurface = CreateFrameSurface(nullptr, c.surfaceWidth, c.surfaceHeight, 32);
  CopyPixels(View.Surface, plainSurface);

  std::vector<uint8_t> cells = PlainField(c.columns, c.rows, 4321);
  if (c.anyBytes)
    for (uint8_t& b : cells) b = static_cast<uint8_t>(random());
  std::memcpy(Grid.LiveCells, cells.data(), cells.size());
  std::vector<uint8_t> snapshot(cells.size());
  for (int frame = 0; frame < 3 && !testing::Test::HasFailure(); ++frame) {
    const PlainClassicLook look = {View.Palette, ColourOffset(), (Settings.flags & FlagDigitalEffect) != 0};
    const int32_t population = PlainPaintClassic(cells.data(), c.columns, c.rows, c.cellSize, plainSurface, look);
    PlainStep(cells.data(), snapshot.data(), c.columns, c.rows, rule.birth, rule.survive);
    const std::string where = Describe(set, c, frame) + " " + RuleText(rule);
    // Painted on its own and stepped after, or painted in the step's pass.
    if (frame % 2 == 0) {
      EXPECT_EQ(DrawClassicFrame(c.columns, c.rows, c.cellSize), population) << where;
      StepGeneration(c.columns, c.rows);
    } else {
      Field.ClassicHistory.ResetDeadline = FakeNow + 1;  // a developing field's deadline lies ahead
      ClassicTick(c.columns, c.rows, c.cellSize);
      EXPECT_EQ(Field.Population, population) << where;
    }
    EXPECT_EQ(0, std::memcmp(cells.data(), Grid.LiveCells, cells.size())) << where;
    for (int32_t y = 0; y < height; ++y) {
      const uint32_t* engineRow = SurfacePixel(View.Surface, 0, y);
      const uint32_t* plainRow = SurfacePixel(plainSurface, 0, y);
      if (std::memcmp(engineRow, plainRow, static_cast<size_t>(c.surfaceWidth) * 4) == 0) continue;
      for (int32_t x = 0; x < c.surfaceWidth; ++x)
        ASSERT_EQ(engineRow[x], plainRow[x]) << where << " pixel " << x << "," << y;
    }
    FakeNow += 700;
  }
  ReleaseFrameSurface(plainSurface);
}

const FrameCase FrameCases[] = {
    // one pixel per cell: exact fit, surface smaller and larger, odd sizes
    {64, 48, 64, 48, 1, FlagCycleAtReset, 0, false},
    {50, 40, 64, 48, 1, 0, 0, false},
    {70, 50, 64, 48, 1, 0, 500, false},
    {37, 23, 37, 23, 1, FlagCycleAtReset, 0, true},
    {33, -9, 33, 9, 1, 0, 0, false},
    {1920, 1080, 1920, 1080, 1, FlagCycleAtReset, 0, false},
    // blocks, with and without the digital effect, clipped at the edges
    {64, 48, 32, 24, 2, FlagDigitalEffect, 0, false},
    {100, 70, 25, 18, 4, 0, 0, false},
    {100, 70, 25, 18, 4, FlagDigitalEffect, 0, false},
    {100, 70, 13, 9, 8, FlagCycleAtReset, 0, false},
    {100, 70, 13, 9, 8, FlagDigitalEffect | FlagCycleAtReset, 0, true},
    {100, -70, 20, 20, 8, FlagDigitalEffect, 300, false},
    {100, 70, 20, 20, 8, 0, 0, false},
    {90, 50, 6, 4, 16, FlagDigitalEffect, 0, false},
    {300, 200, 2, 1, 256, FlagDigitalEffect, 0, false},
    {300, 200, 2, 1, 256, 0, 0, false},
    // frames large enough to be streamed past the caches, rows at odd addresses
    {2305, 1820, 2305, 1820, 1, FlagCycleAtReset, 0, false},
    {2305, 1820, 289, 228, 8, 0, 0, false},
};

TEST_F(Differential, ClassicFramesMatchThePlainColouringPixelForPixel) {
  for (const GridKernels* set : EveryKernelSetAndPlain())
    for (const FrameCase& c : FrameCases) {
      ExpectSameFrames(set, c);
      if (HasFailure()) return;
    }
}

TEST_F(Differential, OnePixelFramesPaintedInTheStepsPassUnderAnyRule) {
  for (const LifeRule& rule : SomeRules(6, 11))
    for (const GridKernels* set : EveryKernelSetAndPlain())
      for (const FrameCase& c : FrameCases) {
        if (c.cellSize != 1 || c.surfaceWidth > 1000) continue;
        ExpectSameFrames(set, c, rule);
        if (HasFailure()) return;
      }
}

TEST_F(Differential, AFrameThatResetsGivesThePlainFillNotTheStep) {
  // The one-pixel frame makes the next generation while it paints; when the
  // stagnation rule resets instead, the new field is the plain fill alone.
  for (const GridKernels* set : EveryKernelSetAndPlain()) {
    ResetEngineState(1920 * 1080, 640, 360);
    UseKernels(set);
    BuildPalette();
    uint32_t seed = 31;
    const std::vector<uint8_t> field = PlainField(640, 360, seed);
    std::memcpy(Grid.LiveCells, field.data(), field.size());
    Field.ClassicHistory = PopulationHistory{0, 0, 0, 0};  // deadline long past, population new
    const int32_t population = LiveCount(640, 360);
    Field.ClassicHistory.p1 = population;                  // ... and now a repeat: reset
    LcgSeed(seed);
    ClassicTick(640, 360, 1);
    EXPECT_EQ(Field.ResetCount, 1) << set->name;
    uint32_t plainState = seed;
    std::vector<uint8_t> plain(field.size());
    PlainFill(plain.data(), &plainState, 640, 360);
    EXPECT_EQ(0, std::memcmp(plain.data(), Grid.LiveCells, plain.size())) << set->name;
    // The field made ahead is gone: the next step steps the new field.
    std::vector<uint8_t> snapshot(plain.size());
    PlainStep(plain.data(), snapshot.data(), 640, 360);
    StepGeneration(640, 360);
    EXPECT_EQ(0, std::memcmp(plain.data(), Grid.LiveCells, plain.size())) << set->name;
  }
}

TEST_F(Differential, AGenerationMadeAheadIsTakenOnlyByTheSameGrid) {
  if (EveryWideKernelSet().empty()) GTEST_SKIP() << "only the wide kernels make a generation ahead";
  ResetEngineState(64 * 64);
  std::vector<uint8_t> pixels(64 * 64 * 4);
  const uint32_t live[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const FramePaint paint = {pixels.data(), 64 * 4, 64, 64, live, 0, false, false, nullptr, 0, 0, true};
  LcgSeed(8);
  RandomFill(64, 64);
  std::vector<uint8_t> plain(Grid.LiveCells, Grid.LiveCells + 64 * 64), snapshot(plain.size());
  const int32_t alive = LiveCount(64, 64);
  int32_t population = 0;
  ASSERT_TRUE(PaintFrameAndStepAhead(64, 64, paint, &population));
  EXPECT_EQ(population, alive);
  PlainStep(plain.data(), snapshot.data(), 64, 64);
  // Another size does not take it (and drops it); this one steps afresh.
  StepGeneration(32, 64);
  StepGeneration(64, 64);
  std::vector<uint8_t> expected(plain);
  PlainStep(expected.data(), snapshot.data(), 32, 64);
  PlainStep(expected.data(), snapshot.data(), 64, 64);
  EXPECT_EQ(0, std::memcmp(expected.data(), Grid.LiveCells, expected.size()));
  // A set cell drops it as well.
  ASSERT_TRUE(PaintFrameAndStepAhead(64, 64, paint, &population));
  SetCell(0, 0, 64, 64);
  std::vector<uint8_t> touched(Grid.LiveCells, Grid.LiveCells + 64 * 64);
  StepGeneration(64, 64);
  PlainStep(touched.data(), snapshot.data(), 64, 64);
  EXPECT_EQ(0, std::memcmp(touched.data(), Grid.LiveCells, touched.size()));
}

}  // namespace
