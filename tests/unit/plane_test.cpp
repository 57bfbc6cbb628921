// The unbounded plane: HashLife steps against a plain stepper under rules of
// every kind of the 3 x 3 block, the memory limit and the deadline, the
// cells in and out, the files and the zoomed-out painter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/plane.h"
#include "fakes/fakes.h"
#include "pattern/pattern.h"
#include "platform/surface.h"
#include "render/render.h"

namespace {

typedef std::set<std::pair<int64_t, int64_t>> CellSet;  // (y, x)

CellSet PlaneCells() {
  CellSet cells;
  PlaneBox box;
  if (!PlaneBounds(&box)) return cells;
  const int32_t width = static_cast<int32_t>(box.right - box.left + 1);
  const int32_t height = static_cast<int32_t>(box.bottom - box.top + 1);
  std::vector<uint8_t> bytes(static_cast<size_t>(width) * height);
  ExtractPlaneBytes(box.left, box.top, width, height, bytes.data(), static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      if (bytes[static_cast<size_t>(y) * width + x] != 0) cells.insert({box.top + y, box.left + x});
  return cells;
}

void SetCells(const CellSet& cells) {
  std::vector<PlaneCell> list;
  for (const auto& c : cells) list.push_back(PlaneCell{c.second, c.first});
  ASSERT_EQ(SetPlaneCells(list.data(), list.size()), PlaneDone);
}

CellSet Moved(const CellSet& cells, int64_t dx, int64_t dy) {
  CellSet moved;
  for (const auto& c : cells) moved.insert({c.first + dy, c.second + dx});
  return moved;
}

// A soup of `side` x `side` cells around (x, y), the same for a seed.
CellSet Soup(int32_t side, uint32_t seed, int64_t x = 0, int64_t y = 0) {
  CellSet cells;
  for (int32_t row = 0; row < side; ++row)
    for (int32_t column = 0; column < side; ++column) {
      seed = seed * 1103515245u + 12345u;
      if ((seed >> 16 & 3) == 0) cells.insert({y + row, x + column});
    }
  return cells;
}

// One generation of a rule of the 3 x 3 block, cell by cell.
CellSet PlainStep(const CellSet& cells, const CellRule& rule) {
  CellSet candidates, next;
  for (const auto& c : cells)
    for (int64_t dy = -1; dy <= 1; ++dy)
      for (int64_t dx = -1; dx <= 1; ++dx) candidates.insert({c.first + dy, c.second + dx});
  for (const auto& c : candidates) {
    uint32_t k = 0;
    for (int64_t dy = -1; dy <= 1; ++dy)
      for (int64_t dx = -1; dx <= 1; ++dx) k = k << 1 | (cells.count({c.first + dy, c.second + dx}) ? 1u : 0u);
    if (MapOutcome(rule, k)) next.insert(c);
  }
  return next;
}

// A rule from the outcome of each neighbourhood (see CellRule::map).
template <class Outcome>
CellRule MappedRule(RuleNeighbours neighbours, Outcome outcome) {
  CellRule rule = CellRuleOf(ConwayRule);
  rule.kind = RuleMapped;
  rule.neighbours = neighbours;
  rule.totalistic = false;
  std::memset(rule.map, 0, sizeof rule.map);
  for (uint32_t k = 0; k < 512; ++k)
    if (outcome(k)) rule.map[k >> 3] |= static_cast<uint8_t>(1u << (k & 7));
  std::strcpy(rule.text, "MAPtest");
  return rule;
}

// B2/S34H: the six neighbours without NE (bit 6) and SW (bit 2).
CellRule HexagonalRule() {
  return MappedRule(NeighboursHexagonal, [](uint32_t k) {
    const int n = __builtin_popcount(k & 0x1ABu);
    return (k & 0x10u) != 0 ? (n == 3 || n == 4) : n == 2;
  });
}

// Non-totalistic: outcomes drawn at random, an empty neighbourhood staying empty.
CellRule DrawnRule() {
  uint32_t seed = 7;
  return MappedRule(NeighboursMoore, [&seed](uint32_t k) {
    seed = seed * 1103515245u + 12345u;
    return k != 0 && (seed >> 16) % 3 == 0;
  });
}

class PlaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeClockReset(1000);
    SetPlaneMemoryLimit(PlaneMemoryDefaultMb);
    ASSERT_TRUE(ClearPlane(CellRuleOf(ConwayRule)));
  }
  void TearDown() override { ReleasePlane(); }
};

