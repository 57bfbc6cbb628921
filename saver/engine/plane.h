// The unbounded plane: a pattern of any size kept as a quadtree of shared
// nodes and stepped by HashLife, 2^N generations at a time, under any rule
// of two states that looks at the 3 x 3 block. Nothing here draws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/rule.h"

// ---- Nodes -----------------------------------------------------------------------
// A node of level k is a square of 2^k x 2^k cells. Leaves are level 3: 8 x 8
// cells, row r in byte r (rows 0..3 in nw, 4..7 in ne), column c in bit c of
// its byte. A node above them names its four quadrants by index; every node
// is kept once (the same four quadrants always give the same index), so a
// pattern that repeats costs one node per distinct square. Index 0 is none.
//
// The root is always centred on the origin: a root of level k covers cells
// -2^(k-1) .. 2^(k-1) - 1 on both axes (y grows downwards), so every node
// below it covers a square whose corner is a multiple of its side. Macrocell
// files are read and written in this frame: the south-east quadrant of the
// root starts at cell (0, 0).
struct PlaneNode {
  uint32_t nw;  // quadrants; a leaf's cells (see above)
  uint32_t ne;
  uint32_t sw;  // PlaneLeafMark in a leaf
  uint32_t se;
  uint32_t result;      // memoised: the centre, stepped (see StepPlane); 0 not yet known
  uint32_t next;        // the next node of its hash chain, or of the free list
  uint64_t population;  // live cells, saturated; PlanePopulationUnknown until counted
};
const uint32_t PlaneLeafMark = 0xFFFFFFFFu;
const uint64_t PlanePopulationUnknown = 0x7FFFFFFFFFFFFFFFull;
const uint64_t PlanePopulationMark = 0x8000000000000000ull;  // set on nodes a collection keeps
const int32_t PlaneLeafLevel = 3;
// The largest root: its cells' coordinates, and those of a step's result,
// stay well inside 64 bits. A step needs a root two levels above what the
// pattern fills.
const int32_t PlaneMaxLevel = 62;
// The largest step, 2^PlaneMaxStepLog generations.
const int32_t PlaneMaxStepLog = 48;

// Nodes come in blocks, so the node store grows without moving a node and
// without one large block of address space (2 GB in all on i686).
const int32_t PlaneBlockShift = 14;
const uint32_t PlaneBlockNodes = 1u << PlaneBlockShift;

// Memory: the node store and its hash table never pass the limit (what a
// call needs for itself, a list of cells or a file's node numbers, comes on
// top). The default suits both builds: Golly's HashLife patterns and the
// largest breeders run a million generations without a collection, and an
// i686 process keeps most of its 2 GB for everything else.
const uint32_t PlaneMemoryDefaultMb = 256;
const uint32_t PlaneMemoryMinimumMb = 16;
const uint32_t PlaneMemoryMaximumMb = sizeof(void*) == 4 ? 1024 : 65536;

// Why a step, a load or a change did not happen.
enum PlaneOutcome {
  PlaneDone,
  PlaneOverran,   // the deadline came first: the pattern is as it was, the work done so far kept
  PlaneNoMemory,  // it did not fit the memory limit, even after a collection
  PlaneTooFar,    // the pattern would reach past the coordinates the plane keeps
  PlaneRefused,   // a step out of range, a rule the plane does not run, a broken file
};

// The plane of the process. ClearPlane and ReleasePlane are its resets.
struct PlaneState {
  CellRule rule;
  // How the 16 x 16 squares at the bottom are stepped: Conway's rule and
  // other counts of the Moore eight cell-parallel in 64-bit words, any other
  // rule by a table of 4 x 4 squares.
  int32_t kernel;
  uint32_t birthMask;    // counts kernel: bit k, a dead cell with k live neighbours is born
  uint32_t surviveMask;  // bit k, a live cell with k live neighbours lives on
  uint8_t* table;        // table kernel: the middle 2 x 2 of each 4 x 4 square, a generation on

  PlaneNode** blocks;
  uint32_t blockCount;     // blocks allocated
  uint32_t blockLimit;     // blocks the memory limit allows
  uint32_t nodeCount;      // nodes handed out from the blocks, index 0 included
  uint32_t freeList;       // nodes a collection gave back
  uint32_t liveNodes;      // in use
  uint32_t* buckets;       // hash chains' first nodes
  uint32_t bucketMask;     // buckets - 1 (a power of two)
  size_t memoryLimit;      // bytes
  size_t memoryUsed;       // bytes of blocks and buckets

  uint32_t empty[PlaneMaxLevel + 1];  // the empty node of each level from 3
  uint32_t root;
  int32_t level;        // the root's
  uint64_t generation;  // of the pattern held, saturated
  int32_t resultLog;    // the step memoised results are for; -1 none

  // A step in progress: the nodes its computations hold, which a collection
  // keeps; the deadline and how often the clock is read.
  std::vector<uint32_t> held;
  bool collecting;  // a step is running: a full store may be collected
  uint32_t stepCollections;  // collections in this step
  bool timed;
  uint32_t deadline;
  uint32_t clockCountdown;
  PlaneOutcome failure;  // PlaneDone while the step goes on

  // Counts the clears and collections: a node index may stand for another
  // node after either, so what is kept by index elsewhere is then dropped.
  uint64_t storeEpoch;

  // What the work cost, for tests and benchmarks.
  uint64_t collections;
  uint64_t computed;  // results worked out, not found
};
extern PlaneState Plane;

