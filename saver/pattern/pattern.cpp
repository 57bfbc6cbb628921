// The pattern file readers. Each walks the text once, line by line, checking
// every claimed size against the limits before it costs memory.
#include "pattern/pattern.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// One line of the text, without its line break ("\n", "\r\n" or "\r").
struct Line {
  const char* begin;
  const char* end;
};

struct Lines {
  const char* at;
  const char* end;
};

bool NextLine(Lines* lines, Line* line) {
  if (lines->at >= lines->end) return false;
  const char* p = lines->at;
  while (p < lines->end && *p != '\n' && *p != '\r') ++p;
  line->begin = lines->at;
  line->end = p;
  if (p < lines->end && *p == '\r') ++p;
  if (p < lines->end && *p == '\n') ++p;
  lines->at = p;
  return true;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

void SkipSpaces(const char** p, const char* end) {
  while (*p < end && IsSpace(**p)) ++*p;
}

void Trim(Line* line) {
  SkipSpaces(&line->begin, line->end);
  while (line->end > line->begin && IsSpace(line->end[-1])) --line->end;
}

bool IsBlank(Line line) {
  SkipSpaces(&line.begin, line.end);
  return line.begin == line.end;
}

bool StartsWith(Line line, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return static_cast<size_t>(line.end - line.begin) >= n && std::memcmp(line.begin, prefix, n) == 0;
}

// The text equals word, ignoring case.
bool SameWord(Line text, const char* word) {
  const size_t n = std::strlen(word);
  if (static_cast<size_t>(text.end - text.begin) != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (Lower(text.begin[i]) != Lower(word[i])) return false;
  return true;
}

// A decimal count; false on no digits or a value over limit.
bool ReadCount(const char** p, const char* end, int64_t limit, int64_t* value) {
  if (*p >= end || !IsDigit(**p)) return false;
  int64_t v = 0;
  while (*p < end && IsDigit(**p)) {
    v = v * 10 + (**p - '0');
    if (v > limit) return false;
    ++*p;
  }
  *value = v;
  return true;
}

// Coordinates in the formats that place cells freely; anything further out
// could not lie within one pattern's bounding box near the others anyway.
const int64_t CoordinateLimit = int64_t(1) << 40;
// Runs of one state: more than fits any row is refused as it is read.
const int64_t RunLimit = int64_t(1) << 31;

bool ReadCoordinate(const char** p, const char* end, int64_t* value) {
  bool negative = false;
  if (*p < end && (**p == '-' || **p == '+')) {
    negative = **p == '-';
    ++*p;
  }
  if (!ReadCount(p, end, CoordinateLimit, value)) return false;
  if (negative) *value = -*value;
  return true;
}

void CopyText(const char* begin, const char* end, char* text, size_t size) {
  size_t n = std::min(static_cast<size_t>(end - begin), size - 1);
  std::memcpy(text, begin, n);
  text[n] = '\0';
}

// ---- Results and refusals ----

// Nothing read, the storage released.
void Clear(PatternCells* out) { *out = PatternCells{}; }

// Keeps the first reason found: a later one follows from it.
bool Refuse(PatternRefusal* why, PatternError error) {
  if (why->error == PatternOk) why->error = error;
  return false;
}

// Takes the rest of a line as the pattern's name: spaces around it dropped,
// control characters made spaces, cut to fit at a character's start, so a
// name in UTF-8 never ends in part of a character.
void SetName(PatternCells* out, const char* begin, const char* end) {
  Line text = {begin, end};
  Trim(&text);
  const size_t room = sizeof out->name - 1;
  size_t n = std::min(static_cast<size_t>(text.end - text.begin), room);
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text.begin[i]);
    out->name[i] = c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c);
  }
  const auto continuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
  if (text.begin + n < text.end && continuation(text.begin[n])) {
    // Cut inside a character: back to the lead byte, which goes too.
    size_t k = n;
    while (k > 0 && n - k < 3 && continuation(out->name[k - 1])) --k;
    if (k > 0 && static_cast<unsigned char>(out->name[k - 1]) >= 0xC0) n = k - 1;
  }
  while (n > 0 && out->name[n - 1] == ' ') --n;
  out->name[n] = '\0';
}

bool SetRule(PatternCells* out, PatternRefusal* why, const char* begin, const char* end) {
  Line text = {begin, end};
  Trim(&text);
  CellRule rule;
  const RuleError error = ParseRule(text.begin, static_cast<size_t>(text.end - text.begin), &rule);
  if (error != RuleOk) {
    why->ruleError = error;
    CopyText(text.begin, text.end, why->rule, sizeof why->rule);
    return Refuse(why, PatternRuleRefused);
  }
  out->hasRule = true;
  out->rule = rule;
  return true;
}

bool AddCell(PatternCells* out, PatternRefusal* why, int64_t x, int64_t y, int32_t state) {
  if (out->cells.size() >= PatternCellLimit) return Refuse(why, PatternBeyondLimits);
  out->cells.push_back(PatternCell{static_cast<uint16_t>(x), static_cast<uint16_t>(y), static_cast<uint8_t>(state)});
  return true;
}

bool CellBefore(PatternCell a, PatternCell b) { return a.y != b.y ? a.y < b.y : a.x < b.x; }
bool SameCell(PatternCell a, PatternCell b) { return a.x == b.x && a.y == b.y; }