const CellSet Glider = {{0, 1}, {1, 2}, {2, 0}, {2, 1}, {2, 2}};

TEST_F(PlaneTest, GliderAndBlinkerMoveAndTurnAsLifeHasThem) {
  SetCells(Moved(Glider, -3, 5));
  ASSERT_EQ(StepPlane(2, false, 0), PlaneDone);
  EXPECT_EQ(PlaneCells(), Moved(Glider, -2, 6));
  EXPECT_EQ(Plane.generation, 4u);
  // One generation at a time after four at once: the memoised results start anew.
  for (int k = 0; k < 4; ++k) ASSERT_EQ(StepPlane(0, false, 0), PlaneDone);
  EXPECT_EQ(PlaneCells(), Moved(Glider, -1, 7));
  // 2^10 generations: 256 diagonal cells on.
  ASSERT_EQ(StepPlane(10, false, 0), PlaneDone);
  EXPECT_EQ(PlaneCells(), Moved(Glider, -1 + 256, 7 + 256));
  EXPECT_EQ(PlanePopulation(), 5u);
  EXPECT_EQ(Plane.generation, 8u + 1024u);

  ASSERT_TRUE(ClearPlane(CellRuleOf(ConwayRule)));
  SetCells({{0, -1}, {0, 0}, {0, 1}});
  ASSERT_EQ(StepPlane(0, false, 0), PlaneDone);
  EXPECT_EQ(PlaneCells(), CellSet({{-1, 0}, {0, 0}, {1, 0}}));
  PlaneBox box;
  ASSERT_TRUE(PlaneBounds(&box));
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.right, 0);
  EXPECT_EQ(box.top, -1);
  EXPECT_EQ(box.bottom, 1);
  ASSERT_EQ(StepPlane(5, false, 0), PlaneDone);  // an even number of generations
  EXPECT_EQ(PlaneCells(), CellSet({{-1, 0}, {0, 0}, {1, 0}}));
  // Back to one generation: the same nodes again, with what 2^5 left memoised.
  ASSERT_EQ(StepPlane(0, false, 0), PlaneDone);
  EXPECT_EQ(PlaneCells(), CellSet({{0, -1}, {0, 0}, {0, 1}}));
}

TEST_F(PlaneTest, EveryKindOfRuleStepsAsThePlainStepper) {
  LifeRule highLife;
  ASSERT_EQ(ParseLifeRule("B36/S23", 7, &highLife), RuleOk);
  const CellRule rules[] = {CellRuleOf(ConwayRule), CellRuleOf(highLife), HexagonalRule(), DrawnRule()};
  for (const CellRule& rule : rules) {
    for (int32_t stepLog = 0; stepLog <= 3; ++stepLog) {
      SCOPED_TRACE(std::string(rule.text) + " step 2^" + std::to_string(stepLog));
      ASSERT_TRUE(ClearPlane(rule));
      // Across the origin, where the root's quadrants meet.
      CellSet expected = Soup(24, 99 + static_cast<uint32_t>(stepLog), -12, -9);
      SetCells(expected);
      for (int32_t step = 0; step < 3; ++step) {
        ASSERT_EQ(StepPlane(stepLog, false, 0), PlaneDone);
        for (int32_t g = 0; g < (1 << stepLog); ++g) expected = PlainStep(expected, rule);
        ASSERT_EQ(PlaneCells(), expected) << "after step " << step;
        ASSERT_EQ(PlanePopulation(), expected.size());
      }
    }
  }
}

