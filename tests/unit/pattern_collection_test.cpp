#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>


#include <cstring>

#include "gzip_text.h"
#include "host/options.h"
#include "test_support.h"

namespace {

// A folder of pattern files for one test, removed after it.
class PatternCollectionTest : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/tumbra-patterns-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    folder = name;
    ResetEngineState(64 * 64);
    LcgSeed(7);
  }
  void TearDown() override {
    const std::string command = "rm -rf '" + folder + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  void Write(const std::string& name, const std::string& text) {
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos) mkdir((folder + "/" + name.substr(0, slash)).c_str(), 0755);
    std::ofstream(folder + "/" + name, std::ios::binary) << text;
  }
  // The collection of the shapes below, with files to pass over among them.
  void WriteCollection() {
    Write("glider.rle", "#N Glider\nx = 3, y = 3, rule = B3/S23\nbo$2bo$3o!\n");
    Write("blinker.cells", "!Name: Blinker\nOOO\n");
    Write("replicator.rle", "#N Replicator\nx = 5, y = 5, rule = B36/S23\n2b3o$bo2bo$o3bo$o2bo$3o!\n");
    Write("sub/r-pentomino.lif", "#Life 1.06\n1 0\n2 0\n0 1\n1 1\n1 2\n");
    Write("broken.rle", "x = 3, y = 3\nbo$2bo$3o\n");           // no '!'
    Write("b0.rle", "x = 1, y = 1, rule = B0/S8\no!\n");         // a rule that cannot run
    Write("wide.rle", "#N Wide\nx = 100, y = 1\n100o!\n");       // fits no 64 x 64 field
    Write("notes.md", "OOO\n");                                   // not a pattern file's name
    Write(".hidden.rle", "x = 1, y = 1\no!\n");
  }
  std::string folder;
};

std::vector<std::string> LiveRows(int32_t columns, int32_t rows) {
  std::vector<std::string> picture;
  for (int32_t y = 0; y < rows; ++y) {
    std::string row;
    for (int32_t x = 0; x < columns; ++x) row += (CellAt(x, y, columns) & 1) ? 'O' : '.';
    picture.push_back(row);
  }
  return picture;
}

TEST_F(PatternCollectionTest, IndexingListsPatternFilesByNameAndReadsNone) {
  WriteCollection();
  AddPatternFolder(folder.c_str());
  std::set<std::string> names;
  for (const PatternEntry& e : PatternCollection.entries) {
    names.insert(PatternCollection.paths.data() + e.path + folder.size() + 1);
    EXPECT_EQ(e.width, 0);
  }
  EXPECT_EQ(names, (std::set<std::string>{"glider.rle", "blinker.cells", "replicator.rle", "sub/r-pentomino.lif",
                                          "broken.rle", "b0.rle", "wide.rle"}));
  AddPatternFile((folder + "/notes.md").c_str());  // a file given by name is taken as it is
  EXPECT_EQ(PatternCollection.entries.size(), 8u);
  AddPatternFolder((folder + "/none").c_str());  // no folder: nothing added
  EXPECT_EQ(PatternCollection.entries.size(), 8u);
}

// Every pattern that fits shows once a round, in an order the seed gives;
// files that cannot be read or fit are passed over, and a bad one is read
// only once.
TEST_F(PatternCollectionTest, ARoundShowsEachPatternOnceAndPassesOverTheRest) {
  WriteCollection();
  AddPatternFolder(folder.c_str());
  PatternCells pattern;
  PatternPlacement placement;
  std::vector<std::string> shown;
  for (int k = 0; k < 8; ++k) {
    ASSERT_TRUE(DrawPattern(64, 64, &pattern, &placement));
    shown.push_back(pattern.name);
  }
  const std::set<std::string> all = {"Glider", "Blinker", "Replicator", "r-pentomino"};
  EXPECT_EQ(std::set<std::string>(shown.begin(), shown.begin() + 4), all);
  EXPECT_EQ(std::set<std::string>(shown.begin() + 4, shown.end()), all);
  int unusable = 0;
  for (const PatternEntry& e : PatternCollection.entries) unusable += e.unusable;
  EXPECT_EQ(unusable, 2);  // broken and B0
  // The wide one stays in the collection: a larger field shows it.
  bool wide = false;
  for (int k = 0; k < 5 && !wide; ++k) {
    ASSERT_TRUE(DrawPattern(128, 8, &pattern, &placement));
    wide = std::string(pattern.name) == "Wide";
  }
  EXPECT_TRUE(wide);

  // The same seed, the same order.
  std::vector<std::string> again;
  ClearPatternCollection();
  AddPatternFolder(folder.c_str());
  LcgSeed(7);
  for (int k = 0; k < 4; ++k) {
    ASSERT_TRUE(DrawPattern(64, 64, &pattern, &placement));
    again.push_back(pattern.name);
  }
  EXPECT_EQ(again, std::vector<std::string>(shown.begin(), shown.begin() + 4));
}

