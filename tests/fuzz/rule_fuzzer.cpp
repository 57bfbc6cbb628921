// The rule parsers on arbitrary text. ParseLifeRule: a rule it takes has
// counts 0..8 only and no B0, reads back the same from its canonical text,
// and is the same rule in the other case and between spaces; a refusal
// leaves the rule alone. ParseRule: a rule it takes has 2..256 states, no B0,
// a table or Larger than Life record within its limits, and reads back as the
// same rule from both its formatted texts; the Life-like rules ParseLifeRule
// takes are the same under both (but for grids Golly does not make); a
// refusal leaves the rule alone and its line never overruns.
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/rule.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

const LifeRule Untouched = {0xFFFF, 0xFFFF};

RuleError Parse(const char* text, size_t length, LifeRule* rule) {
  *rule = Untouched;
  const RuleError error = ParseLifeRule(text, length, rule);
  Check(RuleErrorText(error) != nullptr);
  if (error != RuleOk) Check(SameLifeRule(*rule, Untouched));
  return error;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

void CheckLifeRule(const char* text, size_t size) {
  LifeRule rule;
  if (Parse(text, size, &rule) != RuleOk) return;
  Check(size <= RuleTextLimit);
  Check((rule.birth & ~LifeRuleCounts) == 0 && (rule.survive & ~LifeRuleCounts) == 0);
  Check((rule.birth & 1) == 0);

  char canonical[LifeRuleTextSize];
  const size_t length = FormatLifeRule(rule, canonical, sizeof canonical);
  Check(length < sizeof canonical && std::strlen(canonical) == length);
  LifeRule back;
  Check(Parse(canonical, length, &back) == RuleOk && SameLifeRule(back, rule));

  char label[8];
  const size_t labelLength = FormatLifeRuleLabel(rule, label, sizeof label);
  Check(std::strlen(label) == (labelLength < sizeof label ? labelLength : sizeof label - 1));

  std::vector<char> other(text, text + size);
  for (char& c : other) c = Upper(c);
  Check(Parse(other.data(), size, &back) == RuleOk && SameLifeRule(back, rule));
  for (char& c : other) c = Lower(c);
  Check(Parse(other.data(), size, &back) == RuleOk && SameLifeRule(back, rule));

  if (size + 2 <= RuleTextLimit) {
    other.assign(1, ' ');
    other.insert(other.end(), text, text + size);
    other.push_back('\t');
    Check(Parse(other.data(), other.size(), &back) == RuleOk && SameLifeRule(back, rule));
  }

  // Every Life-like rule is a rule of any family, the same one, unless its
  // grid is one Golly would not make (ParseLifeRule only looks at the suffix's
  // characters).
  CellRule any;
  const RuleError error = ParseRule(text, size, &any);
  Check(error == RuleOk || error == RuleBadGrid || error == RuleGridShape);
  LifeRule life;
  if (error == RuleOk) Check(IsLifeLike(any, &life) && SameLifeRule(life, rule));
}

// Writes a text into a buffer a little too short and checks the bytes after
// it are untouched and the text is terminated where it was cut.
template <typename Format>
size_t CheckCut(Format format, size_t whole) {
  char buffer[RuleTextSize + 16];
  const size_t size = whole / 2 + 1;
  std::memset(buffer, '#', sizeof buffer);
  const size_t length = format(buffer, size);
  Check(length == whole);
  Check(std::strlen(buffer) == (whole < size ? whole : size - 1));
  for (size_t i = size; i < sizeof buffer; ++i) Check(buffer[i] == '#');
  return length;
}

void CheckAnyRule(const char* text, size_t size) {
  CellRule marked;
  std::memset(&marked, 0xA5, sizeof marked);
  CellRule rule = marked;
  const RuleError error = ParseRule(text, size, &rule);
  Check(RuleErrorText(error) != nullptr);
  if (error != RuleOk) {
    Check(std::memcmp(&rule, &marked, sizeof rule) == 0);
    char line[64];
    const size_t whole = FormatRuleRefusal(text, size, error, line, sizeof line);
    Check(std::strlen(line) == (whole < sizeof line ? whole : sizeof line - 1));
    CheckCut([&](char* out, size_t n) { return FormatRuleRefusal(text, size, error, out, n); }, whole);
    return;
  }
  Check(size <= RuleTextLimit);
  Check(rule.states >= 2 && rule.states <= RuleMaxStates);
  Check(std::memchr(rule.text, 0, sizeof rule.text) != nullptr && std::strchr(rule.text, ':') == nullptr);
  if (rule.kind == RuleLarger) {
    const LargerThanLife& l = rule.larger;
    Check(l.range >= 1 && l.range <= LargerRangeLimit);
    Check(l.shape == 'M' || l.shape == 'N' || l.shape == 'C');
    const int32_t most = LargerCount(l);
    Check(l.birthLow >= 1 && l.birthLow <= l.birthHigh && l.birthHigh <= most);
    Check(l.surviveLow >= 0 && l.surviveLow <= l.surviveHigh && l.surviveHigh <= most);
    Check(rule.grid.topology == 0 || rule.grid.topology == 'T' || rule.grid.topology == 'P');
    if (rule.grid.topology != 0)
      Check(rule.grid.width >= 2 * l.range && rule.grid.height >= 2 * l.range &&
            int64_t{rule.grid.width} * rule.grid.height <= LargerGridCellLimit);
  } else {
    Check(rule.kind == RuleCounts || rule.kind == RuleMapped);
    Check(!MapOutcome(rule, 0));  // no B0
    if (rule.kind == RuleCounts) Check(rule.neighbours == NeighboursMoore && rule.totalistic);
  }
  const RuleGrid& g = rule.grid;
  Check(g.width >= 0 && g.width <= RuleGridSideLimit && g.height >= 0 && g.height <= RuleGridSideLimit);
  Check(g.horizontalShift == 0 || g.verticalShift == 0);
  Check(g.horizontalShift > -g.width || g.width == 0);
  Check(g.horizontalShift < g.width || g.width == 0);
  Check(g.verticalShift > -g.height || g.height == 0);
  Check(g.verticalShift < g.height || g.height == 0);

  // Both texts read back as the same rule, and the canonical one as itself.
  char canonical[RuleTextSize];
  const size_t length = FormatRule(rule, canonical, sizeof canonical);
  Check(length < sizeof canonical);
  CheckCut([&](char* out, size_t n) { return FormatRule(rule, out, n); }, length);
  CellRule back;
  Check(ParseRule(canonical, length, &back) == RuleOk && SameCellRule(back, rule));
  Check(std::strcmp(back.text, rule.text) == 0);
  char bgolly[RuleTextSize];
  const size_t bgollyLength = FormatRuleForBgolly(rule, bgolly, sizeof bgolly);
  Check(bgollyLength < sizeof bgolly);
  Check(ParseRule(bgolly, bgollyLength, &back) == RuleOk && SameCellRule(back, rule));
  char label[RuleTextSize];
  const size_t labelLength = FormatRuleLabel(rule, label, sizeof label);
  Check(labelLength < sizeof label);
  CheckCut([&](char* out, size_t n) { return FormatRuleLabel(rule, out, n); }, labelLength);

  // A rule without MAP's base64 reads the same in the other case.
  if (std::strncmp(rule.text, "MAP", 3) != 0) {
    std::vector<char> other(text, text + size);
    for (char& c : other) c = Upper(c);
    Check(ParseRule(other.data(), size, &back) == RuleOk && SameCellRule(back, rule));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  CheckLifeRule(text, size);
  CheckAnyRule(text, size);
  return 0;
}
