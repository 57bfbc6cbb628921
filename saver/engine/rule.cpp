// Life-like rule notation: parsing, formatting and the named rules.
#include "engine/rule.h"

#include <cstring>

// Chosen as lively: rules where a random field keeps moving for a long time,
// with gliders or lasting activity, and without cells that live a single
// generation everywhere (Seeds, Gnarl and Replicator boil into full-screen
// flicker). Rules that freeze into mazes, walls, stains or slowly growing
// solid blobs (Life without Death, Maze, Coral, Stains, Coagulations, Walled
// Cities, Anneal, Diamoeba) are worth seeing on purpose, not at random.
const NamedLifeRule NamedLifeRules[] = {
    {"Conway's Life", {0x008, 0x00C}, true},        // B3/S23
    {"HighLife", {0x048, 0x00C}, true},             // B36/S23, Life with a replicator
    {"Day & Night", {0x1C8, 0x1D8}, true},          // B3678/S34678, dead and live regions alike
    {"Seeds", {0x004, 0x000}, false},               // B2/S
    {"Life without Death", {0x008, 0x1FF}, false},  // B3/S012345678
    {"Morley", {0x148, 0x034}, true},               // B368/S245, many ships and puffers
    {"2x2", {0x048, 0x026}, true},                  // B36/S125, block oscillators and ships
    {"Maze", {0x008, 0x03E}, false},                // B3/S12345
    {"Replicator", {0x0AA, 0x0AA}, false},          // B1357/S1357
    {"Diamoeba", {0x1E8, 0x1E0}, false},            // B35678/S5678
    {"Anneal", {0x1D0, 0x1E8}, false},              // B4678/S35678
    {"Coral", {0x008, 0x1F0}, false},               // B3/S45678
    {"Gnarl", {0x002, 0x002}, false},               // B1/S1
    {"Long Life", {0x038, 0x020}, true},            // B345/S5, very long-lived oscillators
    {"Amoeba", {0x0A8, 0x12A}, true},               // B357/S1358, shifting blobs
    {"Pedestrian Life", {0x108, 0x00C}, true},      // B38/S23, Life with a replicator
    {"Stains", {0x1C8, 0x1EC}, false},              // B3678/S235678
    {"Coagulations", {0x188, 0x1EC}, false},        // B378/S235678
    {"Walled Cities", {0x1F0, 0x03C}, false},       // B45678/S2345
    {"DryLife", {0x088, 0x00C}, true},              // B37/S23, Life with more gliders
    {"Serviettes", {0x01C, 0x000}, false},          // B234/S, Persian rugs
};
const int NamedLifeRuleCount = sizeof NamedLifeRules / sizeof NamedLifeRules[0];

const LifeRuleAlias LifeRuleAliases[] = {
    {"Life", "Conway's Life"},
    {"Game of Life", "Conway's Life"},
    {"Conway's Game of Life", "Conway's Life"},
    {"Day and Night", "Day & Night"},
    {"Move", "Morley"},
    {"Persian Rug", "Serviettes"},
};
const int LifeRuleAliasCount = sizeof LifeRuleAliases / sizeof LifeRuleAliases[0];

