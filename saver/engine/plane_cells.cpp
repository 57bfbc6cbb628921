// Cells in and out of the plane: setting a list of cells, the bounding box,
// and the cells of a rectangle.
#include <algorithm>
#include <cstring>

#include "engine/plane.h"

namespace {

const int64_t CoordinateLimit = int64_t{1} << 60;

inline PlaneNode& Node(uint32_t i) { return PlaneNodeAt(i); }

// A cell from the root's corner.
struct Offset {
  uint64_t x;
  uint64_t y;
};

inline bool LowerTopBit(uint64_t a, uint64_t b) { return a < b && a < (a ^ b); }

// Quadrant order at every level: north before south, then west before east.
inline bool ComesFirst(const Offset& a, const Offset& b) {
  const uint64_t x = a.x ^ b.x, y = a.y ^ b.y;
  if (LowerTopBit(y, x)) return a.x < b.x;
  return a.y < b.y;
}

// The node with the cells of [first, last) (in quadrant order, all inside
// it) added; 0 when the memory ran out.
uint32_t AddCells(uint32_t n, int32_t level, const Offset* first, const Offset* last) {
  if (first == last) return n;
  if (level == PlaneLeafLevel) {
    uint64_t cells = PlaneLeafCells(Node(n));
    for (const Offset* c = first; c != last; ++c) cells |= uint64_t{1} << ((c->y & 7) * 8 + (c->x & 7));
    return FindPlaneLeaf(cells);
  }
  const PlaneNode node = Node(n);
  const int32_t shift = level - 1;
  auto quadrant = [shift](const Offset& c) { return static_cast<int32_t>((c.y >> shift & 1) * 2 + (c.x >> shift & 1)); };
  const Offset* split[5] = {first, nullptr, nullptr, nullptr, last};
  for (int32_t q = 1; q < 4; ++q)
    split[q] = std::partition_point(split[q - 1], last, [&](const Offset& c) { return quadrant(c) < q; });
  const uint32_t children[4] = {node.nw, node.ne, node.sw, node.se};
  uint32_t made[4];
  for (int32_t q = 0; q < 4; ++q) {
    made[q] = AddCells(children[q], level - 1, split[q], split[q + 1]);
    if (made[q] == 0) return 0;
  }
  return FindPlaneNode(made[0], made[1], made[2], made[3]);
}

// The column (left), row (top) or their last ones of the live cells. The
// nodes along the edge are kept a level at a time, each once.
enum Edge { EdgeLeft, EdgeRight, EdgeTop, EdgeBottom };

int64_t FindEdge(Edge edge) {
  std::vector<uint32_t> line(1, Plane.root), inner, outer;
  int64_t start = PlaneRootCorner();
  for (int32_t level = Plane.level; level > PlaneLeafLevel; --level) {
    const uint32_t e = Plane.empty[level - 1];
    inner.clear();
    outer.clear();
    for (uint32_t i : line) {
      const PlaneNode& n = Node(i);
      // The half nearer the edge, and the other.
      uint32_t near[2], far[2];
      switch (edge) {
        case EdgeLeft: near[0] = n.nw, near[1] = n.sw, far[0] = n.ne, far[1] = n.se; break;
        case EdgeRight: near[0] = n.ne, near[1] = n.se, far[0] = n.nw, far[1] = n.sw; break;
        case EdgeTop: near[0] = n.nw, near[1] = n.ne, far[0] = n.sw, far[1] = n.se; break;
        default: near[0] = n.sw, near[1] = n.se, far[0] = n.nw, far[1] = n.ne; break;
      }
      for (int32_t k = 0; k < 2; ++k) {
        if (near[k] != e) inner.push_back(near[k]);
        if (far[k] != e) outer.push_back(far[k]);
      }
    }
    const bool nearHalf = !inner.empty();
    line.swap(nearHalf ? inner : outer);
    std::sort(line.begin(), line.end());
    line.erase(std::unique(line.begin(), line.end()), line.end());
    const bool highHalf = (edge == EdgeLeft || edge == EdgeTop) ? !nearHalf : nearHalf;
    if (highHalf) start += int64_t{1} << (level - 1);
  }
  // The leaves: which of their columns or rows hold a live cell.
  uint32_t used = 0;
  for (uint32_t i : line) {
    const uint64_t cells = PlaneLeafCells(Node(i));
    if (edge == EdgeLeft || edge == EdgeRight) {
      uint64_t columns = cells | cells >> 32;
      columns |= columns >> 16;
      columns |= columns >> 8;
      used |= static_cast<uint32_t>(columns & 0xFF);
    } else {
      for (int32_t row = 0; row < 8; ++row)
        if ((cells >> (8 * row) & 0xFF) != 0) used |= 1u << row;
    }
  }
  if (edge == EdgeLeft || edge == EdgeTop) return start + __builtin_ctz(used);
  return start + 31 - __builtin_clz(used);
}

// Writes the live cells of node n (corner x, y) that lie in the rectangle;
// `put` takes a row's byte of 8 cells from column x.
struct Rectangle {
  int64_t left;
  int64_t top;
  int64_t right;  // past the last
  int64_t bottom;
};

template <class Put>
void ExtractNode(uint32_t n, int32_t level, int64_t x, int64_t y, const Rectangle& r, Put& put) {
  if (n == Plane.empty[level]) return;
  const int64_t side = int64_t{1} << level;
  if (x >= r.right || y >= r.bottom || x + side <= r.left || y + side <= r.top) return;
  const PlaneNode& node = Node(n);
  if (level == PlaneLeafLevel) {
    const uint64_t cells = PlaneLeafCells(node);
    for (int32_t row = 0; row < 8; ++row) {
      const uint32_t bits = static_cast<uint32_t>(cells >> (8 * row) & 0xFF);
      if (bits != 0 && y + row >= r.top && y + row < r.bottom) put(x, y + row, bits);
    }
    return;
  }
  const int64_t half = side / 2;
  ExtractNode(node.nw, level - 1, x, y, r, put);
  ExtractNode(node.ne, level - 1, x + half, y, r, put);
  ExtractNode(node.sw, level - 1, x, y + half, r, put);
  ExtractNode(node.se, level - 1, x + half, y + half, r, put);
}

template <class Put>
void ExtractRectangle(int64_t x, int64_t y, int32_t width, int32_t height, Put& put) {
  if (Plane.blocks == nullptr || width <= 0 || height <= 0) return;
  if (x < -CoordinateLimit * 4 || x > CoordinateLimit * 4 || y < -CoordinateLimit * 4 || y > CoordinateLimit * 4) return;
  const Rectangle r = {x, y, x + width, y + height};
  const int64_t corner = PlaneRootCorner();
  ExtractNode(Plane.root, Plane.level, corner, corner, r, put);
}

}  // namespace