TEST_F(PlaneTest, ANewRuleKeepsTheCellsAndNoneOfTheOldResults) {
  // Blocks, which Life keeps as they are: the nodes holding them are the
  // same after the first step, with Life's results memoised.
  CellSet expected;
  for (int64_t x : {-40, -8, 24})
    for (int64_t y : {-40, 24}) expected.insert({{y, x}, {y, x + 1}, {y + 1, x}, {y + 1, x + 1}});
  SetCells(expected);
  const CellRule life = CellRuleOf(ConwayRule), hexagonal = HexagonalRule();
  ASSERT_EQ(StepPlane(2, false, 0), PlaneDone);
  for (int32_t g = 0; g < 4; ++g) expected = PlainStep(expected, life);
  // The same step size under another rule: what Life worked out must not be reused.
  ASSERT_TRUE(UsePlaneRule(hexagonal));
  ASSERT_EQ(PlaneCells(), expected);
  ASSERT_EQ(StepPlane(2, false, 0), PlaneDone);
  for (int32_t g = 0; g < 4; ++g) expected = PlainStep(expected, hexagonal);
  EXPECT_EQ(PlaneCells(), expected);
  ASSERT_TRUE(UsePlaneRule(life));
  ASSERT_EQ(StepPlane(2, false, 0), PlaneDone);
  for (int32_t g = 0; g < 4; ++g) expected = PlainStep(expected, life);
  EXPECT_EQ(PlaneCells(), expected);
  EXPECT_EQ(Plane.generation, 12u);
}

TEST_F(PlaneTest, RulesThePlaneCannotRunAreRefused) {
  LifeRule b0 = {0x9, 0xC};
  EXPECT_FALSE(PlaneRunsRule(CellRuleOf(b0)));
  CellRule generations = CellRuleOf(ConwayRule);
  generations.states = 3;
  EXPECT_FALSE(PlaneRunsRule(generations));
  CellRule larger = CellRuleOf(ConwayRule);
  larger.kind = RuleLarger;
  EXPECT_FALSE(PlaneRunsRule(larger));
  SetCells(Glider);
  EXPECT_FALSE(ClearPlane(generations));
  EXPECT_FALSE(UsePlaneRule(CellRuleOf(b0)));
  EXPECT_EQ(PlaneCells(), Glider);  // as it was
  EXPECT_EQ(StepPlane(-1, false, 0), PlaneRefused);
  EXPECT_EQ(StepPlane(PlaneMaxStepLog + 1, false, 0), PlaneRefused);
}

TEST_F(PlaneTest, CellsFarApartAndOverlappingSetsAreKept) {
  const int64_t far = int64_t{1} << 40;
  const CellSet cells = {{-far, 5}, {3, far}, {3, far}, {-7, -far - 1}, {far, -2}};
  SetCells(cells);
  SetCells({{0, 0}, {3, far}});
  PlaneBox box;
  ASSERT_TRUE(PlaneBounds(&box));
  EXPECT_EQ(box.left, -far - 1);
  EXPECT_EQ(box.right, far);
  EXPECT_EQ(box.top, -far);
  EXPECT_EQ(box.bottom, far);
  EXPECT_EQ(PlanePopulation(), 5u);
  // Bits from an unaligned corner: (far, 3) is bit 2 of byte 1.
  uint8_t bits[2 * 3] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  ExtractPlaneBits(far - 10, 2, 13, 2, bits, 3);
  EXPECT_EQ(bits[0], 0);
  EXPECT_EQ(bits[1], 0);
  EXPECT_EQ(bits[2], 0xFF);  // past the row: left alone
  EXPECT_EQ(bits[3], 0);
  EXPECT_EQ(bits[4], 1u << 2);
  EXPECT_EQ(bits[5], 0xFF);

  const PlaneCell tooFar = {int64_t{1} << 61, 0};
  EXPECT_EQ(SetPlaneCells(&tooFar, 1), PlaneTooFar);
  EXPECT_EQ(PlanePopulation(), 5u);
  // Far patterns step too: the two blocks sit still.
  ASSERT_TRUE(ClearPlane(CellRuleOf(ConwayRule)));
  const CellSet blocks = {{far, far}, {far, far + 1}, {far + 1, far}, {far + 1, far + 1},
                          {-far, -far}, {-far, -far + 1}, {-far + 1, -far}, {-far + 1, -far + 1}};
  SetCells(blocks);
  ASSERT_EQ(StepPlane(30, false, 0), PlaneDone);
  EXPECT_EQ(PlanePopulation(), 8u);
  for (int64_t corner : {far, -far}) {
    uint8_t bytes[4 * 4];
    ExtractPlaneBytes(corner - 1, corner - 1, 4, 4, bytes, 4);
    const uint8_t block[16] = {0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes, block, sizeof block), 0) << corner;
  }
}

