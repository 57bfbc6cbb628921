// HashLife on the plane: the node store (blocks, hash chains, collection),
// the rule's kernel for the 16 x 16 squares at the bottom, and the memoised
// recursion that steps a node's centre.
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/plane.h"
#include "platform/platform.h"

PlaneState Plane;

namespace {

enum PlaneKernel : int32_t {
  KernelConway,  // B3/S23: the shortest sum
  KernelCounts,  // any other counts of the Moore eight
  KernelTable,   // anything else of the 3 x 3 block
};

const size_t BlockBytes = sizeof(PlaneNode) * PlaneBlockNodes;
const uint32_t FirstBuckets = 1u << 16;
const size_t TableBytes = 65536;
// Results worked out between two looks at the clock.
const uint32_t ClockInterval = 1024;

inline PlaneNode& Node(uint32_t i) { return PlaneNodeAt(i); }
inline bool IsLeaf(const PlaneNode& n) { return n.sw == PlaneLeafMark; }

inline uint32_t HashOf(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  uint32_t h = a * 0x9E3779B1u + b * 0x85EBCA77u + c * 0xC2B2AE3Du + d * 0x27D4EB2Fu;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 13;
  return h;
}

// The largest bucket count the limit allows, a power of two taking at most
// a fifth of it: chains stay under half a node long on average.
uint32_t BucketLimit() {
  const size_t most = Plane.memoryLimit / 5 / sizeof(uint32_t);
  uint32_t buckets = FirstBuckets;
  while (buckets < (1u << 31) && size_t{buckets} * 2 <= most) buckets *= 2;
  return buckets;
}

// Blocks the limit leaves room for once the buckets have grown as far as they
// may (the old array and the new one live side by side while they grow).
uint32_t BlockLimit() {
  const size_t reserve = size_t{BucketLimit()} * sizeof(uint32_t) * 3 / 2 + TableBytes;
  if (Plane.memoryLimit <= reserve + BlockBytes) return 1;
  size_t blocks = (Plane.memoryLimit - reserve) / BlockBytes;
  const size_t most = (size_t{1} << (32 - PlaneBlockShift)) - 1;
  return static_cast<uint32_t>(blocks < most ? blocks : most);
}

uint32_t NodeCapacity() { return Plane.blockLimit * PlaneBlockNodes - 1; }

void InsertInChain(uint32_t i) {
  PlaneNode& n = Node(i);
  uint32_t& head = Plane.buckets[HashOf(n.nw, n.ne, n.sw, n.se) & Plane.bucketMask];
  n.next = head;
  head = i;
}

// Twice the buckets, when the limit allows; chains only grow longer when not.
void GrowBuckets() {
  const uint32_t count = (Plane.bucketMask + 1) * 2;
  if (count > BucketLimit()) return;
  const size_t bytes = size_t{count} * sizeof(uint32_t);
  uint32_t* buckets = static_cast<uint32_t*>(std::calloc(count, sizeof(uint32_t)));
  if (buckets == nullptr) return;
  uint32_t* old = Plane.buckets;
  const uint32_t oldCount = Plane.bucketMask + 1;
  Plane.buckets = buckets;
  Plane.bucketMask = count - 1;
  for (uint32_t b = 0; b < oldCount; ++b) {
    for (uint32_t i = old[b]; i != 0;) {
      const uint32_t next = Node(i).next;
      InsertInChain(i);
      i = next;
    }
  }
  std::free(old);
  Plane.memoryUsed += bytes - size_t{oldCount} * sizeof(uint32_t);
}

uint32_t TakeNode() {
  if (Plane.freeList != 0) {
    const uint32_t i = Plane.freeList;
    Plane.freeList = Node(i).next;
    return i;
  }
  if (Plane.nodeCount < Plane.blockCount * PlaneBlockNodes) return Plane.nodeCount++;
  if (Plane.blockCount >= Plane.blockLimit || Plane.memoryUsed + BlockBytes > Plane.memoryLimit) return 0;
  PlaneNode* block = static_cast<PlaneNode*>(std::malloc(BlockBytes));
  if (block == nullptr) return 0;
  Plane.blocks[Plane.blockCount++] = block;
  Plane.memoryUsed += BlockBytes;
  return Plane.nodeCount++;
}

// A node to fill; during a step a full store is collected first. A step
// gives up rather than collect again and again: after a collection that
// leaves less than a quarter free, or after StepCollections of them (each
// drops memoised results the step then works out anew).
const uint32_t StepCollections = 8;

uint32_t NewNode() {
  uint32_t i = TakeNode();
  if (i == 0 && Plane.collecting) {
    CollectPlane();
    if (NodeCapacity() - Plane.liveNodes < NodeCapacity() / 4 || ++Plane.stepCollections >= StepCollections) {
      Plane.collecting = false;
      Plane.failure = PlaneNoMemory;
      return 0;
    }
    i = TakeNode();
  }
  if (i == 0) {
    if (Plane.failure == PlaneDone) Plane.failure = PlaneNoMemory;
    return 0;
  }
  ++Plane.liveNodes;
  return i;
}

void MarkNode(uint32_t i, bool results) {
  PlaneNode& n = Node(i);
  if ((n.population & PlanePopulationMark) != 0) return;
  n.population |= PlanePopulationMark;
  if (IsLeaf(n)) return;
  MarkNode(n.nw, results);
  MarkNode(n.ne, results);
  MarkNode(n.sw, results);
  MarkNode(n.se, results);
  if (results && n.result != 0) MarkNode(n.result, results);
}

// Keeps what the pattern, the empty nodes and a step in progress hold (with
// the memoised results reachable from them, or not), and gives the rest to
// the free list; the chains are made again.
void Collect(bool keepResults) {
  ++Plane.collections;
  ++Plane.storeEpoch;
  for (int32_t level = PlaneLeafLevel; level <= PlaneMaxLevel; ++level) MarkNode(Plane.empty[level], keepResults);
  MarkNode(Plane.root, keepResults);
  for (uint32_t held : Plane.held) MarkNode(held, keepResults);
  if (!keepResults) {
    for (uint32_t i = 1; i < Plane.nodeCount; ++i) {
      PlaneNode& n = Node(i);
      if ((n.population & PlanePopulationMark) != 0 && n.result != 0 &&
          (Node(n.result).population & PlanePopulationMark) == 0)
        n.result = 0;
    }
  }
  std::memset(Plane.buckets, 0, (size_t{Plane.bucketMask} + 1) * sizeof(uint32_t));
  Plane.freeList = 0;
  Plane.liveNodes = 0;
  for (uint32_t i = Plane.nodeCount; i-- > 1;) {
    PlaneNode& n = Node(i);
    if ((n.population & PlanePopulationMark) != 0) {
      n.population &= ~PlanePopulationMark;
      InsertInChain(i);
      ++Plane.liveNodes;
    } else {
      n.result = 0;
      n.next = Plane.freeList;
      Plane.freeList = i;
    }
  }
}

void ForgetResults() {
  for (uint32_t i = 1; i < Plane.nodeCount; ++i) Node(i).result = 0;
  for (int32_t level = PlaneLeafLevel + 1; level <= PlaneMaxLevel; ++level)
    Node(Plane.empty[level]).result = Plane.empty[level - 1];
}

uint32_t FindHashed(uint32_t h, uint32_t nw, uint32_t ne, uint32_t sw, uint32_t se) {
  for (uint32_t i = Plane.buckets[h & Plane.bucketMask]; i != 0;) {
    const PlaneNode& n = Node(i);
    if (n.nw == nw && n.ne == ne && n.sw == sw && n.se == se) return i;
    i = n.next;
  }
  const uint32_t i = NewNode();
  if (i == 0) return 0;
  PlaneNode& n = Node(i);
  n.nw = nw;
  n.ne = ne;
  n.sw = sw;
  n.se = se;
  n.result = 0;
  n.population = PlanePopulationUnknown;
  uint32_t& head = Plane.buckets[h & Plane.bucketMask];  // the mask may have changed in a collection
  n.next = head;
  head = i;
  if (Plane.liveNodes > (Plane.bucketMask + 1) / 2) GrowBuckets();
  return i;
}

// Node lookups miss the cache twice (the bucket, then the node): a batch of
// them asks for all the buckets, then all the first nodes, before walking
// any chain. Each node found is held at once.
struct Quad {
  uint32_t q[4];
};

bool FindAndHold(const Quad* quads, uint32_t* out, int32_t count) {
  uint32_t h[5];
  for (int32_t k = 0; k < count; ++k) {
    h[k] = HashOf(quads[k].q[0], quads[k].q[1], quads[k].q[2], quads[k].q[3]);
    __builtin_prefetch(&Plane.buckets[h[k] & Plane.bucketMask]);
  }
  for (int32_t k = 0; k < count; ++k) {
    const uint32_t first = Plane.buckets[h[k] & Plane.bucketMask];
    if (first != 0) __builtin_prefetch(&Node(first));
  }
  for (int32_t k = 0; k < count; ++k) {
    out[k] = FindHashed(h[k], quads[k].q[0], quads[k].q[1], quads[k].q[2], quads[k].q[3]);
    if (out[k] == 0) return false;
    Plane.held.push_back(out[k]);
  }
  return true;
}

// ---- The rule's kernel --------------------------------------------------------------
// A 16 x 16 square is four words of four rows, row r of a word in bits
// 16r .. 16r + 15, column c at bit c. A generation leaves the outer ring
// wrong and the rest right; after g generations the centre 8 x 8 is right
// for g <= 4.

inline uint64_t Spread(uint32_t rows) {
  uint64_t v = rows;
  v = (v | v << 16) & 0x0000FFFF0000FFFFull;
  v = (v | v << 8) & 0x00FF00FF00FF00FFull;
  return v;
}

inline uint32_t Gather(uint64_t v) {
  v &= 0x00FF00FF00FF00FFull;
  v = (v | v >> 8) & 0x0000FFFF0000FFFFull;
  v = (v | v >> 16) & 0x00000000FFFFFFFFull;
  return static_cast<uint32_t>(v);
}

// The live-neighbour count of every cell of a word, as bit planes: c0 and c1
// the low bits; four or more when any of q, r, p; eight when q & r.
struct CountPlanes {
  uint64_t c0, c1, q, r, p;
};

inline CountPlanes CountNeighbours(uint64_t up, uint64_t x, uint64_t down) {
  const uint64_t a = up << 1, c = up >> 1, d = x << 1, e = x >> 1, f = down << 1, h = down >> 1;
  const uint64_t ab = a ^ up, a1 = ab ^ c, a2 = (a & up) | (c & ab);
  const uint64_t fg = f ^ down, b1 = fg ^ h, b2 = (f & down) | (h & fg);
  const uint64_t m1 = d ^ e, m2 = d & e;
  const uint64_t t = a1 ^ b1, c0 = t ^ m1, k0 = (a1 & b1) | (m1 & t);
  const uint64_t u = a2 ^ b2, v = m2 ^ k0;
  CountPlanes planes;
  planes.c0 = c0;
  planes.c1 = u ^ v;
  planes.q = a2 & b2;
  planes.r = m2 & k0;
  planes.p = u & v;
  return planes;
}

inline uint64_t Choose(uint64_t select, uint64_t whenClear, uint64_t whenSet) {
  return whenClear ^ (select & (whenClear ^ whenSet));
}

// The outcome of each count for dead (b) and live (s) cells, as words of all
// ones or none.
struct CountRule {
  uint64_t b[9];
  uint64_t s[9];
};

template <PlaneKernel kernel>
inline uint64_t NextWord(uint64_t up, uint64_t x, uint64_t down, const CountRule& rule) {
  const CountPlanes n = CountNeighbours(up, x, down);
  if (kernel == KernelConway) return n.c1 & ~(n.q | n.r | n.p) & (n.c0 | x);
  const uint64_t c2 = (n.q ^ n.r) | n.p, c3 = n.q & n.r;
  uint64_t t[8];
  for (int k = 0; k < 8; ++k) t[k] = Choose(x, rule.b[k], rule.s[k]);
  const uint64_t u0 = Choose(n.c0, t[0], t[1]), u1 = Choose(n.c0, t[2], t[3]);
  const uint64_t u2 = Choose(n.c0, t[4], t[5]), u3 = Choose(n.c0, t[6], t[7]);
  const uint64_t v0 = Choose(n.c1, u0, u1), v1 = Choose(n.c1, u2, u3);
  const uint64_t low = Choose(c2, v0, v1);
  return Choose(c3, low, Choose(x, rule.b[8], rule.s[8]));
}

template <PlaneKernel kernel>
uint64_t StepWords(uint64_t nw, uint64_t ne, uint64_t sw, uint64_t se, int32_t generations) {
  CountRule rule;
  if (kernel == KernelCounts) {
    for (int k = 0; k <= 8; ++k) {
      rule.b[k] = (Plane.birthMask >> k & 1) != 0 ? ~uint64_t{0} : 0;
      rule.s[k] = (Plane.surviveMask >> k & 1) != 0 ? ~uint64_t{0} : 0;
    }
  }
  uint64_t w[4] = {Spread(static_cast<uint32_t>(nw)) | Spread(static_cast<uint32_t>(ne)) << 8,
                   Spread(static_cast<uint32_t>(nw >> 32)) | Spread(static_cast<uint32_t>(ne >> 32)) << 8,
                   Spread(static_cast<uint32_t>(sw)) | Spread(static_cast<uint32_t>(se)) << 8,
                   Spread(static_cast<uint32_t>(sw >> 32)) | Spread(static_cast<uint32_t>(se >> 32)) << 8};
  for (int32_t g = 0; g < generations; ++g) {
    const uint64_t n0 = NextWord<kernel>(w[0] << 16, w[0], w[0] >> 16 | w[1] << 48, rule);
    const uint64_t n1 = NextWord<kernel>(w[1] << 16 | w[0] >> 48, w[1], w[1] >> 16 | w[2] << 48, rule);
    const uint64_t n2 = NextWord<kernel>(w[2] << 16 | w[1] >> 48, w[2], w[2] >> 16 | w[3] << 48, rule);
    const uint64_t n3 = NextWord<kernel>(w[3] << 16 | w[2] >> 48, w[3], w[3] >> 16, rule);
    w[0] = n0;
    w[1] = n1;
    w[2] = n2;
    w[3] = n3;
  }
  return Gather(w[1] >> 4) | static_cast<uint64_t>(Gather(w[2] >> 4)) << 32;
}

// Any rule of the 3 x 3 block: 4 x 4 squares (bit 4 row + column) looked up
// for the middle 2 x 2 a generation on (bit 2 row + column).
void BuildTable(const CellRule& rule, uint8_t* table) {
  for (uint32_t index = 0; index < 65536; ++index) {
    uint8_t out = 0;
    for (int32_t row = 1; row <= 2; ++row) {
      for (int32_t column = 1; column <= 2; ++column) {
        uint32_t k = 0;
        for (int32_t dy = -1; dy <= 1; ++dy)
          for (int32_t dx = -1; dx <= 1; ++dx) k = k << 1 | (index >> (4 * (row + dy) + column + dx) & 1);
        if (MapOutcome(rule, k)) out |= static_cast<uint8_t>(1u << (2 * (row - 1) + column - 1));
      }
    }
    table[index] = out;
  }
}

uint64_t StepByTable(uint64_t nw, uint64_t ne, uint64_t sw, uint64_t se, int32_t generations) {
  uint32_t rows[16];
  for (int32_t y = 0; y < 8; ++y) {
    rows[y] = static_cast<uint32_t>(nw >> (8 * y) & 0xFF) | static_cast<uint32_t>(ne >> (8 * y) & 0xFF) << 8;
    rows[y + 8] = static_cast<uint32_t>(sw >> (8 * y) & 0xFF) | static_cast<uint32_t>(se >> (8 * y) & 0xFF) << 8;
  }
  const uint8_t* table = Plane.table;
  for (int32_t g = 1; g <= generations; ++g) {
    uint32_t next[16] = {};
    for (int32_t y = g; y <= 14 - g; y += 2) {
      for (int32_t x = g; x <= 14 - g; x += 2) {
        const int32_t s = x - 1;
        const uint32_t index = (rows[y - 1] >> s & 15) | (rows[y] >> s & 15) << 4 | (rows[y + 1] >> s & 15) << 8 |
                               (rows[y + 2] >> s & 15) << 12;
        const uint32_t out = table[index];
        next[y] |= (out & 3) << x;
        next[y + 1] |= (out >> 2) << x;
      }
    }
    std::memcpy(rows, next, sizeof rows);
  }
  uint64_t centre = 0;
  for (int32_t y = 0; y < 8; ++y) centre |= static_cast<uint64_t>(rows[y + 4] >> 4 & 0xFF) << (8 * y);
  return centre;
}

// The centre 8 x 8 of four leaves.
inline uint64_t CentreOfLeaves(uint64_t nw, uint64_t ne, uint64_t sw, uint64_t se) {
  const uint64_t top = ((nw >> 36) & 0x0F0F0F0F) | ((ne >> 28) & 0xF0F0F0F0);
  const uint64_t bottom = ((sw >> 4) & 0x0F0F0F0F) | ((se << 4) & 0xF0F0F0F0);
  return top | bottom << 32;
}

// ---- The recursion -------------------------------------------------------------------

inline bool OutOfTime() {
  if (--Plane.clockCountdown != 0) return false;
  Plane.clockCountdown = ClockInterval;
  if (!Plane.timed || static_cast<int32_t>(PlatformTickCount() - Plane.deadline) < 0) return false;
  Plane.failure = PlaneOverran;
  return true;
}

uint32_t AdvanceSquare(const PlaneNode& node) {
  const uint64_t nw = PlaneLeafCells(Node(node.nw)), ne = PlaneLeafCells(Node(node.ne));
  const uint64_t sw = PlaneLeafCells(Node(node.sw)), se = PlaneLeafCells(Node(node.se));
  const int32_t generations = Plane.resultLog >= 2 ? 4 : 1 << Plane.resultLog;
  uint64_t centre;
  switch (Plane.kernel) {
    case KernelConway: centre = StepWords<KernelConway>(nw, ne, sw, se, generations); break;
    case KernelCounts: centre = StepWords<KernelCounts>(nw, ne, sw, se, generations); break;
    default: centre = StepByTable(nw, ne, sw, se, generations); break;
  }
  return FindPlaneLeaf(centre);
}

inline bool Hold(uint32_t node) {
  if (node == 0) return false;
  Plane.held.push_back(node);
  return true;
}

// The centre half of node n of the given level (4 or more), stepped
// 2^min(resultLog, level - 2) generations; 0 when the step gave up.
uint32_t Advance(uint32_t n, int32_t level) {
  if (n == Plane.empty[level]) return Plane.empty[level - 1];
  {
    const uint32_t known = Node(n).result;
    if (known != 0) return known;
  }
  if (Plane.failure != PlaneDone || OutOfTime()) return 0;
  ++Plane.computed;
  const PlaneNode node = Node(n);
  uint32_t result;
  if (level == 4) {
    result = AdvanceSquare(node);
  } else {
    const PlaneNode a = Node(node.nw), b = Node(node.ne), c = Node(node.sw), d = Node(node.se);
    const size_t held = Plane.held.size();
    uint32_t m[9];
    m[0] = node.nw;
    m[2] = node.ne;
    m[6] = node.sw;
    m[8] = node.se;
    result = 0;
    const Quad edges[5] = {{{a.ne, b.nw, a.se, b.sw}},
                           {{a.sw, a.se, c.nw, c.ne}},
                           {{a.se, b.sw, c.ne, d.nw}},
                           {{b.sw, b.se, d.nw, d.ne}},
                           {{c.ne, d.nw, c.se, d.sw}}};
    uint32_t found[5];
    if (FindAndHold(edges, found, 5)) {
      m[1] = found[0];
      m[3] = found[1];
      m[4] = found[2];
      m[5] = found[3];
      m[7] = found[4];
      for (int32_t k = 0; k < 9; ++k) __builtin_prefetch(&Node(m[k]));
      uint32_t r[9];
      int32_t k = 0;
      while (k < 9 && Hold(r[k] = Advance(m[k], level - 1))) ++k;
      if (k == 9) {
        uint32_t s[4];
        const Quad quarters[4] = {{{r[0], r[1], r[3], r[4]}},
                                  {{r[1], r[2], r[4], r[5]}},
                                  {{r[3], r[4], r[6], r[7]}},
                                  {{r[4], r[5], r[7], r[8]}}};
        bool made = false;
        if (Plane.resultLog >= level - 2) {
          uint32_t combined[4];
          if (FindAndHold(quarters, combined, 4)) {
            for (k = 0; k < 4; ++k) __builtin_prefetch(&Node(combined[k]));
            for (k = 0; k < 4 && Hold(s[k] = Advance(combined[k], level - 1)); ++k) {
            }
            made = k == 4;
          }
        } else if (level == 5) {
          Quad centres[4];
          for (k = 0; k < 4; ++k) {
            const uint32_t* q = quarters[k].q;
            const uint64_t cells = CentreOfLeaves(PlaneLeafCells(Node(q[0])), PlaneLeafCells(Node(q[1])),
                                                  PlaneLeafCells(Node(q[2])), PlaneLeafCells(Node(q[3])));
            centres[k] = Quad{{static_cast<uint32_t>(cells), static_cast<uint32_t>(cells >> 32), PlaneLeafMark, PlaneLeafMark}};
          }
          made = FindAndHold(centres, s, 4);
        } else {
          Quad centres[4];
          for (k = 0; k < 4; ++k) {
            const uint32_t* q = quarters[k].q;
            centres[k] = Quad{{Node(q[0]).se, Node(q[1]).sw, Node(q[2]).ne, Node(q[3]).nw}};
          }
          made = FindAndHold(centres, s, 4);
        }
        if (made) result = FindPlaneNode(s[0], s[1], s[2], s[3]);
      }
    }
    Plane.held.resize(held);
  }
  if (result == 0) return 0;
  Node(n).result = result;
  return result;
}

// The pattern lies in the centre half of the root.
bool RootCentred() {
  const uint32_t e = Plane.empty[Plane.level - 2];
  const PlaneNode& root = Node(Plane.root);
  const PlaneNode &nw = Node(root.nw), &ne = Node(root.ne), &sw = Node(root.sw), &se = Node(root.se);
  return nw.nw == e && nw.ne == e && nw.sw == e && ne.nw == e && ne.ne == e && ne.se == e && sw.nw == e &&
         sw.sw == e && sw.se == e && se.ne == e && se.sw == e && se.se == e;
}

// The root one level down, while the pattern lies in its centre half.
void ShrinkRoot() {
  while (Plane.level > 4 && RootCentred()) {
    const PlaneNode& root = Node(Plane.root);
    const uint32_t centre = FindPlaneNode(Node(root.nw).se, Node(root.ne).sw, Node(root.sw).ne, Node(root.se).nw);
    if (centre == 0) return;
    Plane.root = centre;
    --Plane.level;
  }
}

void ChooseKernel(const CellRule& rule) {
  // Counts of the Moore eight when every neighbourhood with the same centre
  // and count has the outcome of the first one found with that count.
  uint32_t birth = 0, survive = 0;
  bool counts = true;
  for (uint32_t n = 0; n <= 8; ++n) {
    uint32_t others = 0;  // n of the eight neighbours alive (any bits but the centre's)
    for (uint32_t bit = 0, placed = 0; placed < n; ++bit)
      if (bit != 4) {
        others |= 1u << bit;
        ++placed;
      }
    if (MapOutcome(rule, others)) birth |= 1u << n;
    if (MapOutcome(rule, others | 0x10u)) survive |= 1u << n;
  }
  for (uint32_t k = 0; k < 512 && counts; ++k) {
    const uint32_t n = static_cast<uint32_t>(__builtin_popcount(k & ~0x10u));
    const uint32_t mask = (k & 0x10u) != 0 ? survive : birth;
    counts = MapOutcome(rule, k) == ((mask >> n & 1) != 0);
  }
  Plane.birthMask = birth;
  Plane.surviveMask = survive;
  if (counts) {
    Plane.kernel = birth == 0x8 && survive == 0xC ? KernelConway : KernelCounts;
    return;
  }
  Plane.kernel = KernelTable;
  BuildTable(rule, Plane.table);
}

bool SameMap(const CellRule& a, const CellRule& b) { return std::memcmp(a.map, b.map, sizeof a.map) == 0; }

// The store allocated: the block table for the most blocks a limit can
// allow, the first buckets, the table.
bool EnsureStore() {
  if (Plane.blocks != nullptr) return true;
  if (Plane.memoryLimit == 0) Plane.memoryLimit = size_t{PlaneMemoryDefaultMb} << 20;
  const size_t slots = size_t{1} << (32 - PlaneBlockShift);
  Plane.blocks = static_cast<PlaneNode**>(std::calloc(slots, sizeof(PlaneNode*)));
  Plane.buckets = static_cast<uint32_t*>(std::calloc(FirstBuckets, sizeof(uint32_t)));
  Plane.table = static_cast<uint8_t*>(std::malloc(TableBytes));
  if (Plane.blocks == nullptr || Plane.buckets == nullptr || Plane.table == nullptr) {
    std::free(Plane.blocks);
    std::free(Plane.buckets);
    std::free(Plane.table);
    Plane.blocks = nullptr;
    Plane.buckets = nullptr;
    Plane.table = nullptr;
    return false;
  }
  Plane.bucketMask = FirstBuckets - 1;
  Plane.blockCount = 0;
  Plane.memoryUsed = size_t{FirstBuckets} * sizeof(uint32_t) + TableBytes;
  Plane.blockLimit = BlockLimit();
  return true;
}

}  // namespace

