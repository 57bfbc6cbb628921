#include "pattern/pattern.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

typedef bool (*Reader)(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal);

// Reads a copy that ends exactly at its length, so a read past it shows under
// the sanitizers.
bool ReadWith(Reader reader, const std::string& text, PatternCells* out) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.data(), text.size());
  const bool read = reader(copy.get(), text.size(), out, nullptr);
  if (!read) {
    EXPECT_TRUE(out->cells.empty() && out->cells.capacity() == 0) << text;
    EXPECT_EQ(out->width, 0);
  }
  return read;
}

bool Read(const std::string& text, PatternCells* out) { return ReadWith(ReadPattern, text, out); }

// The cells as rows of '.' and 'O', one line a row, over width x height.
std::string Picture(const PatternCells& p) {
  std::vector<std::string> rows(static_cast<size_t>(p.height), std::string(static_cast<size_t>(p.width), '.'));
  for (const PatternCell& c : p.cells) {
    EXPECT_LT(c.x, p.width);
    EXPECT_LT(c.y, p.height);
    if (c.x < p.width && c.y < p.height) rows[c.y][c.x] = 'O';
  }
  std::string picture;
  for (const std::string& row : rows) picture += row + "\n";
  return picture;
}

std::string PictureOf(const std::string& text) {
  PatternCells p;
  if (!Read(text, &p)) return "refused";
  return Picture(p);
}

// What tumbra can run of a file: the readers take it and the engine runs its rule.
std::string RunnablePictureOf(const std::string& text) {
  PatternCells p;
  if (!Read(text, &p) || !EngineRunsPattern(p)) return "refused";
  return Picture(p);
}

// The rule's canonical text, without a grid suffix.
std::string RuleOf(const std::string& text) {
  PatternCells p;
  if (!Read(text, &p)) return "refused";
  if (!p.hasRule) return "none";
  CellRule unbounded = p.rule;
  unbounded.grid = RuleGrid{};
  char rule[RuleTextSize];
  FormatRule(unbounded, rule, sizeof rule);
  return rule;
}

const char Glider[] = ".O.\n..O\nOOO\n";

// One glider in each format, with the glider's corner put elsewhere where the
// format allows it.
const char* const GliderFiles[] = {
    "#N Glider\nx = 3, y = 3, rule = B3/S23\nbo$2bo$3o!\n",
    "!Name: Glider\n.O.\n..O\nOOO\n",
    "#Life 1.05\n#D Glider\n#N\n#P -1 -1\n.*\n..*\n***\n",
    "#Life 1.06\n0 -1\n1 0\n-1 1\n0 1\n1 1\n",
    "[M2] (golly 4.0)\n#R B3/S23\n$$$$$.*$..*$***$\n4 0 0 0 1\n5 0 0 2 0\n",
};

const char GosperGunRle[] =
    "#N Gosper glider gun\n"
    "#O Bill Gosper\n"
    "#C The first known gun.\n"
    "x = 36, y = 9, rule = B3/S23\n"
    "24bo$22bobo$12b2o6b2o12b2o$11bo3bo4b2o12b2o$2o8bo5bo3b2o$2o8bo3bob2o4b\n"
    "obo$10bo5bo7bo$11bo3bo$12b2o!\n";

const char GosperGunCells[] =
    "!Name: Gosper glider gun\n"
    "!\n"
    "........................O\n"
    "......................O.O\n"
    "............OO......OO............OO\n"
    "...........O...O....OO............OO\n"
    "OO........O.....O...OO\n"
    "OO........O...O.OO....O.O\n"
    "..........O.....O.......O\n"
    "...........O...O\n"
    "............OO\n";

TEST(PatternFormats, GliderReadsTheSameInEveryFormat) {
  for (const char* file : GliderFiles) {
    EXPECT_EQ(PictureOf(file), Glider) << file;
    PatternCells p;
    ASSERT_TRUE(Read(file, &p));
    EXPECT_EQ(p.cells.size(), 5u) << file;
  }
  // And with each reader called directly.
  const Reader readers[] = {ReadRle, ReadPlainText, ReadLife105, ReadLife106, ReadMacrocell};
  for (int i = 0; i < 5; ++i) {
    PatternCells p;
    ASSERT_TRUE(ReadWith(readers[i], GliderFiles[i], &p)) << GliderFiles[i];
    EXPECT_EQ(Picture(p), Glider);
    // A reader does not take another format's file.
    EXPECT_FALSE(ReadWith(readers[i], GliderFiles[(i + 1) % 5], &p)) << i;
  }
}