TEST_F(PlaneTest, ACollectionMidRunKeepsTheResultsRightAndTheMemoryUnderTheLimit) {
  // The same run with room to spare and in the smallest store.
  const CellSet soup = Soup(400, 5);
  SetCells(soup);
  std::vector<uint64_t> roomy;
  for (int32_t step = 0; step < 6; ++step) {
    ASSERT_EQ(StepPlane(7, false, 0), PlaneDone);
    roomy.push_back(PlanePopulation());
  }
  const CellSet finalCells = PlaneCells();
  ReleasePlane();
  SetPlaneMemoryLimit(PlaneMemoryMinimumMb);
  ASSERT_TRUE(ClearPlane(CellRuleOf(ConwayRule)));
  SetCells(soup);
  for (int32_t step = 0; step < 6; ++step) {
    ASSERT_EQ(StepPlane(7, false, 0), PlaneDone) << "step " << step;
    EXPECT_EQ(PlanePopulation(), roomy[step]) << "step " << step;
    EXPECT_LE(Plane.memoryUsed, size_t{PlaneMemoryMinimumMb} << 20);
  }
  EXPECT_GT(Plane.collections, 0u);
  EXPECT_EQ(PlaneCells(), finalCells);
}

TEST_F(PlaneTest, AStepBeyondTheLimitFailsAndLeavesThePatternAsItWas) {
  ReleasePlane();
  SetPlaneMemoryLimit(PlaneMemoryMinimumMb);
  ASSERT_TRUE(ClearPlane(CellRuleOf(ConwayRule)));
  SetCells(Soup(1200, 5));
  const uint64_t population = PlanePopulation();
  EXPECT_EQ(StepPlane(10, false, 0), PlaneNoMemory);
  EXPECT_EQ(PlanePopulation(), population);
  EXPECT_EQ(Plane.generation, 0u);
  EXPECT_LE(Plane.memoryUsed, size_t{PlaneMemoryMinimumMb} << 20);
  // A smaller step still goes.
  EXPECT_EQ(StepPlane(0, false, 0), PlaneDone);
  EXPECT_EQ(Plane.generation, 1u);
}

TEST_F(PlaneTest, AStepPastItsDeadlineStopsAndKeepsItsWork) {
  const CellSet soup = Soup(300, 11);
  SetCells(soup);
  ASSERT_EQ(StepPlane(8, false, 0), PlaneDone);
  const CellSet expected = PlaneCells();
  const uint64_t fullWork = Plane.computed;

  ASSERT_TRUE(ClearPlane(CellRuleOf(ConwayRule)));
  SetCells(soup);
  Plane.computed = 0;
  EXPECT_EQ(StepPlane(8, true, FakeNow), PlaneOverran);  // the deadline is now
  EXPECT_EQ(Plane.generation, 0u);
  EXPECT_EQ(PlaneCells(), soup);
  const uint64_t before = Plane.computed;
  EXPECT_GT(before, 0u);
  // Again with time to spare: it finishes with less left to work out.
  ASSERT_EQ(StepPlane(8, true, FakeNow + 50), PlaneDone);
  EXPECT_EQ(PlaneCells(), expected);
  EXPECT_EQ(Plane.generation, 256u);
  EXPECT_LT(Plane.computed - before, fullWork);
}

