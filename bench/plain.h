// The plain algorithms of the grid and the classic colouring, written the
// straightforward way: one cell at a time, exactly as described. They are the
// yardstick of the benchmark and the oracle of the differential tests, so they
// share no code with the engine and take every input as an argument.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Neighbour updates of one cell, in the order left..down of the plain rule.
void PlainSetCell(uint8_t* cells, int32_t x, int32_t y, int32_t columns, int32_t rows);
void PlainClearCell(uint8_t* cells, int32_t x, int32_t y, int32_t columns, int32_t rows);

// One generation: copy to the snapshot, then visit every cell in index order.
// Under a Life-like rule: bit n of birth (survive) makes a dead (live) cell
// with n live neighbours alive in the next generation; counts above 8 (bytes
// no field holds) are taken as 8. Conway's rule by default.
void PlainStep(uint8_t* live, uint8_t* snapshot, int32_t columns, int32_t rows, uint16_t birth = 0x8,
               uint16_t survive = 0xC);

// The generator, on a state of its own.
int32_t PlainLcgNext(uint32_t* state);

// Clears the field and places columns x rows random draws (x first, then y).
void PlainFill(uint8_t* live, uint32_t* lcgState, int32_t columns, int32_t rows);

// Everything the classic colouring reads besides the cells.
struct PlainClassicLook {
  const uint32_t* palette;  // ten entries: live colours for N = 0..8, dead
  uint32_t offset;          // neighbour-count colour offset of the frame
  bool digital;             // "Add digital effect"
};

// Paints every cell from the top-left of the surface, clipping blocks at its
// edges, and returns the number of live cells.
int32_t PlainPaintClassic(const uint8_t* cells, int32_t columns, int32_t rows, int32_t cellSize,
                          FrameSurface* surface, const PlainClassicLook& look);

// ---- Fields of states ---------------------------------------------------------
// Cells as states: 0 dead, 1 alive, 2 .. states - 1 dying. A rule of the
// 3 x 3 block: outcome[k] is 1 when the block k leaves its cell alive, k =
// NW << 8 | N << 7 | NE << 6 | W << 5 | C << 4 | E << 3 | SW << 2 | S << 1 | SE,
// each 1 for a live cell (only state 1 is alive).
struct PlainBlockRule {
  uint8_t outcome[512];
  int32_t states;
};
// The block rule of birth and survive counts of the Moore eight.
PlainBlockRule PlainCountsRule(uint16_t birth, uint16_t survive, int32_t states);
// One generation on a torus: a live cell the rule keeps stays, else it
// starts dying (or is dead with two states); a dying cell moves on a state,
// from the last to dead; a dead cell may be born; a dying one never is.
void PlainStepStates(uint8_t* states, uint8_t* scratch, int32_t columns, int32_t rows, const PlainBlockRule& rule);
// The engine's bytes of a field of states under a rule of the 3 x 3 block of
// ruleStates states: 2 x live neighbours + alive, 0x20 while dying, and the
// dying states in decay (0 for every other cell); with three or four states
// decay is all 0 and a dying cell's byte has 0x40 in state 3.
void PlainEncodeStates(const uint8_t* states, uint8_t* cells, uint8_t* decay, int32_t columns, int32_t rows,
                       int32_t ruleStates);
// Paints a field of states as PlainPaintClassic paints cells, a dying cell
// in its live count's colour faded toward the dead one: with f = states -
// state generations of it left, f x (64 x 256 / (states - 1)) / 256 parts of
// 64 of the live colour, each byte rounded. Returns the live cells.
int32_t PlainPaintStates(const uint8_t* states, int32_t ruleStates, int32_t columns, int32_t rows, int32_t cellSize,
                         FrameSurface* surface, const PlainClassicLook& look);
