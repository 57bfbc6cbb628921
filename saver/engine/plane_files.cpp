// The plane's files: two-state macrocell text read straight into the tree,
// and the pattern written as macrocell or as RLE.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "engine/plane.h"

namespace {

inline PlaneNode& Node(uint32_t i) { return PlaneNodeAt(i); }

// The next line of text[*at..length), without its end ("\n", "\r\n").
bool NextLine(const char* text, size_t length, size_t* at, const char** line, size_t* size) {
  if (*at >= length) return false;
  const char* start = text + *at;
  const void* end = std::memchr(start, '\n', length - *at);
  size_t n = end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - start) : length - *at;
  *at += n + (end != nullptr ? 1 : 0);
  if (n > 0 && start[n - 1] == '\r') --n;
  *line = start;
  *size = n;
  return true;
}

// An unsigned decimal at most `most`, then spaces or the end.
bool ReadNumber(const char* line, size_t size, size_t* at, uint64_t most, uint64_t* value) {
  while (*at < size && (line[*at] == ' ' || line[*at] == '\t')) ++*at;
  if (*at >= size || line[*at] < '0' || line[*at] > '9') return false;
  uint64_t v = 0;
  while (*at < size && line[*at] >= '0' && line[*at] <= '9') {
    const uint64_t digit = static_cast<uint64_t>(line[*at] - '0');
    if (digit > most || v > (most - digit) / 10) return false;
    v = v * 10 + digit;
    ++*at;
  }
  *value = v;
  return true;
}

bool OnlySpaces(const char* line, size_t size, size_t at) {
  for (; at < size; ++at)
    if (line[at] != ' ' && line[at] != '\t') return false;
  return true;
}

bool ReadLeaf(const char* line, size_t size, uint64_t* cells) {
  uint64_t bits = 0;
  int32_t x = 0, y = 0;
  for (size_t i = 0; i < size; ++i) {
    const char c = line[i];
    if (c == '$') {
      if (++y > 8) return false;
      x = 0;
    } else if (c == '.' || c == '*') {
      if (x >= 8 || y >= 8) return false;
      if (c == '*') bits |= uint64_t{1} << (8 * y + x);
      ++x;
    } else {
      return false;
    }
  }
  *cells = bits;
  return true;
}

// A root of level 3 as the centre of a level-4 one.
uint32_t CentreLeaf(uint64_t cells) {
  const uint32_t top = static_cast<uint32_t>(cells), bottom = static_cast<uint32_t>(cells >> 32);
  const uint32_t nw = FindPlaneLeaf(static_cast<uint64_t>((top & 0x0F0F0F0Fu) << 4) << 32);
  const uint32_t ne = FindPlaneLeaf(static_cast<uint64_t>((top >> 4) & 0x0F0F0F0Fu) << 32);
  const uint32_t sw = FindPlaneLeaf((bottom & 0x0F0F0F0Fu) << 4);
  const uint32_t se = FindPlaneLeaf((bottom >> 4) & 0x0F0F0F0Fu);
  if (nw == 0 || ne == 0 || sw == 0 || se == 0) return 0;
  return FindPlaneNode(nw, ne, sw, se);
}

// Appends while the text stays within its limit.
struct TextOut {
  std::string* text;
  size_t start;
  size_t limit;
  bool over;
};

void Append(TextOut& out, const char* part, size_t size) {
  if (out.over || out.text->size() - out.start + size > out.limit) {
    out.over = true;
    return;
  }
  out.text->append(part, size);
}

void Append(TextOut& out, const char* part) { Append(out, part, std::strlen(part)); }

bool Finish(TextOut& out) {
  if (!out.over) return true;
  out.text->resize(out.start);
  return false;
}

void AppendHeaderRule(TextOut& out) {
  char rule[RuleTextSize];
  FormatRuleForBgolly(Plane.rule, rule, sizeof rule);
  Append(out, rule);
}

// Numbers the nodes below the root child first, writing each once.
struct MacrocellWriter {
  TextOut* out;
  std::unordered_map<uint32_t, uint32_t> numbers;
  uint32_t count;
};

uint32_t WriteNode(MacrocellWriter& w, uint32_t n, int32_t level) {
  if (n == Plane.empty[level] || w.out->over) return 0;
  const auto found = w.numbers.find(n);
  if (found != w.numbers.end()) return found->second;
  const PlaneNode node = Node(n);
  char line[80];
  if (level == PlaneLeafLevel) {
    const uint64_t cells = PlaneLeafCells(node);
    size_t k = 0;
    for (int32_t row = 0; row < 8; ++row) {
      uint32_t bits = static_cast<uint32_t>(cells >> (8 * row) & 0xFF);
      for (; bits != 0; bits >>= 1) line[k++] = (bits & 1) != 0 ? '*' : '.';
      line[k++] = '$';
    }
    line[k++] = '\n';
    Append(*w.out, line, k);
  } else {
    const uint32_t nw = WriteNode(w, node.nw, level - 1), ne = WriteNode(w, node.ne, level - 1);
    const uint32_t sw = WriteNode(w, node.sw, level - 1), se = WriteNode(w, node.se, level - 1);
    const int size = std::snprintf(line, sizeof line, "%d %u %u %u %u\n", level, nw, ne, sw, se);
    Append(*w.out, line, static_cast<size_t>(size));
  }
  w.numbers.emplace(n, ++w.count);
  return w.count;
}

