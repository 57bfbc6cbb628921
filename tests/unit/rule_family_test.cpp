// Rules of every family: what ParseRule takes and refuses, the tables it
// fills, and the texts it writes back. The tables and texts are also held
// against bgolly by tests/rules/check_rules.py; these are the cases to read.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/rule.h"

namespace {

// Parses a copy that ends exactly at its length, so a read past it shows
// under the sanitizers; a refusal must leave the rule as it was.
RuleError Parse(const std::string& text, CellRule* rule) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.data(), text.size());
  CellRule marked;
  std::memset(&marked, 0x5A, sizeof marked);
  CellRule out = marked;
  const RuleError error = ParseRule(copy.get(), text.size(), &out);
  if (error != RuleOk) EXPECT_EQ(std::memcmp(&out, &marked, sizeof out), 0) << "[" << text << "] refused but written";
  else *rule = out;
  return error;
}

CellRule Must(const std::string& text) {
  CellRule rule = {};
  EXPECT_EQ(Parse(text, &rule), RuleOk) << "[" << text << "]";
  return rule;
}

std::string Canonical(const CellRule& rule) {
  char text[RuleTextSize];
  EXPECT_LT(FormatRule(rule, text, sizeof text), sizeof text);
  return text;
}

std::string ForBgolly(const CellRule& rule) {
  char text[RuleTextSize];
  EXPECT_LT(FormatRuleForBgolly(rule, text, sizeof text), sizeof text);
  return text;
}

// The canonical text a parse gives, or the error's number.
std::string Read(const std::string& text) {
  CellRule rule;
  const RuleError error = Parse(text, &rule);
  return error == RuleOk ? Canonical(rule) : "refused " + std::to_string(error);
}

void ExpectReads(const std::string& text, const std::string& canonical) { EXPECT_EQ(Read(text), canonical) << "[" << text << "]"; }
void ExpectRefused(const std::string& text, RuleError error) {
  EXPECT_EQ(Read(text), "refused " + std::to_string(error)) << "[" << text << "] " << RuleErrorText(error);
}

// The neighbourhood index of cells given as a picture, rows top to bottom.
uint32_t Block(const char* rows) {
  uint32_t k = 0;
  for (const char* c = rows; *c != 0; ++c)
    if (*c == 'o' || *c == '.') k = k << 1 | (*c == 'o' ? 1 : 0);
  return k;
}

// How many configurations of the eight around a dead cell give a birth.
int Births(const CellRule& rule) {
  int n = 0;
  for (uint32_t k = 0; k < 512; ++k) n += (k & 0x10) == 0 && MapOutcome(rule, k);
  return n;
}

TEST(RuleFamilies, LifeLikeRulesReadAsParseLifeRuleReadsThem) {
  for (const char* text : {"B3/S23", "b36/s23", "S23/B36", "B36S23", "23/36", "/3", "B3", "S23", "bs", "B3/23",
                           "B 3 / S 2 3", "B33/S2323", "B3/S23:T100,80", "Conway's Life", "day and night", "move"}) {
    LifeRule life;
    ASSERT_EQ(ParseLifeRule(text, std::strlen(text), &life), RuleOk) << text;
    const CellRule rule = Must(text);
    EXPECT_TRUE(IsLifeLike(rule, nullptr)) << text;
    CellRule plain = rule;
    plain.grid = RuleGrid{};
    EXPECT_TRUE(SameCellRule(plain, CellRuleOf(life))) << text;
    EXPECT_EQ(std::string(rule.text), std::string(CellRuleOf(life).text)) << text;
  }
  char text[LifeRuleTextSize];
  for (uint32_t bits = 0; bits < 1u << 18; bits += 7) {
    const LifeRule life = {static_cast<uint16_t>(bits & 0x1FE), static_cast<uint16_t>(bits >> 9)};
    const size_t n = FormatLifeRule(life, text, sizeof text);
    CellRule rule;
    ASSERT_EQ(ParseRule(text, n, &rule), RuleOk) << text;
    const CellRule of = CellRuleOf(life);
    ASSERT_TRUE(SameCellRule(rule, of)) << text;
    ASSERT_STREQ(rule.text, of.text);
    ASSERT_TRUE(rule.totalistic && SameLifeRule(rule.counts, life) && rule.neighbours == NeighboursMoore) << text;
  }
  // Golly takes these; ParseLifeRule refuses them and still does.
  ExpectReads("B3/S2-", "B3/S2");
  ExpectReads("B2-/S", "B2/S");
  ExpectRefused("B3_S23", RuleMalformed);  // an underscore only with letters
  ExpectRefused("B0/S23", RuleBirthOnZero);
  ExpectRefused("B9/S23", RuleCountOverEight);
}