namespace {

PlaneOutcome SetCellsOnce(const PlaneCell* cells, size_t count) {
  int64_t low = 0, high = -1;
  for (size_t i = 0; i < count; ++i) {
    const PlaneCell c = cells[i];
    if (c.x < -CoordinateLimit || c.x > CoordinateLimit || c.y < -CoordinateLimit || c.y > CoordinateLimit)
      return PlaneTooFar;
    low = std::min(low, std::min(c.x, c.y));
    high = std::max(high, std::max(c.x, c.y));
  }
  const uint32_t root = Plane.root;
  const int32_t level = Plane.level;
  Plane.failure = PlaneDone;
  while (low < PlaneRootCorner() || high >= -PlaneRootCorner()) {
    if (!GrowPlaneRoot()) {
      const PlaneOutcome failure = Plane.failure == PlaneDone ? PlaneNoMemory : Plane.failure;
      Plane.root = root;
      Plane.level = level;
      Plane.failure = PlaneDone;
      return failure;
    }
  }
  const uint64_t corner = static_cast<uint64_t>(PlaneRootCorner());
  std::vector<Offset> offsets(count);
  for (size_t i = 0; i < count; ++i)
    offsets[i] = Offset{static_cast<uint64_t>(cells[i].x) - corner, static_cast<uint64_t>(cells[i].y) - corner};
  std::sort(offsets.begin(), offsets.end(), ComesFirst);
  const uint32_t made = AddCells(Plane.root, Plane.level, offsets.data(), offsets.data() + count);
  if (made == 0) {
    Plane.root = root;
    Plane.level = level;
    Plane.failure = PlaneDone;
    return PlaneNoMemory;
  }
  Plane.root = made;
  Plane.failure = PlaneDone;
  return PlaneDone;
}

}  // namespace

PlaneOutcome SetPlaneCells(const PlaneCell* cells, size_t count) {
  if (Plane.blocks == nullptr) return PlaneRefused;
  if (count == 0) return PlaneDone;
  const PlaneOutcome outcome = SetCellsOnce(cells, count);
  if (outcome != PlaneNoMemory) return outcome;
  CollectPlane();
  return SetCellsOnce(cells, count);
}

bool PlaneBounds(PlaneBox* box) {
  if (Plane.blocks == nullptr || Plane.root == Plane.empty[Plane.level]) return false;
  box->left = FindEdge(EdgeLeft);
  box->right = FindEdge(EdgeRight);
  box->top = FindEdge(EdgeTop);
  box->bottom = FindEdge(EdgeBottom);
  return true;
}

void ExtractPlaneBytes(int64_t x, int64_t y, int32_t width, int32_t height, uint8_t* out, size_t stride) {
  for (int32_t row = 0; row < height; ++row) std::memset(out + row * stride, 0, static_cast<size_t>(width));
  auto put = [&](int64_t cx, int64_t cy, uint32_t bits) {
    uint8_t* line = out + static_cast<size_t>(cy - y) * stride;
    for (; bits != 0; bits &= bits - 1) {
      const int64_t column = cx + __builtin_ctz(bits) - x;
      if (column >= 0 && column < width) line[column] = 1;
    }
  };
  ExtractRectangle(x, y, width, height, put);
}

void ExtractPlaneBits(int64_t x, int64_t y, int32_t width, int32_t height, uint8_t* out, size_t stride) {
  const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
  for (int32_t row = 0; row < height; ++row) std::memset(out + row * stride, 0, rowBytes);
  auto put = [&](int64_t cx, int64_t cy, uint32_t bits) {
    uint8_t* line = out + static_cast<size_t>(cy - y) * stride;
    const int64_t column = cx - x;  // of bit 0; the byte's cells are columns column .. column + 7
    for (int32_t k = 0; k < 2; ++k) {
      const int64_t first = column >= 0 ? column / 8 + k : (column - 7) / 8 + k;
      if (first < 0 || first >= static_cast<int64_t>(rowBytes)) continue;
      const int64_t shift = column - first * 8;  // bit b of `bits` is bit b + shift of this byte
      uint32_t part = shift >= 0 ? bits << shift : bits >> -shift;
      part &= 0xFF;
      // Bits past the width stay 0.
      const int64_t lastColumn = width - first * 8;
      if (lastColumn < 8) part &= (1u << lastColumn) - 1;
      line[first] |= static_cast<uint8_t>(part);
    }
  };
  ExtractRectangle(x, y, width, height, put);
}