// RLE runs, lines kept under 70 characters.
struct RleWriter {
  TextOut* out;
  size_t lineLength;
  int64_t x;  // the next cell of the row being written, from the left edge
  int64_t y;  // the row being written, from the top edge
};

void Run(RleWriter& w, int64_t count, char tag) {
  if (count <= 0) return;
  char part[24];
  int size = count > 1 ? std::snprintf(part, sizeof part, "%" PRId64 "%c", count, tag) : std::snprintf(part, sizeof part, "%c", tag);
  if (w.lineLength + static_cast<size_t>(size) > 69) {
    Append(*w.out, "\n", 1);
    w.lineLength = 0;
  }
  Append(*w.out, part, static_cast<size_t>(size));
  w.lineLength += static_cast<size_t>(size);
}

// Live cells x0 .. x1 - 1 of row y (both from the box's corner), rows in order.
void LiveRun(RleWriter& w, int64_t y, int64_t x0, int64_t x1) {
  if (y > w.y) {
    Run(w, y - w.y, '$');
    w.y = y;
    w.x = 0;
  }
  Run(w, x0 - w.x, 'b');
  Run(w, x1 - x0, 'o');
  w.x = x1;
}

// A node of a band of rows, and its first column.
struct Placed {
  uint32_t node;
  int64_t x;
};

// Writes the rows of a band of nodes of one level (every node of the band
// with a live cell, west to east), the band split into its top and bottom
// halves down to the leaves: only what the pattern holds is visited, and a
// band is never wider than its live nodes.
void WriteBand(RleWriter& w, const std::vector<Placed>& band, int32_t level, int64_t y, const PlaneBox& box) {
  if (w.out->over) return;
  if (level == PlaneLeafLevel) {
    for (int32_t row = 0; row < 8; ++row) {
      int64_t runStart = -1, runEnd = -1;
      for (const Placed& leaf : band) {
        uint32_t bits = static_cast<uint32_t>(PlaneLeafCells(Node(leaf.node)) >> (8 * row) & 0xFF);
        const int64_t x = leaf.x - box.left;
        while (bits != 0) {
          const int32_t start = __builtin_ctz(bits);
          const int32_t length = __builtin_ctz(~(bits >> start));
          bits &= ~(((1u << length) - 1) << start);
          if (x + start == runEnd) {
            runEnd += length;
          } else {
            if (runStart >= 0) LiveRun(w, y + row - box.top, runStart, runEnd);
            runStart = x + start;
            runEnd = runStart + length;
          }
        }
      }
      if (runStart >= 0) LiveRun(w, y + row - box.top, runStart, runEnd);
    }
    return;
  }
  const int64_t half = int64_t{1} << (level - 1);
  const uint32_t e = Plane.empty[level - 1];
  std::vector<Placed> top, bottom;
  for (const Placed& p : band) {
    const PlaneNode& n = Node(p.node);
    if (n.nw != e) top.push_back(Placed{n.nw, p.x});
    if (n.ne != e) top.push_back(Placed{n.ne, p.x + half});
    if (n.sw != e) bottom.push_back(Placed{n.sw, p.x});
    if (n.se != e) bottom.push_back(Placed{n.se, p.x + half});
  }
  if (!top.empty()) WriteBand(w, top, level - 1, y, box);
  if (!bottom.empty()) WriteBand(w, bottom, level - 1, y + half, box);
}

}  // namespace