int32_t StatesOf(const PatternCells& p) { return p.hasRule ? p.rule.states : 2; }

bool Finish(PatternCells* out, PatternRefusal* why) {
  if (out->cells.empty() || out->width < 1 || out->height < 1) return Refuse(why, PatternEmpty);
  const int32_t states = StatesOf(*out);
  for (const PatternCell& c : out->cells) {
    if (c.state < states) continue;
    why->state = c.state;
    why->states = states;
    if (out->hasRule) FormatRule(out->rule, why->rule, sizeof why->rule);
    return Refuse(why, PatternStateBeyondRule);
  }
  return true;
}

// Cells placed freely (Life 1.05 and 1.06, MCell), before they are moved to
// the bounding box's corner.
struct FreeCell {
  int64_t x;
  int64_t y;
  int32_t state;
};

bool AddFreeCell(std::vector<FreeCell>* cells, PatternRefusal* why, int64_t x, int64_t y, int32_t state) {
  if (cells->size() >= PatternCellLimit) return Refuse(why, PatternBeyondLimits);
  cells->push_back(FreeCell{x, y, state});
  return true;
}

// Moves free cells to the corner of their bounding box, when it fits.
bool PlaceFreeCells(std::vector<FreeCell>* cells, PatternCells* out, PatternRefusal* why) {
  if (cells->empty()) return Refuse(why, PatternEmpty);
  int64_t left = (*cells)[0].x, right = left, top = (*cells)[0].y, bottom = top;
  for (const FreeCell& c : *cells) {
    left = std::min(left, c.x);
    right = std::max(right, c.x);
    top = std::min(top, c.y);
    bottom = std::max(bottom, c.y);
  }
  if (right - left >= PatternSideLimit || bottom - top >= PatternSideLimit) return Refuse(why, PatternBeyondLimits);
  out->width = static_cast<int32_t>(right - left + 1);
  out->height = static_cast<int32_t>(bottom - top + 1);
  out->cells.reserve(cells->size());
  for (const FreeCell& c : *cells) AddCell(out, why, c.x - left, c.y - top, c.state);
  std::vector<FreeCell>().swap(*cells);
  std::sort(out->cells.begin(), out->cells.end(), CellBefore);
  out->cells.erase(std::unique(out->cells.begin(), out->cells.end(), SameCell), out->cells.end());
  return true;
}

// ---- RLE ----