TEST(RuleFamilies, HenselLettersAreGollysClasses) {
  // The configurations of each letter (Golly's help, hensel.png), as counts.
  const struct {
    int count;
    const char* letters;
    int sizes[13];
  } classes[] = {
      {1, "ce", {4, 4}},
      {2, "cekain", {4, 4, 8, 8, 2, 2}},
      {3, "cekainyqjr", {4, 4, 4, 4, 4, 8, 4, 8, 8, 8}},
      {4, "cekainyqjrtwz", {1, 1, 8, 8, 4, 8, 8, 4, 8, 8, 4, 4, 4}},
  };
  for (const auto& c : classes)
    for (int i = 0; c.letters[i] != 0; ++i) {
      const std::string letter(1, c.letters[i]);
      EXPECT_EQ(Births(Must("B" + std::to_string(c.count) + letter + "/S")), c.sizes[i]) << c.count << letter;
      if (c.count < 4) {
        EXPECT_EQ(Births(Must("B" + std::to_string(8 - c.count) + letter + "/S")), c.sizes[i]) << 8 - c.count << letter;
      }
    }
  // One picture of each of a few letters: the dead cell in the middle.
  EXPECT_TRUE(MapOutcome(Must("B2a/S"), Block("oo. ... ...")));
  EXPECT_TRUE(MapOutcome(Must("B2k/S"), Block("o.. ..o ...")));
  EXPECT_TRUE(MapOutcome(Must("B3i/S"), Block("ooo ... ...")));
  EXPECT_TRUE(MapOutcome(Must("B3a/S"), Block("oo. o.. ...")));
  EXPECT_TRUE(MapOutcome(Must("B4t/S"), Block("ooo ... .o.")));
  EXPECT_TRUE(MapOutcome(Must("B4z/S"), Block("oo. ... .oo")));
  EXPECT_TRUE(MapOutcome(Must("B5c/S"), Block(".o. o.o .oo")));  // the dead cells of 3c
  // A survival letter looks at the same configurations around a live cell.
  EXPECT_TRUE(MapOutcome(Must("B3/S2a"), Block("oo. .o. ...")));
  EXPECT_FALSE(MapOutcome(Must("B3/S2a"), Block("o.o .o. ...")));
  // Every isotropic rule's table is the same turned and mirrored.
  const CellRule rule = Must("B2ein3cijn4cnrwy5cnq6e/S1c2-ai3acny4anqy5c6ek8");
  for (uint32_t k = 0; k < 512; ++k) {
    uint32_t turned = 0, mirrored = 0;
    for (int cell = 0; cell < 9; ++cell) {
      const int x = cell % 3, y = cell / 3;
      if ((k >> (8 - cell) & 1) == 0) continue;
      turned |= 1u << (8 - ((x) * 3 + (2 - y)));
      mirrored |= 1u << (8 - (y * 3 + (2 - x)));
    }
    ASSERT_EQ(MapOutcome(rule, k), MapOutcome(rule, turned)) << k;
    ASSERT_EQ(MapOutcome(rule, k), MapOutcome(rule, mirrored)) << k;
  }
}

TEST(RuleFamilies, NonTotalisticTextsAreGollysShortest) {
  ExpectReads("B2cek3i_S12cei", "B2cek3i/S12cei");
  ExpectReads("B2nic/S", "B2cin/S");                // letters sorted
  ExpectReads("B2ceikn/S", "B2-a/S");               // the shorter with '-'
  ExpectReads("B4-qjrtwz/S", "B4aceikny/S");        // a tie goes to the letters
  ExpectReads("B2aceikn3/S", "B23/S");              // every letter is the bare count
  ExpectReads("B2-3/S", "B23/S");
  ExpectReads("B2-aceikn3/S", "B3/S");              // '-' and every letter: none
  ExpectReads("B2a2c/S", "B2ac/S");                 // a count twice gathers its letters
  ExpectReads("B2-a2c/S", "B2-ac/S");               // and one '-' makes them exceptions
  ExpectReads("B22a/S", "B2a/S");
  ExpectReads("B2A/S", "B2a/S");
  ExpectReads("S2aB3", "B3/S2a");
  ExpectReads("2a/3", "B3/S2a");
  const CellRule friends = Must("B2-a/S12");
  EXPECT_EQ(friends.kind, RuleMapped);
  EXPECT_FALSE(friends.totalistic);
  EXPECT_TRUE(SameCellRule(friends, Must("B2cekin/S12")));
  EXPECT_TRUE(IsLifeLike(Must("B2aceikn3/S"), nullptr));
  for (const char* text : {"B1a/S", "B5z/S", "B8c/S", "B0a/S", "B/S7k"}) ExpectRefused(text, RuleBadLetter);
  ExpectRefused("B4o/S", RuleMalformed);
  for (const char* text : {"B2-a-c/S", "B2ac-e/S", "B2--a/S", "B-2/S", "B2a/S3_", "B2a_S3/", "Ba/S"})
    ExpectRefused(text, RuleMalformed);
  ExpectRefused("B2a/S2H", RuleLettersNotMoore);
}

