// Patterns read from the files Life programs exchange: RLE (with the states
// of rules of many states), plain text (.cells), Life 1.05, Life 1.06,
// Golly's macrocell format (of two states and of many), MCell's files, and
// any of them gzipped. A reader takes the whole file in memory and gives the
// cells with their states, the name and the rule, or why it refuses the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/plane.h"
#include "engine/rule.h"
#include "platform/names.h"

// Whatever size a file claims, nothing larger than these is read: a file
// over PatternFileLimit bytes is refused unread (a gzipped one as soon as it
// inflates past it), a pattern wider or taller than PatternSideLimit or with
// more than PatternCellLimit cells that are not dead is refused before
// anything is allocated for it.
const size_t PatternFileLimit = 4u << 20;
const int32_t PatternSideLimit = 65536;
const size_t PatternCellLimit = 4u << 20;

// A cell that is not dead, from the pattern's top-left corner; sides of at
// most PatternSideLimit cells fit 16 bits.
struct PatternCell {
  uint16_t x;
  uint16_t y;
  uint8_t state;  // 1 alive, 2 .. the rule's states - 1 dying; never 0
};

// The cells are kept as a list, not a bitmap: a pattern may be as wide and
// tall as PatternSideLimit (half a gigabyte as bits) while the list costs six
// bytes a cell (24 MB at the cell limit), and placing the pattern in any of
// its eight orientations is a map over the list.
struct PatternCells {
  int32_t width;                   // 1..PatternSideLimit; every cell has x < width
  int32_t height;                  // 1..PatternSideLimit; every cell has y < height
  std::vector<PatternCell> cells;  // at least one, each once, by row then column
  bool hasRule;                    // the file names a rule; rule is it
  CellRule rule;                   // never B0; every cell's state is below rule.states (2 without one)
  char name[NameTextSize];                   // the file's name for the pattern, terminated; "" when it has none
};

// Why a file was not taken; FormatPatternRefusal gives a line for people.
enum PatternError {
  PatternOk,
  PatternUnreadable,        // the file cannot be opened or read
  PatternTooLarge,          // over PatternFileLimit bytes, or inflates to more
  PatternBeyondLimits,      // wider, taller or more populous than the limits above
  PatternUnknownFormat,     // none of the formats above
  PatternMalformed,         // a file of one of them, broken
  PatternEmpty,             // no cell that is not dead
  PatternRuleRefused,       // the rule it names is not one ParseRule takes (ruleError says why)
  PatternGameRefused,       // an MCell game of no family tumbra knows (rule holds the game)
  PatternStateBeyondRule,   // a cell's state is one the rule does not have
  PatternRuleNotRun,        // a rule read, but one the engine does not run (see EngineRunsPattern)
};

struct PatternRefusal {
  PatternError error;
  const char* format;  // the format the file was read as ("RLE", "macrocell", ...); null when unknown
  const char* why;     // PatternRuleNotRun: what of the rule the engine does not run (EngineRefusal)
  RuleError ruleError; // PatternRuleRefused: why
  int32_t state;       // PatternStateBeyondRule: the state, and the rule's count of states
  int32_t states;
  char rule[RuleTextLimit + 1];  // the rule (or MCell game) as the file names it, cut to fit; "" for none
};

// One line without a full stop, as FormatRule writes and counts.
size_t FormatPatternRefusal(const PatternRefusal& refusal, char* text, size_t size);