uint32_t FindPlaneNode(uint32_t nw, uint32_t ne, uint32_t sw, uint32_t se) {
  return FindHashed(HashOf(nw, ne, sw, se), nw, ne, sw, se);
}

uint32_t FindPlaneLeaf(uint64_t cells) {
  return FindPlaneNode(static_cast<uint32_t>(cells), static_cast<uint32_t>(cells >> 32), PlaneLeafMark, PlaneLeafMark);
}

bool PlaneRunsRule(const CellRule& rule) {
  if (rule.states != 2 || (rule.kind != RuleCounts && rule.kind != RuleMapped)) return false;
  return !MapOutcome(rule, 0);
}

void SetPlaneMemoryLimit(uint32_t megabytes) {
  if (megabytes < PlaneMemoryMinimumMb) megabytes = PlaneMemoryMinimumMb;
  if (megabytes > PlaneMemoryMaximumMb) megabytes = PlaneMemoryMaximumMb;
  Plane.memoryLimit = size_t{megabytes} << 20;
  if (Plane.blocks != nullptr) {
    Plane.blockLimit = BlockLimit();
    if (Plane.blockLimit < Plane.blockCount) Plane.blockLimit = Plane.blockCount;
  }
}

bool ClearPlane(const CellRule& rule) {
  if (!PlaneRunsRule(rule) || !EnsureStore()) return false;
  // Blocks past what the limit allows now are let go; the rest are reused.
  Plane.blockLimit = BlockLimit();
  while (Plane.blockCount > Plane.blockLimit) {
    std::free(Plane.blocks[--Plane.blockCount]);
    Plane.blocks[Plane.blockCount] = nullptr;
    Plane.memoryUsed -= BlockBytes;
  }
  if (Plane.bucketMask + 1 > BucketLimit()) {
    std::free(Plane.buckets);
    Plane.memoryUsed -= (size_t{Plane.bucketMask} + 1) * sizeof(uint32_t);
    Plane.buckets = static_cast<uint32_t*>(std::calloc(FirstBuckets, sizeof(uint32_t)));
    if (Plane.buckets == nullptr) {
      ReleasePlane();
      return false;
    }
    Plane.bucketMask = FirstBuckets - 1;
    Plane.memoryUsed += size_t{FirstBuckets} * sizeof(uint32_t);
  }
  std::memset(Plane.buckets, 0, (size_t{Plane.bucketMask} + 1) * sizeof(uint32_t));
  Plane.nodeCount = 1;
  Plane.freeList = 0;
  Plane.liveNodes = 0;
  ++Plane.storeEpoch;
  Plane.held.clear();
  Plane.collecting = false;
  Plane.failure = PlaneDone;
  Plane.empty[PlaneLeafLevel] = FindPlaneLeaf(0);
  for (int32_t level = PlaneLeafLevel + 1; level <= PlaneMaxLevel; ++level) {
    const uint32_t e = Plane.empty[level - 1];
    Plane.empty[level] = FindPlaneNode(e, e, e, e);
    Node(Plane.empty[level]).result = e;
  }
  for (int32_t level = PlaneLeafLevel; level <= PlaneMaxLevel; ++level) Node(Plane.empty[level]).population = 0;
  Plane.rule = rule;
  ChooseKernel(rule);
  Plane.level = 4;
  Plane.root = Plane.empty[4];
  Plane.generation = 0;
  Plane.resultLog = -1;
  return true;
}