TEST_F(PatternCollectionTest, NothingToDrawWhenNoFileFitsOrReads) {
  PatternCells pattern;
  PatternPlacement placement;
  EXPECT_FALSE(DrawPattern(64, 64, &pattern, &placement));
  Write("wide.rle", "x = 100, y = 1\n100o!\n");
  Write("broken.cells", "OOX\n");
  AddPatternFolder(folder.c_str());
  EXPECT_FALSE(DrawPattern(64, 64, &pattern, &placement));
  EXPECT_FALSE(DrawPattern(64, 64, &pattern, &placement));
}

TEST_F(PatternCollectionTest, FilesOverTheSizeLimitAreRefusedUnread) {
  std::string big = "x = 1, y = 1\no!\n";
  big.resize(PatternFileLimit + 1, '\n');
  Write("big.rle", big);
  PatternCells pattern;
  EXPECT_FALSE(ReadPatternFile((folder + "/big.rle").c_str(), &pattern));
  big.resize(PatternFileLimit);
  Write("big.rle", big);
  EXPECT_TRUE(ReadPatternFile((folder + "/big.rle").c_str(), &pattern));
  EXPECT_FALSE(ReadPatternFile((folder + "/none.rle").c_str(), &pattern));
}

// The R-pentomino in each of its eight orientations, centred on a 7 x 6
// field (a 3 x 3 box: one column and one row more on the right and below).
TEST(PatternPlacement, EightOrientationsCentred) {
  ResetEngineState(7 * 6);
  PatternCells r;
  const std::string text = "x = 3, y = 3\nb2o$2o$bo!\n";  // .OO / OO. / .O.
  ASSERT_TRUE(ReadRle(text.data(), text.size(), &r));
  const std::map<int, std::vector<std::string>> expected = {
      {0, {".OO", "OO.", ".O."}}, {1, {"OO.", ".OO", ".O."}}, {2, {".O.", "OO.", ".OO"}},
      {3, {".O.", ".OO", "OO."}}, {4, {".O.", "OOO", "O.."}}, {5, {".O.", "OOO", "..O"}},
      {6, {"O..", "OOO", ".O."}}, {7, {"..O", "OOO", ".O."}},
  };
  for (const auto& [orientation, rows] : expected) {
    const PatternPlacement at = CentrePattern(3, 3, orientation, 7, 6);
    EXPECT_EQ(at.orientation, orientation);
    EXPECT_EQ(at.x, 2);
    EXPECT_EQ(at.y, 1);
    SetPatternCells(r, at, 7, 6);
    std::vector<std::string> field(6, ".......");
    for (int y = 0; y < 3; ++y) field[1 + y].replace(2, 3, rows[y]);
    EXPECT_EQ(LiveRows(7, 6), field) << "orientation " << orientation;
    EXPECT_EQ(LiveCount(7, 6), 5);
  }
}

TEST(PatternPlacement, APatternIsTurnedToFitAndNeverCropped) {
  EXPECT_TRUE(PatternFits(10, 3, 5, 12));
  EXPECT_FALSE(PatternFits(10, 13, 12, 12));
  EXPECT_TRUE(PatternFits(12, 12, 12, 12));
  const PatternPlacement turned = CentrePattern(10, 3, 2, 5, 12);
  EXPECT_EQ(turned.orientation, 6);
  EXPECT_EQ(turned.x, 1);
  EXPECT_EQ(turned.y, 1);
  EXPECT_EQ(CentrePattern(10, 3, 5, 12, 12).orientation, 5);  // fits as drawn
}