// "x = W, y = H, rule = R": the rule, when there, runs to the end of the
// line, since Golly's grid suffixes hold commas.
bool ReadRleHeader(Line line, PatternCells* out, PatternRefusal* why, int64_t sideLimit = PatternSideLimit) {
  const char* p = line.begin;
  bool haveX = false, haveY = false;
  for (;;) {
    SkipSpaces(&p, line.end);
    const char* key = p;
    while (p < line.end && ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z'))) ++p;
    const size_t keyLength = static_cast<size_t>(p - key);
    SkipSpaces(&p, line.end);
    if (p >= line.end || *p != '=') return false;
    ++p;
    SkipSpaces(&p, line.end);
    if (keyLength == 4 && std::memcmp(key, "rule", 4) == 0) {
      if (!haveX || !haveY) return false;
      return SetRule(out, why, p, line.end);
    }
    int64_t value;
    if (keyLength != 1 || (*key != 'x' && *key != 'y')) return false;
    if (!ReadCount(&p, line.end, CoordinateLimit, &value) || value < 1) return false;
    if (value > sideLimit) return Refuse(why, PatternBeyondLimits);
    if (*key == 'x') {
      if (haveX) return false;
      haveX = true;
      out->width = static_cast<int32_t>(value);
    } else {
      if (haveY || !haveX) return false;
      haveY = true;
      out->height = static_cast<int32_t>(value);
    }
    SkipSpaces(&p, line.end);
    if (p == line.end) return haveX && haveY;
    if (*p != ',') return false;
    ++p;
  }
}

// The state an RLE tag stands for at *p, moving past it: 0 for b and '.',
// 1 for o and A, B..X for 2..24, and a prefix p..y before A..X adding 24 for
// each letter from p on (pA is 25, yO 255). -1 for anything else.
int32_t ReadRleState(const char** p, const char* end) {
  const char c = *(*p)++;
  if (c == 'b' || c == '.') return 0;
  if (c == 'o') return 1;
  if (c >= 'A' && c <= 'X') return c - 'A' + 1;
  if (c >= 'p' && c <= 'y' && *p < end && **p >= 'A' && **p <= 'X') {
    const int32_t state = 24 * (c - 'p' + 1) + (*(*p)++ - 'A' + 1);
    return state <= 255 ? state : -1;
  }
  return -1;
}

// A run's count, whose digits may go on after a line break, as some writers
// break lines anywhere and Golly reads them so.
bool ReadRunCount(const char** p, const char* end, int64_t* run) {
  int64_t v = 0;
  for (;;) {
    while (*p < end && IsDigit(**p)) {
      v = v * 10 + (**p - '0');
      if (v > RunLimit) return false;
      ++*p;
    }
    const char* next = *p;
    while (next < end && (*next == '\n' || *next == '\r')) ++next;
    if (next == *p || next >= end || !IsDigit(*next)) break;
    *p = next;
  }
  *run = v;
  return true;
}

// The runs of an RLE body within a width x height box: add(x, y, run,
// state) takes each run of cells that are not dead, and false from it
// ends the reading (a limit) as does a broken body.
template <class AddRun>
bool ReadRleRuns(const char* p, const char* end, int64_t width, int64_t height, AddRun add) {
  int64_t x = 0, y = 0;
  for (;;) {
    while (p < end && (IsSpace(*p) || *p == '\n' || *p == '\r')) ++p;
    if (p >= end) return false;  // cut short: no '!'
    int64_t run = 1;
    if (IsDigit(*p)) {
      if (!ReadRunCount(&p, end, &run) || run < 1) return false;
      while (p < end && (IsSpace(*p) || *p == '\n' || *p == '\r')) ++p;
      if (p >= end) return false;
    }
    if (*p == '!') return true;
    if (*p == '$') {
      ++p;
      if (y + run > height) return false;
      y += run;
      x = 0;
      continue;
    }
    const int32_t state = ReadRleState(&p, end);
    if (state < 0) return false;  // not RLE at all
    if (x + run > width) return false;
    if (state > 0) {
      if (y >= height || !add(x, y, run, state)) return false;
    }
    x += run;
  }
}

bool ReadRleBody(const char* p, const char* end, PatternCells* out, PatternRefusal* why) {
  bool beyond = false;
  const bool read = ReadRleRuns(p, end, out->width, out->height, [&](int64_t x, int64_t y, int64_t run, int32_t state) {
    if (out->cells.size() + static_cast<size_t>(run) > PatternCellLimit) {
      beyond = true;
      return false;
    }
    const size_t first = out->cells.size();
    out->cells.resize(first + static_cast<size_t>(run));
    PatternCell* cell = out->cells.data() + first;
    for (int64_t i = 0; i < run; ++i)
      cell[i] = PatternCell{static_cast<uint16_t>(x + i), static_cast<uint16_t>(y), static_cast<uint8_t>(state)};
    return true;
  });
  return beyond ? Refuse(why, PatternBeyondLimits) : read;
}

// The RLE reader proper: '#' lines and blank ones before the header.
bool ReadRleInto(const char* text, size_t length, PatternCells* out, PatternRefusal* why) {
  Lines lines = {text, text + length};
  Line line;
  for (;;) {
    if (!NextLine(&lines, &line)) return false;
    if (IsBlank(line)) continue;
    if (*line.begin != '#') break;
    if (StartsWith(line, "#N")) SetName(out, line.begin + 2, line.end);
  }
  if (!ReadRleHeader(line, out, why)) return false;
  return ReadRleBody(lines.at, lines.end, out, why);
}

// ---- Macrocell ----

// Levels above this would need cell positions beyond 64 bits; nothing of
// that size could fit the limits anyway unless nearly all of it is empty.
const int MacrocellLevelLimit = 60;
const size_t MacrocellNodeLimit = 1u << 20;
const int TwoStateLeafLevel = 3;    // an 8 x 8 leaf of dead and live cells
const int ManyStateLeafLevel = 1;   // a 2 x 2 leaf of states

struct MacrocellNode {
  int level;
  bool leaf;
  int32_t child[4];                  // nw, ne, sw, se; 0 is empty
  uint64_t cells;                    // an 8 x 8 leaf's live cells, bit 8 * row + column; a
                                     // 2 x 2 leaf's states, byte 2 * row + column
  uint64_t population;               // saturates just above PatternCellLimit
  int64_t left, top, right, bottom;  // the cells' bounds within the node, when populated
};

// Which kind of file the nodes so far say it is: the two kinds do not mix.
enum MacrocellKind { MacrocellUnknown, MacrocellTwoStates, MacrocellManyStates };

bool SetKind(MacrocellKind* kind, MacrocellKind is) {
  if (*kind != MacrocellUnknown && *kind != is) return false;
  *kind = is;
  return true;
}

void AddToBounds(MacrocellNode* node, int64_t left, int64_t top, int64_t right, int64_t bottom, uint64_t count) {
  if (node->population == 0) {
    node->left = left;
    node->top = top;
    node->right = right;
    node->bottom = bottom;
  }
  node->left = std::min(node->left, left);
  node->right = std::max(node->right, right);
  node->top = std::min(node->top, top);
  node->bottom = std::max(node->bottom, bottom);
  node->population = std::min<uint64_t>(node->population + count, PatternCellLimit + 1);
}

bool ReadTwoStateLeaf(Line line, MacrocellNode* node) {
  node->level = TwoStateLeafLevel;
  node->leaf = true;
  int row = 0, column = 0;
  for (const char* p = line.begin; p < line.end; ++p) {
    if (*p == '$') {
      if (++row > 8) return false;
      column = 0;
    } else if (*p == '.' || *p == '*') {
      if (row >= 8 || column >= 8) return false;
      if (*p == '*') node->cells |= uint64_t(1) << (8 * row + column);
      ++column;
    } else if (!IsSpace(*p)) {
      return false;
    }
  }
  for (int i = 0; i < 64; ++i)
    if (node->cells >> i & 1) AddToBounds(node, i % 8, i / 8, i % 8, i / 8, 1);
  return true;
}

// "1 nw ne sw se": after the level, four states.
bool ReadManyStateLeaf(const char* p, const char* end, MacrocellNode* node) {
  node->level = ManyStateLeafLevel;
  node->leaf = true;
  for (int k = 0; k < 4; ++k) {
    if (p >= end || !IsSpace(*p)) return false;
    SkipSpaces(&p, end);
    int64_t state;
    if (!ReadCount(&p, end, 255, &state)) return false;
    node->cells |= static_cast<uint64_t>(state) << (8 * k);
    if (state != 0) AddToBounds(node, k & 1, k >> 1, k & 1, k >> 1, 1);
  }
  SkipSpaces(&p, end);
  return p == end;
}

bool ReadInterior(const char* p, const char* end, int64_t level, const std::vector<MacrocellNode>& nodes,
                  MacrocellNode* node) {
  node->level = static_cast<int>(level);
  const int64_t half = int64_t(1) << (level - 1);
  for (int k = 0; k < 4; ++k) {
    if (p >= end || !IsSpace(*p)) return false;
    SkipSpaces(&p, end);
    int64_t index;
    // Only earlier nodes: the numbers run from 1, and this one is next.
    if (!ReadCount(&p, end, static_cast<int64_t>(nodes.size()), &index)) return false;
    node->child[k] = static_cast<int32_t>(index);
    if (index == 0) continue;
    const MacrocellNode& child = nodes[static_cast<size_t>(index - 1)];
    if (child.level != level - 1) return false;
    if (child.population == 0) continue;
    const int64_t dx = k & 1 ? half : 0, dy = k & 2 ? half : 0;
    AddToBounds(node, child.left + dx, child.top + dy, child.right + dx, child.bottom + dy, child.population);
  }
  SkipSpaces(&p, end);
  return p == end;
}

bool ReadNode(Line line, const std::vector<MacrocellNode>& nodes, MacrocellKind* kind, MacrocellNode* node) {
  const char c = *line.begin;
  if (c == '.' || c == '*' || c == '$') return SetKind(kind, MacrocellTwoStates) && ReadTwoStateLeaf(line, node);
  const char* p = line.begin;
  int64_t level;
  if (!ReadCount(&p, line.end, 1000, &level) || level < 1 || level > MacrocellLevelLimit) return false;
  if (level == ManyStateLeafLevel) return SetKind(kind, MacrocellManyStates) && ReadManyStateLeaf(p, line.end, node);
  // Levels 2 and 3 are nodes of the 2 x 2 leaves only.
  if (level <= TwoStateLeafLevel && !SetKind(kind, MacrocellManyStates)) return false;
  return ReadInterior(p, line.end, level, nodes, node);
}

// Writes the cells of a populated node whose corner is at (x, y) from the
// pattern's corner. Empty nodes are skipped, so the work follows the cells,
// which the limits bound, not the area the levels describe.
void ExpandNode(const std::vector<MacrocellNode>& nodes, int32_t index, int64_t x, int64_t y, PatternCells* out,
                PatternRefusal* why) {
  const MacrocellNode& node = nodes[static_cast<size_t>(index - 1)];
  if (node.population == 0) return;
  if (node.leaf && node.level == TwoStateLeafLevel) {
    for (int i = 0; i < 64; ++i)
      if (node.cells >> i & 1) AddCell(out, why, x + i % 8, y + i / 8, 1);
    return;
  }
  if (node.leaf) {
    for (int k = 0; k < 4; ++k) {
      const int32_t state = static_cast<int32_t>(node.cells >> (8 * k) & 0xFF);
      if (state != 0) AddCell(out, why, x + (k & 1), y + (k >> 1), state);
    }
    return;
  }
  const int64_t half = int64_t(1) << (node.level - 1);
  for (int k = 0; k < 4; ++k)
    if (node.child[k] != 0)
      ExpandNode(nodes, node.child[k], x + (k & 1 ? half : 0), y + (k & 2 ? half : 0), out, why);
}

bool ReadMacrocellInto(const char* text, size_t length, PatternCells* out, PatternRefusal* why) {
  Lines lines = {text, text + length};
  Line line;
  if (!NextLine(&lines, &line) || !StartsWith(line, "[M2]")) return false;
  std::vector<MacrocellNode> nodes;
  MacrocellKind kind = MacrocellUnknown;
  while (NextLine(&lines, &line)) {
    if (IsBlank(line)) continue;
    if (*line.begin == '#') {
      if (StartsWith(line, "#R") && !SetRule(out, why, line.begin + 2, line.end)) return false;
      continue;
    }
    if (nodes.size() >= MacrocellNodeLimit) return Refuse(why, PatternBeyondLimits);
    MacrocellNode node = {};
    if (!ReadNode(line, nodes, &kind, &node)) return false;
    nodes.push_back(node);
  }
  // States without a rule to have them: Golly too reads such a file only
  // under a rule of many states.
  if (kind == MacrocellManyStates && !out->hasRule) return false;
  if (nodes.empty()) return Refuse(why, PatternEmpty);
  const MacrocellNode& root = nodes.back();
  if (root.population == 0) return Refuse(why, PatternEmpty);
  if (root.population > PatternCellLimit) return Refuse(why, PatternBeyondLimits);
  if (root.right - root.left >= PatternSideLimit || root.bottom - root.top >= PatternSideLimit)
    return Refuse(why, PatternBeyondLimits);
  out->width = static_cast<int32_t>(root.right - root.left + 1);
  out->height = static_cast<int32_t>(root.bottom - root.top + 1);
  out->cells.reserve(static_cast<size_t>(root.population));
  ExpandNode(nodes, static_cast<int32_t>(nodes.size()), -root.left, -root.top, out, why);
  std::sort(out->cells.begin(), out->cells.end(), CellBefore);
  return true;
}

// ---- Plain text, Life 1.05 and 1.06 ----

bool ReadPlainTextInto(const char* text, size_t length, PatternCells* out, PatternRefusal* why) {
  Lines lines = {text, text + length};
  Line line;
  int64_t y = 0, rows = 0, width = 0;
  while (NextLine(&lines, &line)) {
    if (line.begin < line.end && *line.begin == '!') {
      if (StartsWith(line, "!Name:")) SetName(out, line.begin + 6, line.end);
      continue;
    }
    if (y >= PatternSideLimit) {
      if (IsBlank(line)) continue;  // blank rows at the end are no part of it
      return Refuse(why, PatternBeyondLimits);
    }
    int64_t x = 0;
    for (const char* p = line.begin; p < line.end; ++p) {
      if (*p == '.') {
        ++x;
      } else if (*p == 'O' || *p == '*') {
        if (x >= PatternSideLimit) return Refuse(why, PatternBeyondLimits);
        if (!AddCell(out, why, x, y, 1)) return false;
        ++x;
      } else if (IsSpace(*p)) {
        const char* q = p;
        SkipSpaces(&q, line.end);
        if (q != line.end) return false;  // only trailing spaces
        break;
      } else {
        return false;
      }
      if (x > PatternSideLimit) return Refuse(why, PatternBeyondLimits);
    }
    if (x > 0) {
      width = std::max(width, x);
      rows = y + 1;
    }
    ++y;
  }
  out->width = static_cast<int32_t>(width);
  out->height = static_cast<int32_t>(rows);
  return true;
}

bool ReadLife105Into(const char* text, size_t length, PatternCells* out, PatternRefusal* why) {
  Lines lines = {text, text + length};
  Line line;
  if (!NextLine(&lines, &line) || !StartsWith(line, "#Life 1.05")) return false;
  std::vector<FreeCell> cells;
  int64_t left = 0, y = 0;
  while (NextLine(&lines, &line)) {
    if (line.begin < line.end && *line.begin == '#') {
      const bool hasKind = line.end - line.begin >= 2;
      const char kind = hasKind ? line.begin[1] : '\0';
      const char* p = hasKind ? line.begin + 2 : line.end;
      if (kind == 'N') {
        out->hasRule = true;
        out->rule = CellRuleOf(ConwayRule);
      } else if (kind == 'R') {
        if (!SetRule(out, why, p, line.end)) return false;
      } else if (kind == 'P') {
        // A position on its own ("#P") is the origin, as Golly reads it.
        left = y = 0;
        SkipSpaces(&p, line.end);
        if (p < line.end) {
          if (!ReadCoordinate(&p, line.end, &left)) return false;
          SkipSpaces(&p, line.end);
          if (!ReadCoordinate(&p, line.end, &y)) return false;
          SkipSpaces(&p, line.end);
          if (p != line.end) return false;
        }
      }
      continue;  // #D and the rest describe
    }
    int64_t x = left;
    for (const char* p = line.begin; p < line.end; ++p) {
      if (*p == '*') {
        if (!AddFreeCell(&cells, why, x, y, 1)) return false;
      } else if (*p != '.') {
        if (IsSpace(*p)) {
          const char* q = p;
          SkipSpaces(&q, line.end);
          if (q == line.end) break;
        }
        return false;
      }
      if (++x - left > PatternSideLimit) return Refuse(why, PatternBeyondLimits);
    }
    if (++y > CoordinateLimit) return Refuse(why, PatternBeyondLimits);
  }
  return PlaceFreeCells(&cells, out, why);
}

bool ReadLife106Into(const char* text, size_t length, PatternCells* out, PatternRefusal* why) {
  Lines lines = {text, text + length};
  Line line;
  if (!NextLine(&lines, &line) || !StartsWith(line, "#Life 1.06")) return false;
  std::vector<FreeCell> cells;
  while (NextLine(&lines, &line)) {
    if (IsBlank(line) || *line.begin == '#') continue;
    const char* p = line.begin;
    int64_t x, y;
    SkipSpaces(&p, line.end);
    if (!ReadCoordinate(&p, line.end, &x)) return false;
    if (p >= line.end || !IsSpace(*p)) return false;
    SkipSpaces(&p, line.end);
    if (!ReadCoordinate(&p, line.end, &y)) return false;
    SkipSpaces(&p, line.end);
    if (p != line.end || !AddFreeCell(&cells, why, x, y, 1)) return false;
  }
  return PlaceFreeCells(&cells, out, why);
}

// ---- MCell ----

// MCell's games that are rule families tumbra reads: their rules are in the
// notation ParseRule takes. A file of any other game names Golly's rule for
// it on a "#GOLLY" line, or none.
const char* const McellGames[] = {"Life", "Generations", "Larger than Life"};

// What the header lines say, gathered before the rule is made of them.
struct McellHeader {
  Line game;
  Line golly;
  char rule[RuleTextLimit + 2];  // the "#RULE" lines run together; one byte over the limit shows it is exceeded
  size_t ruleLength;
  int64_t boardWidth;   // -1 without "#BOARD"
  int64_t boardHeight;
  bool wrap;
};

// A line "#WORD rest": the word and the rest, trimmed.
void SplitKeyword(Line line, Line* word, Line* rest) {
  const char* p = line.begin + 1;
  word->begin = p;
  while (p < line.end && !IsSpace(*p)) ++p;
  word->end = p;
  rest->begin = p;
  rest->end = line.end;
  Trim(rest);
}

// "#BOARD 300x300"; a side missing or 0 is unbounded along it, as Golly takes it.
bool ReadBoard(Line text, McellHeader* header) {
  const char* p = text.begin;
  if (!ReadCount(&p, text.end, CoordinateLimit, &header->boardWidth)) return false;
  header->boardHeight = 0;
  SkipSpaces(&p, text.end);
  if (p < text.end && (*p == 'x' || *p == 'X')) {
    ++p;
    SkipSpaces(&p, text.end);
    if (!ReadCount(&p, text.end, CoordinateLimit, &header->boardHeight)) return false;
  }
  SkipSpaces(&p, text.end);
  return p == text.end;
}

// The cells of the "#L" lines, one run continued from line to line.
struct McellRun {
  int64_t x;
  int64_t y;
  int64_t count;  // the count read so far; 0 for none
  int32_t prefix; // 24 for each letter of a two-letter state read so far
};

bool ReadMcellCells(Line text, McellRun* run, std::vector<FreeCell>* cells, PatternRefusal* why) {
  for (const char* p = text.begin; p < text.end; ++p) {
    const char c = *p;
    if (IsSpace(c)) continue;
    if (IsDigit(c)) {
      if (run->prefix != 0) return false;
      run->count = run->count * 10 + (c - '0');
      if (run->count > RunLimit) return false;
      continue;
    }
    if (c >= 'a' && c <= 'j') {
      if (run->prefix != 0) return false;
      run->prefix = 24 * (c - 'a' + 1);
      continue;
    }
    const int64_t n = run->count > 0 ? run->count : 1;
    run->count = 0;
    if (c == '$') {
      if (run->prefix != 0) return false;
      run->y += n;
      run->x = 0;
      if (run->y > CoordinateLimit) return Refuse(why, PatternBeyondLimits);
      continue;
    }
    int32_t state;
    if (c == '.' && run->prefix == 0) {
      state = 0;
    } else if (c >= 'A' && c <= 'X') {
      state = run->prefix + (c - 'A' + 1);
      run->prefix = 0;
    } else {
      return false;
    }
    if (state != 0) {
      // A run of cells one row cannot hold is no part of any pattern within the limits.
      if (n > PatternSideLimit) return Refuse(why, PatternBeyondLimits);
      for (int64_t i = 0; i < n; ++i)
        if (!AddFreeCell(cells, why, run->x + i, run->y, state)) return false;
    }
    run->x += n;
    if (run->x > CoordinateLimit) return Refuse(why, PatternBeyondLimits);
  }
  return true;
}

// The rule of the game, with the board as Golly's grid suffix.
bool SetMcellRule(const McellHeader& header, PatternCells* out, PatternRefusal* why) {
  Line rule = {header.rule, header.rule + header.ruleLength};
  if (header.golly.begin != header.golly.end) {
    rule = header.golly;
  } else if (header.game.begin != header.game.end) {
    bool known = false;
    for (const char* game : McellGames) known = known || SameWord(header.game, game);
    if (!known) {
      CopyText(header.game.begin, header.game.end, why->rule, sizeof why->rule);
      return Refuse(why, PatternGameRefused);
    }
  }
  if (rule.begin == rule.end) return true;  // no rule: the field's own
  // The rule alone first, so that a refusal names it as the file does.
  if (!SetRule(out, why, rule.begin, rule.end) || header.boardWidth < 0) return out->hasRule;
  char text[RuleTextLimit + 64];
  const size_t length = std::min(static_cast<size_t>(rule.end - rule.begin), RuleTextLimit);
  std::memcpy(text, rule.begin, length);
  const int suffix = std::snprintf(text + length, sizeof text - length, ":%c%lld,%lld", header.wrap ? 'T' : 'P',
                                   static_cast<long long>(header.boardWidth),
                                   static_cast<long long>(header.boardHeight));
  out->hasRule = false;
  return SetRule(out, why, text, text + std::min(length + static_cast<size_t>(suffix), sizeof text - 1));
}

bool ReadMcellInto(const char* text, size_t length, PatternCells* out, PatternRefusal* why) {
  Lines lines = {text, text + length};
  Line line;
  if (!NextLine(&lines, &line) || !StartsWith(line, "#MCell")) return false;
  McellHeader header = {};
  header.boardWidth = -1;
  McellRun run = {};
  std::vector<FreeCell> cells;
  while (NextLine(&lines, &line)) {
    // Golly passes over lines that are not '#' lines, and so does this.
    if (line.begin == line.end || *line.begin != '#') continue;
    Line word, rest;
    SplitKeyword(line, &word, &rest);
    if (SameWord(word, "L")) {
      if (!ReadMcellCells(rest, &run, &cells, why)) return false;
    } else if (SameWord(word, "D")) {
      if (out->name[0] == '\0') SetName(out, rest.begin, rest.end);
    } else if (SameWord(word, "GAME")) {
      header.game = rest;
    } else if (SameWord(word, "GOLLY")) {
      header.golly = rest;
    } else if (SameWord(word, "RULE")) {
      const size_t n = std::min(static_cast<size_t>(rest.end - rest.begin), sizeof header.rule - header.ruleLength);
      std::memcpy(header.rule + header.ruleLength, rest.begin, n);
      header.ruleLength += n;
    } else if (SameWord(word, "BOARD")) {
      if (!ReadBoard(rest, &header)) return false;
    } else if (SameWord(word, "WRAP")) {
      int64_t wrap;
      const char* p = rest.begin;
      if (!ReadCount(&p, rest.end, 1000, &wrap)) return false;
      header.wrap = wrap != 0;
    }
  }
  if (run.count != 0 || run.prefix != 0) return false;  // a count or a letter with no cell after it
  if (!SetMcellRule(header, out, why)) return false;
  const int32_t states = StatesOf(*out);
  for (FreeCell& c : cells)
    if (c.state >= states) c.state = 1;
  return PlaceFreeCells(&cells, out, why);
}

// ---- Reading ----

typedef bool (*Reader)(const char* text, size_t length, PatternCells* out, PatternRefusal* why);

bool Read(Reader reader, const char* format, const char* text, size_t length, PatternCells* out,
          PatternRefusal* refusal) {
  PatternRefusal own;
  PatternRefusal* why = refusal != nullptr ? refusal : &own;
  *why = PatternRefusal{};
  why->format = format;
  Clear(out);
  if (length > PatternFileLimit) return Refuse(why, PatternTooLarge);
  if (reader(text, length, out, why) && Finish(out, why)) return true;
  Refuse(why, PatternMalformed);
  Clear(out);
  return false;
}

const unsigned char GzipMagic[2] = {0x1F, 0x8B};

bool IsGzip(const char* data, size_t length) { return length >= 2 && std::memcmp(data, GzipMagic, 2) == 0; }

}  // namespace