TEST(PatternFormats, KnownPatterns) {
  EXPECT_EQ(PictureOf("x = 3, y = 1\n3o!"), "OOO\n");
  EXPECT_EQ(PictureOf("x=3,y=3\nb2o$2o$bo!"), ".OO\nOO.\n.O.\n");  // R-pentomino
  EXPECT_EQ(PictureOf("!Name: R\n.**\n**\n.*\n"), ".OO\nOO.\n.O.\n");
  // Dead cells as dots, live as A, breaks inside the body, a margin the
  // header keeps, blank rows and text after the end.
  EXPECT_EQ(PictureOf("x = 4, y = 4\n.A\n2$A2.A\n!\nsome words"), ".O..\n....\nO..O\n....\n");
  // A count broken by a line break goes on, as bgolly reads it; one broken
  // by a space does not.
  EXPECT_EQ(PictureOf("x = 15, y = 2\n1\n5o$1\r\n2\nbo!"), "OOOOOOOOOOOOOOO\n............O..\n");
  EXPECT_EQ(PictureOf("x = 15, y = 1\n1 5o!"), "refused");
  // Life 1.05 blocks at either side of the origin, and rows before any block.
  EXPECT_EQ(PictureOf("#Life 1.05\n*\n#P 2 -1\n.*\n\n*\n"), "...O\nO...\n..O.\n");
  // A macrocell whose top node is far larger than its few cells.
  std::string tall = "[M2]\n*$\n";
  for (int level = 4; level <= 60; ++level)
    tall += std::to_string(level) + " 0 0 0 " + std::to_string(level - 3) + "\n";
  EXPECT_EQ(PictureOf(tall), "O\n");
  // The same cell twice in Life 1.06 is one cell.
  PatternCells p;
  ASSERT_TRUE(Read("#Life 1.06\n5 5\n5 5\n6 5\n", &p));
  EXPECT_EQ(p.cells.size(), 2u);
  EXPECT_EQ(Picture(p), "OO\n");
}

TEST(PatternFormats, GosperGunFromRleAndPlainText) {
  PatternCells rle, cells;
  ASSERT_TRUE(Read(GosperGunRle, &rle));
  ASSERT_TRUE(Read(GosperGunCells, &cells));
  EXPECT_EQ(rle.width, 36);
  EXPECT_EQ(rle.height, 9);
  EXPECT_EQ(rle.cells.size(), 36u);
  EXPECT_EQ(Picture(rle), Picture(cells));
  EXPECT_STREQ(rle.name, "Gosper glider gun");
  EXPECT_STREQ(cells.name, "Gosper glider gun");
}

TEST(PatternFormats, NamesAndRules) {
  EXPECT_EQ(RuleOf("x = 3, y = 1, rule = B36/S23\n3o!"), "B36/S23");
  EXPECT_EQ(RuleOf("x = 3, y = 1, rule = b3/s23:T100,80\n3o!"), "B3/S23");
  EXPECT_EQ(RuleOf("x = 3, y = 1\n3o!"), "none");
  EXPECT_EQ(RuleOf("#Life 1.05\n#R 23/36\n#P 0 0\n***\n"), "B36/S23");
  EXPECT_EQ(RuleOf("#Life 1.05\n#N\n***\n"), "B3/S23");
  EXPECT_EQ(RuleOf("[M2]\n#R Day & Night\n***$\n"), "B3678/S34678");
  EXPECT_EQ(RuleOf("!Name: x\nOOO\n"), "none");

  PatternCells p;
  ASSERT_TRUE(Read("#C nothing\n#N   Blinker \r\nx = 3, y = 1\r\n3o!\r\n", &p));
  EXPECT_STREQ(p.name, "Blinker");
  ASSERT_TRUE(Read("!Name: a\tb\n!Name is not a name: only the first line\nO\n", &p));
  const std::string long_name(200, 'n');
  ASSERT_TRUE(Read("#N " + long_name + "\nx = 1, y = 1\no!", &p));
  EXPECT_EQ(std::string(p.name), long_name.substr(0, sizeof p.name - 1));
  ASSERT_TRUE(Read("#Life 1.06\n0 0\n", &p));
  EXPECT_STREQ(p.name, "");
}

