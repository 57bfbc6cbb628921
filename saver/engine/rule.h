// Life-like rules: which live-neighbour counts make a dead cell come alive and
// which keep a live cell alive, read and written in the notation Golly uses
// ("B3/S23"), and the table of rules known by name.
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
