#include "bench_fields.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "engine/engine.h"
#include "field_rle.h"
#include "loop/loop.h"
#include "render/render.h"

const BenchSize BenchSizes[2] = {{"1080p", 1920, 1080}, {"2160p", 3840, 2160}};

void UseSurface(const BenchSize& size) {
  if (View.Surface == nullptr || View.Surface->width != size.width || View.Surface->height != size.height) {
    ReleaseFrameSurface(View.Surface);
    View.Surface = CreateFrameSurface(nullptr, size.width, size.height, 32);
  }
  View.ClientWidth = size.width;
  View.ClientHeight = size.height;
}

void UseGridFor(const BenchSize& size) {
  const size_t cells = static_cast<size_t>(size.width) * size.height;
  if (Grid.LiveCells != nullptr && Grid.capacity == cells) return;
  ReleaseCellGrid();
  AllocateCellGrid(cells);
}

const std::vector<uint8_t>& BenchField(int32_t columns, int32_t rows, int generations) {
  static std::map<std::tuple<int32_t, int32_t, int>, std::vector<uint8_t>> made;
  std::vector<uint8_t>& field = made[std::make_tuple(columns, rows, generations)];
  if (field.empty()) {
    LcgSeed(BenchSeed);
    RandomFill(columns, rows);
    for (int g = 0; g < generations; ++g) StepGeneration(columns, rows);
    field.assign(Grid.LiveCells, Grid.LiveCells + static_cast<size_t>(columns) * rows);
  }
  return field;
}

static const BenchSize* SizeNamed(const char* name) {
  for (const BenchSize& s : BenchSizes)
    if (std::strcmp(s.name, name) == 0) return &s;
  return nullptr;
}

bool PrintSoupPopulations(const char* generations, const char* sizeName) {
  const BenchSize* size = SizeNamed(sizeName);
  if (size == nullptr) return false;
  UseGridFor(*size);
  LcgSeed(BenchSeed);
  RandomFill(size->width, size->height);
  const size_t cells = static_cast<size_t>(size->width) * size->height;
  long done = 0;
  for (const char* p = generations; *p != 0;) {
    char* end = nullptr;
    const long wanted = std::strtol(p, &end, 10);
    if (end == p || wanted < done) return false;
    for (; done < wanted; ++done) StepGeneration(size->width, size->height);
    long population = 0;
    for (size_t i = 0; i < cells; ++i) population += Grid.LiveCells[i] & 1;
    std::printf("%ld %ld\n", done, population);
    p = *end == ',' ? end + 1 : end;
  }
  return true;
}

bool WriteSoupRle(const char* path, const char* sizeName, const char* rule) {
  const BenchSize* size = SizeNamed(sizeName);
  if (size == nullptr) return false;
  UseGridFor(*size);
  const std::vector<uint8_t>& field = BenchField(size->width, size->height, 0);
  const std::string text = FieldRle(field.data(), size->width, size->height, rule);
  FILE* out = std::fopen(path, "w");
  if (out == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  return std::fclose(out) == 0 && written;
}