TEST(RuleFamilies, HexagonalAndVonNeumannRulesCountTheirNeighbours) {
  const CellRule hex = Must("b2/s34h");
  EXPECT_EQ(Canonical(hex), "B2/S34H");
  EXPECT_EQ(hex.kind, RuleMapped);
  EXPECT_EQ(hex.neighbours, NeighboursHexagonal);
  EXPECT_TRUE(hex.totalistic);
  EXPECT_EQ(hex.counts.birth, 0x04);
  EXPECT_EQ(hex.counts.survive, 0x18);
  EXPECT_TRUE(MapOutcome(hex, Block("o.. ... ..o")));   // NW and SE
  EXPECT_FALSE(MapOutcome(hex, Block("..o ... o..")));  // NE and SW are not neighbours
  EXPECT_TRUE(MapOutcome(hex, Block("ooo .o. o.o")));   // alive with 3 of its six
  const CellRule vn = Must("B13/S012V");
  EXPECT_EQ(vn.neighbours, NeighboursVonNeumann);
  EXPECT_EQ(vn.counts.birth, 0x0A);
  EXPECT_TRUE(MapOutcome(vn, Block("o.o o.. o.o")));    // W alone of N, W, E and S
  EXPECT_FALSE(MapOutcome(vn, Block(".o. ... .o.")));
  ExpectReads("23/3V", "B3/S23V");
  ExpectReads("/3V", "B3/SV");
  ExpectReads("B2/S34 H", "B2/S34H");
  for (const char* text : {"B7/S2H", "B2/S5V", "B9/S2H"}) ExpectRefused(text, RuleCountOverNeighbours);
  for (const char* text : {"B2H/S3", "B2/S3HV", "B2/S3HH", "H", "V"}) ExpectRefused(text, RuleMalformed);
  ExpectRefused("B0/S2H", RuleBirthOnZero);
}

TEST(RuleFamilies, MapRulesFillTheTableInGollysBitOrder) {
  const char conway[] = "MAPARYXfhZofugWaH7oaIDogBZofuhogOiAaIDogIAAgAAWaH7oaIDogGiA6ICAAIAAaIDogIAAgACAAIAAAAAAAA";
  const CellRule life = Must(conway);
  EXPECT_EQ(Canonical(life), conway);
  EXPECT_EQ(life.kind, RuleCounts);  // a table of counts, whatever its text
  EXPECT_TRUE(SameCellRule(life, Must("B3/S23")));
  EXPECT_EQ(RuleName(life), nullptr);  // names go by text
  EXPECT_EQ(Canonical(Must(std::string("map") + (conway + 3) + "==")), conway);
  // One entry of each form: bit j of the table, first character's top bit
  // first, is the neighbourhood with those cells in reading order (hexagonal
  // without NE and SW, von Neumann N W C E S).
  EXPECT_TRUE(MapOutcome(Must("MAPAAAAgA"), Block(".o. o.. ...")));  // von Neumann entry 24 of 32, 11000: N and W
  EXPECT_EQ(Births(Must("MAPAAAAgA")), 16);                          // the corners are free
  const CellRule hex = Must("MAP" + std::string(13, 'A') + "E" + std::string(8, 'A'));  // entry 81, 1010001: NW W SE
  EXPECT_EQ(hex.neighbours, NeighboursHexagonal);
  EXPECT_TRUE(MapOutcome(hex, Block("o.o o.. o.o")));
  EXPECT_FALSE(MapOutcome(hex, Block("o.. ... ..o")));
  EXPECT_EQ(Births(hex), 4);
  const CellRule three = Must(std::string(conway) + "/3");
  EXPECT_EQ(three.states, 3);
  EXPECT_EQ(Canonical(three), std::string(conway) + "/3");
  EXPECT_EQ(ForBgolly(three), std::string(conway) + "/3");
  EXPECT_EQ(Canonical(Must(std::string(conway) + "/2")), conway);
  EXPECT_EQ(Canonical(Must("MAPAAA/AA/3")), "MAPAAA/AA/3");  // '/' is base64 too
  ExpectRefused("MAP/AAAAA", RuleBirthOnZero);
  ExpectRefused(std::string(conway) + "/300", RuleStates);
  for (std::string text : {std::string(conway, sizeof conway - 2), std::string(conway) + "A", std::string(conway) + "=",
                           std::string("MAPAAA!AA"), std::string("MAP"), std::string("MAPAAAAAA/3H")})
    ExpectRefused(text, RuleBadMap);
}

