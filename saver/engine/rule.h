// Rules in the notation Golly uses: Life-like rules (which live-neighbour
// counts make a dead cell come alive and which keep a live cell alive,
// "B3/S23"), rules of every other family Golly runs without a rule table
// (the "Every family" section), and the tables of rules known by name.
#pragma once

#include <cstddef>
#include <cstdint>

// Bit k of birth: a dead cell with k live neighbours is born. Bit k of
// survive: a live cell with k live neighbours lives on. Only bits 0..8.
struct LifeRule {
  uint16_t birth;
  uint16_t survive;
};
const LifeRule ConwayRule = {0x8, 0xC};  // B3/S23
const uint16_t LifeRuleCounts = 0x1FF;   // the bits a rule may set

inline bool SameLifeRule(LifeRule a, LifeRule b) { return a.birth == b.birth && a.survive == b.survive; }
// The rule stored bit masks stand for when tumbra can run it; Conway's for
// masks it cannot run (B0, counts above 8: a key edited by hand).
LifeRule RunnableLifeRule(uint32_t birth, uint32_t survive);

// Why a text was not taken as a rule; RuleErrorText gives a line for people.
enum RuleError {
  RuleOk,
  RuleEmpty,
  RuleTooLong,
  RuleBirthOnZero,
  RuleGenerations,
  RuleLargerThanLife,
  RuleHexagonal,
  RuleVonNeumann,
  RuleNotTotalistic,
  RuleCountOverEight,
  RuleBadGrid,
  RuleMalformed,
  // Only ParseRule gives these.
  RuleTable,                // no family's notation and no known name: a rule table ("WireWorld")
  RuleMargolus,             // a Margolus rule ("MS,D0;8;4;3;2;5;9;7;1;6;10;11;12;13;14;15")
  RuleOneDimensional,       // Wolfram's elementary rules ("W110")
  RuleStates,               // Generations states outside 2..256, Larger than Life's C outside 0..256
  RuleCountOverNeighbours,  // a count above 6 (hexagonal) or 4 (von Neumann)
  RuleBadLetter,            // a neighbourhood letter its count cannot have ("B1a", "B0c")
  RuleLettersNotMoore,      // neighbourhood letters in a hexagonal or von Neumann rule
  RuleBadMap,               // a MAP rule of the wrong length or with a character that is not base64
  RuleLargerSyntax,         // not Rr,Cc,Mm,Sa..b,Bc..d,Nn nor r,bmin,bmax,smin,smax
  RuleLargerRange,          // a range outside 1..LargerRangeLimit
  RuleLargerLimits,         // limits beyond the neighbourhood's size, or the lower above the upper
  RuleGridShape,            // a grid Golly does not make: a sphere with two sides, a Klein bottle without one, ...
};
// One line without a full stop, never null (an unknown value gets a line too).
const char* RuleErrorText(RuleError error);

const size_t RuleTextLimit = 200;  // longer texts are refused unread

// Reads a rule from text[0..length), which need not be terminated; nothing
// past length is read. On RuleOk *rule is set, otherwise it is left alone.
// Taken, with spaces and tabs around the text ignored:
// - a name of the table below (see NamedLifeRules), in any case, with spaces,
//   apostrophes, hyphens, underscores and '&' ignored: "conways life",
//   "Day & Night", "DAYNIGHT", "long-life";
// - B and S parts in either case and either order, with or without the slash
//   between them: "B36/S23", "b36/s23", "S23/B36", "B36S23"; a part may have
//   no digits ("B2/S", "B/S23"), and a part missing altogether is empty
//   ("B3" is B3/S), as Golly reads them;
// - the older survive/birth form without letters: "23/36" is B36/S23, "/3"
//   is B3/S; with one part lettered the other is the other letter
//   ("B3/23" is B3/S23);
// - the digits of a part in any order, repeats counting once ("B33/S32" is
//   B3/S23), as Golly takes them; spaces inside are ignored, as in Golly;
// - a trailing Golly grid suffix, ':' with an optional topology letter
//   (P, T, K, C or S, either case) and then only digits and ",+-*"
//   ("B3/S23:T100,80"): it is accepted and ignored, since the field is
//   always a torus the size of the view, so rules copied from pattern
//   headers work. Anything else after ':' is RuleBadGrid.
// Refused: B0 rules, which flash the whole empty field every generation;
// Generations ("B2/S/3", "/2/3", "23/3/2", "g3b2s"), Larger than Life
// ("R2,C2,M0,S2..3,B3..3,NM", "1,3,3,3,4", "LtL..."), hexagonal ("...H"),
// von Neumann ("...V"), non-totalistic ("B2a/S12", "B2-a/S", "MAP...")
// rules; any count 9; a second slash, B or S; an underscore; anything else.
RuleError ParseLifeRule(const char* text, size_t length, LifeRule* rule);

