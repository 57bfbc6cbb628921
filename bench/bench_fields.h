// Fields and sizes shared by the benchmarks.
#pragma once

#include <cstdint>
#include <vector>

struct BenchSize {
  const char* name;
  int32_t width;
  int32_t height;
};
extern const BenchSize BenchSizes[2];  // 1080p and 2160p
const uint32_t BenchSeed = 20240611u;

// A grid buffer with room for one cell per pixel of the size.
void UseGridFor(const BenchSize& size);
// A frame surface of the size, the view's client area as large.
void UseSurface(const BenchSize& size);
// The field `generations` steps after a fill from BenchSeed (kept once made).
const std::vector<uint8_t>& BenchField(int32_t columns, int32_t rows, int generations);
// The generation-0 soup of a size as an RLE pattern with the given rule.
bool WriteSoupRle(const char* path, const char* sizeName, const char* rule);
// Prints "generation population" of the soup on the torus at each generation
// of a comma-separated list in increasing order.
bool PrintSoupPopulations(const char* generations, const char* sizeName);

// The Animated Mode figure (its own file: it needs a lifeface).
void RegisterAnimatedBenchmarks(const BenchSize& size);
// Larger than Life steps and frames.
void RegisterLargerBenchmarks(const BenchSize& size);