TEST(RuleFamilies, GenerationsRulesHaveDyingStates) {
  const CellRule brain = Must("/2/3");
  EXPECT_EQ(Canonical(brain), "B2/S/C3");
  EXPECT_EQ(ForBgolly(brain), "/2/3");
  EXPECT_EQ(brain.kind, RuleCounts);
  EXPECT_EQ(brain.states, 3);
  EXPECT_FALSE(IsLifeLike(brain, nullptr));
  for (const char* text : {"B2/S/C3", "b2/s/c3", "B2/S/G3", "B2/S/3", "g3b2s", "G3B2S", "Brian's Brain", "BriansBrain"})
    EXPECT_TRUE(SameCellRule(Must(text), brain)) << text;
  const struct {
    const char* text;
    const char* canonical;
    const char* bgolly;
  } forms[] = {
      {"345/2/4", "B2/S345/C4", "345/2/4"},   {"23/3/8", "B3/S23/C8", "23/3/8"},
      {"3/2/4H", "B2/S3/C4H", "3/2/4H"},     {"B2/S3/4V", "B2/S3/C4V", "3/2/4V"},
      {"S3/B2/4", "B2/S3/C4", "3/2/4"},      {"2/S3/4", "B2/S3/C4", "3/2/4"},
      {"/2-a/3", "B2-a/S/C3", "/2-a/3"},     {"2_2a/3", "B2a/S2/C3", "2/2a/3"},
      {"/12345678/256", "B12345678/S/C256", "/12345678/256"},
      {"3/2/4V:K10,20", "B2/S3/C4V:K10,20*", "3/2/4V:K10,20*"},
  };
  for (const auto& f : forms) {
    const CellRule rule = Must(f.text);
    EXPECT_EQ(Canonical(rule), f.canonical) << f.text;
    EXPECT_EQ(ForBgolly(rule), f.bgolly) << f.text;
  }
  // Two states are a Life-like rule.
  EXPECT_TRUE(IsLifeLike(Must("23/3/2"), nullptr));
  ExpectReads("B3/S23/C2", "B3/S23");
  for (const char* text : {"/2/1", "/2/0", "/2/257", "g1b2s"}) ExpectRefused(text, RuleStates);
  for (const char* text : {"/0/3", "/02/3", "B0/S/C3"}) ExpectRefused(text, RuleBirthOnZero);
  for (const char* text : {"/2//3", "/2/3/", "/2/C", "/2/3C", "B3/S23/x", "/2_3", "3H/2/4", "g3b2s/3"})
    ExpectRefused(text, RuleMalformed);
}