TEST(PatternRefusals, RulesTumbraCannotRun) {
  EXPECT_EQ(PictureOf("x = 3, y = 1, rule = B03/S23\n3o!"), "refused");
  EXPECT_EQ(PictureOf("x = 3, y = 1, rule = LifeHistory\n3o!"), "refused");
  EXPECT_EQ(PictureOf("#Life 1.05\n#R 23/0\n***\n"), "refused");
  EXPECT_EQ(PictureOf("[M2]\n#R B0/S8\n***$\n"), "refused");
  // Rules of other families run; grids the engine cannot join do not.
  EXPECT_EQ(RunnablePictureOf("x = 3, y = 1, rule = B2/S/3\n3o!"), "OOO\n");  // Generations
  EXPECT_EQ(RunnablePictureOf("x = 3, y = 1, rule = B2a/S12\n3o!"), "OOO\n");
  EXPECT_EQ(RunnablePictureOf("x = 3, y = 1, rule = B3/S23:K20,20\n3o!"), "refused");
  // More than two states.
  EXPECT_EQ(PictureOf("x = 3, y = 1\nA2B!"), "refused");
  EXPECT_EQ(PictureOf("x = 3, y = 1\no2pA!"), "refused");
  EXPECT_EQ(PictureOf("[M2]\n1 0 1 0 1\n2 1 1 1 1\n"), "refused");
}

TEST(PatternRefusals, BrokenFiles) {
  const char* const broken[] = {
      // RLE: cut short, a bad header, sizes negative, zero or overflowing.
      "x = 3, y = 3\nbo$2bo$3o",
      "#N Glider\nx = 3, y",
      "#N nothing else\n",
      "x = -3, y = 3\n3o!",
      "x = 3, y = -3\n3o!",
      "x = 0, y = 0\n!",
      "x = 99999999999999999999, y = 1\no!",
      "x = 4294967299, y = 1\n3o!",
      "y = 3, x = 3\n3o!",
      "x = 3, y = 3, z = 1\n3o!",
      "x = 3, y = 1\n0o!",
      "x = 3, y = 1\n99999999999999999999b!",
      // RLE: cells beyond the header's size; a huge claim, a tiny body.
      "x = 2, y = 2\n3o!",
      "x = 2, y = 1\no$o!",
      "x = 65537, y = 1\no!",
      "x = 10, y = 10\n65536o!",
      "x = 3, y = 3\n2o#o!",
      // Empty patterns.
      "x = 3, y = 3\n3b!",
      "!Name: nothing\n...\n",
      "#Life 1.06\n",
      "#Life 1.05\n#D only words\n",
      "[M2]\n",
      "[M2]\n$$$\n4 0 0 0 1\n",
      // Plain text, Life 1.05 and 1.06 with stray characters.
      "!Name: x\n.O.\n.o.\n",
      "#Life 1.05\n#P 1\n*\n",
      "#Life 1.05\n#P 0 0\n*o\n",
      "#Life 1.06\n1\n",
      "#Life 1.06\n1 2 3\n",
      "#Life 1.06\n1 x\n",
      "#Life 1.06\n99999999999999999999 0\n",
      // Cells too far apart for one pattern.
      "#Life 1.06\n0 0\n65536 0\n",
      "#Life 1.06\n0 0\n0 -65536\n",
      "#Life 1.05\n#P -40000 0\n*\n#P 40000 0\n*\n",
      // Macrocell: a node before its children, itself, a child of the wrong
      // level, a bad leaf, a level beyond reach.
      "[M2]\n4 0 0 0 2\n*$\n",
      "[M2]\n4 0 0 0 1\n",
      "[M2]\n*$\n5 0 0 0 1\n",
      "[M2]\n*$\n4 0 0 1\n",
      "[M2]\n*$\n4 0 0 0 1 1\n",
      "[M2]\n*********$\n",
      "[M2]\n$$$$$$$$*\n",
      "[M2]\n*$\n4 0 0 0 -1\n",
      "[M2]\n*O$\n",
      // Nothing it knows.
      "",
      "hello",
      "#Life 1.07\n0 0\n",
  };
  for (const char* text : broken) EXPECT_EQ(PictureOf(text), "refused") << text;

  std::string deep = "[M2]\n*$\n";
  for (int level = 4; level <= 61; ++level)
    deep += std::to_string(level) + " 0 0 0 " + std::to_string(level - 3) + "\n";
  EXPECT_EQ(PictureOf(deep), "refused");
}