TEST_F(PlaneTest, WrittenPatternsReadBack) {
  SetCells(Soup(60, 21, -100, 37));
  ASSERT_EQ(StepPlane(5, false, 0), PlaneDone);
  const CellSet cells = PlaneCells();
  PlaneBox box;
  ASSERT_TRUE(PlaneBounds(&box));

  std::string macrocell;
  ASSERT_TRUE(WritePlaneMacrocell(&macrocell, 1 << 20));
  EXPECT_EQ(macrocell.compare(0, 19, "[M2] (tumbra)\n#R B3"), 0) << macrocell.substr(0, 40);
  EXPECT_NE(macrocell.find("\n#G 32\n"), std::string::npos);
  ASSERT_TRUE(ClearPlane(CellRuleOf(ConwayRule)));
  ASSERT_EQ(LoadPlaneMacrocell(macrocell.data(), macrocell.size()), PlaneDone);
  EXPECT_EQ(PlaneCells(), cells);
  EXPECT_EQ(Plane.generation, 32u);

  std::string rle = "keep: ";
  ASSERT_TRUE(WritePlaneRle(&rle, 1 << 20));
  ASSERT_EQ(rle.compare(0, 6, "keep: "), 0);
  rle.erase(0, 6);
  char pos[80];
  std::snprintf(pos, sizeof pos, "#CXRLE Pos=%lld,%lld Gen=32\n", static_cast<long long>(box.left),
                static_cast<long long>(box.top));
  EXPECT_EQ(rle.compare(0, std::strlen(pos), pos), 0) << rle.substr(0, 60);
  PatternCells read;
  ASSERT_TRUE(ReadRle(rle.data(), rle.size(), &read));
  CellSet back;
  for (const PatternCell& c : read.cells) back.insert({box.top + c.y, box.left + c.x});
  EXPECT_EQ(back, cells);
  EXPECT_EQ(read.width, box.right - box.left + 1);
  for (size_t start = 0, end; (end = rle.find('\n', start)) != std::string::npos; start = end + 1)
    EXPECT_LE(end - start, 70u);

  // Too little room: nothing is written.
  std::string small = "x";
  EXPECT_FALSE(WritePlaneRle(&small, 100));
  EXPECT_FALSE(WritePlaneMacrocell(&small, 100));
  EXPECT_EQ(small, "x");
}