TEST(RuleFamilies, LargerThanLifeIsWrittenAsGollyWritesIt) {
  const CellRule bosco = Must("R5,C0,M1,S34..58,B34..45,NM");
  EXPECT_EQ(bosco.kind, RuleLarger);
  EXPECT_EQ(bosco.states, 2);
  EXPECT_EQ(bosco.larger.range, 5);
  EXPECT_TRUE(bosco.larger.middle);
  EXPECT_EQ(bosco.larger.shape, 'M');
  EXPECT_EQ(bosco.larger.surviveLow, 34);
  EXPECT_EQ(bosco.larger.birthHigh, 45);
  EXPECT_STREQ(RuleName(bosco), "Bosco's Rule");
  ExpectReads("1,3,3,3,4", "R1,C0,M1,S3..4,B3..3,NM");  // Kellie Evans' form counts the cell itself
  ExpectReads("R1,C1,M0,S2..3,B3..3,NM", "R1,C0,M0,S2..3,B3..3,NM");
  ExpectReads("R1,C2,M0,S2..3,B3..3,NM,", "R1,C0,M0,S2..3,B3..3,NM");
  ExpectReads("r2,c7,m0,s3..05,b4..6,nc", "R2,C7,M0,S3..5,B4..6,NC");
  EXPECT_EQ(Must("R2,C7,M0,S3..5,B4..6,NC").states, 7);
  EXPECT_EQ(Must("R2,C7,M0,S3..5,B4..6,NC").larger.shape, 'C');  // kept apart from NM for the engine
  const struct {
    int range;
    char shape;
    int cells;
  } sizes[] = {{1, 'M', 9}, {5, 'M', 121}, {1, 'N', 5}, {2, 'N', 13}, {1, 'C', 9}, {2, 'C', 21}, {3, 'C', 37},
               {500, 'M', 1002001}, {500, 'N', 501001}};
  for (const auto& s : sizes) {
    EXPECT_EQ(LargerCount({s.range, true, s.shape, 0, 0, 0, 0}), s.cells) << s.range << s.shape;
    EXPECT_EQ(LargerCount({s.range, false, s.shape, 0, 0, 0, 0}), s.cells - 1) << s.range << s.shape;
  }
  ExpectReads("R1,C0,M1,S0..9,B1..9,NM", "R1,C0,M1,S0..9,B1..9,NM");
  for (const char* text : {"R1,C0,M1,S0..10,B3..3,NM", "R1,C0,M0,S3..4,B3..9,NM", "R2,C0,M1,S0..22,B1..1,NC",
                           "R1,C0,M1,S4..3,B3..3,NM", "R1,C0,M1,S3..4,B4..3,NM"})
    ExpectRefused(text, RuleLargerLimits);
  for (const char* text : {"R0,C0,M1,S3..4,B3..3,NM", "R501,C0,M1,S3..4,B3..3,NM", "0,3,3,3,4"})
    ExpectRefused(text, RuleLargerRange);
  ExpectRefused("R1,C257,M1,S3..4,B3..3,NM", RuleStates);
  ExpectRefused("R1,C0,M1,S3..4,B0..3,NM", RuleBirthOnZero);
  for (const char* text : {"R1,C0,M2,S3..4,B3..3,NM", "R1,C0,M1,S3..4,B3..3,NX", "R1,C0,M1,S3..4,B3..3",
                           "R1,M1,C0,S3..4,B3..3,NM", "R1,C0,M1,S3,B3,NM", "1,3,3,3", "1,3,3,3,4,5",
                           "R1,C0,M1,S3...4,B3..3,NM", "R2,C0,M1,S3..4,B3..3,NMjunk", "R99999999999999999999"})
    ExpectRefused(text, RuleLargerSyntax);
}

