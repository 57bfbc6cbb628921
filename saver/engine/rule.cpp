// Rule notation of every family: parsing, formatting, refusals and the named rules.
#include "engine/rule.h"

#include <cstring>

// Chosen as lively: rules where a random field keeps moving for a long time,
// with gliders or lasting activity, and without cells that live a single
// generation everywhere (Seeds, Gnarl and Replicator boil into full-screen
// flicker). Rules that freeze into mazes, walls, stains or slowly growing
// solid blobs (Life without Death, Maze, Coral, Stains, Coagulations, Walled
// Cities, Anneal, Diamoeba) are worth seeing on purpose, not at random.
// Written once here for both tables: NamedLifeRules and the head of NamedRules.
#define LIFE_LIKE_NAMED_RULES(ROW)                                                   \
  ROW("Conway's Life", "B3/S23", true)                                               \
  ROW("HighLife", "B36/S23", true)              /* Life with a replicator */         \
  ROW("Day & Night", "B3678/S34678", true)      /* dead and live regions alike */    \
  ROW("Seeds", "B2/S", false)                                                        \
  ROW("Life without Death", "B3/S012345678", false)                                  \
  ROW("Morley", "B368/S245", true)              /* many ships and puffers */         \
  ROW("2x2", "B36/S125", true)                  /* block oscillators and ships */    \
  ROW("Maze", "B3/S12345", false)                                                    \
  ROW("Replicator", "B1357/S1357", false)                                            \
  ROW("Diamoeba", "B35678/S5678", false)                                             \
  ROW("Anneal", "B4678/S35678", false)                                               \
  ROW("Coral", "B3/S45678", false)                                                   \
  ROW("Gnarl", "B1/S1", false)                                                       \
  ROW("Long Life", "B345/S5", true)             /* very long-lived oscillators */    \
  ROW("Amoeba", "B357/S1358", true)             /* shifting blobs */                 \
  ROW("Pedestrian Life", "B38/S23", true)       /* Life with a replicator */         \
  ROW("Stains", "B3678/S235678", false)                                              \
  ROW("Coagulations", "B378/S235678", false)                                         \
  ROW("Walled Cities", "B45678/S2345", false)                                        \
  ROW("DryLife", "B37/S23", true)               /* Life with more gliders */         \
  ROW("Serviettes", "B234/S", false)            /* Persian rugs */

namespace {

// The counts of a text in plain B/S notation ("B36/S23"), at compile time.
constexpr LifeRule LifeRuleOfText(const char* text) {
  LifeRule rule = {0, 0};
  bool survive = false;
  for (; *text != 0; ++text) {
    if (*text == 'S') survive = true;
    if (*text >= '0' && *text <= '8') {
      uint16_t& counts = survive ? rule.survive : rule.birth;
      counts = static_cast<uint16_t>(counts | 1u << (*text - '0'));
    }
  }
  return rule;
}

}  // namespace

#define NAMED_LIFE_RULE(name, text, lively) {name, LifeRuleOfText(text), lively},
constexpr NamedLifeRule NamedLifeRules[] = {LIFE_LIKE_NAMED_RULES(NAMED_LIFE_RULE)};
#undef NAMED_LIFE_RULE
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
    case RuleTable:
      return "a rule table, which tumbra does not run";
    case RuleMargolus:
      return "a Margolus rule, which tumbra does not run";
    case RuleOneDimensional:
      return "a one-dimensional rule, which tumbra does not run";
    case RuleStates:
      return "a rule has 2 to 256 states (Larger than Life writes 2 as C0)";
    case RuleCountOverNeighbours:
      return "a hexagonal cell has six neighbours and a von Neumann cell four, so no count goes above that";
    case RuleBadLetter:
      return "a neighbourhood letter its count cannot have: 1 and 7 take c and e, 2 and 6 also k, a, i and n, "
             "3 and 5 also y, q, j and r, 4 also t, w and z, 0 and 8 none";
    case RuleLettersNotMoore:
      return "neighbourhood letters go with the eight neighbours only, not with a hexagonal or von Neumann rule";
    case RuleBadMap:
      return "a MAP rule is MAP and 86, 22 or 6 base64 characters (eight, six or four neighbours), then perhaps "
             "/ and the states";
    case RuleLargerSyntax:
      return "a Larger than Life rule is written Rr,Cc,Mm,Smin..max,Bmin..max,Nn (n: M, N or C) or r,bmin,bmax,smin,smax";
    case RuleLargerRange:
      return "a Larger than Life range goes from 1 to 500";
    case RuleLargerLimits:
      return "Larger than Life limits go from 0 to the number of cells counted, the lower one first";
    case RuleGridShape:
      return "Golly has no such grid: a Klein bottle, cross-surface or sphere needs its sides, a shift goes on one "
             "pair of edges of a torus or the twisted edges of a Klein bottle, a sphere has one side, and a Larger "
             "than Life grid is a torus or a plane of at most 100 million cells";
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