TEST_F(PlaneTest, MacrocellFilesAreReadWhereGollyPutsThemAndBrokenOnesRefused) {
  // A glider in the south-east quadrant's first leaf, which starts at (0, 0).
  const std::string good = "[M2] (golly 3.3)\r\n#R B3/S23\n#G 12\n#C a comment\n.*$..*$***$\n4 1 0 0 0\n5 0 0 0 2\n";
  ASSERT_EQ(LoadPlaneMacrocell(good.data(), good.size()), PlaneDone);
  EXPECT_EQ(PlaneCells(), Glider);
  EXPECT_EQ(Plane.generation, 12u);
  // A lone leaf is the root, centred.
  const std::string leaf = "[M2]\n$$$$****$\n";
  ASSERT_EQ(LoadPlaneMacrocell(leaf.data(), leaf.size()), PlaneDone);
  EXPECT_EQ(PlaneCells(), CellSet({{0, -4}, {0, -3}, {0, -2}, {0, -1}}));

  const char* const broken[] = {
      "",
      "#R B3/S23\n*$\n",                             // no [M2]
      "[M2]\n",                                      // no node
      "[M2]\n*$\n4 0 0 0 2\n",                       // a node not yet made
      "[M2]\n*$\n5 0 0 0 1\n",                       // a child of the wrong level
      "[M2]\n*$\n3 0 0 0 1\n",                       // a node of leaf level
      "[M2]\n*$\n4 0 0 0\n",                         // three children
      "[M2]\n*$\n4 0 0 0 1 1\n",                     // six numbers
      "[M2]\n*$\n4 0 0 0 1x\n",                      // after the number
      "[M2]\n*$\n4 0 0 0 99999999999999999999999\n", // past 64 bits
      "[M2]\n*********$\n",                          // nine cells in a row
      "[M2]\n$$$$$$$$*$\n",                          // a ninth row
      "[M2]\n*o$\n",                                 // not a leaf character
      "[M2]\n#R B3/S23/5\n*$\n",                     // more than two states
      "[M2]\n#R B03/S23\n*$\n",                      // birth on nothing
      "[M2]\n#R banana\n*$\n",                       // not a rule
      "[M2]\n#G 18446744073709551616\n*$\n",         // a generation past 64 bits
      "[M2]\n#G 12a\n*$\n",
      "[M2]\n*$\n61 0 0 0 0\n",                      // too high to step
      "[M2]\n1 0 0 0 1\n",                           // a multi-state leaf
  };
  SetCells(Moved(Glider, 50, 50));
  const CellSet before = PlaneCells();
  for (const char* text : broken) {
    EXPECT_EQ(LoadPlaneMacrocell(text, std::strlen(text)), PlaneRefused) << text;
    EXPECT_EQ(PlaneCells(), before) << text;
  }
  EXPECT_EQ(LoadPlaneMacrocell(good.data(), 14), PlaneRefused);  // cut off before the nodes
}

TEST_F(PlaneTest, AMacrocellLoadBeyondTheLimitFailsCleanly) {
  ReleasePlane();
  SetPlaneMemoryLimit(PlaneMemoryMinimumMb);
  ASSERT_TRUE(ClearPlane(CellRuleOf(ConwayRule)));
  SetCells(Glider);
  // A million different leaves, each once.
  std::string text = "[M2]\n";
  for (uint32_t k = 1; k <= 1000000; ++k) {
    for (int32_t row = 0; row < 3; ++row) {
      const uint32_t bits = k >> (7 * row) & 0x7F;
      for (int32_t b = 0; b < 7; ++b) text += (bits >> b & 1) != 0 ? '*' : '.';
      text += '$';
    }
    text += '\n';
  }
  EXPECT_EQ(LoadPlaneMacrocell(text.data(), text.size()), PlaneNoMemory);
  EXPECT_EQ(PlaneCells(), Glider);
  EXPECT_LE(Plane.memoryUsed, size_t{PlaneMemoryMinimumMb} << 20);
}

TEST_F(PlaneTest, TheZoomedOutPainterShadesPixelsByTheirCount) {
  // A full 2 x 2 block, one cell, and three cells, at zoom 1.
  SetCells({{0, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 4}, {2, 2}, {3, 2}, {3, 3}});
  FrameSurface* surface = CreateFrameSurface(nullptr, 8, 4, 32);
  const uint32_t dead = 0x102030, live = 0xF0E0D0;
  const PixelRect area = {1, 0, 6, 4};
  *SurfacePixel(surface, 0, 0) = 0x777777;
  EXPECT_EQ(PaintPlaneZoomedOut(surface, area, -2, -1, 1, dead, live), 3);
  EXPECT_EQ(*SurfacePixel(surface, 0, 0), 0x777777u);  // outside the area
  // Pixel (1 + k, j) shows cells from (-2 + 2k, -2 + 2j): the origin is floored.
  EXPECT_EQ(*SurfacePixel(surface, 2, 1), live);
  const uint32_t quarter = 0x102030 + 0x38 * 0x10000 + 0x30 * 0x100 + 0x28;  // a quarter of the way
  EXPECT_EQ(*SurfacePixel(surface, 4, 1), quarter);
  const uint32_t three = *SurfacePixel(surface, 3, 2);
  EXPECT_GT(three & 0xFF0000, quarter & 0xFF0000);
  EXPECT_LT(three & 0xFF0000, live & 0xFF0000);
  EXPECT_EQ(*SurfacePixel(surface, 1, 0), dead);
  EXPECT_EQ(*SurfacePixel(surface, 6, 3), dead);
  // A root far smaller than a pixel lights the pixels its quadrants fall in.
  EXPECT_EQ(PaintPlaneZoomedOut(surface, PixelRect{0, 0, 8, 4}, -(int64_t{1} << 40) * 3, -(int64_t{1} << 40), 40,
                                dead, live),
            1);
  EXPECT_NE(*SurfacePixel(surface, 3, 1), dead);
  EXPECT_EQ(*SurfacePixel(surface, 2, 1), dead);
  // Painting leaves the plane as it was.
  EXPECT_EQ(Plane.generation, 0u);
  EXPECT_EQ(PlanePopulation(), 8u);
  ReleaseFrameSurface(surface);
}

