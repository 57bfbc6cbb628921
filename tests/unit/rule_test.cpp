#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/rule.h"

namespace {

struct Parsed {
  RuleError error;
  LifeRule rule;
};

// Parses a copy that ends exactly at its length, so a read past it shows
// under the sanitizers.
Parsed Parse(const std::string& text) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.data(), text.size());
  Parsed p{RuleOk, {0xAAAA, 0x5555}};  // a marker that no rule can be
  p.error = ParseLifeRule(copy.get(), text.size(), &p.rule);
  return p;
}

std::string Text(LifeRule rule) {
  char text[LifeRuleTextSize];
  FormatLifeRule(rule, text, sizeof text);
  return text;
}

// The canonical text a parse gives, or the reason it was refused.
std::string Read(const std::string& text) {
  const Parsed p = Parse(text);
  if (p.error != RuleOk) return std::string("refused: ") + RuleErrorText(p.error);
  return Text(p.rule);
}

void ExpectReads(const char* text, const char* canonical) { EXPECT_EQ(Read(text), canonical) << "[" << text << "]"; }

void ExpectRefused(const std::string& text, RuleError error) {
  const Parsed p = Parse(text);
  EXPECT_EQ(p.error, error) << "[" << text << "] " << RuleErrorText(p.error);
  EXPECT_EQ(p.rule.birth, 0xAAAA) << "[" << text << "] a refused parse wrote the rule";
}

TEST(Rule, ReadsLetterNotationInEitherCaseOrderAndSpacing) {
  ExpectReads("B3/S23", "B3/S23");
  ExpectReads("b36/s23", "B36/S23");
  ExpectReads("S23/B36", "B36/S23");
  ExpectReads("s23/b3678", "B3678/S23");
  ExpectReads("B36S23", "B36/S23");
  ExpectReads("S23B36", "B36/S23");
  ExpectReads("  B3/S23\t", "B3/S23");
  ExpectReads("B 3 / S 2 3", "B3/S23");
  // Digits in any order, a repeat counting once.
  ExpectReads("B63/S32", "B36/S23");
  ExpectReads("B33/S2323", "B3/S23");
  ExpectReads("B87654321/S876543210", "B12345678/S012345678");
}

TEST(Rule, EmptyAndMissingPartsMeanNoCounts) {
  ExpectReads("B2/S", "B2/S");
  ExpectReads("B/S2", "B/S2");
  ExpectReads("B/S", "B/S");
  ExpectReads("bs", "B/S");
  ExpectReads("B3", "B3/S");
  ExpectReads("S23", "B/S23");
  ExpectReads("B3/", "B3/S");
  ExpectReads("/S23", "B/S23");
}

TEST(Rule, ReadsTheOlderSurviveBirthForm) {
  ExpectReads("23/36", "B36/S23");
  ExpectReads("/3", "B3/S");
  ExpectReads("3/", "B/S3");
  ExpectReads("/", "B/S");
  ExpectReads("012345678/3", "B3/S012345678");
  // One part lettered: the other is the other letter.
  ExpectReads("B3/23", "B3/S23");
  ExpectReads("3/S23", "B3/S23");
}

TEST(Rule, IgnoresAGridSuffix) {
  ExpectReads("B3/S23:T100,80", "B3/S23");
  ExpectReads("b36/s23:t10", "B36/S23");
  ExpectReads("23/3:P30,0", "B3/S23");
  ExpectReads("B3/S23:K30*+1,20", "B3/S23");
  ExpectReads("B3/S23:", "B3/S23");
  ExpectReads("B3/S23 :S30", "B3/S23");
  ExpectRefused("B3/S23:X10", RuleBadGrid);
  ExpectRefused("B3/S23: T10", RuleBadGrid);
  ExpectRefused("B3/S23:T10:T10", RuleBadGrid);
  ExpectRefused("B3/S23::T1", RuleBadGrid);
  ExpectRefused("B0/S23:T10", RuleBirthOnZero);
}

