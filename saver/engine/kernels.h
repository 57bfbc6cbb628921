// Wide-register kernels behind the grid and the one-pixel classic painting.
// There is one set per instruction set: SSE2 always, AVX2 where the CPU runs
// it. The widest usable set is chosen once, at first use; every set gives the
// same bytes and pixels as the plain one-cell-at-a-time rules.
#pragma once

#include <cstddef>
#include <cstdint>

struct GridKernels {
  const char* name;
  // Bytes per register: rows narrower than this go to a narrower set.
  int32_t width;
  // One generation in place, for columns >= width and any rows >= 1; scratch
  // holds KernelScratchBytes(columns) bytes and is left undefined.
  void (*step)(uint8_t* cells, uint8_t* scratch, int32_t columns, int32_t rows);
  // Turns a field of 0/1 bytes into 2 x live neighbours + alive, in place
  // (same shape and scratch as step).
  void (*recount)(uint8_t* cells, uint8_t* scratch, int32_t columns, int32_t rows);
  // Makes `draws` random draws of a cell (x = next mod columns, then
  // y = next mod rows) and sets each drawn byte to 1; *state moves on by
  // 2 x draws values. Takes columns and rows up to 32767.
  void (*markDraws)(uint8_t* cells, uint32_t* state, int32_t columns, int32_t rows, int64_t draws);
  // pixels[i] := live[(cells[i] >> 1) & 7] when bit 0 of cells[i] is set,
  // else dead; returns the number of live cells.
  int32_t (*paintRow)(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead);
  // The number of bytes with bit 0 set.
  int32_t (*countAlive)(const uint8_t* cells, int32_t count);
};

// Scratch the step and recount need for rows of `columns` cells.
inline size_t KernelScratchBytes(int32_t columns) { return 6 * (static_cast<size_t>(columns) + 128); }
// The largest column or row count markDraws takes.
const int32_t KernelDrawLimit = 32767;

extern const GridKernels Sse2Kernels;
extern const GridKernels Avx2Kernels;

bool CpuRunsAvx2();
// The set in use: chosen from the CPU on the first call.
const GridKernels* ActiveKernels();
// The set for rows of `columns` cells: the active one, or SSE2 for rows
// narrower than its registers, or null when even those are too wide.
const GridKernels* KernelsForColumns(int32_t columns);
// Replaces the chosen set (tests compare every set the CPU runs).
void UseKernels(const GridKernels* kernels);
