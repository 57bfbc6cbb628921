// Prints what tumbra's pattern readers read, for the comparison with
// Golly's bgolly (readers_against_golly.py); no part of any shipped program.
//
//   pattern_cells FILE          the pattern in FILE, or why it is refused
//   pattern_cells --index DIR   the files the collection indexes in DIR
//   pattern_cells --rule TEXT   the rule as bgolly reads it, or why it is refused
//
// A pattern prints as "read W H STATES", "rule TEXT" (bgolly's form with the
// grid suffix; empty when the file names none), "name NAME", then a line
// "x y state" for each cell that is not dead. A refusal prints as
// "refused ERROR LINE", ERROR the name of the PatternError.
#include <cstdio>
#include <cstring>

#include "pattern/pattern.h"

namespace {

const char* const ErrorNames[] = {
    "PatternOk",       "PatternUnreadable",  "PatternTooLarge",    "PatternBeyondLimits",
    "PatternUnknownFormat", "PatternMalformed", "PatternEmpty", "PatternRuleRefused",
    "PatternGameRefused", "PatternStateBeyondRule", "PatternRuleNotRun",
};

int PrintPattern(const char* path) {
  PatternCells pattern;
  PatternRefusal refusal;
  if (!ReadPatternFile(path, &pattern, &refusal)) {
    char line[1024];
    FormatPatternRefusal(refusal, line, sizeof line);
    const size_t error = static_cast<size_t>(refusal.error);
    std::printf("refused %s %s\n", error < sizeof ErrorNames / sizeof ErrorNames[0] ? ErrorNames[error] : "?", line);
    return 0;
  }
  char rule[RuleTextSize + 64] = "";
  if (pattern.hasRule) FormatRuleForBgolly(pattern.rule, rule, sizeof rule);
  std::printf("read %d %d %d\nrule %s\nname %s\n", pattern.width, pattern.height,
              pattern.hasRule ? pattern.rule.states : 2, rule, pattern.name);
  for (const PatternCell& c : pattern.cells) std::printf("%d %d %d\n", c.x, c.y, c.state);
  return 0;
}

int PrintIndex(const char* folder) {
  ClearPatternCollection();
  AddPatternFolder(folder);
  for (const PatternEntry& e : PatternCollection.entries) std::printf("%s\n", PatternCollection.paths.data() + e.path);
  return 0;
}

int PrintRule(const char* text) {
  CellRule rule;
  const RuleError error = ParseRule(text, std::strlen(text), &rule);
  char line[1024];
  if (error != RuleOk) {
    FormatRuleRefusal(text, std::strlen(text), error, line, sizeof line);
    std::printf("refused %s\n", line);
  } else {
    FormatRuleForBgolly(rule, line, sizeof line);
    std::printf("taken %s\n", line);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2) return PrintPattern(argv[1]);
  if (argc == 3 && std::strcmp(argv[1], "--index") == 0) return PrintIndex(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--rule") == 0) return PrintRule(argv[2]);
  std::fprintf(stderr, "usage: pattern_cells FILE | --index DIR | --rule TEXT\n");
  return 2;
}