namespace {

bool Space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool Digit(char c) { return c >= '0' && c <= '9'; }
bool OneOf(char c, const char* set) { return c != 0 && std::strchr(set, c) != nullptr; }

// The letters of non-totalistic (isotropic) notation, always lower case.
const char* const NeighbourhoodLetters = "aceijknqrtwyz";

// ---- Names ------------------------------------------------------------------

bool IgnoredInName(char c) { return OneOf(c, " \t'-_&"); }

// True when text[0..length) spells name, ignoring case and the characters
// IgnoredInName drops from both.
bool SpellsName(const char* text, size_t length, const char* name) {
  size_t i = 0;
  for (;;) {
    while (i < length && IgnoredInName(text[i])) ++i;
    while (*name != 0 && IgnoredInName(*name)) ++name;
    if (i == length || *name == 0) return i == length && *name == 0;
    if (Lower(text[i]) != Lower(*name)) return false;
    ++i;
    ++name;
  }
}

const NamedLifeRule* NamedLifeRuleCalled(const char* name) {
  for (int i = 0; i < NamedLifeRuleCount; ++i)
    if (std::strcmp(NamedLifeRules[i].name, name) == 0) return &NamedLifeRules[i];
  return nullptr;
}

const NamedLifeRule* FindNamedRule(const char* text, size_t length) {
  for (int i = 0; i < NamedLifeRuleCount; ++i)
    if (SpellsName(text, length, NamedLifeRules[i].name)) return &NamedLifeRules[i];
  for (int i = 0; i < LifeRuleAliasCount; ++i)
    if (SpellsName(text, length, LifeRuleAliases[i].alias)) return NamedLifeRuleCalled(LifeRuleAliases[i].name);
  return nullptr;
}

// ---- Families that are not Life-like ----------------------------------------

// The text without spaces, as Golly reads a rule; at most RuleTextLimit.
struct Packed {
  char c[RuleTextLimit];
  size_t n;
};

Packed Pack(const char* text, size_t length) {
  Packed p{};
  for (size_t i = 0; i < length && p.n < RuleTextLimit; ++i)
    if (!Space(text[i])) p.c[p.n++] = text[i];
  return p;
}

bool StartsWith(const Packed& p, const char* prefix) {
  size_t i = 0;
  for (; prefix[i] != 0; ++i)
    if (i == p.n || Lower(p.c[i]) != prefix[i]) return false;
  return true;
}

// Characters of B/S notation, with and without neighbourhood letters.
bool TotalisticChar(char c) { return Digit(c) || OneOf(c, "bBsS/"); }
bool NotationChar(char c) { return TotalisticChar(c) || OneOf(c, NeighbourhoodLetters) || c == '-' || c == '_'; }

bool Letter(char c) { return Lower(c) >= 'a' && Lower(c) <= 'z'; }

bool AllOf(const Packed& p, size_t from, size_t to, bool (*allowed)(char)) {
  for (size_t i = from; i < to; ++i)
    if (!allowed(p.c[i])) return false;
  return true;
}

// Generations, "survive/birth/states" or "B.../S.../C...": a third part of
// digits, perhaps after C or G.
bool GenerationsParts(const Packed& p) {
  size_t slashes[2];
  size_t count = 0;
  for (size_t i = 0; i < p.n; ++i)
    if (p.c[i] == '/') {
      if (count == 2) return false;
      slashes[count++] = i;
    }
  if (count != 2 || !AllOf(p, 0, slashes[1], NotationChar)) return false;
  size_t i = slashes[1] + 1;
  if (i < p.n && OneOf(p.c[i], "cCgG")) ++i;
  return i < p.n && AllOf(p, i, p.n, Digit);
}

// A neighbourhood letter or '-' straight after a count: "B2a", "B2-a".
bool NeighbourhoodLettersUsed(const Packed& p) {
  if (!AllOf(p, 0, p.n, NotationChar)) return false;
  for (size_t i = 1; i < p.n; ++i)
    if ((OneOf(p.c[i], NeighbourhoodLetters) || p.c[i] == '-') && Digit(p.c[i - 1])) return true;
  return false;
}

// The family of a rule body (no grid suffix) that is plainly not Life-like,
// or RuleOk when the body may still be one.
RuleError OtherFamily(const Packed& p) {
  if (StartsWith(p, "map")) return RuleNotTotalistic;
  if (StartsWith(p, "ltl")) return RuleLargerThanLife;
  if (p.n >= 2 && Lower(p.c[0]) == 'r' && Digit(p.c[1])) return RuleLargerThanLife;  // "R2,C0,M1,S..."
  if (p.n >= 1 && Digit(p.c[0]) && std::memchr(p.c, ',', p.n) != nullptr) return RuleLargerThanLife;  // "1,3,3,3,4"
  if (p.n >= 2 && Lower(p.c[0]) == 'g' && Digit(p.c[1])) return RuleGenerations;
  if (GenerationsParts(p)) return RuleGenerations;
  // H (hexagonal) or V (von Neumann) after B/S notation with a count or a slash.
  if (p.n >= 2 && AllOf(p, 0, p.n - 1, NotationChar) && !AllOf(p, 0, p.n - 1, Letter)) {
    const char last = Lower(p.c[p.n - 1]);
    if (last == 'h') return RuleHexagonal;
    if (last == 'v') return RuleVonNeumann;
  }
  if (NeighbourhoodLettersUsed(p)) return RuleNotTotalistic;
  return RuleOk;
}

// Golly's bounded-grid suffix after ':', checked only for its characters.
bool GridSuffix(const char* text, size_t length) {
  size_t i = 0;
  if (i < length && OneOf(text[i], "pPtTkKcCsS")) ++i;
  for (; i < length; ++i)
    if (!Digit(text[i]) && !OneOf(text[i], ",+-*")) return false;
  return true;
}

// ---- B/S notation -------------------------------------------------------------

struct RulePart {
  char letter;  // 'b', 's', or 0 when the part has none
  bool counted; // digits seen
  uint16_t counts;
};

RuleError ParseBody(const Packed& p, LifeRule* rule) {
  if (!AllOf(p, 0, p.n, TotalisticChar)) return RuleMalformed;
  RulePart parts[2] = {};
  int count = 1;
  bool slash = false;
  for (size_t i = 0; i < p.n; ++i) {
    const char c = Lower(p.c[i]);
    RulePart& part = parts[count - 1];
    if (c == '/') {
      if (slash || count == 2) return RuleMalformed;
      slash = true;
      count = 2;
    } else if (c == 'b' || c == 's') {
      if (part.letter == 0 && !part.counted) {
        part.letter = c;
      } else if (part.letter != 0 && !slash && count == 1) {
        parts[1].letter = c;  // "B3S23": the letter starts the next part
        count = 2;
      } else {
        return RuleMalformed;
      }
    } else if (c == '9') {
      return RuleCountOverEight;
    } else {
      part.counts = static_cast<uint16_t>(part.counts | 1u << (c - '0'));
      part.counted = true;
    }
  }
  // Without a slash or a letter the counts could be either part.
  if (!slash && parts[0].letter == 0) return RuleMalformed;
  if (parts[0].letter != 0 && parts[0].letter == parts[1].letter) return RuleMalformed;
  if (parts[0].letter == 0) parts[0].letter = parts[1].letter == 's' ? 'b' : 's';  // letterless: survive first
  const RulePart& birth = parts[0].letter == 'b' ? parts[0] : parts[1];
  const RulePart& survive = parts[0].letter == 'b' ? parts[1] : parts[0];
  rule->birth = birth.counts;
  rule->survive = survive.counts;
  return RuleOk;
}

size_t CopyOut(const char* whole, size_t length, char* text, size_t size) {
  if (size > 0) {
    const size_t n = length < size ? length : size - 1;
    std::memcpy(text, whole, n);
    text[n] = 0;
  }
  return length;
}

}  // namespace

