// The pattern file readers. Each walks the text once, line by line, checking
// every claimed size against the limits before it costs memory.
#include "pattern/pattern.h"

#include <algorithm>
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

void SkipSpaces(const char** p, const char* end) {
  while (*p < end && IsSpace(**p)) ++*p;
}

bool IsBlank(Line line) {
  SkipSpaces(&line.begin, line.end);
  return line.begin == line.end;
}

bool StartsWith(Line line, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return static_cast<size_t>(line.end - line.begin) >= n && std::memcmp(line.begin, prefix, n) == 0;
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

void Clear(PatternCells* out) {
  out->width = 0;
  out->height = 0;
  std::vector<PatternCell>().swap(out->cells);
  out->hasRule = false;
  out->rule = ConwayRule;
  out->name[0] = '\0';
}

bool Fail(PatternCells* out) {
  Clear(out);
  return false;
}

// Takes the rest of a line as the pattern's name: spaces around it dropped,
// control characters made spaces, cut to fit.
void SetName(PatternCells* out, const char* begin, const char* end) {
  SkipSpaces(&begin, end);
  while (end > begin && IsSpace(end[-1])) --end;
  size_t n = 0;
  for (const char* p = begin; p < end && n + 1 < sizeof out->name; ++p)
    out->name[n++] = static_cast<unsigned char>(*p) < 0x20 || *p == 0x7F ? ' ' : *p;
  out->name[n] = '\0';
}

bool SetRule(PatternCells* out, const char* begin, const char* end) {
  LifeRule rule;
  if (ParseLifeRule(begin, static_cast<size_t>(end - begin), &rule) != RuleOk) return false;
  out->hasRule = true;
  out->rule = rule;
  return true;
}

bool AddCell(PatternCells* out, int64_t x, int64_t y) {
  if (out->cells.size() >= PatternCellLimit) return false;
  out->cells.push_back(PatternCell{static_cast<uint16_t>(x), static_cast<uint16_t>(y)});
  return true;
}

bool CellBefore(PatternCell a, PatternCell b) { return a.y != b.y ? a.y < b.y : a.x < b.x; }
bool SameCell(PatternCell a, PatternCell b) { return a.x == b.x && a.y == b.y; }

bool Finish(PatternCells* out) {
  if (out->cells.empty() || out->width < 1 || out->height < 1) return Fail(out);
  return true;
}

// Cells placed freely (Life 1.05 and 1.06), before they are moved to the
// bounding box's corner.
struct FreeCell {
  int64_t x;
  int64_t y;
};

bool AddFreeCell(std::vector<FreeCell>* cells, int64_t x, int64_t y) {
  if (cells->size() >= PatternCellLimit) return false;
  cells->push_back(FreeCell{x, y});
  return true;
}

// Moves free cells to the corner of their bounding box, when it fits.
bool PlaceFreeCells(std::vector<FreeCell>* cells, PatternCells* out) {
  if (cells->empty()) return false;
  int64_t left = (*cells)[0].x, right = left, top = (*cells)[0].y, bottom = top;
  for (const FreeCell& c : *cells) {
    left = std::min(left, c.x);
    right = std::max(right, c.x);
    top = std::min(top, c.y);
    bottom = std::max(bottom, c.y);
  }
  if (right - left >= PatternSideLimit || bottom - top >= PatternSideLimit) return false;
  out->width = static_cast<int32_t>(right - left + 1);
  out->height = static_cast<int32_t>(bottom - top + 1);
  out->cells.reserve(cells->size());
  for (const FreeCell& c : *cells) AddCell(out, c.x - left, c.y - top);
  std::vector<FreeCell>().swap(*cells);
  std::sort(out->cells.begin(), out->cells.end(), CellBefore);
  out->cells.erase(std::unique(out->cells.begin(), out->cells.end(), SameCell), out->cells.end());
  return true;
}

// ---- RLE ----

// "x = W, y = H, rule = R": the rule, when there, runs to the end of the
// line, since Golly's grid suffixes hold commas.
bool ReadRleHeader(Line line, PatternCells* out) {
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
      return SetRule(out, p, line.end);
    }
    int64_t value;
    if (keyLength != 1 || (*key != 'x' && *key != 'y')) return false;
    if (!ReadCount(&p, line.end, PatternSideLimit, &value) || value < 1) return false;
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

bool ReadRleBody(const char* p, const char* end, PatternCells* out) {
  int64_t x = 0, y = 0;
  for (;;) {
    while (p < end && (IsSpace(*p) || *p == '\n' || *p == '\r')) ++p;
    if (p >= end) return false;  // cut short: no '!'
    int64_t run = 1;
    if (IsDigit(*p)) {
      if (!ReadCount(&p, end, int64_t(1) << 31, &run) || run < 1) return false;
      while (p < end && (IsSpace(*p) || *p == '\n' || *p == '\r')) ++p;
      if (p >= end) return false;
    }
    const char tag = *p++;
    switch (tag) {
      case 'b':
      case '.':
        if (x + run > out->width) return false;
        x += run;
        break;
      case 'o':
      case 'A':
        if (x + run > out->width || y >= out->height) return false;
        if (out->cells.size() + static_cast<size_t>(run) > PatternCellLimit) return false;
        {
          const size_t first = out->cells.size();
          out->cells.resize(first + static_cast<size_t>(run));
          PatternCell* cell = out->cells.data() + first;
          for (int64_t i = 0; i < run; ++i)
            cell[i] = PatternCell{static_cast<uint16_t>(x + i), static_cast<uint16_t>(y)};
        }
        x += run;
        break;
      case '$':
        if (y + run > out->height) return false;
        y += run;
        x = 0;
        break;
      case '!':
        return true;
      default:
        return false;  // more states than two, or not RLE at all
    }
  }
}

// ---- Macrocell ----

// Levels above this would need cell positions beyond 64 bits; nothing of
// that size could fit the limits anyway unless nearly all of it is empty.
const int MacrocellLevelLimit = 60;
const size_t MacrocellNodeLimit = 1u << 20;
const int MacrocellLeafLevel = 3;  // an 8 x 8 leaf

struct MacrocellNode {
  int level;
  int32_t child[4];                  // nw, ne, sw, se; 0 is empty
  uint64_t bits;                     // a leaf's cells, bit 8 * row + column
  uint64_t population;               // saturates just above PatternCellLimit
  int64_t left, top, right, bottom;  // live cells' bounds within the node, when populated
};

bool ReadLeaf(Line line, MacrocellNode* node) {
  node->level = MacrocellLeafLevel;
  node->bits = 0;
  int row = 0, column = 0;
  for (const char* p = line.begin; p < line.end; ++p) {
    if (*p == '$') {
      if (++row > 8) return false;
      column = 0;
    } else if (*p == '.' || *p == '*') {
      if (row >= 8 || column >= 8) return false;
      if (*p == '*') node->bits |= uint64_t(1) << (8 * row + column);
      ++column;
    } else if (!IsSpace(*p)) {
      return false;
    }
  }
  node->population = 0;
  for (int i = 0; i < 64; ++i) {
    if (!(node->bits >> i & 1)) continue;
    const int64_t cx = i % 8, cy = i / 8;
    if (node->population == 0) {
      node->left = node->right = cx;
      node->top = node->bottom = cy;
    }
    node->left = std::min(node->left, cx);
    node->right = std::max(node->right, cx);
    node->top = std::min(node->top, cy);
    node->bottom = std::max(node->bottom, cy);
    ++node->population;
  }
  return true;
}

bool ReadInterior(Line line, const std::vector<MacrocellNode>& nodes, MacrocellNode* node) {
  const char* p = line.begin;
  int64_t level;
  if (!ReadCount(&p, line.end, 1000, &level)) return false;
  // Levels 1 and 2 are the nodes of rules with more than two states.
  if (level <= MacrocellLeafLevel || level > MacrocellLevelLimit) return false;
  node->level = static_cast<int>(level);
  node->population = 0;
  const int64_t half = int64_t(1) << (level - 1);
  for (int k = 0; k < 4; ++k) {
    if (p >= line.end || !IsSpace(*p)) return false;
    SkipSpaces(&p, line.end);
    int64_t index;
    // Only earlier nodes: the numbers run from 1, and this one is next.
    if (!ReadCount(&p, line.end, static_cast<int64_t>(nodes.size()), &index)) return false;
    node->child[k] = static_cast<int32_t>(index);
    if (index == 0) continue;
    const MacrocellNode& child = nodes[static_cast<size_t>(index - 1)];
    if (child.level != level - 1) return false;
    if (child.population == 0) continue;
    const int64_t dx = k & 1 ? half : 0, dy = k & 2 ? half : 0;
    if (node->population == 0) {
      node->left = child.left + dx;
      node->right = child.right + dx;
      node->top = child.top + dy;
      node->bottom = child.bottom + dy;
    }
    node->left = std::min(node->left, child.left + dx);
    node->right = std::max(node->right, child.right + dx);
    node->top = std::min(node->top, child.top + dy);
    node->bottom = std::max(node->bottom, child.bottom + dy);
    node->population = std::min<uint64_t>(node->population + child.population, PatternCellLimit + 1);
  }
  SkipSpaces(&p, line.end);
  return p == line.end;
}

// Writes the cells of a populated node whose corner is at (x, y) from the
// pattern's corner. Empty nodes are skipped, so the work follows the live
// cells, which the limits bound, not the area the levels describe.
void ExpandNode(const std::vector<MacrocellNode>& nodes, int32_t index, int64_t x, int64_t y, PatternCells* out) {
  const MacrocellNode& node = nodes[static_cast<size_t>(index - 1)];
  if (node.population == 0) return;
  if (node.level == MacrocellLeafLevel) {
    for (int i = 0; i < 64; ++i)
      if (node.bits >> i & 1) AddCell(out, x + i % 8, y + i / 8);
    return;
  }
  const int64_t half = int64_t(1) << (node.level - 1);
  for (int k = 0; k < 4; ++k)
    if (node.child[k] != 0) ExpandNode(nodes, node.child[k], x + (k & 1 ? half : 0), y + (k & 2 ? half : 0), out);
}

bool ReadMacrocellInto(const char* text, size_t length, PatternCells* out) {
  Lines lines = {text, text + length};
  Line line;
  if (!NextLine(&lines, &line) || !StartsWith(line, "[M2]")) return false;
  std::vector<MacrocellNode> nodes;
  while (NextLine(&lines, &line)) {
    if (IsBlank(line)) continue;
    if (*line.begin == '#') {
      if (StartsWith(line, "#R") && !SetRule(out, line.begin + 2, line.end)) return false;
      continue;
    }
    if (nodes.size() >= MacrocellNodeLimit) return false;
    MacrocellNode node = {};
    const char c = *line.begin;
    if (c == '.' || c == '*' || c == '$') {
      if (!ReadLeaf(line, &node)) return false;
    } else if (!ReadInterior(line, nodes, &node)) {
      return false;
    }
    nodes.push_back(node);
  }
  if (nodes.empty()) return false;
  const MacrocellNode& root = nodes.back();
  if (root.population == 0 || root.population > PatternCellLimit) return false;
  if (root.right - root.left >= PatternSideLimit || root.bottom - root.top >= PatternSideLimit) return false;
  out->width = static_cast<int32_t>(root.right - root.left + 1);
  out->height = static_cast<int32_t>(root.bottom - root.top + 1);
  out->cells.reserve(static_cast<size_t>(root.population));
  ExpandNode(nodes, static_cast<int32_t>(nodes.size()), -root.left, -root.top, out);
  std::sort(out->cells.begin(), out->cells.end(), CellBefore);
  return true;
}

// ---- Plain text, Life 1.05 and 1.06 ----

bool ReadPlainTextInto(const char* text, size_t length, PatternCells* out) {
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
      return false;
    }
    int64_t x = 0;
    for (const char* p = line.begin; p < line.end; ++p) {
      if (*p == '.') {
        ++x;
      } else if (*p == 'O' || *p == '*') {
        if (x >= PatternSideLimit || !AddCell(out, x, y)) return false;
        ++x;
      } else if (IsSpace(*p)) {
        const char* q = p;
        SkipSpaces(&q, line.end);
        if (q != line.end) return false;  // only trailing spaces
        break;
      } else {
        return false;
      }
      if (x > PatternSideLimit) return false;
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

bool ReadLife105Into(const char* text, size_t length, PatternCells* out) {
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
        out->rule = ConwayRule;
      } else if (kind == 'R') {
        if (!SetRule(out, p, line.end)) return false;
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
        if (!AddFreeCell(&cells, x, y)) return false;
      } else if (*p != '.') {
        if (IsSpace(*p)) {
          const char* q = p;
          SkipSpaces(&q, line.end);
          if (q == line.end) break;
        }
        return false;
      }
      if (++x - left > PatternSideLimit) return false;
    }
    if (++y > CoordinateLimit) return false;
  }
  return PlaceFreeCells(&cells, out);
}