// A new field from the collection: the pattern alone, under its file's rule
// (Conway's where it names none, whatever rule is set), named; alternately
// with random fields; random, under the set rule, when nothing fits.
TEST_F(PatternCollectionTest, NewFieldsFromTheCollection) {
  Write("replicator.rle", "#N Replicator\nx = 5, y = 5, rule = B36/S23\n2b3o$bo2bo$o3bo$o2bo$3o!\n");
  Write("glider.cells", "!Name: Glider\n.O\n..O\nOOO\n");
  AddPatternFolder(folder.c_str());
  Settings.start = StartPatterns;
  Settings.plane = 0;            // the torus's fields; the plane's are tested on their own
  Settings.birth = 0x8 | 0x100;  // B38/S23: the rule set, for files without their own
  std::map<std::string, LifeRule> rules;
  for (int k = 0; k < 2; ++k) {
    ResetField(64, 64);
    EXPECT_EQ(LiveCount(64, 64), std::string(Field.PatternName) == "Glider" ? 5 : 12) << Field.PatternName;
    rules[Field.PatternName] = Field.Rule.counts;
    EXPECT_EQ(Field.Generation, 1);
  }
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_TRUE(SameLifeRule(rules["Replicator"], (LifeRule{0x48, 0xC})));
  EXPECT_TRUE(SameLifeRule(rules["Glider"], ConwayRule));

  Settings.start = StartAlternate;
  std::vector<bool> patterns;
  for (int32_t count = 0; count < 4; ++count) {
    Field.ResetCount = count;
    ResetField(64, 64);
    patterns.push_back(Field.PatternName[0] != 0);
  }
  EXPECT_EQ(patterns, (std::vector<bool>{true, false, true, false}));

  Settings.start = StartPatterns;
  ResetField(2, 2);  // neither fits: a random field
  EXPECT_EQ(Field.PatternName[0], 0);
  EXPECT_TRUE(SameLifeRule(Field.Rule.counts, (LifeRule{0x108, 0xC})));
}

// MCell and gzipped files are indexed and drawn like the rest, and a
// gzipped file's name is its file's without both extensions; files under a
// rule the engine does not run stay in the index and are never drawn.
TEST_F(PatternCollectionTest, MCellGzippedAndUnrunFiles) {
  Write("glider.rle.gz", Gzip("x = 3, y = 3, rule = B3/S23\nbo$2bo$3o!\n"));
  Write("sub/blinker.mc.gz", Gzip("[M2]\n#R B3/S23\n***$\n4 1 0 0 0\n"));
  Write("soup.gz", Gzip("!Name: Soup\nO.O\n.OO\n"));
  Write("block.mcl", "#MCell 4.20\n#GAME Life\n#RULE 23/3\n#D Block\n#L AA$AA\n");
  Write("star-wars.rle", "#N Star Wars\nx = 3, y = 1, rule = 345/2/4\nABC!\n");
  Write("klein.rle", "#N Klein\nx = 3, y = 1, rule = B3/S23:K20,20\n3o!\n");
  Write("notes.zip", "PK");
  Write("script.lua", "-- x = 1");
  AddPatternFolder(folder.c_str());
  std::set<std::string> names;
  for (const PatternEntry& e : PatternCollection.entries) names.insert(PatternCollection.paths.data() + e.path + folder.size() + 1);
  EXPECT_EQ(names, (std::set<std::string>{"glider.rle.gz", "sub/blinker.mc.gz", "soup.gz", "block.mcl", "star-wars.rle",
                                          "klein.rle"}));
  PatternCells pattern;
  PatternPlacement placement;
  std::multiset<std::string> shown;
  for (int k = 0; k < 10; ++k) {
    ASSERT_TRUE(DrawPattern(64, 64, &pattern, &placement));
    shown.insert(pattern.name);
  }
  EXPECT_EQ(shown, (std::multiset<std::string>{"glider", "glider", "blinker", "blinker", "Soup", "Soup", "Block",
                                               "Block", "Star Wars", "Star Wars"}));
  // A grid the engine does not run (a Klein bottle): refused for its rule
  // and kept in the index all the same.
  ASSERT_EQ(PatternCollection.entries.size(), 6u);
  for (const PatternEntry& e : PatternCollection.entries) {
    const bool klein = std::strstr(PatternCollection.paths.data() + e.path, "klein") != nullptr;
    EXPECT_EQ(e.unusable || e.notRun, klein);
    if (klein) {
      EXPECT_TRUE(e.notRun && !e.unusable);
      EXPECT_EQ(e.width, 3);
    }
  }
}