// True when the plane runs the rule: two states, a rule of the 3 x 3 block
// (every CellRule of kind RuleCounts or RuleMapped), and no birth on an empty
// neighbourhood (which would fill the unbounded plane at once).
bool PlaneRunsRule(const CellRule& rule);
// The memory limit from now on, clamped to PlaneMemoryMinimumMb ..
// PlaneMemoryMaximumMb; a store already larger keeps what it has (and grows
// no more) until the plane is next cleared. Before the first call the limit
// is PlaneMemoryDefaultMb.
void SetPlaneMemoryLimit(uint32_t megabytes);
// An empty plane at generation 0 under the rule; false (and the plane as it
// was) for a rule it does not run. Keeps the store's blocks for reuse.
bool ClearPlane(const CellRule& rule);
// Frees all the plane's memory; the plane is then empty under Conway's rule.
void ReleasePlane();
// The rule of the pattern held from now on, keeping the cells; false for a
// rule the plane does not run.
bool UsePlaneRule(const CellRule& rule);

// A cell of the plane.
struct PlaneCell {
  int64_t x;
  int64_t y;
};
// Sets the cells alive, keeping those already alive; cells may repeat and
// come in any order. Coordinates must lie within +-2^60. PlaneDone, or
// PlaneNoMemory / PlaneTooFar with the pattern as it was.
PlaneOutcome SetPlaneCells(const PlaneCell* cells, size_t count);
// The generation the pattern is said to be at (a file's, say).
void SetPlaneGeneration(uint64_t generation);

// Steps the pattern 2^stepLog generations (0 <= stepLog <= PlaneMaxStepLog).
// With `timed`, it gives up when the tick count reaches `deadline`
// (PlatformTickCount; the clock is read every thousand or so results worked
// out): the pattern and generation stay as they were and what was worked out
// is kept, so trying again costs less. A step that cannot fit the memory
// limit even after a collection fails the same way. Memoised results hold
// for one step size: another size starts them anew.
PlaneOutcome StepPlane(int32_t stepLog, bool timed, uint32_t deadline);

// The exact number of live cells (saturated at 2^63 - 2); counts are kept
// per node, so asking again costs little.
uint64_t PlanePopulation();
// The live cells' bounding box (inclusive); false when there are none.
struct PlaneBox {
  int64_t left;
  int64_t top;
  int64_t right;
  int64_t bottom;
};
bool PlaneBounds(PlaneBox* box);
// The cells of the width x height rectangle from (x, y): one byte a cell (1
// alive, 0 dead), rows `stride` bytes apart.
void ExtractPlaneBytes(int64_t x, int64_t y, int32_t width, int32_t height, uint8_t* out, size_t stride);
// The same as bits: bit i of byte k of a row is column 8k + i; a row takes
// (width + 7) / 8 bytes, `stride` apart. Bits past the width are 0.
void ExtractPlaneBits(int64_t x, int64_t y, int32_t width, int32_t height, uint8_t* out, size_t stride);
// A node's live cells (saturated), counted once and kept.
uint64_t NodePopulation(uint32_t node, int32_t level);
// Node i of the store.
inline PlaneNode& PlaneNodeAt(uint32_t i) { return Plane.blocks[i >> PlaneBlockShift][i & (PlaneBlockNodes - 1)]; }
// Collects the store now (keeping memoised results only while they fit in
// half of it), as a full store does during a step.
void CollectPlane();

// ---- The store, for the plane's own files and its painter ---------------------------
// Finding a node makes it when it is new; 0 when the memory limit leaves no
// room (Plane.failure then says so). Outside a step nothing is collected, so
// nodes found stay until the pattern is replaced and the store next collected.
uint32_t FindPlaneNode(uint32_t nw, uint32_t ne, uint32_t sw, uint32_t se);
uint32_t FindPlaneLeaf(uint64_t cells);
inline uint64_t PlaneLeafCells(const PlaneNode& leaf) { return leaf.nw | static_cast<uint64_t>(leaf.ne) << 32; }
// The root one level up, the pattern in its centre; false past PlaneMaxLevel
// or the memory limit.
bool GrowPlaneRoot();
// The root's side is 2^level; its corner, -2^(level-1).
inline int64_t PlaneRootCorner() { return -(int64_t{1} << (Plane.level - 1)); }

// ---- Files -----------------------------------------------------------------------

// Macrocell files larger than this are refused unread.
const size_t PlaneFileLimit = 256u << 20;
// Reads a two-state macrocell text ("[M2]" first; "#R rule", "#G
// generation" and other '#' lines; 8 x 8 leaves of '.', '*' and '$'; nodes
// "level nw ne sw se" of earlier nodes, 0 the empty one; the last node is
// the pattern) from text[0..length), which need not be terminated, straight
// into the tree, under the file's rule (Conway's when it names none). A
// broken file, a rule the plane does not run, a level above PlaneMaxLevel -
// 2 or a pattern beyond the memory limit give PlaneRefused or PlaneNoMemory
// and leave the plane as it was.
PlaneOutcome LoadPlaneMacrocell(const char* text, size_t length);
// The pattern as macrocell text ("[M2] (tumbra)", "#R rule", "#G generation")
// or as RLE with a "#CXRLE Pos=X,Y Gen=G" line, in forms bgolly reads, the
// rule as FormatRuleForBgolly writes it; appended to *text. False, with
// *text as it was, when the text would pass `limit` bytes.
bool WritePlaneMacrocell(std::string* text, size_t limit);
bool WritePlaneRle(std::string* text, size_t limit);