const char* RuleErrorText(RuleError error) {
  switch (error) {
    case RuleOk:
      return "a Life-like rule";
    case RuleEmpty:
      return "no rule given";
    case RuleTooLong:
      return "the text is far too long to be a rule";
    case RuleBirthOnZero:
      return "B0 rules turn every empty cell on and off each generation, a flashing hazard for people "
             "sensitive to light; they are not run";
    case RuleGenerations:
      return "Generations rules (with a count of states) are not Life-like: cells here are only alive or dead";
    case RuleLargerThanLife:
      return "Larger than Life rules reach past the eight neighbours; only Life-like rules are run";
    case RuleHexagonal:
      return "hexagonal rules (ending in H) are not Life-like: the field has square cells with eight neighbours";
    case RuleVonNeumann:
      return "von Neumann rules (ending in V) count four neighbours; only rules of all eight neighbours are run";
    case RuleNotTotalistic:
      return "the rule depends on where the neighbours are, not only how many; only Life-like rules are run";
    case RuleCountOverEight:
      return "a cell has eight neighbours, so counts go from 0 to 8; 9 is not one";
    case RuleBadGrid:
      return "the text after ':' is not a grid suffix such as :T100,80";
    case RuleMalformed:
      return "not a rule: write it as B3/S23 or 23/3, or give a rule's name";
  }
  return "not a rule";
}

RuleError ParseLifeRule(const char* text, size_t length, LifeRule* rule) {
  if (text == nullptr) length = 0;
  if (length > RuleTextLimit) return RuleTooLong;
  size_t begin = 0;
  size_t end = length;
  while (begin < end && Space(text[begin])) ++begin;
  while (end > begin && Space(text[end - 1])) --end;
  if (begin == end) return RuleEmpty;
  text += begin;
  length = end - begin;

  if (const NamedLifeRule* named = FindNamedRule(text, length)) {
    *rule = named->rule;
    return RuleOk;
  }
  const char* colon = static_cast<const char*>(std::memchr(text, ':', length));
  const size_t body = colon != nullptr ? static_cast<size_t>(colon - text) : length;
  const Packed packed = Pack(text, body);
  const RuleError family = OtherFamily(packed);
  if (family != RuleOk) return family;
  if (colon != nullptr && !GridSuffix(colon + 1, length - body - 1)) return RuleBadGrid;
  LifeRule parsed;
  const RuleError error = ParseBody(packed, &parsed);
  if (error != RuleOk) return error;
  if ((parsed.birth & 1) != 0) return RuleBirthOnZero;
  *rule = parsed;
  return RuleOk;
}