// Each reader takes text[0..length), which need not be terminated, and reads
// nothing past length. On success *out holds the pattern. A file that is
// broken in any way, too large, in another format, with a rule that is no
// rule ParseRule takes (B0 among them), a cell of a state its rule does not
// have, or with no cell that is not dead gives false and *out empty, its
// storage released, and, when refusal is not null, *refusal says why.
// Without a rule a file has two states, dead and alive.
//
// RLE: "#N name", other '#' lines ignored ("#CXRLE" among them), then
// "x = W, y = H" with an optional ", rule = R"; runs of b or . (dead), o or A
// (alive), B..X (states 2..24), pA..pX (25..48), qA..qX and so on to yO
// (255), '$' ending rows, '!' ending the pattern (required; anything after
// it is ignored). A cell outside W x H is refused, not clipped. The size is
// the header's.
bool ReadRle(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal = nullptr);
// A two-state RLE file too wide or tall for a list of cells (sides up to
// WideRleSideLimit; the same cell limit), for the plane: its name and rule
// in *out, which gets no cells, and its live cells from the pattern's
// top-left in *cells. False for anything else.
const int64_t WideRleSideLimit = int64_t(1) << 30;
bool ReadWideRle(const char* text, size_t length, PatternCells* out, std::vector<PlaneCell>* cells);
// Plain text: '!' lines are comments ("!Name: name"), other lines rows of
// '.' (dead) and 'O' or '*' (live). The size is the rows as drawn, blank
// rows at the end left out.
bool ReadPlainText(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal = nullptr);
// Life 1.05: "#Life 1.05", "#D" lines, "#N" (Conway's rule) or "#R S/B",
// and "#P x y" blocks of '.'/'*' rows from that position.
bool ReadLife105(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal = nullptr);
// Life 1.06: "#Life 1.06", then an "x y" pair a line.
bool ReadLife106(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal = nullptr);
// Macrocell: "[M2]", "#R rule" and other '#' lines, then nodes, each of
// earlier ones; the last node is the pattern. Two-state files have 8x8
// leaves ('.', '*', '$' ending rows) and nodes "level nw ne sw se" of level
// 4 and up (0 is empty); files of many states, which name their rule, have
// 2x2 leaves "1 nw ne sw se" of states and nodes of level 2 and up. Only
// patterns within the limits above are read, whatever the levels describe.
bool ReadMacrocell(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal = nullptr);
// MCell: "#MCell" first, "#GAME" (Life, Generations, Larger than Life, or a
// game Golly runs under the rule of a "#GOLLY" line), "#RULE" (perhaps over
// several lines), "#BOARD WxH" with "#WRAP 1" a torus of that size and a
// bounded plane otherwise (the rule's grid, as Golly takes it), "#D" lines
// (the first with words is the name), and "#L" lines, one run of cells
// continued over them: '.' dead, A..X states 1..24, aA..jX 25..264, '$'
// ending rows. As Golly reads them, a state the rule does not have is alive.
// Other lines ("#SPEED", "#CCOLORS", "#PALETTE", ...) are ignored.
bool ReadMcell(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal = nullptr);
// The last four formats have no size of their own: the pattern is the
// bounding box of its cells.

// Inflates a gzip stream (RFC 1952; members one after another read as one)
// into *out, at most PatternFileLimit bytes of it: false with *out empty on
// a broken stream or one that inflates to more.
bool InflateGzip(const char* data, size_t length, std::vector<char>* out, PatternError* error = nullptr);
// Recognises the format from the content (a gzip stream by its magic bytes,
// then the format of what it inflates to) and reads it with its reader.
bool ReadPattern(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal = nullptr);

// ---- The collection -----------------------------------------------------------
// The pattern files a new field may start from. Indexing lists the files
// once and reads none; a file is read when it is drawn, and what that shows
// (its size, or that it cannot be read) is kept, so a later draw skips a
// file that cannot fit or be read without reading it again.

// Files beyond these are left out of the index.
const uint32_t PatternIndexLimit = 100000;
const int32_t PatternFolderDepth = 4;

struct PatternEntry {
  uint32_t path;   // offset of the file's path in PatternCollection.paths
  int32_t width;   // the pattern's size once read; 0 before
  int32_t height;
  bool unusable;   // read once and refused: never drawn again
  bool notRun;     // read once: a rule the engine does not run, passed over like a pattern too large
  bool onPlane;    // read once: the plane runs it, whatever its size
  int32_t gridColumns;  // read once: the grid its rule names (GridOfRule), 0 for the field's
  int32_t gridRows;
};

struct PatternCollectionState {
  std::vector<char> paths;            // the paths, each terminated
  std::vector<PatternEntry> entries;  // in the order indexed
  std::vector<uint32_t> deck;         // entries not yet shown in this round
};
extern PatternCollectionState PatternCollection;

