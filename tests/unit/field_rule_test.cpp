// The rule each new field runs under: the stored one, or one drawn from the
// lively named rules; a stored rule that cannot run gives Conway's.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "test_support.h"

namespace {

class FieldRule : public testing::Test {
 protected:
  void SetUp() override { ResetEngineState(64 * 64); }
  LifeRule NewFieldRule() {
    ResetField(64, 64);
    return Field.Rule.counts;
  }
};

TEST_F(FieldRule, TheStoredRuleRunsAndStepsTheField) {
  EXPECT_TRUE(SameLifeRule(NewFieldRule(), ConwayRule));
  Settings.birth = 0x48;  // HighLife: B36/S23
  Settings.survive = 0xC;
  EXPECT_TRUE(SameLifeRule(NewFieldRule(), (LifeRule{0x48, 0xC})));
  // Six neighbours: a birth under HighLife, none under Conway's rule.
  std::fill(Grid.LiveCells, Grid.LiveCells + 64 * 64, 0);
  PlacePattern({"###", "...", "###"}, 10, 10, 64, 64);
  StepGeneration(64, 64);
  EXPECT_EQ(CellAt(11, 11, 64) & 1, 1);
}

TEST_F(FieldRule, AStoredRuleThatCannotRunGivesConways) {
  for (auto [birth, survive] : {std::pair<uint32_t, uint32_t>{0x9, 0xC}, {0x8, 0x20C}, {0x408, 0xC}, {~0u, ~0u}}) {
    Settings.birth = birth;
    Settings.survive = survive;
    EXPECT_TRUE(SameLifeRule(NewFieldRule(), ConwayRule)) << birth << " " << survive;
  }
}

TEST_F(FieldRule, DrawnRulesAreLivelyNamedOnesAndChangeFromFieldToField) {
  Settings.rules = RulesDrawn;
  Settings.birth = 0x48;
  std::set<std::string> seen;
  for (int k = 0; k < 60; ++k) {
    ResetField(64, 64);
    const CellRule& rule = Field.Rule;
    bool lively = false;
    for (int i = 0; i < NamedRuleCount; ++i) {
      CellRule named;
      lively |= NamedRules[i].lively &&
                ParseRule(NamedRules[i].text, std::strlen(NamedRules[i].text), &named) == RuleOk &&
                SameCellRule(named, rule);
    }
    EXPECT_TRUE(lively) << rule.text;
    EXPECT_TRUE(EngineRunsRule(rule)) << rule.text;
    seen.insert(rule.text);
  }
  EXPECT_GE(seen.size(), 4u);
}

}  // namespace