const size_t LifeRuleTextSize = 22;  // "B012345678/S012345678" and the terminator

// Writes the canonical text of a rule, digits ascending ("B36/S23"), into
// text[0..size): as much as fits, always terminated when size > 0. Returns
// the length of the whole text; it fitted when that is less than size.
// Bits above 8 are not written.
size_t FormatLifeRule(LifeRule rule, char* text, size_t size);

// A rule known by name. Each rule appears once; other names for it are in
// the aliases, which only parsing knows.
struct NamedLifeRule {
  const char* name;
  LifeRule rule;
  bool lively;  // looks good on a screen: worth drawing at random for a new field
};
extern const NamedLifeRule NamedLifeRules[];
extern const int NamedLifeRuleCount;

struct LifeRuleAlias {
  const char* alias;
  const char* name;  // a name of NamedLifeRules
};
extern const LifeRuleAlias LifeRuleAliases[];
extern const int LifeRuleAliasCount;

// The table's name of a rule, or null when it has none.
const char* LifeRuleName(LifeRule rule);
// The rule's name when it has one, else its canonical text; written, and
// counted, as FormatLifeRule does.
size_t FormatLifeRuleLabel(LifeRule rule, char* text, size_t size);

// ---- Every family -------------------------------------------------------------
// The rules of every family tumbra runs, in Golly's notation: Life-like and
// Generations rules (counts of the eight neighbours, with dying states), rules
// of the 3 x 3 block (isotropic non-totalistic, MAP, hexagonal and von
// Neumann), and Larger than Life.

const int32_t RuleMaxStates = 256;
const int32_t LargerRangeLimit = 500;
const size_t RuleTextSize = 128;  // the longest text a rule is written as, and its terminator

// A rule's kind follows from what it does, not from how it is written: a MAP
// text or letters that come to counts of the Moore eight ("B2aceikn3/S") are
// RuleCounts too.
enum RuleKind : int32_t {
  RuleCounts,  // by the number of live cells among the Moore eight: birth and survive counts
  RuleMapped,  // by which of the 3 x 3 block are alive: the outcome of each of its 512 neighbourhoods
  RuleLarger,  // Larger than Life: the number of live cells within a range
};

// Which neighbours a rule of the 3 x 3 block looks at: the other cells of
// the block take no part in it.
enum RuleNeighbours : int32_t {
  NeighboursMoore,       // all eight
  NeighboursHexagonal,   // six: the Moore eight without NE and SW
  NeighboursVonNeumann,  // four: N, W, E and S
};

// Rr,Cc,Mm,Sa..b,Bc..d,Nn: the cells within range r of a cell (a square, a
// diamond or a disc) are counted, the cell itself too when `middle`.
struct LargerThanLife {
  int32_t range;         // 1..LargerRangeLimit
  bool middle;
  char shape;            // 'M' Moore (square), 'N' von Neumann (diamond), 'C' circular
  int32_t surviveLow;    // a live cell lives on with surviveLow..surviveHigh live cells counted
  int32_t surviveHigh;
  int32_t birthLow;      // a dead cell is born with birthLow..birthHigh (never 0)
  int32_t birthHigh;
};