bool ReadLife106Into(const char* text, size_t length, PatternCells* out) {
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
    if (p != line.end || !AddFreeCell(&cells, x, y)) return false;
  }
  return PlaceFreeCells(&cells, out);
}

// The RLE reader proper: '#' lines and blank ones before the header.
bool ReadRleInto(const char* text, size_t length, PatternCells* out) {
  Lines lines = {text, text + length};
  Line line;
  for (;;) {
    if (!NextLine(&lines, &line)) return false;
    if (IsBlank(line)) continue;
    if (*line.begin != '#') break;
    if (StartsWith(line, "#N")) SetName(out, line.begin + 2, line.end);
  }
  if (!ReadRleHeader(line, out)) return false;
  return ReadRleBody(lines.at, lines.end, out);
}

typedef bool (*Reader)(const char* text, size_t length, PatternCells* out);

bool Read(Reader reader, const char* text, size_t length, PatternCells* out) {
  Clear(out);
  if (length > PatternFileLimit) return false;
  if (!reader(text, length, out)) return Fail(out);
  return Finish(out);
}

}  // namespace

bool ReadRle(const char* text, size_t length, PatternCells* out) { return Read(ReadRleInto, text, length, out); }
bool ReadPlainText(const char* text, size_t length, PatternCells* out) {
  return Read(ReadPlainTextInto, text, length, out);
}
bool ReadLife105(const char* text, size_t length, PatternCells* out) {
  return Read(ReadLife105Into, text, length, out);
}
bool ReadLife106(const char* text, size_t length, PatternCells* out) {
  return Read(ReadLife106Into, text, length, out);
}
bool ReadMacrocell(const char* text, size_t length, PatternCells* out) {
  return Read(ReadMacrocellInto, text, length, out);
}

bool ReadPattern(const char* text, size_t length, PatternCells* out) {
  // A byte order mark says nothing about the format.
  if (length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
    text += 3;
    length -= 3;
  }
  const Line whole = {text, text + length};
  if (StartsWith(whole, "[M2]")) return ReadMacrocell(text, length, out);
  if (StartsWith(whole, "#Life 1.05")) return ReadLife105(text, length, out);
  if (StartsWith(whole, "#Life 1.06")) return ReadLife106(text, length, out);
  // RLE opens with '#' comments or its header; plain text with a '!'
  // comment or a row.
  const char* p = text;
  const char* end = text + length;
  while (p < end && (IsSpace(*p) || *p == '\n' || *p == '\r')) ++p;
  if (p < end && (*p == '#' || *p == 'x')) return ReadRle(text, length, out);
  if (p < end && (*p == '!' || *p == '.' || *p == 'O' || *p == '*')) return ReadPlainText(text, length, out);
  Clear(out);
  return false;
}