bool ReadWideRle(const char* text, size_t length, PatternCells* out, std::vector<PlaneCell>* cells) {
  *out = PatternCells{};
  cells->clear();
  Lines lines = {text, text + length};
  Line line;
  for (;;) {
    if (!NextLine(&lines, &line)) return false;
    if (IsBlank(line)) continue;
    if (*line.begin != '#') break;
    if (StartsWith(line, "#N")) SetName(out, line.begin + 2, line.end);
  }
  if (!ReadRleHeader(line, out, nullptr, WideRleSideLimit)) return false;
  if (out->hasRule && out->rule.states > 2) return false;
  const bool read = ReadRleRuns(lines.at, lines.end, out->width, out->height,
                                [&](int64_t x, int64_t y, int64_t run, int32_t state) {
                                  if (state != 1 || cells->size() + static_cast<size_t>(run) > PatternCellLimit)
                                    return false;
                                  for (int64_t i = 0; i < run; ++i) cells->push_back(PlaneCell{x + i, y});
                                  return true;
                                });
  if (!read || cells->empty()) {
    std::vector<PlaneCell>().swap(*cells);
    return false;
  }
  return true;
}

bool ReadRle(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal) {
  return Read(ReadRleInto, "RLE", text, length, out, refusal);
}
bool ReadPlainText(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal) {
  return Read(ReadPlainTextInto, "plain text", text, length, out, refusal);
}
bool ReadLife105(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal) {
  return Read(ReadLife105Into, "Life 1.05", text, length, out, refusal);
}
bool ReadLife106(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal) {
  return Read(ReadLife106Into, "Life 1.06", text, length, out, refusal);
}
bool ReadMacrocell(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal) {
  return Read(ReadMacrocellInto, "macrocell", text, length, out, refusal);
}
bool ReadMcell(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal) {
  return Read(ReadMcellInto, "MCell", text, length, out, refusal);
}