void ReleasePlane() {
  if (Plane.blocks != nullptr)
    for (uint32_t b = 0; b < Plane.blockCount; ++b) std::free(Plane.blocks[b]);
  std::free(Plane.blocks);
  std::free(Plane.buckets);
  std::free(Plane.table);
  const size_t limit = Plane.memoryLimit;
  const uint64_t epoch = Plane.storeEpoch;
  Plane.~PlaneState();
  new (&Plane) PlaneState();
  Plane.memoryLimit = limit;
  Plane.storeEpoch = epoch;
  Plane.rule = CellRuleOf(ConwayRule);
  Plane.resultLog = -1;
}

bool UsePlaneRule(const CellRule& rule) {
  if (!PlaneRunsRule(rule)) return false;
  if (Plane.blocks == nullptr) return ClearPlane(rule);
  const bool same = SameMap(rule, Plane.rule);
  Plane.rule = rule;
  if (!same) {
    ChooseKernel(rule);
    ForgetResults();
  }
  return true;
}

void SetPlaneGeneration(uint64_t generation) { Plane.generation = generation; }

void CollectPlane() {
  if (Plane.blocks == nullptr) return;
  Collect(true);
  if (Plane.liveNodes > NodeCapacity() / 2) Collect(false);
}

bool GrowPlaneRoot() {
  if (Plane.level >= PlaneMaxLevel) {
    Plane.failure = PlaneTooFar;
    return false;
  }
  const uint32_t e = Plane.empty[Plane.level - 1];
  const PlaneNode root = Node(Plane.root);
  const size_t held = Plane.held.size();
  uint32_t nw, ne, sw, se;
  const bool made = Hold(nw = FindPlaneNode(e, e, e, root.nw)) && Hold(ne = FindPlaneNode(e, e, root.ne, e)) &&
                    Hold(sw = FindPlaneNode(e, root.sw, e, e)) && Hold(se = FindPlaneNode(root.se, e, e, e));
  const uint32_t grown = made ? FindPlaneNode(nw, ne, sw, se) : 0;
  Plane.held.resize(held);
  if (grown == 0) return false;
  Plane.root = grown;
  ++Plane.level;
  return true;
}