// Golly's bounded grid after ':' ("B3/S23:T200,100"): its topology letter, or
// 0 when the rule names none, and its sides (0: unbounded along that axis;
// never both, and only for a plane or a torus). Sides are at most
// RuleGridSideLimit. A torus may join one pair of edges shifted
// ("T30+5,20": the horizontal edges, by 5 cells; "T30,20-2": the vertical
// ones); a Klein bottle has one pair of edges twisted ("K30*,20": the
// horizontal ones; "K30,20*", the vertical ones, when the text names
// neither) and may shift those by one cell when they are an even number of
// cells long ("K30*+1,20"). A sphere's sides are equal ("S30").
struct RuleGrid {
  char topology;  // 0, 'T' torus, 'P' plane, 'K' Klein bottle, 'C' cross-surface, 'S' sphere
  int32_t width;
  int32_t height;
  char twist;               // Klein bottle: 'H' horizontal edges twisted, 'V' vertical ones; else 0
  int32_t horizontalShift;  // in -width + 1 .. width - 1; 0 without a shift
  int32_t verticalShift;    // in -height + 1 .. height - 1; at most one of the two is not 0
};
const int32_t RuleGridSideLimit = 2000000000;
// Larger than Life grids are a torus or a plane of at most this many cells,
// each side at least twice the range; a suffix without sides (":T") is
// LargerDefaultSide square, as Golly makes it.
const int64_t LargerGridCellLimit = 100000000;
const int32_t LargerDefaultSide = 400;

// Cell states: 0 dead, 1 alive, 2 .. states - 1 dying. A cell that stops
// living moves through the dying states one a generation, then is dead;
// dying cells are not counted as neighbours and are not born into. A dead
// cell is born and a live one lives on as the table (or the Larger than Life
// record) says; neither ever happens to a dying cell.
struct CellRule {
  RuleKind kind;
  int32_t states;             // 2..RuleMaxStates (Generations' C; Larger than Life's C, C0 and C1 being 2)
  RuleNeighbours neighbours;  // the neighbours its notation names (H, V, a MAP length); Moore for RuleLarger
  bool totalistic;            // the table depends only on how many of `neighbours` are alive (B2/S34H, B13/S012V)
  LifeRule counts;            // when totalistic: the counts (0..8, 0..6 or 0..4); else 0
  // Every kind but RuleLarger: bit k & 7 of map[k >> 3] is 1 when neighbourhood k
  // leaves its cell alive, k = NW << 8 | N << 7 | NE << 6 | W << 5 | C << 4 |
  // E << 3 | SW << 2 | S << 1 | SE (each 1 when that cell is alive, C the cell
  // itself), the order of Golly's MAP rules.
  uint8_t map[64];
  LargerThanLife larger;      // RuleLarger
  RuleGrid grid;
  // The canonical text, without the grid suffix (see FormatRule); a MAP rule
  // keeps its base64 characters as given, as Golly does.
  char text[RuleTextSize];
};

// The number of cells a Larger than Life rule counts around a live cell: the
// square, diamond or disc of its range, without the cell itself unless
// `middle`. Its limits go from 0 to this.
int32_t LargerCount(const LargerThanLife& larger);

// A Life-like rule as a rule of any family (no grid).
CellRule CellRuleOf(LifeRule rule);
// True when the rule is Life-like (two states, counts of the Moore eight),
// with those counts in *life when it is not null. The grid suffix is not
// looked at.
bool IsLifeLike(const CellRule& rule, LifeRule* life);
// The same rule and the same grid: the same kind, states and table (or Larger
// than Life record), whatever the texts, so every spelling of a rule, a MAP
// one too, is the same rule.
bool SameCellRule(const CellRule& a, const CellRule& b);
// The outcome of neighbourhood k (see CellRule::map) for a rule of the 3 x 3
// block; false for RuleLarger.
inline bool MapOutcome(const CellRule& rule, uint32_t k) { return (rule.map[(k >> 3) & 63] >> (k & 7) & 1) != 0; }