TEST(Rule, RefusesBirthOnZeroWhateverTheRest) {
  for (uint16_t survive = 0; survive <= LifeRuleCounts; ++survive) {
    const LifeRule flashing = {0x1, survive};
    ExpectRefused(Text(flashing), RuleBirthOnZero);
  }
  ExpectRefused("B0123478/S01234678", RuleBirthOnZero);  // AntiLife: Golly would emulate it
  ExpectRefused("3/0", RuleBirthOnZero);  // survive 3, birth 0
  ExpectReads("0/3", "B3/S0");
  ExpectRefused("B30/S23", RuleBirthOnZero);
  ExpectRefused("B0", RuleBirthOnZero);
}

TEST(Rule, RefusesOtherFamiliesWithTheirReason) {
  for (const char* text : {"B2/S/3", "/2/3", "23/3/2", "345/26/5", "B2/S/C3", "B2/S/G3", "g3b2s", "G4B2S23", "12/34/ 3"})
    ExpectRefused(text, RuleGenerations);
  for (const char* text : {"R2,C2,M0,S2..3,B3..3,NM", "r1,c0,m1,s1..1,b1..1,nn", "1,3,3,3,4", "LtL", "ltl:T10"})
    ExpectRefused(text, RuleLargerThanLife);
  for (const char* text : {"B245/S3H", "b2/s34h", "B2a/S3H", "B/SH"}) ExpectRefused(text, RuleHexagonal);
  for (const char* text : {"B13/S012V", "b2/s013v", "/2V"}) ExpectRefused(text, RuleVonNeumann);
  for (const char* text : {"B2a/S12", "B2cekin/S12", "B2-a/S12", "B3/S2-", "B3/2a34", "b2aceikn3/s", "B2a_S12",
                           "MAPARYXfhZofugWaH7oaIDogBZofuhogOiAaIDogIAAgAAWaH7oaIDogGiA6ICAAIAAaIDogIAAgACAAIAAAAAAAA"})
    ExpectRefused(text, RuleNotTotalistic);
  for (const char* text : {"B3/S239", "B9/S23", "39/3", "B39S"}) ExpectRefused(text, RuleCountOverEight);
}

TEST(Rule, RefusesMalformedEmptyAndOverlongText) {
  for (const char* text : {"B3_S23", "B3/S23B6", "B3/B3", "S2/S3", "B3S23/", "B3//S23", "B3/S2/", "3", "23", "3S23",
                           "B3,S23", "B3/S23 junk", "Bash", "HighLife:T10", "Conway", "B-3/S23", "+3/23", "B3/S2x"})
    ExpectRefused(text, RuleMalformed);
  ExpectRefused(std::string("B3\0/S23", 7), RuleMalformed);
  for (const char* text : {"", " ", "\t \r\n"}) ExpectRefused(text, RuleEmpty);
  EXPECT_EQ(ParseLifeRule(nullptr, 5, nullptr), RuleEmpty);

  const std::string padded = "B3/S23" + std::string(RuleTextLimit - 6, ' ');
  ExpectReads(padded.c_str(), "B3/S23");
  ExpectRefused(padded + " ", RuleTooLong);
  ExpectRefused(std::string(100000, 'B'), RuleTooLong);
}

TEST(Rule, ReadsOnlyTheGivenLength) {
  const char text[] = "B36/S23H";
  LifeRule rule{};
  ASSERT_EQ(ParseLifeRule(text, 7, &rule), RuleOk);
  EXPECT_EQ(Text(rule), "B36/S23");
  ASSERT_EQ(ParseLifeRule(text, 2, &rule), RuleOk);
  EXPECT_EQ(Text(rule), "B3/S");
}

TEST(Rule, NamesAreReadInAnySpelling) {
  // As Golly's documentation and pattern files give these rules.
  ExpectReads("Life", "B3/S23");
  ExpectReads("conways life", "B3/S23");
  ExpectReads("Conway's Game of Life", "B3/S23");
  ExpectReads("HIGHLIFE", "B36/S23");
  ExpectReads("Day & Night", "B3678/S34678");
  ExpectReads("day and night", "B3678/S34678");
  ExpectReads("DayNight", "B3678/S34678");
  ExpectReads("Seeds", "B2/S");
  ExpectReads("Diamoeba", "B35678/S5678");
  ExpectReads("LongLife", "B345/S5");
  ExpectReads("long-life", "B345/S5");
  ExpectReads(" Coral ", "B3/S45678");
  ExpectReads("Replicator", "B1357/S1357");
  ExpectReads("Morley", "B368/S245");
  ExpectReads("move", "B368/S245");
  ExpectReads("Persian Rug", "B234/S");
  ExpectReads("life without death", "B3/S012345678");
  ExpectReads("Dry Life", "B37/S23");
}