TEST(RuleFamilies, GridSuffixesAreKeptAsGollyKeepsThem) {
  const struct {
    const char* suffix;
    const char* canonical;  // "" for no grid
  } grids[] = {
      {"T10", ":T10,10"},          {"t10,5", ":T10,5"},          {"P30,0", ":P30,0"},
      {"T0,20", ":T0,20"},         {"T,20", ":T0,20"},           {"T30+5,20", ":T30+5,20"},
      {"T10+11,20", ":T10+1,20"},  {"T10-13,20", ":T10-3,20"},   {"T10-10,20", ":T10,20"},
      {"T10,20-23", ":T10,20-3"},  {"K10,20", ":K10,20*"},       {"K10*,20", ":K10*,20"},
      {"K10*-3,20", ":K10*+1,20"}, {"K9*+1,20", ":K9*,20"},      {"K10", ":K10,10*"},
      {"C10", ":C10,10"},          {"S10", ":S10"},              {"T2000000001,1", ":T2000000000,1"},
      {"T10,20,", ":T10,20"},      {"T0,0", ""},                 {"P0", ""},
      {"T", ""},                   {"K,", ""},                   {"", ""},
  };
  for (const auto& g : grids) ExpectReads(std::string("B3/S23:") + g.suffix, std::string("B3/S23") + g.canonical);
  const CellRule klein = Must("B3/S23:K30*+1,20");
  EXPECT_EQ(klein.grid.topology, 'K');
  EXPECT_EQ(klein.grid.twist, 'H');
  EXPECT_EQ(klein.grid.horizontalShift, 1);
  EXPECT_STREQ(klein.text, "B3/S23");  // the text never holds the grid
  EXPECT_FALSE(SameCellRule(klein, Must("B3/S23:K30,20*")));
  EXPECT_TRUE(SameCellRule(Must("B3/S23:T10"), Must("23/3:T10,10")));
  EXPECT_FALSE(SameCellRule(Must("B3/S23:T10"), Must("B3/S23")));
  for (const char* suffix : {"X10", "10,20", "T10,20,30", "T10,,20", "T10+-1,20", "T10.5", "T 10,20", "T10x", "T10:"})
    ExpectRefused(std::string("B3/S23:") + suffix, RuleBadGrid);
  for (const char* suffix : {"K10*,20*", "K0,20", "K10,0*", "C10,0", "C0,0", "S10,10", "S0", "S10*", "T10+1,20+1",
                             "T0+1,20", "T10+1,0", "T+0,5", "P10*,20", "T10*,20", "C10+1,20", "P10,20+1", "K10+1,20*"})
    ExpectRefused(std::string("B3/S23:") + suffix, RuleGridShape);
  // Larger than Life: a torus or a plane, sides at least twice the range.
  const std::string bosco = "R5,C0,M1,S34..58,B34..45,NM";
  ExpectReads(bosco + ":T5,5", bosco + ":T10,10");
  ExpectReads(bosco + ":P0,20", bosco + ":P10,20");
  ExpectReads(bosco + ":T", bosco + ":T400,400");
  ExpectReads(bosco + ":", bosco + ":T400,400");
  ExpectReads(bosco + ":t20,", bosco + ":T20,20");
  ExpectReads("Bugs:T500,40", bosco + ":T500,40");
  ExpectRefused("1,3,3,3,4:P200000000010030", RuleGridShape);
  for (const char* suffix : {"K20,20", "C20,20", "S20", "20", "T100000,100000", "T10001,10000"})
    ExpectRefused(bosco + ":" + suffix, RuleGridShape);
  for (const char* suffix : {"T20+1,20", "T,20", "T20*", "T20,20junk"}) ExpectRefused(bosco + ":" + suffix, RuleBadGrid);
}

std::string Refusal(const std::string& text) {
  CellRule rule;
  const RuleError error = ParseRule(text.data(), text.size(), &rule);
  EXPECT_NE(error, RuleOk) << text;
  char line[512];
  FormatRuleRefusal(text.data(), text.size(), error, line, sizeof line);
  return line;
}

TEST(RuleFamilies, RefusalsNameTheRuleAndSayWhy) {
  EXPECT_EQ(Refusal("Langtons-Ant"), "Langtons-Ant is a rule table, which tumbra does not run");
  for (const char* table : {"WireWorld", "Byl-Loop", "JvN29", "Codd2", "Bash", "Turmite_121181121020"})
    EXPECT_EQ(Refusal(table), std::string(table) + " is a rule table, which tumbra does not run");
  EXPECT_EQ(Refusal("LifeHistory:T30+7,20"), "LifeHistory is a rule table, which tumbra does not run");
  EXPECT_EQ(Refusal(" W110 "), "W110 is a one-dimensional rule, which tumbra does not run");
  EXPECT_EQ(Refusal("w22"), "w22 is a one-dimensional rule, which tumbra does not run");
  EXPECT_EQ(Refusal("BBM-Margolus-emulated"), "BBM-Margolus-emulated is a Margolus rule, which tumbra does not run");
  EXPECT_EQ(Refusal("MS,D0;8;4;3;2;5;9;7;1;6;10;11;12;13;14;15").find(" is a Margolus rule"), 41u);
  // B0 in every family, with the one reason.
  for (const char* text : {"B0/S8", "B03/S23:T10", "/0/3", "B0/S2H", "R1,C0,M1,S3..4,B0..3,NM", "1,0,3,3,4", "MAP/AAAAA"})
    EXPECT_NE(Refusal(text).find(std::string(text).substr(0, 4)), std::string::npos) << text;
  EXPECT_EQ(Refusal("B0/S8"), std::string("B0/S8: ") + RuleErrorText(RuleBirthOnZero));
  EXPECT_NE(Refusal("MAP/AAAAA").find("B0 rules"), std::string::npos);
  EXPECT_EQ(Refusal("   "), "no rule given");
  EXPECT_EQ(Refusal("B3/S23\x01\xff x"), std::string("B3/S23?? x: ") + RuleErrorText(RuleMalformed));
  const std::string longName(RuleTextLimit + 1, 'x');
  EXPECT_EQ(Refusal(longName), std::string(48, 'x') + "...: " + RuleErrorText(RuleTooLong));
  // Every error has a line, and a short buffer is never overrun.
  for (int e = RuleOk; e <= RuleGridShape; ++e) {
    EXPECT_GT(std::strlen(RuleErrorText(static_cast<RuleError>(e))), 10u) << e;
    char buffer[20];
    std::memset(buffer, '#', sizeof buffer);
    const size_t n = FormatRuleRefusal("Langtons-Ant", 12, static_cast<RuleError>(e), buffer, 8);
    EXPECT_GT(n, 8u);
    EXPECT_EQ(std::strlen(buffer), 7u);
    EXPECT_EQ(buffer[8], '#');
  }
  EXPECT_EQ(FormatRuleRefusal(nullptr, 5, RuleEmpty, nullptr, 0), std::strlen(RuleErrorText(RuleEmpty)));
}