namespace {

PlaneOutcome LoadOnce(const char* text, size_t length) {
  size_t at = 0;
  const char* line;
  size_t size;
  if (!NextLine(text, length, &at, &line, &size) || size < 4 || std::memcmp(line, "[M2]", 4) != 0) return PlaneRefused;
  CellRule rule = CellRuleOf(ConwayRule);
  uint64_t generation = 0;
  // Node k of the file (1 ..) is nodes[k], of level levels[k]; 0 is the empty one.
  std::vector<uint32_t> nodes(1, 0);
  std::vector<uint8_t> levels(1, 0);
  Plane.failure = PlaneDone;
  while (NextLine(text, length, &at, &line, &size)) {
    if (size == 0) continue;
    if (line[0] == '#') {
      if (size >= 2 && line[1] == 'R') {
        size_t from = 2;
        while (from < size && (line[from] == ' ' || line[from] == '\t')) ++from;
        if (ParseRule(line + from, size - from, &rule) != RuleOk || !PlaneRunsRule(rule)) return PlaneRefused;
      } else if (size >= 2 && line[1] == 'G') {
        size_t from = 2;
        if (!ReadNumber(line, size, &from, ~uint64_t{0}, &generation) || !OnlySpaces(line, size, from))
          return PlaneRefused;
      }
      continue;
    }
    uint32_t made;
    uint8_t level;
    if (line[0] == '.' || line[0] == '*' || line[0] == '$') {
      uint64_t cells;
      if (!ReadLeaf(line, size, &cells)) return PlaneRefused;
      made = FindPlaneLeaf(cells);
      level = PlaneLeafLevel;
    } else {
      size_t from = 0;
      uint64_t value[5];
      if (!ReadNumber(line, size, &from, PlaneMaxLevel - 2, &value[0]) || value[0] <= PlaneLeafLevel)
        return PlaneRefused;
      level = static_cast<uint8_t>(value[0]);
      uint32_t children[4];
      for (int32_t k = 1; k <= 4; ++k) {
        if (!ReadNumber(line, size, &from, nodes.size() - 1, &value[k])) return PlaneRefused;
        if (value[k] == 0) {
          children[k - 1] = Plane.empty[level - 1];
        } else {
          if (levels[value[k]] != level - 1) return PlaneRefused;
          children[k - 1] = nodes[value[k]];
        }
      }
      if (!OnlySpaces(line, size, from)) return PlaneRefused;
      made = FindPlaneNode(children[0], children[1], children[2], children[3]);
    }
    if (made == 0) {
      Plane.failure = PlaneDone;
      return PlaneNoMemory;
    }
    nodes.push_back(made);
    levels.push_back(level);
  }
  if (nodes.size() < 2) return PlaneRefused;
  uint32_t root = nodes.back();
  int32_t level = levels.back();
  if (level == PlaneLeafLevel) {
    root = CentreLeaf(PlaneLeafCells(Node(root)));
    level = 4;
    if (root == 0) {
      Plane.failure = PlaneDone;
      return PlaneNoMemory;
    }
  }
  UsePlaneRule(rule);
  Plane.root = root;
  Plane.level = level;
  Plane.generation = generation;
  return PlaneDone;
}

}  // namespace

PlaneOutcome LoadPlaneMacrocell(const char* text, size_t length) {
  if (text == nullptr || length > PlaneFileLimit) return PlaneRefused;
  if (Plane.blocks == nullptr && !ClearPlane(CellRuleOf(ConwayRule))) return PlaneNoMemory;
  const PlaneOutcome outcome = LoadOnce(text, length);
  if (outcome != PlaneNoMemory) return outcome;
  // What an earlier pattern left may be what fills the store.
  CollectPlane();
  return LoadOnce(text, length);
}

bool WritePlaneMacrocell(std::string* text, size_t limit) {
  TextOut out = {text, text->size(), limit, false};
  Append(out, "[M2] (tumbra)\n#R ");
  AppendHeaderRule(out);
  char line[40];
  std::snprintf(line, sizeof line, "\n#G %" PRIu64 "\n", Plane.generation);
  Append(out, line);
  if (Plane.blocks == nullptr || Plane.root == Plane.empty[Plane.level]) {
    Append(out, "$\n");  // one empty leaf: the file names a root all the same
    return Finish(out);
  }
  MacrocellWriter w;
  w.out = &out;
  w.count = 0;
  WriteNode(w, Plane.root, Plane.level);
  return Finish(out);
}

bool WritePlaneRle(std::string* text, size_t limit) {
  TextOut out = {text, text->size(), limit, false};
  PlaneBox box = {0, 0, -1, -1};
  const bool any = PlaneBounds(&box);
  char line[160];
  std::snprintf(line, sizeof line, "#CXRLE Pos=%" PRId64 ",%" PRId64 " Gen=%" PRIu64 "\nx = %" PRIu64 ", y = %" PRIu64 ", rule = ",
                any ? box.left : 0, any ? box.top : 0, Plane.generation,
                any ? static_cast<uint64_t>(box.right - box.left) + 1 : 0,
                any ? static_cast<uint64_t>(box.bottom - box.top) + 1 : 0);
  Append(out, line);
  AppendHeaderRule(out);
  Append(out, "\n");
  if (any) {
    RleWriter w = {&out, 0, 0, 0};
    const int64_t corner = PlaneRootCorner();
    WriteBand(w, std::vector<Placed>(1, Placed{Plane.root, corner}), Plane.level, corner, box);
  }
  Append(out, "!\n");
  return Finish(out);
}