// Reads a rule of any family from text[0..length), which need not be
// terminated; nothing past length is read. On RuleOk *rule is set, otherwise
// it is left alone. Takes, as Golly 3.3 reads them (spaces outside the grid
// suffix ignored, letters in either case but in MAP's base64):
// - the names of NamedRules, LifeRuleAliases and NamedRuleAliases, matched
//   as ParseLifeRule matches names, then perhaps a grid suffix;
// - every B/S form ParseLifeRule takes, and Hensel's letters after a count,
//   '-' turning them into exceptions ("B2-a/S12", "B37/S2-i34q"), '_' for
//   the slash in such rules ("B2cek3i_S12cei"), H or V at the end for six or
//   four neighbours ("B2/S34H", "B13/S012V");
// - Generations: a third part of states, 2..RuleMaxStates, perhaps after C
//   or G: "/2/3", "345/2/4", "B2/S/C3", "3/2/4H", Catagolue's "g3b2s";
// - MAP and the base64 table of 86, 22 or 6 characters (eight, six or four
//   neighbours; "==" may follow), then perhaps '/' and the states;
// - Larger than Life, "R5,C0,M1,S34..58,B34..45,NM" (N: M, N or C) and
//   Kellie Evans' "r,bmin,bmax,smin,smax";
// - Golly's grid suffix after ':' (see RuleGrid), read into rule->grid.
// Refused: B0 in every family, with RuleBirthOnZero; rule tables, Margolus
// and one-dimensional rules, and anything malformed, with their reasons.
RuleError ParseRule(const char* text, size_t length, CellRule* rule);
// The canonical text as Golly writes it, with the grid suffix when there is
// one, written and counted as FormatLifeRule does.
size_t FormatRule(const CellRule& rule, char* text, size_t size);
// The same in a form Debian's bgolly 3.3 reads: Generations rules as
// survive/birth/states ("/2/3", "34/2/5H"); every other family as FormatRule.
size_t FormatRuleForBgolly(const CellRule& rule, char* text, size_t size);
// One line for people saying why a text is not a rule tumbra runs, naming
// it: "Langtons-Ant is a rule table, which tumbra does not run", "B0/S8: B0
// rules turn ...": the text trimmed, shortened past 48 characters and with
// '?' for anything unprintable, then RuleErrorText's line. Written and
// counted as FormatRule does.
size_t FormatRuleRefusal(const char* text, size_t length, RuleError error, char* out, size_t size);
// The same for a caller that names the text itself ("--rule 'B0/S8': ..."):
// the reason alone, but for the refusals whose reason is the rule's name
// ("Langtons-Ant is a rule table, which tumbra does not run").
size_t FormatRuleRefusalReason(const char* text, size_t length, RuleError error, char* out, size_t size);

// A rule of any family known by name: first every rule of NamedLifeRules,
// with the same names and lively flags, then those of the other families.
// Each rule appears once.
struct NamedRule {
  const char* name;
  const char* text;  // its canonical text (FormatRule's, without a grid)
  bool lively;       // worth drawing at random for a new field
};
extern const NamedRule NamedRules[];
extern const int NamedRuleCount;
// Other names of NamedRules' rules beyond LifeRuleAliases, which only
// parsing knows; `name` is a name of NamedRules.
extern const LifeRuleAlias NamedRuleAliases[];
extern const int NamedRuleAliasCount;
// The table's name of a rule, the one whose text is the rule's canonical
// text (a grid aside), or null when it has none.
const char* RuleName(const CellRule& rule);
// The rule's name when it has one, else its canonical text.
size_t FormatRuleLabel(const CellRule& rule, char* text, size_t size);