TEST(Rule, TableNamesRoundTripAndNoneFlashes) {
  for (int i = 0; i < NamedLifeRuleCount; ++i) {
    const NamedLifeRule& named = NamedLifeRules[i];
    SCOPED_TRACE(named.name);
    EXPECT_EQ(named.rule.birth & 1, 0);
    EXPECT_EQ(named.rule.birth & ~LifeRuleCounts, 0);
    EXPECT_EQ(named.rule.survive & ~LifeRuleCounts, 0);
    const Parsed byName = Parse(named.name);
    ASSERT_EQ(byName.error, RuleOk);
    EXPECT_TRUE(SameLifeRule(byName.rule, named.rule));
    // One row per rule, so a rule's name is its row's.
    EXPECT_STREQ(LifeRuleName(named.rule), named.name);
  }
  for (int i = 0; i < LifeRuleAliasCount; ++i) {
    const Parsed byAlias = Parse(LifeRuleAliases[i].alias);
    ASSERT_EQ(byAlias.error, RuleOk) << LifeRuleAliases[i].alias;
    EXPECT_STREQ(LifeRuleName(byAlias.rule), LifeRuleAliases[i].name);
  }
}

TEST(Rule, LabelIsTheNameOrTheText) {
  char label[LifeRuleTextSize + 20];
  FormatLifeRuleLabel(ConwayRule, label, sizeof label);
  EXPECT_STREQ(label, "Conway's Life");
  FormatLifeRuleLabel({0x48, 0x0C}, label, sizeof label);
  EXPECT_STREQ(label, "HighLife");
  FormatLifeRuleLabel({0x18, 0x0C}, label, sizeof label);
  EXPECT_STREQ(label, "B34/S23");
  EXPECT_EQ(LifeRuleName({0x18, 0x0C}), nullptr);
  char shortLabel[5];
  EXPECT_EQ(FormatLifeRuleLabel(ConwayRule, shortLabel, sizeof shortLabel), std::strlen("Conway's Life"));
  EXPECT_STREQ(shortLabel, "Conw");
}

TEST(Rule, EveryRuleWithoutBirthOnZeroRoundTrips) {
  char text[LifeRuleTextSize];
  for (uint32_t bits = 0; bits < 1u << 18; ++bits) {
    const LifeRule rule = {static_cast<uint16_t>(bits & LifeRuleCounts), static_cast<uint16_t>(bits >> 9)};
    if ((rule.birth & 1) != 0) continue;
    const size_t length = FormatLifeRule(rule, text, sizeof text);
    ASSERT_LT(length, sizeof text);
    ASSERT_EQ(std::strlen(text), length);
    LifeRule back{};
    ASSERT_EQ(ParseLifeRule(text, length, &back), RuleOk) << text;
    ASSERT_TRUE(SameLifeRule(back, rule)) << text;
  }
}

TEST(Rule, FormatsIntoAShortBufferWithoutOverrunning) {
  const LifeRule widest = {0x1FF, 0x1FF};
  char buffer[LifeRuleTextSize + 4];
  for (size_t size = 0; size <= LifeRuleTextSize; ++size) {
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(FormatLifeRule(widest, buffer, size), LifeRuleTextSize - 1);
    for (size_t i = size; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#') << "size " << size << " wrote at " << i;
    if (size > 0) {
      EXPECT_EQ(std::string(buffer), std::string("B012345678/S012345678").substr(0, size - 1));
    }
  }
  // Bits above 8 are not counts and are not written.
  EXPECT_EQ(Text({0xFE08, 0xFE0C}), "B3/S23");
}

}  // namespace