// The colour of a pixel over `count` live cells at the zoom, from a plane
// holding just those cells.
std::vector<uint32_t> ShadesByCount(int32_t zoom, uint32_t dead, uint32_t live) {
  FrameSurface* one = CreateFrameSurface(nullptr, 1, 1, 32);
  const int32_t side = 1 << zoom;
  std::vector<uint32_t> shades(1, dead);
  for (int32_t count = 1; count <= side * side; ++count) {
    EXPECT_TRUE(ClearPlane(CellRuleOf(ConwayRule)));
    CellSet cells;
    for (int32_t k = 0; k < count; ++k) cells.insert({k / side, k % side});
    SetCells(cells);
    PaintPlaneZoomedOut(one, PixelRect{0, 0, 1, 1}, 0, 0, zoom, dead, live);
    shades.push_back(*SurfacePixel(one, 0, 0));
  }
  ReleaseFrameSurface(one);
  return shades;
}

TEST_F(PlaneTest, EveryPixelShowsTheCountUnderItHoweverThePainterKeepsSquares) {
  const uint32_t dead = 0x000010, live = 0x40FF80;
  FrameSurface* surface = CreateFrameSurface(nullptr, 150, 70, 32);
  for (int32_t zoom = 1; zoom <= 3; ++zoom) {
    const std::vector<uint32_t> shades = ShadesByCount(zoom, dead, live);
    for (uint32_t seed : {3u, 4u}) {
      // Another pattern in a cleared store: the same node numbers stand for other squares.
      ASSERT_TRUE(ClearPlane(CellRuleOf(ConwayRule)));
      CellSet cells = Soup(300, seed, -150, -100);
      for (int32_t k = 0; k < 64; ++k) cells.insert({-90 + k % 8, 40 + k / 8});  // a full 8 x 8 square
      SetCells(cells);
      const int64_t cellX = -517, cellY = -211;
      const int32_t side = 1 << zoom;
      const int64_t lit = PaintPlaneZoomedOut(surface, PixelRect{0, 0, 150, 70}, cellX, cellY, zoom, dead, live);
      int64_t counted = 0;
      for (int32_t y = 0; y < 70; ++y)
        for (int32_t x = 0; x < 150; ++x) {
          const int64_t left = (cellX >> zoom) * side + x * side, top = (cellY >> zoom) * side + y * side;
          int32_t count = 0;
          for (int32_t dy = 0; dy < side; ++dy)
            for (int32_t dx = 0; dx < side; ++dx) count += cells.count({top + dy, left + dx}) ? 1 : 0;
          counted += count > 0;
          ASSERT_EQ(*SurfacePixel(surface, x, y), shades[count]) << "zoom " << zoom << " pixel " << x << "," << y;
        }
      EXPECT_EQ(lit, counted);
    }
  }
  ReleaseFrameSurface(surface);
}

}  // namespace