bool InflateGzip(const char* data, size_t length, std::vector<char>* out, PatternError* error) {
  PatternError own;
  PatternError* why = error != nullptr ? error : &own;
  *why = PatternOk;
  out->clear();
  if (length > PatternFileLimit) *why = PatternTooLarge;
  if (!IsGzip(data, length)) *why = PatternMalformed;
  z_stream z = {};
  if (*why == PatternOk && inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) *why = PatternMalformed;
  if (*why != PatternOk) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  z.avail_in = static_cast<uInt>(length);
  // Room grows as the stream needs it, to one byte past the limit: a stream
  // that fills that is too large, and nothing more of it is inflated.
  size_t produced = 0;
  for (;;) {
    if (produced == out->size())
      out->resize(std::min(std::max<size_t>(4 * length, std::max<size_t>(2 * out->size(), 1u << 16)),
                           PatternFileLimit + 1));
    z.next_out = reinterpret_cast<Bytef*>(out->data() + produced);
    z.avail_out = static_cast<uInt>(out->size() - produced);
    const int result = inflate(&z, Z_NO_FLUSH);
    produced = out->size() - z.avail_out;
    if (produced > PatternFileLimit) {
      *why = PatternTooLarge;
    } else if (result == Z_STREAM_END) {
      // Another member may follow; anything else after one is ignored, as
      // zlib's own file reading does.
      if (!IsGzip(reinterpret_cast<const char*>(z.next_in), z.avail_in)) break;
      if (inflateReset(&z) != Z_OK) *why = PatternMalformed;
    } else if (result == Z_BUF_ERROR || result == Z_OK) {
      if (z.avail_out != 0 && z.avail_in == 0) *why = PatternMalformed;  // cut short
    } else {
      *why = PatternMalformed;
    }
    if (*why != PatternOk) break;
  }
  inflateEnd(&z);
  if (*why != PatternOk) {
    std::vector<char>().swap(*out);
    return false;
  }
  out->resize(produced);
  return true;
}