PlaneOutcome StepPlane(int32_t stepLog, bool timed, uint32_t deadline) {
  if (stepLog < 0 || stepLog > PlaneMaxStepLog || Plane.blocks == nullptr) return PlaneRefused;
  const uint64_t generations = uint64_t{1} << stepLog;
  const uint64_t next = Plane.generation + generations < Plane.generation ? ~uint64_t{0} : Plane.generation + generations;
  if (Plane.root == Plane.empty[Plane.level]) {
    Plane.generation = next;
    return PlaneDone;
  }
  if (stepLog != Plane.resultLog) {
    ForgetResults();
    Plane.resultLog = stepLog;
  }
  Plane.failure = PlaneDone;
  Plane.collecting = true;
  Plane.stepCollections = 0;
  Plane.timed = timed;
  Plane.deadline = deadline;
  Plane.clockCountdown = ClockInterval;
  Plane.held.clear();
  bool grown = true;
  while (grown && (Plane.level < stepLog + 2 || !RootCentred())) grown = GrowPlaneRoot();
  const uint32_t result = grown && GrowPlaneRoot() ? Advance(Plane.root, Plane.level) : 0;
  Plane.collecting = false;
  Plane.held.clear();
  if (result == 0) {
    const PlaneOutcome failure = Plane.failure == PlaneDone ? PlaneNoMemory : Plane.failure;
    Plane.failure = PlaneDone;
    ShrinkRoot();
    return failure;
  }
  Plane.root = result;
  --Plane.level;
  Plane.generation = next;
  ShrinkRoot();
  Plane.failure = PlaneDone;
  return PlaneDone;
}

uint64_t NodePopulation(uint32_t i, int32_t level) {
  PlaneNode& n = Node(i);
  uint64_t count = n.population & ~PlanePopulationMark;
  if (count != PlanePopulationUnknown) return count;
  if (level == PlaneLeafLevel) {
    count = static_cast<uint64_t>(__builtin_popcountll(PlaneLeafCells(n)));
  } else {
    const uint32_t quadrants[4] = {n.nw, n.ne, n.sw, n.se};
    count = 0;
    for (uint32_t q : quadrants) {
      count += NodePopulation(q, level - 1);
      if (count >= PlanePopulationUnknown) count = PlanePopulationUnknown - 1;
    }
  }
  n.population = (n.population & PlanePopulationMark) | count;
  return count;
}

uint64_t PlanePopulation() {
  if (Plane.blocks == nullptr) return 0;
  return NodePopulation(Plane.root, Plane.level);
}