size_t FormatLifeRule(LifeRule rule, char* text, size_t size) {
  char whole[LifeRuleTextSize];
  size_t n = 0;
  whole[n++] = 'B';
  for (int k = 0; k <= 8; ++k)
    if ((rule.birth >> k & 1) != 0) whole[n++] = static_cast<char>('0' + k);
  whole[n++] = '/';
  whole[n++] = 'S';
  for (int k = 0; k <= 8; ++k)
    if ((rule.survive >> k & 1) != 0) whole[n++] = static_cast<char>('0' + k);
  return CopyOut(whole, n, text, size);
}

LifeRule RunnableLifeRule(uint32_t birth, uint32_t survive) {
  if (((birth | survive) & ~uint32_t{LifeRuleCounts}) != 0 || (birth & 1) != 0) return ConwayRule;
  return LifeRule{static_cast<uint16_t>(birth), static_cast<uint16_t>(survive)};
}

const char* LifeRuleName(LifeRule rule) {
  for (int i = 0; i < NamedLifeRuleCount; ++i)
    if (SameLifeRule(NamedLifeRules[i].rule, rule)) return NamedLifeRules[i].name;
  return nullptr;
}

size_t FormatLifeRuleLabel(LifeRule rule, char* text, size_t size) {
  const char* name = LifeRuleName(rule);
  if (name == nullptr) return FormatLifeRule(rule, text, size);
  return CopyOut(name, std::strlen(name), text, size);
}

// ---- Every family -------------------------------------------------------------

CellRule CellRuleOf(LifeRule life) {
  CellRule rule = {};
  rule.kind = RuleCounts;
  rule.states = 2;
  rule.neighbours = NeighboursMoore;
  rule.totalistic = true;
  rule.counts = life;
  for (uint32_t k = 0; k < 512; ++k) {
    const bool alive = (k >> 4 & 1) != 0;
    const int32_t n = __builtin_popcount(k & ~(1u << 4));
    const uint16_t counts = alive ? life.survive : life.birth;
    if ((counts >> n & 1) != 0) rule.map[k >> 3] |= static_cast<uint8_t>(1u << (k & 7));
  }
  FormatLifeRule(life, rule.text, sizeof rule.text);
  return rule;
}

bool IsLifeLike(const CellRule& rule, LifeRule* life) {
  if (rule.kind != RuleCounts || rule.states != 2) return false;
  if (life != nullptr) *life = rule.counts;
  return true;
}

bool SameCellRule(const CellRule& a, const CellRule& b) {
  return a.kind == b.kind && a.states == b.states && std::strcmp(a.text, b.text) == 0 &&
         a.grid.topology == b.grid.topology && a.grid.width == b.grid.width && a.grid.height == b.grid.height;
}

RuleError ParseRule(const char* text, size_t length, CellRule* rule) {
  LifeRule life;
  const RuleError error = ParseLifeRule(text, length, &life);
  if (error != RuleOk) return error;
  *rule = CellRuleOf(life);
  return RuleOk;
}

size_t FormatRule(const CellRule& rule, char* text, size_t size) {
  return CopyOut(rule.text, std::strlen(rule.text), text, size);
}

size_t FormatRuleForBgolly(const CellRule& rule, char* text, size_t size) { return FormatRule(rule, text, size); }

size_t FormatRuleRefusal(const char* text, size_t length, RuleError error, char* out, size_t size) {
  (void)text;
  (void)length;
  const char* line = RuleErrorText(error);
  return CopyOut(line, std::strlen(line), out, size);
}

const NamedRule NamedRules[] = {
    {"Conway's Life", "B3/S23", true},
};
const int NamedRuleCount = sizeof NamedRules / sizeof NamedRules[0];

const char* RuleName(const CellRule& rule) {
  LifeRule life;
  return IsLifeLike(rule, &life) ? LifeRuleName(life) : nullptr;
}

size_t FormatRuleLabel(const CellRule& rule, char* text, size_t size) {
  const char* name = RuleName(rule);
  if (name == nullptr) return FormatRule(rule, text, size);
  return CopyOut(name, std::strlen(name), text, size);
}