bool ReadPattern(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal) {
  if (IsGzip(text, length)) {
    std::vector<char> inflated;
    PatternError error;
    // One layer: a stream that inflates to another is nothing Golly writes.
    if (!InflateGzip(text, length, &inflated, &error) || IsGzip(inflated.data(), inflated.size())) {
      Clear(out);
      if (refusal != nullptr) {
        *refusal = PatternRefusal{};
        refusal->format = "gzip";
        refusal->error = error != PatternOk ? error : PatternMalformed;
      }
      return false;
    }
    return ReadPattern(inflated.data(), inflated.size(), out, refusal);
  }
  // A byte order mark says nothing about the format.
  if (length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
    text += 3;
    length -= 3;
  }
  const Line whole = {text, text + length};
  if (StartsWith(whole, "[M2]")) return ReadMacrocell(text, length, out, refusal);
  if (StartsWith(whole, "#Life 1.05")) return ReadLife105(text, length, out, refusal);
  if (StartsWith(whole, "#Life 1.06")) return ReadLife106(text, length, out, refusal);
  if (StartsWith(whole, "#MCell")) return ReadMcell(text, length, out, refusal);
  // RLE opens with '#' comments or its header; plain text with a '!'
  // comment or a row.
  const char* p = text;
  const char* end = text + length;
  while (p < end && (IsSpace(*p) || *p == '\n' || *p == '\r')) ++p;
  if (p < end && (*p == '#' || *p == 'x')) return ReadRle(text, length, out, refusal);
  if (p < end && (*p == '!' || *p == '.' || *p == 'O' || *p == '*')) return ReadPlainText(text, length, out, refusal);
  Clear(out);
  if (refusal != nullptr) {
    *refusal = PatternRefusal{};
    refusal->error = length > PatternFileLimit ? PatternTooLarge : PatternUnknownFormat;
  }
  return false;
}

