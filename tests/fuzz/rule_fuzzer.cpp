// The rule parser on arbitrary text: a rule it takes has counts 0..8 only and
// no B0, reads back the same from its canonical text, and is the same rule in
// the other case and between spaces; a refusal leaves the rule alone.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  LifeRule rule;
  if (Parse(text, size, &rule) != RuleOk) return 0;
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
  return 0;
}