TEST(RuleFamilies, NamedRulesComeOnceEachWithTheirCanonicalText) {
  ASSERT_GT(NamedRuleCount, NamedLifeRuleCount);
  for (int i = 0; i < NamedLifeRuleCount; ++i) {
    EXPECT_STREQ(NamedRules[i].name, NamedLifeRules[i].name);
    EXPECT_EQ(NamedRules[i].lively, NamedLifeRules[i].lively) << NamedRules[i].name;
    EXPECT_TRUE(SameCellRule(Must(NamedRules[i].text), CellRuleOf(NamedLifeRules[i].rule))) << NamedRules[i].name;
  }
  std::vector<CellRule> rules;
  for (int i = 0; i < NamedRuleCount; ++i) {
    const NamedRule& named = NamedRules[i];
    SCOPED_TRACE(named.name);
    const CellRule rule = Must(named.text);
    EXPECT_EQ(Canonical(rule), named.text);
    EXPECT_TRUE(SameCellRule(Must(named.name), rule));
    EXPECT_STREQ(RuleName(rule), named.name);
    for (const CellRule& other : rules) EXPECT_FALSE(SameCellRule(other, rule)) << "a rule named twice";
    rules.push_back(rule);
  }
  for (int i = 0; i < NamedRuleAliasCount; ++i)
    EXPECT_STREQ(RuleName(Must(NamedRuleAliases[i].alias)), NamedRuleAliases[i].name);
  // Each family has names, and some lively ones beyond Life-like rules.
  int lively[3] = {}, families[3] = {};
  for (const CellRule& rule : rules) {
    const int family = rule.kind == RuleLarger ? 2 : rule.states > 2 ? 1 : 0;
    families[family] += 1;
    lively[family] += NamedRules[&rule - rules.data()].lively;
  }
  EXPECT_GT(lively[1], 3);
  EXPECT_GT(families[1], 12);
  EXPECT_GT(families[2], 6);
  // Labels.
  char label[RuleTextSize];
  FormatRuleLabel(Must("345/2/4:T100,100"), label, sizeof label);
  EXPECT_STREQ(label, "Star Wars");
  FormatRuleLabel(Must("LtL Gnarl"), label, sizeof label);
  EXPECT_STREQ(label, "LtL Gnarl");
  EXPECT_STREQ(RuleName(Must("Gnarl")), "Gnarl");  // the Life-like one
  FormatRuleLabel(Must("B2cek3i_S12cei:T30,20"), label, sizeof label);
  EXPECT_STREQ(label, "B2cek3i/S12cei:T30,20");
}