void ClearPatternCollection();
// Adds the pattern files of the folder and its subfolders (by their
// extensions: .rle, .cells, .lif, .life, .mc, .mcl, .txt, and any of them
// or another name with .gz after it) to the index.
void AddPatternFolder(const char* folder);
// Adds one file, whatever its name.
void AddPatternFile(const char* path);

// A pattern on the field: its cells turned to an orientation and centred.
// Orientation bit 2 swaps x and y, then bit 0 mirrors x and bit 1 mirrors y.
struct PatternPlacement {
  int32_t orientation;  // 0..7
  int32_t x;            // the turned pattern's top-left cell on the field
  int32_t y;
};

// True when the pattern fits a columns x rows field in some orientation.
bool PatternFits(int32_t width, int32_t height, int32_t columns, int32_t rows);
// The placement of a pattern that fits, in the given orientation when it
// fits that way, else in the one with x and y swapped.
PatternPlacement CentrePattern(int32_t width, int32_t height, int32_t orientation, int32_t columns, int32_t rows);
// Clears the field and sets the pattern's cells, in their states, where the
// placement puts them.
void SetPatternCells(const PatternCells& pattern, PatternPlacement placement, int32_t columns, int32_t rows);

// Reads a whole file of at most PatternFileLimit bytes and the pattern in it;
// on false, *refusal (when not null) says why.
bool ReadPatternFile(const char* path, PatternCells* out, PatternRefusal* refusal = nullptr);
// True when the engine runs the pattern's rule (a pattern without one runs
// Conway's Life); otherwise false with *refusal (when not null) saying so.
bool EngineRunsPattern(const PatternCells& pattern, PatternRefusal* refusal = nullptr);
// The grid a pattern runs on when its rule names one: a torus of that size,
// or a bounded plane with a border of the rule's reach kept dead around it
// (edge). A side of 0 is the field's. Otherwise the field's torus, edge 0.
struct PatternGrid {
  int32_t columns;
  int32_t rows;
  int32_t edge;
};
PatternGrid GridOfRule(const CellRule& rule, int32_t columns, int32_t rows);

// ---- Patterns on the plane ------------------------------------------------------
// Where a pattern drawn for a new field is shown.
enum PatternPlace { PlaceTorus, PlacePlane };
// True when a pattern of this rule runs on the unbounded plane: two states,
// a rule of the 3 x 3 block the plane runs, and no grid of its own.
bool PlaneTakesRule(const CellRule& rule);
// Clears the plane for the pattern's rule (Conway's for none) and sets its
// cells, turned to the orientation (as PatternPlacement's) about their
// middle, which lies at the plane's origin. False with the plane cleared
// when it does not hold them (the memory limit).
bool SetPlanePatternCells(const PatternCells& pattern, int32_t orientation);
// True when the file is beyond a list of cells but the plane loads it as it
// is (a large macrocell or two-state RLE file); the plane then holds it.
bool PlaneTakesWholeFile(const char* path);
// As DrawPattern, where the plane may take the field: a pattern the plane
// runs goes onto it whatever its size, in an orientation drawn for it (a
// file too large for a list of cells is loaded as it is, see
// PlaneTakesWholeFile); any other
// must fit the torus, and gets a placement there. *place says which; *out
// holds the pattern's name and rule, and its cells but for a macrocell
// loaded whole.
bool DrawPatternOnPlane(int32_t columns, int32_t rows, PatternCells* out, PatternPlacement* placement,
                        PatternPlace* place, PatternGrid* grid = nullptr);

// The next pattern of the round that fits a columns x rows field, read into
// *out, with a placement in an orientation drawn for it; a round ends when
// every pattern has shown and the next begins with all of them. The
// engine's generator draws, so a seed gives the same fields. Files the
// engine cannot run are passed over. False when no file of the collection
// fits, can be read and run.
// A pattern whose rule names a grid must fit that grid (and the grid the
// cell buffer), and is placed on it; *grid, when not null, says which.
bool DrawPattern(int32_t columns, int32_t rows, PatternCells* out, PatternPlacement* placement,
                 PatternGrid* grid = nullptr);
