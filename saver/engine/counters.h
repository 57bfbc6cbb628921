// What the saver counts for benchmarks. tools/bench-saver reads this record
// from the memory of a running tumbra.scr: it finds it by the symbol name
// `Counters` and reads the members at the offsets pinned below. Keep the
// name and the layout; new members go at the end.
#pragma once

#include <cstddef>
#include <cstdint>

struct SaverCounters {
  uint32_t framesDrawn;  // frames computed since start, wrapping
  int32_t generation;    // of the field shown, from 1 (Field.Generation's low 32 bits)
};
extern SaverCounters Counters;

static_assert(offsetof(SaverCounters, framesDrawn) == 0, "bench-saver reads framesDrawn at offset 0");
static_assert(offsetof(SaverCounters, generation) == 4, "bench-saver reads generation at offset 4");
static_assert(sizeof(SaverCounters) == 8, "the record is two 32-bit words on every target");