TEST(PatternRefusals, SmallFilesClaimingHugePatterns) {
  // Over the cell limit in a few hundred bytes.
  std::string rle = "x = 65536, y = 65536\n";
  for (int row = 0; row < 65; ++row) rle += "65536o$";
  EXPECT_EQ(PictureOf(rle + "!"), "refused");
  // Just under it reads.
  rle = "x = 65536, y = 64\n";
  for (int row = 0; row < 64; ++row) rle += "65536o$";
  PatternCells p;
  ASSERT_TRUE(Read(rle + "!", &p));
  EXPECT_EQ(p.cells.size(), PatternCellLimit);

  // A macrocell tower doubling its side with every level: wide before it
  // is populous.
  std::string wide = "[M2]\n*$\n";
  for (int level = 4; level <= 20; ++level)
    wide += std::to_string(level) + " " + std::to_string(level - 3) + " 0 0 " + std::to_string(level - 3) + "\n";
  EXPECT_EQ(PictureOf(wide), "refused");
  // Four copies of a full node a level: populous before it is wide, and
  // described by sixty lines for 4^60 cells.
  std::string full = "[M2]\n";
  for (int row = 0; row < 8; ++row) full += "********$";
  full += "\n";
  for (int level = 4; level <= 60; ++level) {
    const std::string child = std::to_string(level - 3);
    full += std::to_string(level) + " " + child + " " + child + " " + child + " " + child + "\n";
  }
  EXPECT_EQ(PictureOf(full), "refused");
  // 512 x 512 full cells is within both limits and reads.
  full = "[M2]\n";
  for (int row = 0; row < 8; ++row) full += "********$";
  full += "\n";
  for (int level = 4; level <= 9; ++level) {
    const std::string child = std::to_string(level - 3);
    full += std::to_string(level) + " " + child + " " + child + " " + child + " " + child + "\n";
  }
  ASSERT_TRUE(Read(full, &p));
  EXPECT_EQ(p.width, 512);
  EXPECT_EQ(p.height, 512);
  EXPECT_EQ(p.cells.size(), 512u * 512u);
}

TEST(PatternRefusals, FileOverTheByteLimitIsNotRead) {
  std::string file = "x = 1, y = 1\no!\n";
  file.resize(PatternFileLimit, '#');  // after '!' nothing is read
  PatternCells p;
  EXPECT_TRUE(Read(file, &p));
  file += "#";
  EXPECT_FALSE(Read(file, &p));
}

TEST(PatternRefusals, RefusalLeavesNothingBehind) {
  PatternCells p;
  ASSERT_TRUE(Read(GosperGunRle, &p));
  EXPECT_FALSE(Read("x = 3, y = 3, rule = B0/S23\n3o!", &p));
  EXPECT_FALSE(p.hasRule);
  EXPECT_STREQ(p.name, "");
}

// Golly's pattern collection, where it is installed.
const char GollyPatterns[] = "/usr/share/golly/Patterns";

void ListFiles(const std::string& folder, std::vector<std::string>* files) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "/" + name;
    if (DIR* sub = opendir(path.c_str())) {
      closedir(sub);
      ListFiles(path, files);
    } else {
      files->push_back(path);
    }
  }
  closedir(dir);
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(PatternGolly, LifePatternsRead) {
  std::vector<std::string> files;
  ListFiles(std::string(GollyPatterns) + "/Life", &files);
  ListFiles(std::string(GollyPatterns) + "/HashLife", &files);
  if (files.empty()) GTEST_SKIP() << "Golly's patterns are not installed";
  int read = 0;
  for (const std::string& path : files) {
    if (!EndsWith(path, ".rle") && !EndsWith(path, ".lif") && !EndsWith(path, ".mc")) continue;
    const std::string text = FileText(path);
    // Golly's own rules with more states are not for tumbra.
    if (text.find("LifeHistory") != std::string::npos || text.find("#R w") != std::string::npos) continue;
    // Nor are patterns larger than the limits.
    unsigned long width = 0, height = 0;
    const size_t header = text.find("\nx = ");
    if (header != std::string::npos && std::sscanf(text.c_str() + header, "\nx = %lu, y = %lu", &width, &height) == 2 &&
        (width > PatternSideLimit || height > PatternSideLimit))
      continue;
    PatternCells p;
    EXPECT_TRUE(Read(text, &p)) << path;
    ++read;
  }
  EXPECT_GT(read, 100);
}

}  // namespace
