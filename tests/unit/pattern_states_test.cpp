// The readers of patterns of many states (RLE, macrocell, MCell), gzipped
// files, names in UTF-8, and the reasons given for refused files. The files
// and what they hold were checked with Golly's bgolly (-a Generations, -a
// "Larger than Life"), which reads them the same.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gzip_text.h"
#include "pattern/pattern.h"

namespace {

// Reads a copy that ends exactly at its length, so a read past it shows under
// the sanitizers; a refusal leaves the pattern empty.
bool Read(const std::string& text, PatternCells* out, PatternRefusal* refusal = nullptr) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.data(), text.size());
  const bool read = ReadPattern(copy.get(), text.size(), out, refusal);
  if (!read) {
    EXPECT_TRUE(out->cells.empty() && out->cells.capacity() == 0 && out->width == 0 && !out->hasRule) << text;
    if (refusal != nullptr) {
      EXPECT_NE(refusal->error, PatternOk) << text;
    }
  }
  return read;
}

// The cells as rows of '.' (dead) and the state's number, over width x height:
// "0123" is a dead cell and cells of states 1 to 3; states above 9 are
// letters from 'a' (10).
std::string Picture(const PatternCells& p) {
  std::vector<std::string> rows(static_cast<size_t>(p.height), std::string(static_cast<size_t>(p.width), '.'));
  for (const PatternCell& c : p.cells) {
    EXPECT_NE(c.state, 0);
    if (c.x < p.width && c.y < p.height) rows[c.y][c.x] = c.state < 10 ? static_cast<char>('0' + c.state) : '+';
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

// The states of the cells, by position.
std::map<std::pair<int, int>, int> StatesOf(const PatternCells& p) {
  std::map<std::pair<int, int>, int> states;
  for (const PatternCell& c : p.cells) states[{c.x, c.y}] = c.state;
  return states;
}

PatternRefusal RefusalOf(const std::string& text) {
  PatternCells p;
  PatternRefusal refusal{};
  EXPECT_FALSE(Read(text, &p, &refusal)) << text;
  return refusal;
}

std::string LineOf(const PatternRefusal& refusal) {
  char line[600];
  const size_t length = FormatPatternRefusal(refusal, line, sizeof line);
  EXPECT_EQ(length, std::strlen(line));
  return line;
}

// The rule notation is being extended family by family; a case whose rule it
// does not take yet is skipped, and runs once it does.
bool Takes(const char* rule) {
  CellRule parsed;
  return ParseRule(rule, std::strlen(rule), &parsed) == RuleOk;
}
#define NEEDS_RULE(text) \
  if (!Takes(text)) GTEST_SKIP() << "the rule notation does not take " << (text) << " yet"

CellRule RuleOf(const char* text) {
  CellRule rule{};
  EXPECT_EQ(ParseRule(text, std::strlen(text), &rule), RuleOk) << text;
  return rule;
}

// ---- RLE of many states ----

TEST(PatternRleStates, EveryKindOfStateTag) {
  NEEDS_RULE("/2/256");
  // Golly writes this back unchanged: A, B, X are 1, 2, 24; pA, pX, qA 25,
  // 48, 49; yA, yO 241 and 255.
  PatternCells p;
  ASSERT_TRUE(Read("x = 4, y = 3, rule = /2/256\n.ABX$pA2pXqA$.yAyO!\n", &p));
  EXPECT_EQ(p.width, 4);
  EXPECT_EQ(p.height, 3);
  EXPECT_EQ(p.rule.states, 256);
  const std::map<std::pair<int, int>, int> expected = {{{1, 0}, 1},  {{2, 0}, 2},  {{3, 0}, 24},  {{0, 1}, 25},
                                                       {{1, 1}, 48}, {{2, 1}, 48}, {{3, 1}, 49},  {{1, 2}, 241},
                                                       {{2, 2}, 255}};
  EXPECT_EQ(StatesOf(p), expected);
  // b and o stand for dead and alive in files of many states too, and
  // comments between header lines, #CXRLE among them, are passed over.
  EXPECT_EQ(PictureOf("#CXRLE Pos=-3,7 Gen=12\n#C Star Wars\nx = 4, y = 2, rule = 345/2/4\n2oB$bCA!\n"),
            Takes("345/2/4") ? "112.\n.31.\n" : "refused");
}

TEST(PatternRleStates, StatesTheRuleDoesNotHaveAreRefused) {
  // Without a rule a file has two states, as the field it starts.
  PatternRefusal r = RefusalOf("x = 3, y = 1\nA2B!");
  EXPECT_EQ(r.error, PatternStateBeyondRule);
  EXPECT_EQ(r.state, 2);
  EXPECT_EQ(LineOf(r), "a cell has state 2, but the file names no rule of more than two states");
  EXPECT_EQ(RefusalOf("x = 3, y = 1, rule = B3/S23\noyO!").state, 255);
  // Tags that are no state: a prefix past y, y past O, a prefix alone.
  for (const char* text : {"x = 3, y = 1, rule = B3/S23\nzA!", "x = 3, y = 1, rule = B3/S23\nyP!",
                           "x = 3, y = 1, rule = B3/S23\np A!", "x = 3, y = 1, rule = B3/S23\nAp!"})
    EXPECT_EQ(RefusalOf(text).error, PatternMalformed) << text;
  if (!Takes("/2/3")) return;
  r = RefusalOf("x = 3, y = 1, rule = /2/3\nACB!");
  EXPECT_EQ(r.error, PatternStateBeyondRule);
  EXPECT_EQ(r.state, 3);
  EXPECT_EQ(r.states, 3);
  char rule[RuleTextSize];
  FormatRule(RuleOf("/2/3"), rule, sizeof rule);
  EXPECT_EQ(LineOf(r), std::string("a cell has state 3, which ") + rule + " does not have: its states are 0 to 2");
}

// ---- Macrocell of many states ----

// Golly's own macrocell of the RLE above (bgolly -o file.mc): 2 x 2 leaves of
// states and nodes from level 2 up.
const char ManyStateMacrocell[] =
    "[M2] (golly 3.3)\n#R /2/256\n"
    "1 0 0 0 1\n1 0 0 2 24\n2 0 0 1 2\n1 25 48 0 241\n1 48 49 255 0\n2 4 5 0 0\n3 0 3 0 6\n";

TEST(PatternMacrocellStates, GollysFileReadsAsItsRle) {
  NEEDS_RULE("/2/256");
  PatternCells mc, rle;
  ASSERT_TRUE(Read(ManyStateMacrocell, &mc));
  ASSERT_TRUE(Read("x = 4, y = 3, rule = /2/256\n.ABX$pA2pXqA$.yAyO!\n", &rle));
  EXPECT_EQ(StatesOf(mc), StatesOf(rle));
  EXPECT_EQ(mc.width, 4);
  EXPECT_EQ(mc.height, 3);
  EXPECT_TRUE(SameCellRule(mc.rule, rle.rule));
  // A Star Wars pattern Golly wrote, with nodes up to level 4.
  NEEDS_RULE("345/2/4");
  EXPECT_EQ(PictureOf("[M2] (golly 3.3)\n#R 345/2/4\n1 0 0 0 1\n1 0 0 2 3\n2 0 0 1 2\n3 0 0 3 0\n1 1 0 0 0\n"
                      "1 3 3 0 0\n1 3 1 0 0\n2 5 0 6 7\n1 2 0 0 0\n2 9 0 0 0\n3 8 10 0 0\n4 0 4 0 11\n"),
            PictureOf("x = 5, y = 4, rule = 345/2/4\n.ABC$A3.B2$3CA!\n"));
}

TEST(PatternMacrocellStates, BrokenFilesOfManyStates) {
  // No rule to have the states; the two kinds of leaf mixed; levels 2 and 3
  // among 8 x 8 leaves; a state past 255; a leaf short of a state.
  for (const char* text : {"[M2]\n1 0 1 0 1\n2 1 1 1 1\n", "[M2]\n#R B3/S23\n*$\n1 0 1 0 1\n",
                           "[M2]\n#R B3/S23\n1 0 1 0 1\n*$\n", "[M2]\n#R B3/S23\n*$\n2 0 0 0 1\n",
                           "[M2]\n#R B3/S23\n1 0 0 0 256\n", "[M2]\n#R B3/S23\n1 0 0 1\n",
                           "[M2]\n#R B3/S23\n1 0 0 1 1\n3 0 0 0 1\n"})
    EXPECT_EQ(RefusalOf(text).error, PatternMalformed) << text;
  // Two states, in the form of many: read under a rule of two.
  EXPECT_EQ(PictureOf("[M2]\n#R B3/S23\n1 0 1 0 1\n2 1 0 1 0\n"), "1\n1\n1\n1\n");
  EXPECT_EQ(RefusalOf("[M2]\n#R B3/S23\n1 0 2 0 1\n").error, PatternStateBeyondRule);
}

// ---- MCell ----

TEST(PatternMcell, GenerationsFileAsGollyReadsIt) {
  NEEDS_RULE("345/2/4:T40,30");
  // #L lines continue one another; a state the rule does not have (aA, 25;
  // D, 4) is alive; the board and wrap are the rule's grid; the first #D
  // line with words names it.
  PatternCells p;
  ASSERT_TRUE(Read("#MCell 4.20\n#GAME Generations\n#RULE 345/2/4\n#BOARD 40x30\n#WRAP 1\n#CCOLORS 4\n#D \n"
                   "#D\tStar Wars\tship\n#D more words\n#L .AB3$C\n#L 2.A$.aAD\n#SPEED 10\n",
                   &p));
  EXPECT_EQ(Picture(p), ".12.\n....\n....\n3..1\n.11.\n");  // bgolly: .AB3$C2.A$.2A!
  EXPECT_TRUE(SameCellRule(p.rule, RuleOf("345/2/4:T40,30")));
  EXPECT_STREQ(p.name, "Star Wars ship");
}

TEST(PatternMcell, LargerThanLifeFileAsGollyReadsIt) {
  NEEDS_RULE("R2,C5,M1,S3..5,B3..4,NM:P20,20");
  PatternCells p;
  ASSERT_TRUE(Read("#MCell 4.20\n#GAME Larger than Life\n#RULE R2,C5,M1,S3..5,B3..4,NM\n#BOARD 20x20\n"
                   "#L .AB$.DE$F.A\n",
                   &p));
  EXPECT_EQ(Picture(p), ".12\n.41\n1.1\n");  // bgolly: .AB$.DA$A.A!, a bounded plane without #WRAP
  EXPECT_TRUE(SameCellRule(p.rule, RuleOf("R2,C5,M1,S3..5,B3..4,NM:P20,20")));
}

TEST(PatternMcell, LifeGames) {
  // MCell's Life rules are survive/birth, as Golly's older form; every
  // letter of a two-state rule is a live cell.
  PatternCells p;
  ASSERT_TRUE(Read("#MCell 4.20\n#GAME Life\n#RULE 23/36\n#L A.B$CDE\n", &p));
  EXPECT_EQ(Picture(p), "1.1\n111\n");
  ASSERT_TRUE(p.hasRule);
  EXPECT_TRUE(SameCellRule(p.rule, RuleOf("B36/S23")));
  ASSERT_TRUE(Read("#MCell 4.20\n#GAME Life\n#RULE 23/36\n#BOARD 40x30\n#WRAP 1\n#L 3A\n", &p));
  EXPECT_TRUE(SameCellRule(p.rule, RuleOf("B36/S23:T40,30")));
  // No #RULE: the field's own rule, as Golly takes its current one; no
  // #GAME is Life; other lines and spaces within cells are passed over.
  ASSERT_TRUE(Read("#MCell 2.0\nsome words\n#L 2$ A 2.A\n", &p));
  EXPECT_FALSE(p.hasRule);
  EXPECT_EQ(Picture(p), "1..1\n");
  EXPECT_STREQ(p.name, "");
}

TEST(PatternMcell, RefusedFiles) {
  PatternRefusal r = RefusalOf("#MCell 4.20\n#GAME Weighted Life\n#RULE NW1,NN1,NE1\n#L A\n");
  EXPECT_EQ(r.error, PatternGameRefused);
  EXPECT_EQ(LineOf(r), "the MCell game Weighted Life is no rule family tumbra runs");
  // A game Golly runs under a rule of its own: the refusal names that rule.
  r = RefusalOf("#MCell 4.00\n#GAME Rules table\n#GOLLY WireWorld\n#RULE 1,0,0,0,\n#RULE 0,3\n#BOARD 60x60\n#L .A$.C\n");
  EXPECT_EQ(r.error, PatternRuleRefused);
  EXPECT_STREQ(r.rule, "WireWorld");
  char expected[300];
  FormatRuleRefusal("WireWorld", 9, r.ruleError, expected, sizeof expected);
  EXPECT_EQ(LineOf(r), expected);
  // No cell; an end Golly's RLE has and MCell has not; a count or a prefix
  // with no cell after it; a board that is no size.
  EXPECT_EQ(RefusalOf("#MCell 4.20\n#GAME Life\n#L 3.$.\n").error, PatternEmpty);
  for (const char* text : {"#MCell 4.20\n#L A.A$3A!\n", "#MCell 4.20\n#L A3\n", "#MCell 4.20\n#L Aa\n",
                           "#MCell 4.20\n#L aa\n", "#MCell 4.20\n#L a.\n", "#MCell 4.20\n#BOARD 40y30\n#L A\n",
                           "#MCell 4.20\n#L kA\n"})
    EXPECT_EQ(RefusalOf(text).error, PatternMalformed) << text;
  // Cells too far apart for the limits, in a few bytes.
  EXPECT_EQ(RefusalOf("#MCell 4.20\n#L A65536.A\n").error, PatternBeyondLimits);
  EXPECT_EQ(RefusalOf("#MCell 4.20\n#L A99999$A\n").error, PatternBeyondLimits);
  EXPECT_EQ(RefusalOf("#MCell 4.20\n#L 65537A\n").error, PatternBeyondLimits);
}

// ---- gzip ----

TEST(PatternGzip, EveryFormatReadsGzippedAsPlain) {
  const char* const files[] = {
      "#N Glider\nx = 3, y = 3, rule = B3/S23\nbo$2bo$3o!\n",
      "!Name: Glider\n.O.\n..O\nOOO\n",
      "#Life 1.05\n#D Glider\n#N\n#P -1 -1\n.*\n..*\n***\n",
      "#Life 1.06\n0 -1\n1 0\n-1 1\n0 1\n1 1\n",
      "[M2] (golly 4.0)\n#R B3/S23\n$$$$$.*$..*$***$\n4 0 0 0 1\n5 0 0 2 0\n",
      "#MCell 4.20\n#GAME Life\n#RULE 23/3\n#D Glider\n#L .A$..A$3A\n",
      "\xEF\xBB\xBFx = 3, y = 3\nbo$2bo$3o!\n",
  };
  for (const char* file : files) {
    PatternCells plain, gzipped;
    ASSERT_TRUE(Read(file, &plain)) << file;
    ASSERT_TRUE(Read(Gzip(file), &gzipped)) << file;
    EXPECT_EQ(Picture(gzipped), Picture(plain)) << file;
    EXPECT_EQ(Picture(gzipped), ".1.\n..1\n111\n") << file;
    EXPECT_STREQ(gzipped.name, plain.name);
    EXPECT_EQ(gzipped.hasRule, plain.hasRule);
  }
  // Members one after another are one stream; bytes after the last are
  // passed over, as zlib's own file reading passes over them.
  const std::string glider = "x = 3, y = 3\nbo$2bo$3o!\n";
  EXPECT_EQ(PictureOf(Gzip(glider.substr(0, 9)) + Gzip(glider.substr(9))), ".1.\n..1\n111\n");
  EXPECT_EQ(PictureOf(Gzip(glider) + "trailing words"), ".1.\n..1\n111\n");
}

TEST(PatternGzip, BrokenAndOversizedStreams) {
  const std::string glider = Gzip("x = 3, y = 3\nbo$2bo$3o!\n");
  std::string corrupt = glider;
  corrupt[corrupt.size() / 2] ^= 0x55;
  std::string badCheck = glider;
  badCheck[badCheck.size() - 6] ^= 1;  // the CRC of the inflated bytes
  for (const std::string& text : {glider.substr(0, glider.size() / 2), glider.substr(0, glider.size() - 1),
                                  corrupt, badCheck, std::string("\x1F\x8B"), std::string("\x1F\x8B\x08\x00"),
                                  Gzip(glider)}) {  // gzip inside gzip is nothing Golly writes
    const PatternRefusal r = RefusalOf(text);
    EXPECT_EQ(r.error, PatternMalformed);
    EXPECT_STREQ(r.format, "gzip");
    EXPECT_EQ(LineOf(r), "not a pattern tumbra can read: a broken gzip file");
  }
  // The limit counts inflated bytes: a few kilobytes that inflate past it
  // are refused without inflating the rest.
  std::string big = "x = 1, y = 1\no!\n";
  big.resize(PatternFileLimit, '\n');
  PatternCells p;
  EXPECT_TRUE(Read(Gzip(big), &p));
  big += "\n";
  const std::string bomb = Gzip(big + std::string(16u << 20, '\n'));
  EXPECT_LT(bomb.size(), 200000u);
  for (const std::string& text : {Gzip(big), bomb}) {
    const PatternRefusal r = RefusalOf(text);
    EXPECT_EQ(r.error, PatternTooLarge);
    EXPECT_EQ(LineOf(r), "the file inflates to more than 4 MB, the most tumbra reads of a pattern");
  }
  std::vector<char> inflated;
  PatternError error;
  EXPECT_FALSE(InflateGzip(bomb.data(), bomb.size(), &inflated, &error));
  EXPECT_EQ(error, PatternTooLarge);
  EXPECT_EQ(inflated.capacity(), 0u);
  const std::string small = Gzip("abc");
  EXPECT_TRUE(InflateGzip(small.data(), small.size(), &inflated, &error));
  EXPECT_EQ(std::string(inflated.begin(), inflated.end()), "abc");
}

// ---- Names ----

TEST(PatternNames, CutAtACharacterNeverInsideOne) {
  PatternCells p;
  const size_t room = sizeof p.name - 1;
  // Characters of two, three and four bytes straddling the end are left out
  // whole; one that ends right at it is kept.
  for (const std::string& character : {std::string("\xC3\xA9"), std::string("\xE2\x82\xAC"),
                                       std::string("\xF0\x9F\x98\x80")}) {
    for (size_t before = room - character.size() - 1; before < room; ++before) {
      const std::string name = std::string(before, 'n') + character + "tail";
      ASSERT_TRUE(Read("#N " + name + "\nx = 1, y = 1\no!", &p));
      const std::string kept = before + character.size() <= room ? name.substr(0, room) : std::string(before, 'n');
      EXPECT_EQ(std::string(p.name), kept) << before << " bytes before a character of " << character.size();
    }
  }
  // Bytes from 0x80 kept as they are, control characters made spaces, in
  // every format's name.
  ASSERT_TRUE(Read("#N Gl\xC3\xBC" "der\x01\x7F" "x\nx = 1, y = 1\no!", &p));
  EXPECT_STREQ(p.name, "Gl\xC3\xBC" "der  x");
  ASSERT_TRUE(Read("!Name: \xE2\x80\x9Cquoted\xE2\x80\x9D\nO\n", &p));
  EXPECT_STREQ(p.name, "\xE2\x80\x9Cquoted\xE2\x80\x9D");
  ASSERT_TRUE(Read("#MCell 4.20\n#D \x95 bullet\n#L A\n", &p));
  EXPECT_STREQ(p.name, "\x95 bullet");
  // Bytes that are no UTF-8 cut where they fall.
  ASSERT_TRUE(Read("#N " + std::string(100, '\x80') + "\nx = 1, y = 1\no!", &p));
  EXPECT_EQ(std::string(p.name), std::string(room, '\x80'));
}

// ---- Why a file is refused ----

TEST(PatternRefusalLines, EachReasonItsOwnLine) {
  std::string huge = "x = 1, y = 1\no!\n";
  huge.resize(PatternFileLimit + 1, '#');
  const std::pair<std::string, std::string> cases[] = {
      {huge, "the file holds more than 4 MB, the most tumbra reads of a pattern"},
      {"x = 65537, y = 1\no!",
       "the pattern is larger than tumbra takes: at most 65536 cells wide and tall, with at most 4194304 cells alive "
       "or dying"},
      {"hello", "not a pattern file: tumbra reads RLE, plain text, Life 1.05 and 1.06, macrocell and MCell files, "
                "gzipped or not"},
      {"x = 3, y = 3\nbo$2bo$3o", "not a pattern tumbra can read: a broken RLE file"},
      {"[M2]\n4 0 0 0 2\n*$\n", "not a pattern tumbra can read: a broken macrocell file"},
      {"#Life 1.06\n1 x\n", "not a pattern tumbra can read: a broken Life 1.06 file"},
      {"x = 3, y = 3\n3b!", "the pattern is empty: no cell is alive or dying"},
      {"!Name: nothing\n...\n", "the pattern is empty: no cell is alive or dying"},
  };
  for (const auto& [text, line] : cases) EXPECT_EQ(LineOf(RefusalOf(text)), line) << text;
  EXPECT_EQ(RefusalOf("#Life 1.06\n0 0\n65536 0\n").error, PatternBeyondLimits);
  std::string populous = "x = 65536, y = 65536\n";
  for (int row = 0; row < 65; ++row) populous += "65536o$";
  EXPECT_EQ(RefusalOf(populous + "!").error, PatternBeyondLimits);
  // A rule that is none: the rule notation's own line, naming the file's rule.
  const PatternRefusal b0 = RefusalOf("x = 3, y = 1, rule = B0/S8 \n3o!");
  EXPECT_EQ(b0.error, PatternRuleRefused);
  EXPECT_EQ(b0.ruleError, RuleBirthOnZero);
  EXPECT_STREQ(b0.rule, "B0/S8");
  char expected[300];
  FormatRuleRefusal("B0/S8", 5, RuleBirthOnZero, expected, sizeof expected);
  EXPECT_EQ(LineOf(b0), expected);
  EXPECT_EQ(RefusalOf("#Life 1.05\n#R 23/0\n***\n").error, PatternRuleRefused);
  EXPECT_EQ(RefusalOf("[M2]\n#R LifeHistory\n***$\n").error, PatternRuleRefused);
}

TEST(PatternRefusalLines, WrittenAndCountedAsRulesAre) {
  PatternRefusal r{};
  r.error = PatternEmpty;
  const std::string whole = LineOf(r);
  char small[8];
  EXPECT_EQ(FormatPatternRefusal(r, small, sizeof small), whole.size());
  EXPECT_STREQ(small, whole.substr(0, 7).c_str());
  EXPECT_EQ(FormatPatternRefusal(r, nullptr, 0), whole.size());
  // Every reason has a line of its own, an unknown value one too.
  std::vector<std::string> lines;
  for (int e = PatternOk; e <= PatternRuleNotRun + 1; ++e) {
    r = PatternRefusal{};
    r.error = static_cast<PatternError>(e);
    std::strcpy(r.rule, "B3/S23");
    lines.push_back(LineOf(r));
    EXPECT_FALSE(lines.back().empty());
  }
  for (size_t i = 0; i < lines.size(); ++i)
    for (size_t j = i + 1; j < lines.size(); ++j) EXPECT_NE(lines[i], lines[j]);
}

}  // namespace
