// Patterns read from the files Life programs exchange: RLE, plain text
// (.cells), Life 1.05, Life 1.06 and Golly's macrocell format. A reader takes
// the whole file in memory and gives the live cells, the name and the rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/rule.h"
#include "platform/names.h"

// Whatever size a file claims, nothing larger than these is read: a file
// over PatternFileLimit bytes is refused unread, a pattern wider or taller
// than PatternSideLimit or with more than PatternCellLimit live cells is
// refused before anything is allocated for it.
const size_t PatternFileLimit = 4u << 20;
const int32_t PatternSideLimit = 65536;
const size_t PatternCellLimit = 4u << 20;

// A live cell, from the pattern's top-left corner; sides of at most
// PatternSideLimit cells fit 16 bits.
struct PatternCell {
  uint16_t x;
  uint16_t y;
};

// The live cells are kept as a list, not a bitmap: a pattern may be as wide
// and tall as PatternSideLimit (half a gigabyte as bits) while the list costs
// four bytes a live cell (16 MB at the cell limit), and placing the pattern
// in any of its eight orientations is a map over the list.
struct PatternCells {
  int32_t width;                   // 1..PatternSideLimit; every cell has x < width
  int32_t height;                  // 1..PatternSideLimit; every cell has y < height
  std::vector<PatternCell> cells;  // at least one, each once, by row then column
  bool hasRule;                    // the file names a rule; rule is it
  LifeRule rule;                   // never B0
  char name[NameTextSize];         // the file's name for the pattern, terminated; "" when it has none
};

// Each reader takes text[0..length), which need not be terminated, and reads
// nothing past length. On success *out holds the pattern. A file that is
// broken in any way, too large, in another format, with a rule that is not
// Life-like (B0, Generations, other families, more than two states) or with
// no live cell gives false and *out empty, its storage released.
//
// RLE: "#N name", other '#' lines ignored, then "x = W, y = H" with an
// optional ", rule = R"; runs of b/. (dead) and o/A (live), '$' ending rows,
// '!' ending the pattern (required; anything after it is ignored). A cell
// outside W x H is refused, not clipped. The size is the header's.
bool ReadRle(const char* text, size_t length, PatternCells* out);
// Plain text: '!' lines are comments ("!Name: name"), other lines rows of
// '.' (dead) and 'O' or '*' (live). The size is the rows as drawn, blank
// rows at the end left out.
bool ReadPlainText(const char* text, size_t length, PatternCells* out);
// Life 1.05: "#Life 1.05", "#D" lines, "#N" (Conway's rule) or "#R S/B",
// and "#P x y" blocks of '.'/'*' rows from that position.
bool ReadLife105(const char* text, size_t length, PatternCells* out);
// Life 1.06: "#Life 1.06", then an "x y" pair a line.
bool ReadLife106(const char* text, size_t length, PatternCells* out);
// Macrocell: "[M2]", "#R rule" and other '#' lines, 8x8 leaves ('.', '*',
// '$' ending rows) and nodes "level nw ne sw se" of earlier nodes (0 is
// empty); the last node is the pattern. Only patterns within the limits
// above are read, whatever the node levels describe.
bool ReadMacrocell(const char* text, size_t length, PatternCells* out);
// The last three formats have no size of their own: the pattern is the
// bounding box of its live cells.

// Recognises the format from the content and reads it with its reader.
bool ReadPattern(const char* text, size_t length, PatternCells* out);

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
};

struct PatternCollectionState {
  std::vector<char> paths;            // the paths, each terminated
  std::vector<PatternEntry> entries;  // in the order indexed
  std::vector<uint32_t> deck;         // entries not yet shown in this round
};
extern PatternCollectionState PatternCollection;

void ClearPatternCollection();
// Adds the pattern files of the folder and its subfolders (by their
// extensions: .rle, .cells, .lif, .life, .mc, .txt) to the index.
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
// Clears the field and sets the pattern's cells where the placement puts them.
void SetPatternCells(const PatternCells& pattern, PatternPlacement placement, int32_t columns, int32_t rows);

// Reads a whole file of at most PatternFileLimit bytes and the pattern in it.
bool ReadPatternFile(const char* path, PatternCells* out);
// The next pattern of the round that fits a columns x rows field, read into
// *out, with a placement in an orientation drawn for it; a round ends when
// every pattern has shown and the next begins with all of them. The
// engine's generator draws, so a seed gives the same fields. False when
// no file of the collection fits or can be read.
bool DrawPattern(int32_t columns, int32_t rows, PatternCells* out, PatternPlacement* placement);