// Live cells are set as such; dying ones keep their states, and only the
// live ones are counted as neighbours.
TEST(PatternPlacement, StatesArePlaced) {
  ResetEngineState(6 * 5);
  CellRule rule;
  ASSERT_EQ(ParseRule("/2/256", 6, &rule), RuleOk);
  UseRule(rule);
  PatternCells p{};
  p.width = 3;
  p.height = 2;
  p.cells = {{0, 0, 1}, {1, 0, 2}, {2, 0, 3}, {1, 1, 255}};
  SetPatternCells(p, CentrePattern(3, 2, 0, 6, 5), 6, 5);  // at (1, 1)
  EXPECT_EQ(CellState(1, 1, 6, 5), 1);
  EXPECT_EQ(CellState(2, 1, 6, 5), 2);
  EXPECT_EQ(CellState(3, 1, 6, 5), 3);
  EXPECT_EQ(CellState(2, 2, 6, 5), 255);
  EXPECT_EQ(LiveCount(6, 5), 1);
  EXPECT_EQ(CellAt(2, 2, 6) & ~CellDying, 2 * 1);  // one live neighbour: the live cell at (1, 1)
  EXPECT_EQ(CellAt(2, 1, 6) & 1, 0);
  // Mirrored and turned, the states go with their cells.
  SetPatternCells(p, CentrePattern(3, 2, 5, 6, 5), 6, 5);  // swapped, then x mirrored: 2 x 3 at (2, 1)
  EXPECT_EQ(CellState(3, 1, 6, 5), 1);
  EXPECT_EQ(CellState(3, 2, 6, 5), 2);
  EXPECT_EQ(CellState(3, 3, 6, 5), 3);
  EXPECT_EQ(CellState(2, 2, 6, 5), 255);
  EXPECT_EQ(CellState(1, 1, 6, 5), 0);  // the field was cleared first
}

// A --pattern file that tumbra cannot run is named with why.
TEST_F(PatternCollectionTest, PatternFileRefusalSaysWhy) {
  Write("glider.rle", "x = 3, y = 3\nbo$2bo$3o!\n");
  Write("b0.rle", "x = 1, y = 1, rule = B0/S8\no!\n");
  Write("broken.mcl", "#MCell 4.20\n#L A!\n");
  Write("star-wars.rle", "x = 3, y = 1, rule = 345/2/4\nABC!\n");
  Write("klein.rle", "x = 3, y = 1, rule = B3/S23:K20,20\n3o!\n");
  const auto refusal = [&](const std::vector<std::string>& names) {
    FrontEndOptions options;
    for (const std::string& name : names) options.patternFiles.push_back(folder + "/" + name);
    return PatternFileRefusal(options);
  };
  EXPECT_EQ(refusal({"glider.rle"}), "");
  char b0[300];
  FormatRuleRefusal("B0/S8", 5, RuleBirthOnZero, b0, sizeof b0);
  EXPECT_EQ(refusal({"glider.rle", "b0.rle"}), "--pattern " + folder + "/b0.rle: " + b0);
  EXPECT_EQ(refusal({"broken.mcl", "b0.rle"}),
            "--pattern " + folder + "/broken.mcl: not a pattern tumbra can read: a broken MCell file");
  EXPECT_EQ(refusal({"none.rle"}), "--pattern " + folder + "/none.rle: the file cannot be read");
  EXPECT_EQ(refusal({"star-wars.rle"}), "");
  EXPECT_EQ(refusal({"klein.rle"}), "--pattern " + folder +
                                        "/klein.rle: B3/S23:K20,20*: its grid is a Klein bottle, which tumbra does not run");
}

}  // namespace