// ---- Refusals for people ----

namespace {

size_t Put(char* text, size_t size, const char* line) {
  const size_t length = std::strlen(line);
  if (size > 0) CopyText(line, line + length, text, size);
  return length;
}

}  // namespace

size_t FormatPatternRefusal(const PatternRefusal& r, char* text, size_t size) {
  char line[2 * RuleTextLimit + 200];
  const char* format = r.format != nullptr ? r.format : "pattern";
  switch (r.error) {
    case PatternOk:
      return Put(text, size, "a pattern tumbra reads");
    case PatternUnreadable:
      return Put(text, size, "the file cannot be read");
    case PatternTooLarge:
      std::snprintf(line, sizeof line, "the file %s more than %zu MB, the most tumbra reads of a pattern",
                    r.format != nullptr && std::strcmp(r.format, "gzip") == 0 ? "inflates to" : "holds",
                    PatternFileLimit >> 20);
      return Put(text, size, line);
    case PatternBeyondLimits:
      std::snprintf(line, sizeof line,
                    "the pattern is larger than tumbra takes: at most %d cells wide and tall, with at most %zu cells "
                    "alive or dying",
                    static_cast<int>(PatternSideLimit), PatternCellLimit);
      return Put(text, size, line);
    case PatternUnknownFormat:
      return Put(text, size,
                 "not a pattern file: tumbra reads RLE, plain text, Life 1.05 and 1.06, macrocell and MCell files, "
                 "gzipped or not");
    case PatternMalformed:
      std::snprintf(line, sizeof line, "not a pattern tumbra can read: a broken %s file", format);
      return Put(text, size, line);
    case PatternEmpty:
      return Put(text, size, "the pattern is empty: no cell is alive or dying");
    case PatternRuleRefused:
      return FormatRuleRefusal(r.rule, std::strlen(r.rule), r.ruleError, text, size);
    case PatternGameRefused:
      std::snprintf(line, sizeof line, "the MCell game %s is no rule family tumbra runs", r.rule);
      return Put(text, size, line);
    case PatternStateBeyondRule:
      if (r.rule[0] != '\0')
        std::snprintf(line, sizeof line, "a cell has state %d, which %s does not have: its states are 0 to %d",
                      static_cast<int>(r.state), r.rule, static_cast<int>(r.states - 1));
      else
        std::snprintf(line, sizeof line, "a cell has state %d, but the file names no rule of more than two states",
                      static_cast<int>(r.state));
      return Put(text, size, line);
    case PatternRuleNotRun:
      std::snprintf(line, sizeof line, "%s: %s", r.rule, r.why != nullptr ? r.why : "tumbra does not run it");
      return Put(text, size, line);
  }
  return Put(text, size, "not a pattern tumbra can read");
}
