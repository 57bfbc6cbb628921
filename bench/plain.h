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