namespace {

// The cells of the 3 x 3 block as bits of a neighbourhood index (CellRule::map).
const uint32_t CellNW = 1u << 8, CellN = 1u << 7, CellNE = 1u << 6, CellW = 1u << 5, CellC = 1u << 4,
               CellE = 1u << 3, CellSW = 1u << 2, CellS = 1u << 1, CellSE = 1u;
const uint32_t MooreCells = 0x1FF & ~CellC;

// What Golly's notation says of each neighbourhood: the letter that ends its
// B/S rules, the cells it counts, and the order of the block's cells in the
// bits of its MAP rules, first cell first: the reading order, as bgolly's
// Generations runs them. (bgolly 3.3's QuickLife and HashLife swap the top
// and bottom rows of hexagonal MAP rules, S SE W C E NW N, unlike its
// Generations and every other neighbourhood.)
struct Neighbourhood {
  RuleNeighbours id;
  char letter;
  uint32_t cells;
  int32_t size;
  size_t mapCharacters;  // base64 characters of its MAP rules
  uint32_t mapOrder[9];  // size + 1 cells, the cell itself among them
};
const Neighbourhood Neighbourhoods[] = {
    {NeighboursMoore, 0, MooreCells, 8, 86, {CellNW, CellN, CellNE, CellW, CellC, CellE, CellSW, CellS, CellSE}},
    {NeighboursHexagonal, 'H', CellNW | CellN | CellW | CellE | CellS | CellSE, 6, 22,
     {CellNW, CellN, CellW, CellC, CellE, CellS, CellSE}},
    {NeighboursVonNeumann, 'V', CellN | CellW | CellE | CellS, 4, 6, {CellN, CellW, CellC, CellE, CellS}},
};
const Neighbourhood& NeighbourhoodOf(RuleNeighbours id) {
  for (const Neighbourhood& n : Neighbourhoods)
    if (n.id == id) return n;
  return Neighbourhoods[0];
}

int32_t Population(uint32_t cells) { return __builtin_popcount(cells); }
bool Outcome(const uint8_t map[64], uint32_t k) { return (map[k >> 3] >> (k & 7) & 1) != 0; }
void SetOutcome(uint8_t map[64], uint32_t k) { map[k >> 3] = static_cast<uint8_t>(map[k >> 3] | 1u << (k & 7)); }

// ---- Hensel's letters ---------------------------------------------------------

// The letters in Golly's order: a count of n (or 8 - n) live neighbours takes
// the first LettersOfCount[n] of them; 0 and 8 take none.
constexpr char HenselOrder[] = "cekainyqjrtwz";
constexpr int8_t LettersOfCount[9] = {0, 2, 6, 10, 13, 10, 6, 2, 0};
int HenselIndex(char c) {
  const char* found = c != 0 ? std::strchr(HenselOrder, Lower(c)) : nullptr;
  return found != nullptr ? static_cast<int>(found - HenselOrder) : -1;
}
// Every letter of a count as a set of letter indexes; counts without letters
// hold one configuration class, bit 0.
uint16_t AllLetters(int count) {
  return LettersOfCount[count] == 0 ? 1 : static_cast<uint16_t>((1u << LettersOfCount[count]) - 1);
}

// One configuration of each letter of 1 to 4 live neighbours, as bgolly runs
// them; the others are its rotations and reflections, and n > 4 neighbours
// with a letter are the dead cells of 8 - n with that letter.
struct HenselClass {
  int8_t count;
  char letter;
  uint32_t cells;
};
constexpr HenselClass HenselClasses[] = {
    {1, 'c', CellNW}, {1, 'e', CellN},
    {2, 'c', CellNW | CellNE}, {2, 'e', CellN | CellW}, {2, 'k', CellNW | CellE}, {2, 'a', CellNW | CellN},
    {2, 'i', CellN | CellS}, {2, 'n', CellNW | CellSE},
    {3, 'c', CellNW | CellNE | CellSW}, {3, 'e', CellN | CellW | CellE}, {3, 'k', CellNW | CellE | CellS},
    {3, 'a', CellNW | CellN | CellW}, {3, 'i', CellNW | CellN | CellNE}, {3, 'n', CellNW | CellN | CellSW},
    {3, 'y', CellNW | CellNE | CellS}, {3, 'q', CellNW | CellN | CellSE}, {3, 'j', CellNW | CellN | CellE},
    {3, 'r', CellNW | CellN | CellS},
    {4, 'c', CellNW | CellNE | CellSW | CellSE}, {4, 'e', CellN | CellW | CellE | CellS},
    {4, 'k', CellNW | CellN | CellE | CellSW}, {4, 'a', CellNW | CellN | CellNE | CellW},
    {4, 'i', CellNW | CellN | CellSW | CellS}, {4, 'n', CellNW | CellN | CellNE | CellSW},
    {4, 'y', CellNW | CellN | CellSW | CellSE}, {4, 'q', CellNW | CellN | CellW | CellSE},
    {4, 'j', CellNW | CellN | CellE | CellS}, {4, 'r', CellNW | CellN | CellW | CellE},
    {4, 't', CellNW | CellN | CellNE | CellS}, {4, 'w', CellNW | CellN | CellE | CellSE},
    {4, 'z', CellNW | CellN | CellS | CellSE},
};

// The eight neighbours turned a quarter clockwise, and mirrored left to right.
constexpr uint32_t Turned(uint32_t c) {
  const uint32_t from[8] = {CellNW, CellN, CellNE, CellE, CellSE, CellS, CellSW, CellW};  // clockwise
  uint32_t out = 0;
  for (int i = 0; i < 8; ++i)
    if ((c & from[i]) != 0) out |= from[(i + 2) % 8];
  return out;
}
constexpr uint32_t Mirrored(uint32_t c) {
  const uint32_t left[3] = {CellNW, CellW, CellSW}, right[3] = {CellNE, CellE, CellSE};
  uint32_t out = c & (CellN | CellS);
  for (int i = 0; i < 3; ++i) {
    if ((c & left[i]) != 0) out |= right[i];
    if ((c & right[i]) != 0) out |= left[i];
  }
  return out;
}

// The letter index of every configuration of the eight (indexed by the
// neighbourhood index without the cell itself); 0 for counts 0 and 8.
struct HenselTable {
  int8_t letter[512];
};
constexpr HenselTable MakeHenselTable() {
  HenselTable table = {};
  for (const HenselClass& hc : HenselClasses) {
    int index = 0;
    while (HenselOrder[index] != hc.letter) ++index;
    uint32_t c = hc.cells;
    for (int mirror = 0; mirror < 2; ++mirror, c = Mirrored(c))
      for (int turn = 0; turn < 4; ++turn, c = Turned(c)) {
        table.letter[c] = static_cast<int8_t>(index);
        if (hc.count < 4) table.letter[MooreCells & ~c] = static_cast<int8_t>(index);
      }
  }
  return table;
}
constexpr HenselTable HenselLetters = MakeHenselTable();

// ---- Reading -------------------------------------------------------------------

// A saturating decimal number at p.c[*i...]; false when there is no digit.
bool ReadNumber(const Packed& p, size_t* i, int64_t* value) {
  const size_t from = *i;
  int64_t v = 0;
  while (*i < p.n && Digit(p.c[*i])) {
    v = v * 10 + (p.c[*i] - '0');
    if (v > int64_t{1} << 40) v = int64_t{1} << 40;
    ++*i;
  }
  *value = v;
  return *i > from;
}

bool IsLetter(const Packed& p, size_t i, char lower) { return i < p.n && Lower(p.c[i]) == lower; }

// A text being built, bounded: what does not fit is dropped.
struct TextOut {
  char c[RuleTextSize * 2];
  size_t n;
};
void Put(TextOut& t, char c) {
  if (t.n + 1 < sizeof t.c) t.c[t.n++] = c;
  t.c[t.n] = 0;
}
void PutText(TextOut& t, const char* text) {
  while (*text != 0) Put(t, *text++);
}
void SetText(CellRule* rule, const TextOut& t) {
  const size_t n = t.n < sizeof rule->text ? t.n : sizeof rule->text - 1;
  std::memcpy(rule->text, t.c, n);
  rule->text[n] = 0;
}
void PutNumber(TextOut& t, int64_t v) {
  if (v < 0) {
    Put(t, '-');
    v = -v;
  }
  char digits[24];
  int n = 0;
  do digits[n++] = static_cast<char>('0' + v % 10);
  while ((v /= 10) != 0);
  while (n > 0) Put(t, digits[--n]);
}

// ---- B/S notation and Generations ------------------------------------------

// What one part (birth or survive) holds: for each count the set of its
// configuration classes (letter indexes; AllLetters when the count is bare).
struct CountSets {
  uint16_t sets[9];
};

// Reads the counts of p.c[from..to), as Golly does: a bare count takes every
// configuration, letters after it only theirs, a '-' straight after it all
// but those letters; a count given twice gathers its letters, and one '-'
// turns them all into exceptions ("B2-a2c" is B2-ac).
RuleError ReadCounts(const Packed& p, size_t from, size_t to, const Neighbourhood& n, CountSets* counts,
                     bool* lettered) {
  uint16_t present = 0, minus = 0, letters[9] = {};
  int count = -1;
  for (size_t i = from; i < to; ++i) {
    const char c = p.c[i];
    if (Digit(c)) {
      count = c - '0';
      if (count > n.size) return n.size == 8 ? RuleCountOverEight : RuleCountOverNeighbours;
      present = static_cast<uint16_t>(present | 1u << count);
    } else if (c == '-') {
      if (i == from || !Digit(p.c[i - 1])) return RuleMalformed;
      minus = static_cast<uint16_t>(minus | 1u << count);
    } else {
      const int letter = HenselIndex(c);
      if (letter < 0 || count < 0) return RuleMalformed;
      if (n.id != NeighboursMoore) return RuleLettersNotMoore;
      if (letter >= LettersOfCount[count]) return RuleBadLetter;
      letters[count] = static_cast<uint16_t>(letters[count] | 1u << letter);
      *lettered = true;
    }
  }
  for (int k = 0; k <= 8; ++k) {
    const uint16_t all = AllLetters(k);
    if ((present >> k & 1) == 0) {
      counts->sets[k] = 0;
    } else if (letters[k] == 0) {
      counts->sets[k] = all;
    } else {
      counts->sets[k] = (minus >> k & 1) != 0 ? static_cast<uint16_t>(all & ~letters[k]) : letters[k];
    }
  }
  return RuleOk;
}

// A part of B/S notation: its letter ('b', 's' or 0) and where its counts are.
struct Part {
  char letter;
  size_t from;
  size_t to;
};

// A part that is one piece between separators: a letter may only open it.
RuleError SeparatedPart(const Packed& p, size_t from, size_t to, Part* part) {
  *part = {0, from, to};
  if (from < to && (Lower(p.c[from]) == 'b' || Lower(p.c[from]) == 's')) {
    part->letter = Lower(p.c[from]);
    part->from = from + 1;
  }
  for (size_t i = part->from; i < to; ++i)
    if (Lower(p.c[i]) == 'b' || Lower(p.c[i]) == 's') return RuleMalformed;
  return RuleOk;
}

// Birth and survive parts from one piece without a separator ("B3S23", "S23",
// "B3"): it opens with a letter, and the other letter may start the second.
RuleError UnseparatedParts(const Packed& p, size_t from, size_t to, Part parts[2]) {
  if (from == to || (Lower(p.c[from]) != 'b' && Lower(p.c[from]) != 's')) return RuleMalformed;
  size_t second = to;
  for (size_t i = from + 1; i < to; ++i)
    if (Lower(p.c[i]) == 'b' || Lower(p.c[i]) == 's') {
      if (second != to) return RuleMalformed;
      second = i;
    }
  parts[0] = {Lower(p.c[from]), from + 1, second};
  parts[1] = {0, to, to};
  if (second != to) parts[1] = {Lower(p.c[second]), second + 1, to};
  return RuleOk;
}

// The states of a Generations rule's third part: digits, perhaps after C or G.
RuleError ReadStates(const Packed& p, size_t from, size_t to, int32_t* states) {
  size_t i = from;
  if (i < to && (Lower(p.c[i]) == 'c' || Lower(p.c[i]) == 'g')) ++i;
  int64_t value;
  if (!ReadNumber(p, &i, &value) || i != to) return RuleMalformed;
  if (value < 2 || value > RuleMaxStates) return RuleStates;
  *states = static_cast<int32_t>(value);
  return RuleOk;
}

// The text of one part's counts, as Golly writes it: counts ascending, each
// with its letters in alphabetical order or '-' and the letters it lacks,
// whichever is shorter (the letters on a tie); a count with every letter bare.
void PutCounts(TextOut& t, const CountSets& counts, int32_t size) {
  for (int k = 0; k <= size; ++k) {
    const uint16_t set = counts.sets[k];
    if (set == 0) continue;
    Put(t, static_cast<char>('0' + k));
    const uint16_t all = AllLetters(k);
    if (set == all) continue;
    const int have = Population(set);
    const bool negated = 1 + (LettersOfCount[k] - have) < have;
    if (negated) Put(t, '-');
    for (char c = 'a'; c <= 'z'; ++c) {
      const int index = HenselIndex(c);
      if (index >= 0 && index < LettersOfCount[k] && ((set >> index & 1) != 0) != negated) Put(t, c);
    }
  }
}

// Whether the table depends only on how many of the neighbourhood's cells are
// alive; the counts that give life when it does.
bool TotalisticMap(const uint8_t map[64], const Neighbourhood& n, LifeRule* counts) {
  int8_t seen[2][9];
  std::memset(seen, -1, sizeof seen);
  for (uint32_t k = 0; k < 512; ++k) {
    const int alive = (k & CellC) != 0 ? 1 : 0;
    const int count = Population(k & n.cells);
    const int8_t out = Outcome(map, k) ? 1 : 0;
    if (seen[alive][count] >= 0 && seen[alive][count] != out) return false;
    seen[alive][count] = out;
  }
  *counts = {0, 0};
  for (int k = 0; k <= n.size; ++k) {
    if (seen[0][k] == 1) counts->birth = static_cast<uint16_t>(counts->birth | 1u << k);
    if (seen[1][k] == 1) counts->survive = static_cast<uint16_t>(counts->survive | 1u << k);
  }
  return true;
}

// Kind, totalistic flag and counts of a rule of the 3 x 3 block from its
// table: the count kernels run every table of Moore counts, whatever its text.
void ClassifyMap(CellRule* rule) {
  const Neighbourhood& n = NeighbourhoodOf(rule->neighbours);
  LifeRule counts = {0, 0};
  rule->totalistic = TotalisticMap(rule->map, n, &counts);
  rule->counts = rule->totalistic ? counts : LifeRule{0, 0};
  rule->kind = rule->totalistic && n.id == NeighboursMoore ? RuleCounts : RuleMapped;
}

// B/S notation of any neighbourhood, with an optional third part of states:
// "B3/S23", "23/3", "B2-a/S12", "B2cek3i_S12cei", "B2/S34H", "345/2/4",
// "B2/S/C3", "3/2/4H"; givenStates, when not 0, are those of Catagolue's "g3b2s".
RuleError ReadBirthSurvive(const Packed& whole, int32_t givenStates, CellRule* rule) {
  Packed p = whole;
  const Neighbourhood* n = &Neighbourhoods[0];
  if (p.n > 0)
    for (const Neighbourhood& candidate : Neighbourhoods)
      if (candidate.letter != 0 && Lower(p.c[p.n - 1]) == Lower(candidate.letter)) {
        n = &candidate;
        --p.n;
        break;
      }
  size_t slashes = 0, underscores = 0, separators[3];
  for (size_t i = 0; i < p.n; ++i)
    if (p.c[i] == '/' || p.c[i] == '_') {
      (p.c[i] == '/' ? slashes : underscores) += 1;
      if (slashes + underscores > 2) return RuleMalformed;
      separators[slashes + underscores - 1] = i;
    }
  const size_t pieces = slashes + underscores + 1;
  if (slashes > 0 && underscores > 0 && pieces < 3) return RuleMalformed;  // Generations mixes them, as Golly
  if (pieces == 3 && givenStates != 0) return RuleMalformed;

  Part parts[2];
  RuleError error = RuleOk;
  int32_t states = givenStates != 0 ? givenStates : 2;
  if (pieces == 1) {
    error = UnseparatedParts(p, 0, p.n, parts);
  } else {
    error = SeparatedPart(p, 0, separators[0], &parts[0]);
    if (error == RuleOk) error = SeparatedPart(p, separators[0] + 1, pieces == 3 ? separators[1] : p.n, &parts[1]);
    if (error == RuleOk && pieces == 3) error = ReadStates(p, separators[1] + 1, p.n, &states);
    if (error == RuleOk && parts[0].letter == 0)  // letterless: survive first, or the other of the other's letter
      parts[0].letter = parts[1].letter == 's' ? 'b' : 's';
    if (error == RuleOk && parts[1].letter == 0) parts[1].letter = parts[0].letter == 'b' ? 's' : 'b';
  }
  if (error != RuleOk) return error;
  if (parts[0].letter == parts[1].letter) return RuleMalformed;

  CountSets birth = {}, survive = {};
  bool lettered = false;
  const Part& b = parts[0].letter == 'b' ? parts[0] : parts[1];
  const Part& s = parts[0].letter == 'b' ? parts[1] : parts[0];
  error = ReadCounts(p, b.from, b.to, *n, &birth, &lettered);
  if (error == RuleOk) error = ReadCounts(p, s.from, s.to, *n, &survive, &lettered);
  if (error != RuleOk) return error;
  if (underscores > 0 && !lettered) return RuleMalformed;  // Golly takes '_' only with letters
  if (birth.sets[0] != 0) return RuleBirthOnZero;

  CellRule out = {};
  out.states = states;
  out.neighbours = n->id;
  for (uint32_t k = 0; k < 512; ++k) {
    const uint32_t around = k & n->cells;
    const CountSets& counts = (k & CellC) != 0 ? survive : birth;
    const int letter = n->id == NeighboursMoore ? HenselLetters.letter[around] : 0;
    const uint16_t set = counts.sets[Population(around)];
    if (n->id == NeighboursMoore ? (set >> letter & 1) != 0 : set != 0) SetOutcome(out.map, k);
  }
  ClassifyMap(&out);

  TextOut t = {};
  Put(t, 'B');
  PutCounts(t, birth, n->size);
  PutText(t, "/S");
  PutCounts(t, survive, n->size);
  if (states > 2) {
    PutText(t, "/C");
    PutNumber(t, states);
  }
  if (n->letter != 0) Put(t, n->letter);
  SetText(&out, t);
  *rule = out;
  return RuleOk;
}

// Catagolue's Generations rules: "g3b2s", g and the states before B/S notation.
RuleError ReadGenerationsG(const Packed& p, CellRule* rule) {
  size_t i = 1;
  int64_t states;
  if (!ReadNumber(p, &i, &states)) return RuleMalformed;
  if (states < 2 || states > RuleMaxStates) return RuleStates;
  Packed rest = {};
  for (; i < p.n; ++i) rest.c[rest.n++] = p.c[i];
  for (size_t k = 0; k < rest.n; ++k)
    if (rest.c[k] == '/' || rest.c[k] == '_') return RuleMalformed;
  return ReadBirthSurvive(rest, static_cast<int32_t>(states), rule);
}

// ---- MAP rules -------------------------------------------------------------------

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (Digit(c)) return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// "MAP" and the base64 of the neighbourhood's table, entry 0 first, each
// entry's bits in the neighbourhood's MAP order; "==" may follow, and
// "/states" for Generations. The text keeps the characters as given, as
// Golly does.
// The base64 characters of p.c[from..to), without a closing "==": their
// number when all are base64, else 0.
size_t Base64Run(const Packed& p, size_t from, size_t to) {
  if (to >= from + 2 && p.c[to - 1] == '=' && p.c[to - 2] == '=') to -= 2;
  for (size_t i = from; i < to; ++i)
    if (Base64Value(p.c[i]) < 0) return 0;
  return to - from;
}

const Neighbourhood* MapNeighbourhood(size_t characters) {
  for (const Neighbourhood& n : Neighbourhoods)
    if (n.mapCharacters == characters) return &n;
  return nullptr;
}

RuleError ReadMap(const Packed& p, CellRule* rule) {
  // '/' is a base64 character too: the states follow the last one when the
  // whole text is not a table ("MAP.../3").
  size_t characters = Base64Run(p, 3, p.n);
  int32_t states = 2;
  if (MapNeighbourhood(characters) == nullptr) {
    size_t slash = p.n;
    while (slash > 3 && p.c[slash - 1] != '/') --slash;
    if (slash <= 3) return RuleBadMap;
    characters = Base64Run(p, 3, slash - 1);
    if (MapNeighbourhood(characters) == nullptr) return RuleBadMap;
    const RuleError error = ReadStates(p, slash, p.n, &states);
    if (error != RuleOk) return error == RuleMalformed ? RuleBadMap : error;
  }
  const Neighbourhood* n = MapNeighbourhood(characters);

  CellRule out = {};
  out.states = states;
  out.neighbours = n->id;
  const int32_t cells = n->size + 1;
  for (uint32_t k = 0; k < 512; ++k) {
    uint32_t entry = 0;
    for (int32_t c = 0; c < cells; ++c) entry = entry << 1 | ((k & n->mapOrder[c]) != 0 ? 1 : 0);
    const int value = Base64Value(p.c[3 + entry / 6]);
    if ((value >> (5 - entry % 6) & 1) != 0) SetOutcome(out.map, k);
  }
  if (Outcome(out.map, 0)) return RuleBirthOnZero;
  ClassifyMap(&out);

  TextOut t = {};
  PutText(t, "MAP");
  for (size_t c = 0; c < characters; ++c) Put(t, p.c[3 + c]);
  if (states > 2) {
    Put(t, '/');
    PutNumber(t, states);
  }
  SetText(&out, t);
  *rule = out;
  return RuleOk;
}

// ---- Larger than Life ------------------------------------------------------------

// Golly's canonical text of a Larger than Life rule.
void PutLarger(TextOut& t, const LargerThanLife& l, int32_t states) {
  Put(t, 'R');
  PutNumber(t, l.range);
  PutText(t, ",C");
  PutNumber(t, states > 2 ? states : 0);
  PutText(t, l.middle ? ",M1,S" : ",M0,S");
  PutNumber(t, l.surviveLow);
  PutText(t, "..");
  PutNumber(t, l.surviveHigh);
  PutText(t, ",B");
  PutNumber(t, l.birthLow);
  PutText(t, "..");
  PutNumber(t, l.birthHigh);
  PutText(t, ",N");
  Put(t, l.shape);
}

// One "<letter><number>" field and the comma after it (none after the last).
bool LargerField(const Packed& p, size_t* i, char letter, int64_t* value) {
  if (!IsLetter(p, *i, letter)) return false;
  ++*i;
  return ReadNumber(p, i, value);
}
bool LargerRange(const Packed& p, size_t* i, char letter, int64_t* low, int64_t* high) {
  if (!LargerField(p, i, letter, low) || !IsLetter(p, *i, '.') || !IsLetter(p, *i + 1, '.')) return false;
  *i += 2;
  return ReadNumber(p, i, high);
}
bool Comma(const Packed& p, size_t* i) {
  if (!IsLetter(p, *i, ',')) return false;
  ++*i;
  return true;
}

// "R5,C0,M1,S34..58,B34..45,NM" (a comma may end it, as Golly takes) or
// Kellie Evans' "r,bmin,bmax,smin,smax", which counts the cell itself on the
// square.
RuleError ReadLarger(const Packed& p, CellRule* rule) {
  int64_t range, states = 0, middle = 1, sLow, sHigh, bLow, bHigh;
  char shape = 'M';
  size_t i = 0;
  if (Digit(p.c[0])) {
    int64_t v[5];
    for (int k = 0; k < 5; ++k)
      if ((k > 0 && !Comma(p, &i)) || !ReadNumber(p, &i, &v[k])) return RuleLargerSyntax;
    if (i != p.n) return RuleLargerSyntax;
    range = v[0], bLow = v[1], bHigh = v[2], sLow = v[3], sHigh = v[4];
  } else {
    if (!LargerField(p, &i, 'r', &range) || !Comma(p, &i) || !LargerField(p, &i, 'c', &states) || !Comma(p, &i) ||
        !LargerField(p, &i, 'm', &middle) || !Comma(p, &i) || !LargerRange(p, &i, 's', &sLow, &sHigh) ||
        !Comma(p, &i) || !LargerRange(p, &i, 'b', &bLow, &bHigh) || !Comma(p, &i) || !IsLetter(p, i, 'n') ||
        i + 1 >= p.n)
      return RuleLargerSyntax;
    shape = static_cast<char>(Lower(p.c[i + 1]) - 'a' + 'A');
    i += 2;
    if (i < p.n && p.c[i] == ',') ++i;
    if (i != p.n || (shape != 'M' && shape != 'N' && shape != 'C') || middle > 1) return RuleLargerSyntax;
  }
  if (range < 1 || range > LargerRangeLimit) return RuleLargerRange;
  if (states > RuleMaxStates) return RuleStates;
  LargerThanLife l = {static_cast<int32_t>(range), middle == 1, shape, 0, 0, 0, 0};
  const int64_t most = LargerCount(l);
  if (sHigh > most || bHigh > most || sLow > sHigh || bLow > bHigh) return RuleLargerLimits;
  if (bLow == 0) return RuleBirthOnZero;
  l.surviveLow = static_cast<int32_t>(sLow);
  l.surviveHigh = static_cast<int32_t>(sHigh);
  l.birthLow = static_cast<int32_t>(bLow);
  l.birthHigh = static_cast<int32_t>(bHigh);

  CellRule out = {};
  out.kind = RuleLarger;
  out.states = states > 2 ? static_cast<int32_t>(states) : 2;
  out.neighbours = NeighboursMoore;
  out.larger = l;
  TextOut t = {};
  PutLarger(t, l, out.states);
  SetText(&out, t);
  *rule = out;
  return RuleOk;
}

// ---- Grids -----------------------------------------------------------------------

// One side of a grid suffix: digits (none is 0), then perhaps '*' and a shift.
struct GridSide {
  bool given;     // digits
  int64_t cells;
  bool twisted;
  bool shifted;   // a sign, with or without digits
  int64_t shift;
};
bool ReadGridSide(const Packed& p, size_t* i, GridSide* side) {
  *side = {};
  side->given = ReadNumber(p, i, &side->cells);
  if (side->cells > RuleGridSideLimit) side->cells = RuleGridSideLimit;
  if (IsLetter(p, *i, '*')) {
    side->twisted = true;
    ++*i;
  }
  if (IsLetter(p, *i, '+') || IsLetter(p, *i, '-')) {
    const bool negative = p.c[*i] == '-';
    ++*i;
    side->shifted = true;
    ReadNumber(p, i, &side->shift);
    if (negative) side->shift = -side->shift;
  }
  return true;
}

// A shift on an edge of `cells` cells, as Golly keeps it: within the side,
// and on a Klein bottle only 0 or 1 (1 when the twisted side is even).
int32_t GridShift(int64_t shift, int64_t cells, bool klein) {
  if (cells == 0) return 0;
  const int64_t kept = shift % cells;
  if (klein) return kept != 0 && cells % 2 == 0 ? 1 : 0;
  return static_cast<int32_t>(kept);
}

// Golly's grid suffix (the text after ':') of a rule of the 3 x 3 block.
RuleError ReadGrid(const Packed& p, RuleGrid* grid) {
  *grid = {};
  if (p.n == 0) return RuleOk;
  const char topology = static_cast<char>(Lower(p.c[0]) - 'a' + 'A');
  if (!OneOf(topology, "PTKCS")) return RuleBadGrid;
  if (p.n == 1) return RuleOk;  // ":T" alone is no grid
  size_t i = 1;
  GridSide w = {}, h = {};
  ReadGridSide(p, &i, &w);
  const bool comma = Comma(p, &i);
  if (comma) ReadGridSide(p, &i, &h);
  if (comma && i + 1 == p.n && p.c[i] == ',') ++i;  // a comma may end it, as Golly takes
  if (i != p.n) return RuleBadGrid;
  if (!comma || (!h.given && !h.twisted && !h.shifted)) h.cells = w.cells;
  // No sides is no grid, and so are zero sides of a plane or a torus ("T0");
  // other surfaces need both sides.
  const bool plain = !w.twisted && !h.twisted && !w.shifted && !h.shifted;
  if (plain && !w.given && !h.given) return RuleOk;
  if (plain && w.cells == 0 && h.cells == 0 && (topology == 'P' || topology == 'T')) return RuleOk;

  const bool klein = topology == 'K';
  if ((w.twisted || h.twisted) && !klein) return RuleGridShape;
  if ((w.shifted || h.shifted) && (topology == 'P' || topology == 'C' || topology == 'S')) return RuleGridShape;
  if (topology == 'S' && comma) return RuleGridShape;
  if (topology != 'P' && topology != 'T' && (w.cells == 0 || h.cells == 0)) return RuleGridShape;
  // Shifts need both sides, and go on one pair of edges only.
  if ((w.shifted || h.shifted) && (w.cells == 0 || h.cells == 0 || (w.shifted && h.shifted))) return RuleGridShape;
  if (klein) {
    if (w.twisted && h.twisted) return RuleGridShape;
    if (!w.twisted) h.twisted = true;  // the vertical edges when the text names none
    if ((w.shifted && !w.twisted) || (h.shifted && !h.twisted)) return RuleGridShape;
  }
  grid->topology = topology;
  grid->width = static_cast<int32_t>(w.cells);
  grid->height = static_cast<int32_t>(h.cells);
  grid->twist = w.twisted ? 'H' : h.twisted ? 'V' : 0;
  grid->horizontalShift = w.shifted ? GridShift(w.shift, w.cells, klein) : 0;
  grid->verticalShift = h.shifted ? GridShift(h.shift, h.cells, klein) : 0;
  return RuleOk;
}

// A Larger than Life grid: a torus or a plane, without twists or shifts;
// sides below twice the range are raised to it, and no sides at all are
// LargerDefaultSide.
RuleError ReadLargerGrid(const Packed& p, int32_t range, RuleGrid* grid) {
  *grid = {};
  size_t i = 0;
  char topology = 'T';
  if (p.n > 0) {
    topology = static_cast<char>(Lower(p.c[0]) - 'a' + 'A');
    if (topology != 'T' && topology != 'P') return RuleGridShape;
    i = 1;
  }
  int64_t width = 0, height = 0;
  const bool wide = ReadNumber(p, &i, &width);
  const bool comma = Comma(p, &i);
  const bool high = comma && ReadNumber(p, &i, &height);
  if (comma && IsLetter(p, i, ',') && i + 1 == p.n) ++i;
  if (i != p.n || (high && !wide)) return RuleBadGrid;
  if (!wide) width = height = LargerDefaultSide;
  if (!high) height = width;
  if (width > RuleGridSideLimit) width = RuleGridSideLimit;
  if (height > RuleGridSideLimit) height = RuleGridSideLimit;
  const int64_t least = 2 * int64_t{range};
  if (width < least) width = least;
  if (height < least) height = least;
  if (width * height > LargerGridCellLimit) return RuleGridShape;
  *grid = {topology, static_cast<int32_t>(width), static_cast<int32_t>(height), 0, 0, 0};
  return RuleOk;
}

void PutGrid(TextOut& t, const RuleGrid& g) {
  if (g.topology == 0) return;
  Put(t, ':');
  Put(t, g.topology);
  PutNumber(t, g.width);
  if (g.twist == 'H') Put(t, '*');
  if (g.horizontalShift != 0) {
    if (g.horizontalShift > 0) Put(t, '+');
    PutNumber(t, g.horizontalShift);
  }
  if (g.topology == 'S') return;
  Put(t, ',');
  PutNumber(t, g.height);
  if (g.twist == 'V') Put(t, '*');
  if (g.verticalShift != 0) {
    if (g.verticalShift > 0) Put(t, '+');
    PutNumber(t, g.verticalShift);
  }
}

// ---- Names and refusals -----------------------------------------------------------

const NamedRule* FindAnyNamedRule(const char* text, size_t length) {
  for (int i = 0; i < NamedRuleCount; ++i)
    if (SpellsName(text, length, NamedRules[i].name)) return &NamedRules[i];
  const LifeRuleAlias* const tables[] = {LifeRuleAliases, NamedRuleAliases};
  const int counts[] = {LifeRuleAliasCount, NamedRuleAliasCount};
  for (int t = 0; t < 2; ++t)
    for (int i = 0; i < counts[t]; ++i)
      if (SpellsName(text, length, tables[t][i].alias))
        for (int k = 0; k < NamedRuleCount; ++k)
          if (std::strcmp(NamedRules[k].name, tables[t][i].name) == 0) return &NamedRules[k];
  return nullptr;
}

bool NameChar(char c) { return Letter(c) || Digit(c) || c == '-' || c == '_'; }

// Text that reads as B/S notation, however broken: it opens with a count or
// a slash, or with B or S followed by a count, a separator, the other letter
// or nothing. Anything else made of a name's characters names a rule table.
bool NotationLike(const Packed& whole) {
  Packed p = whole;
  if (p.n > 0 && (Lower(p.c[p.n - 1]) == 'h' || Lower(p.c[p.n - 1]) == 'v')) --p.n;
  if (p.n == 0 || Digit(p.c[0]) || p.c[0] == '/' || p.c[0] == '_') return true;
  const char first = Lower(p.c[0]);
  if (first != 'b' && first != 's') return false;
  if (p.n == 1) return true;
  const char second = Lower(p.c[1]);
  return Digit(second) || second == '/' || second == '_' || second == (first == 'b' ? 's' : 'b');
}

bool Contains(const Packed& p, const char* lowerWord) {
  const size_t n = std::strlen(lowerWord);
  for (size_t i = 0; i + n <= p.n; ++i) {
    size_t k = 0;
    while (k < n && Lower(p.c[i + k]) == lowerWord[k]) ++k;
    if (k == n) return true;
  }
  return false;
}

// The family of the rule body p, read into *rule (grid not yet set).
RuleError ReadBody(const Packed& p, CellRule* rule) {
  if (p.n == 0) return RuleEmpty;
  const char first = Lower(p.c[0]);
  const char second = p.n > 1 ? Lower(p.c[1]) : 0;
  if (StartsWith(p, "map")) return ReadMap(p, rule);
  if ((first == 'r' && Digit(second)) || (Digit(first) && std::memchr(p.c, ',', p.n) != nullptr))
    return ReadLarger(p, rule);
  if (StartsWith(p, "ms,")) return RuleMargolus;
  if (first == 'w' && p.n > 1 && AllOf(p, 1, p.n, Digit)) return RuleOneDimensional;
  if (first == 'g' && Digit(second)) return ReadGenerationsG(p, rule);
  const RuleError error = ReadBirthSurvive(p, 0, rule);
  if (error != RuleMalformed || NotationLike(p) || !AllOf(p, 0, p.n, NameChar)) return error;
  return Contains(p, "margolus") ? RuleMargolus : RuleTable;
}

// Refusals that say what the text is: "WireWorld is a rule table, ...". They
// name the rule without its grid; the others give the whole text and then
// the reason after a colon.
const RuleError KindsOfRule[] = {RuleTable, RuleMargolus, RuleOneDimensional};

// The rule's text for a refusal line: trimmed, at most RefusalNameLimit
// characters (more end in "..."), anything unprintable as '?'.
const size_t RefusalNameLimit = 48;
void PutRuleName(TextOut& t, const char* text, size_t length) {
  size_t begin = 0, end = length;
  while (begin < end && Space(text[begin])) ++begin;
  while (end > begin && Space(text[end - 1])) --end;
  for (size_t i = begin; i < end && i - begin < RefusalNameLimit; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    Put(t, c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  }
  if (end - begin > RefusalNameLimit) PutText(t, "...");
}

}  // namespace

int32_t LargerCount(const LargerThanLife& l) {
  const int64_t r = l.range < 1 ? 1 : l.range > LargerRangeLimit ? LargerRangeLimit : l.range;
  int64_t cells = 0;
  if (l.shape == 'N') {
    cells = 2 * r * (r + 1) + 1;
  } else if (l.shape == 'C') {
    // The cells nearer the middle than r + 1/2: x^2 + y^2 <= r^2 + r, a row
    // of 2x + 1 cells at each y, x shrinking as |y| grows.
    int64_t x = r;
    for (int64_t y = 0; y <= r; ++y) {
      while (x * x + y * y > r * r + r) --x;
      cells += (y == 0 ? 1 : 2) * (2 * x + 1);
    }
  } else {
    cells = (2 * r + 1) * (2 * r + 1);
  }
  return static_cast<int32_t>(l.middle ? cells : cells - 1);
}

CellRule CellRuleOf(LifeRule life) {
  CellRule rule = {};
  rule.kind = RuleCounts;
  rule.states = 2;
  rule.neighbours = NeighboursMoore;
  rule.totalistic = true;
  rule.counts = life;
  for (uint32_t k = 0; k < 512; ++k) {
    const bool alive = (k & CellC) != 0;
    const int32_t n = Population(k & MooreCells);
    const uint16_t counts = alive ? life.survive : life.birth;
    if ((counts >> n & 1) != 0) SetOutcome(rule.map, k);
  }
  FormatLifeRule(life, rule.text, sizeof rule.text);
  return rule;
}

bool IsLifeLike(const CellRule& rule, LifeRule* life) {
  if (rule.kind != RuleCounts || rule.states != 2) return false;
  if (life != nullptr) *life = rule.counts;
  return true;
}

namespace {

bool SameGrid(const RuleGrid& a, const RuleGrid& b) {
  return a.topology == b.topology && a.width == b.width && a.height == b.height && a.twist == b.twist &&
         a.horizontalShift == b.horizontalShift && a.verticalShift == b.verticalShift;
}

bool SameLarger(const LargerThanLife& a, const LargerThanLife& b) {
  return a.range == b.range && a.middle == b.middle && a.shape == b.shape && a.surviveLow == b.surviveLow &&
         a.surviveHigh == b.surviveHigh && a.birthLow == b.birthLow && a.birthHigh == b.birthHigh;
}

// The same behaviour, whatever the text: a MAP spelling of B3/S23 is B3/S23.
bool SameCells(const CellRule& a, const CellRule& b) {
  if (a.kind != b.kind || a.states != b.states) return false;
  if (a.kind == RuleLarger) return SameLarger(a.larger, b.larger);
  return std::memcmp(a.map, b.map, sizeof a.map) == 0;
}

}  // namespace

bool SameCellRule(const CellRule& a, const CellRule& b) { return SameCells(a, b) && SameGrid(a.grid, b.grid); }

RuleError ParseRule(const char* text, size_t length, CellRule* rule) {
  if (text == nullptr) length = 0;
  if (length > RuleTextLimit) return RuleTooLong;
  size_t begin = 0, end = length;
  while (begin < end && Space(text[begin])) ++begin;
  while (end > begin && Space(text[end - 1])) --end;
  if (begin == end) return RuleEmpty;
  text += begin;
  length = end - begin;

  const char* colon = static_cast<const char*>(std::memchr(text, ':', length));
  const size_t body = colon != nullptr ? static_cast<size_t>(colon - text) : length;
  CellRule parsed;
  RuleError error;
  if (const NamedRule* named = FindAnyNamedRule(text, body)) {
    error = ReadBody(Pack(named->text, std::strlen(named->text)), &parsed);
  } else {
    error = ReadBody(Pack(text, body), &parsed);
  }
  if (error != RuleOk) return error;
  if (colon != nullptr) {
    // Spaces are not Golly's inside a suffix: they are kept, to be refused.
    Packed suffix = {};
    for (size_t i = body + 1; i < length && suffix.n < RuleTextLimit; ++i) suffix.c[suffix.n++] = text[i];
    error = parsed.kind == RuleLarger ? ReadLargerGrid(suffix, parsed.larger.range, &parsed.grid)
                                      : ReadGrid(suffix, &parsed.grid);
    if (error != RuleOk) return error;
  }
  *rule = parsed;
  return RuleOk;
}

size_t FormatRule(const CellRule& rule, char* text, size_t size) {
  TextOut t = {};
  PutText(t, rule.text);
  PutGrid(t, rule.grid);
  return CopyOut(t.c, t.n, text, size);
}

size_t FormatRuleForBgolly(const CellRule& rule, char* text, size_t size) {
  // bgolly 3.3 reads Generations only as survive/birth/states: "B2/S34/C5H" is "34/2/5H".
  const char* first = std::strchr(rule.text, '/');
  const char* second = first != nullptr ? std::strchr(first + 1, '/') : nullptr;
  if (rule.text[0] != 'B' || second == nullptr || first[1] != 'S' || second[1] != 'C')
    return FormatRule(rule, text, size);
  TextOut t = {};
  for (const char* c = first + 2; c < second; ++c) Put(t, *c);
  Put(t, '/');
  for (const char* c = rule.text + 1; c < first; ++c) Put(t, *c);
  Put(t, '/');
  PutText(t, second + 2);
  PutGrid(t, rule.grid);
  return CopyOut(t.c, t.n, text, size);
}

size_t FormatRuleRefusal(const char* text, size_t length, RuleError error, char* out, size_t size) {
  if (text == nullptr) length = 0;
  bool kind = false;
  for (RuleError k : KindsOfRule) kind |= k == error;
  const char* colon = length > 0 ? static_cast<const char*>(std::memchr(text, ':', length)) : nullptr;
  TextOut t = {};
  if (error != RuleEmpty) PutRuleName(t, text, kind && colon != nullptr ? static_cast<size_t>(colon - text) : length);
  if (t.n > 0) PutText(t, kind ? " is " : ": ");
  PutText(t, RuleErrorText(error));
  return CopyOut(t.c, t.n, out, size);
}

size_t FormatRuleRefusalReason(const char* text, size_t length, RuleError error, char* out, size_t size) {
  for (RuleError kind : KindsOfRule)
    if (kind == error) return FormatRuleRefusal(text, length, error, out, size);
  const char* reason = RuleErrorText(error);
  return CopyOut(reason, std::strlen(reason), out, size);
}

#define NAMED_RULE(name, text, lively) {name, text, lively},
const NamedRule NamedRules[] = {
    LIFE_LIKE_NAMED_RULES(NAMED_RULE)
    // Generations: those of Golly's help, then more of Mirek Wojtowicz's MCell.
    // Lively, as bgolly shows them from a soup of 63% on a torus after 500 and
    // 2500 generations: waves, spirals, ships and fading trees still moving
    // over a field that is neither empty nor boiling. Not lively: those that
    // settle or freeze (Banners, Burst, Caterpillars, Frogs, Lines, Nova,
    // SediMental, Transers) and those that boil into dense noise (Cooties,
    // Ebb & Flow, Lava, Meteor Guns, Sticks).
    {"Brian's Brain", "B2/S/C3", true},
    {"Star Wars", "B2/S345/C4", true},
    {"Banners", "B3457/S2367/C5", false},
    {"Bloomerang", "B34678/S234/C24", true},
    {"Caterpillars", "B378/S124567/C4", false},
    {"Cooties", "B2/S23/C8", false},
    {"Fireworks", "B13/S2/C21", true},
    {"Frogs", "B34/S12/C3", false},
    {"Lava", "B45678/S12345/C8", false},
    {"Lines", "B458/S012345/C3", false},
    {"Sticks", "B2/S3456/C6", false},
    {"Transers", "B26/S345/C5", false},
    {"Xtasy", "B2356/S1456/C16", true},
    {"Burst", "B3468/S0235678/C9", false},
    {"Ebb & Flow", "B36/S012478/C18", false},
    {"Meteor Guns", "B3/S01245678/C8", false},
    {"Nova", "B2478/S45678/C25", false},
    {"SediMental", "B25678/S45678/C4", false},
    {"Spirals", "B234/S2/C5", true},
    {"Living on the Edge", "B3/S345/C6", false},
    {"Belzhab", "B23/S23/C8", true},
    {"Bombers", "B24/S345/C25", true},
    {"Faders", "B2/S2/C25", false},  // dies out from a soup within some hundred generations
    {"Wanderers", "B34678/S345/C5", false},
    // Larger than Life, as Golly's help names them; its Gnarl is not the
    // Life-like one. None is lively: from a uniform soup they die out within
    // a few generations or freeze, and Globe turns most of the field on and
    // off every generation.
    {"Bosco's Rule", "R5,C0,M1,S34..58,B34..45,NM", false},
    {"Bugsmovie", "R10,C0,M1,S123..212,B123..170,NM", false},
    {"Globe", "R8,C0,M0,S163..223,B74..252,NM", false},
    {"LtL Gnarl", "R1,C0,M1,S1..1,B1..1,NN", false},
    {"Majority", "R4,C0,M1,S41..81,B41..81,NM", false},
    {"Majorly", "R7,C0,M1,S113..225,B113..225,NM", false},
    {"ModernArt", "R10,C255,M1,S2..3,B3..3,NM", false},
    {"Waffle", "R7,C0,M1,S100..200,B75..170,NM", false},
    // Isotropic non-totalistic, named in Golly's help and pattern files; from
    // a soup they settle into sparse oscillators and still lifes.
    {"Just Friends", "B2-a/S12", false},
    {"tDryLife", "B37/S2-i34q", false},
    {"Organized Explosion", "B2-a5/S1e2-a35678", false},
    // Hexagonal and von Neumann (Golly's folders name none): Callahan's
    // hexagonal rule with a glider, which settles into blinkers, and the
    // parity of the five cells, which boils.
    {"HexLife", "B2/S34H", false},
    {"Von Neumann Parity", "B13/S024V", false},
};
#undef NAMED_RULE
const int NamedRuleCount = sizeof NamedRules / sizeof NamedRules[0];

const LifeRuleAlias NamedRuleAliases[] = {
    {"Bugs", "Bosco's Rule"},
    {"Bosco", "Bosco's Rule"},
    {"Ebb and Flow", "Ebb & Flow"},
    {"Gnarl LtL", "LtL Gnarl"},
};
const int NamedRuleAliasCount = sizeof NamedRuleAliases / sizeof NamedRuleAliases[0];

const char* RuleName(const CellRule& rule) {
  for (int i = 0; i < NamedRuleCount; ++i)
    if (std::strcmp(NamedRules[i].text, rule.text) == 0) return NamedRules[i].name;
  return nullptr;
}

size_t FormatRuleLabel(const CellRule& rule, char* text, size_t size) {
  const char* name = RuleName(rule);
  if (name == nullptr) return FormatRule(rule, text, size);
  return CopyOut(name, std::strlen(name), text, size);
}
