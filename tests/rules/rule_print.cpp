// Reads rule texts, one a line, and prints what ParseRule makes of each, one
// line of tab-separated fields, for check_rules.py to hold against bgolly:
//   ok  FormatRule  FormatRuleForBgolly  kind  states  neighbours  totalistic
//       birth,survive  map (128 hex digits, map[0] first)  range,middle,shape,sLow,sHigh,bLow,bHigh
//       topology,width,height,twist,horizontalShift,verticalShift  label
//   refused  error  FormatRuleRefusal's line
// With --named it prints the names of NamedRules instead, one a line.
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/rule.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--named") == 0) {
    for (int i = 0; i < NamedRuleCount; ++i) std::printf("%s\n", NamedRules[i].name);
    return 0;
  }
  char line[4096];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    CellRule rule;
    const RuleError error = ParseRule(text.data(), text.size(), &rule);
    if (error != RuleOk) {
      char refusal[512];
      FormatRuleRefusal(text.data(), text.size(), error, refusal, sizeof refusal);
      std::printf("refused\t%d\t%s\n", static_cast<int>(error), refusal);
      continue;
    }
    char canonical[RuleTextSize], bgolly[RuleTextSize], label[RuleTextSize];
    FormatRule(rule, canonical, sizeof canonical);
    FormatRuleForBgolly(rule, bgolly, sizeof bgolly);
    FormatRuleLabel(rule, label, sizeof label);
    std::printf("ok\t%s\t%s\t%d\t%d\t%d\t%d\t%x,%x\t", canonical, bgolly, static_cast<int>(rule.kind), rule.states,
                static_cast<int>(rule.neighbours), rule.totalistic ? 1 : 0, rule.counts.birth, rule.counts.survive);
    for (uint8_t byte : rule.map) std::printf("%02x", byte);
    const LargerThanLife& l = rule.larger;
    std::printf("\t%d,%d,%c,%d,%d,%d,%d", l.range, l.middle ? 1 : 0, l.shape != 0 ? l.shape : '-', l.surviveLow,
                l.surviveHigh, l.birthLow, l.birthHigh);
    const RuleGrid& g = rule.grid;
    std::printf("\t%c,%d,%d,%c,%d,%d\t%s\n", g.topology != 0 ? g.topology : '-', g.width, g.height,
                g.twist != 0 ? g.twist : '-', g.horizontalShift, g.verticalShift, label);
  }
  return 0;
}