// Random texts of every family, built the way people write them.
std::string RandomRule(std::mt19937& random) {
  auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
  const char* letters = "cekainyqjrtwz";
  const int lettersOf[9] = {0, 2, 6, 10, 13, 10, 6, 2, 0};
  auto counts = [&](int most, bool lettered, int from) {
    std::string part;
    for (int n = from; n <= most; ++n) {
      if (chance(50)) continue;
      part += static_cast<char>('0' + n);
      if (lettered && lettersOf[n] > 0 && chance(60)) {
        if (chance(40)) part += '-';
        for (int i = 0; i < lettersOf[n]; ++i)
          if (chance(40)) part += letters[i];
      }
    }
    return part;
  };
  const char* grids[] = {"", "", ":T16,16", ":P20,10", ":K12*+1,10", ":C8,9", ":S7", ":T30,20-2"};
  std::string text;
  switch (random() % 5) {
    case 0:
      text = "B" + counts(8, true, 1) + "/S" + counts(8, true, 0);
      break;
    case 1: {
      const int kind = static_cast<int>(random() % 3);
      text = "B" + counts(kind == 0 ? 8 : kind == 1 ? 6 : 4, false, 1) + "/S" +
             counts(kind == 0 ? 8 : kind == 1 ? 6 : 4, false, 0) + (kind == 0 ? "" : kind == 1 ? "H" : "V");
      break;
    }
    case 2:
      text = counts(8, true, 0) + "/" + counts(8, true, 1) + "/" + std::to_string(2 + random() % 255);
      break;
    case 3: {
      const char* base64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
      const int length = chance(34) ? 86 : chance(50) ? 22 : 6;
      text = "MAP";
      text += base64[random() % 32];
      for (int i = 1; i < length; ++i) text += base64[random() % 64];
      if (chance(30)) text += "/" + std::to_string(2 + random() % 255);
      break;
    }
    default: {
      const int range = 1 + static_cast<int>(random() % 12);
      const char shape = "MNC"[random() % 3];
      const int most = LargerCount({range, true, shape, 0, 0, 0, 0});
      const int b = 1 + static_cast<int>(random() % most), s = static_cast<int>(random() % most);
      text = "R" + std::to_string(range) + ",C" + std::to_string(random() % 40) + ",M1,S" + std::to_string(s) + ".." +
             std::to_string(s + random() % (most - s + 1)) + ",B" + std::to_string(b) + ".." +
             std::to_string(b + random() % (most - b + 1)) + ",N" + shape;
      return text + (chance(30) ? ":T" + std::to_string(2 * range + random() % 50) : "");
    }
  }
  return text + grids[random() % 8];
}

TEST(RuleFamilies, EveryRuleReadsBackFromBothItsTexts) {
  std::mt19937 random(12345);
  int taken = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::string text = RandomRule(random);
    CellRule rule;
    if (Parse(text, &rule) != RuleOk) continue;  // B0 and unlucky grids
    ++taken;
    ASSERT_GE(rule.states, 2) << text;
    ASSERT_LE(rule.states, RuleMaxStates) << text;
    ASSERT_EQ(std::strchr(rule.text, ':'), nullptr) << text;
    if (rule.kind != RuleLarger) {
      ASSERT_FALSE(MapOutcome(rule, 0)) << text;
    }
    for (const std::string& again : {Canonical(rule), ForBgolly(rule)}) {
      CellRule back;
      ASSERT_EQ(Parse(again, &back), RuleOk) << text << " -> " << again;
      ASSERT_TRUE(SameCellRule(back, rule)) << text << " -> " << again;
      ASSERT_EQ(Canonical(back), Canonical(rule)) << text << " -> " << again;
    }
  }
  EXPECT_GT(taken, 3000);
}

TEST(RuleFamilies, FormatsIntoAShortBufferWithoutOverrunning) {
  // The longest texts: a Moore MAP of 256 states on a shifted torus of the widest sides.
  const std::string text = "MAP" + std::string(86, 'A') + "/256:T2000000000-1999999999,2000000000";
  const CellRule rule = Must(text);
  char buffer[RuleTextSize + 8];
  std::memset(buffer, '#', sizeof buffer);
  const size_t length = FormatRule(rule, buffer, RuleTextSize);
  EXPECT_EQ(length, text.size());
  EXPECT_LT(length, RuleTextSize);
  EXPECT_EQ(buffer, text);
  for (size_t size = 0; size < 12; ++size) {
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(FormatRule(rule, buffer, size), text.size());
    EXPECT_EQ(FormatRuleForBgolly(rule, buffer, size), text.size());
    EXPECT_EQ(FormatRuleLabel(rule, buffer, size), text.size());
    for (size_t i = size; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#') << size;
    if (size > 0) {
      EXPECT_EQ(std::string(buffer, std::strlen(buffer)), text.substr(0, size - 1));
    }
  }
  const char longest[] = "B1c2cek3cijk4cejkr5cjkn6cek7c/S1e2aik3aeny4aiknqtw5aeijkr6aik7e8";
  EXPECT_LT(std::strlen(Must(longest).text), RuleTextSize);
}

}  // namespace
