// Patterns read from the files Life programs exchange: RLE, plain text
// (.cells), Life 1.05, Life 1.06 and Golly's macrocell format. A reader takes
// the whole file in memory and gives the live cells, the name and the rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/rule.h"

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
  char name[80];                   // the file's name for the pattern, terminated; "" when it has none
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
