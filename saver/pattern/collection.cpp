// The pattern collection: an index of files made once, a round of draws
// without repeats, and the placement of a drawn pattern on the torus.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "pattern/pattern.h"

PatternCollectionState PatternCollection;

namespace {

bool IsPatternFileName(const char* path) {
  static const char* const Extensions[] = {"rle", "cells", "lif", "life", "mc", "txt"};
  const char* dot = std::strrchr(path, '.');
  if (dot == nullptr || std::strpbrk(dot, "/\\") != nullptr) return false;
  for (const char* extension : Extensions) {
    const char* a = dot + 1;
    const char* b = extension;
    while (*a != 0 && *b != 0 && std::tolower(static_cast<unsigned char>(*a)) == *b) ++a, ++b;
    if (*a == 0 && *b == 0) return true;
  }
  return false;
}

void ListPatternFile(const char* path, void* context) {
  if (IsPatternFileName(path)) static_cast<std::vector<std::string>*>(context)->push_back(path);
}

const char* PathOf(const PatternEntry& entry) { return PatternCollection.paths.data() + entry.path; }

// A number from 0 to count - 1 of the engine's generator, which gives 15
// bits a draw.
uint32_t DrawBelow(uint32_t count) {
  const uint32_t high = static_cast<uint32_t>(LcgNext());  // two statements: the order of the draws is fixed
  const uint32_t low = static_cast<uint32_t>(LcgNext());
  return ((high << 15) | low) % count;
}

// The name a pattern shows: its own, else its file's name without the folder
// and the extension.
void NameFromPath(const char* path, char* name, size_t size) {
  const char* start = path;
  for (const char* p = path; *p != 0; ++p)
    if (*p == '/' || *p == '\\') start = p + 1;
  const char* dot = std::strrchr(start, '.');
  size_t length = dot != nullptr && dot > start ? static_cast<size_t>(dot - start) : std::strlen(start);
  if (length >= size) length = size - 1;
  std::memcpy(name, start, length);
  name[length] = 0;
}

}  // namespace

void ClearPatternCollection() {
  PatternCollection.paths.clear();
  PatternCollection.entries.clear();
  PatternCollection.deck.clear();
}

void AddPatternFolder(const char* folder) {
  // In the order of their names, not the file system's: a seed gives the
  // same fields wherever the files lie.
  std::vector<std::string> paths;
  PlatformListFolder(folder, PatternFolderDepth, ListPatternFile, &paths);
  std::sort(paths.begin(), paths.end());
  for (const std::string& path : paths) AddPatternFile(path.c_str());
}

void AddPatternFile(const char* path) {
  PatternCollectionState& c = PatternCollection;
  if (c.entries.size() >= PatternIndexLimit || path == nullptr || path[0] == 0) return;
  const uint32_t at = static_cast<uint32_t>(c.paths.size());
  c.paths.insert(c.paths.end(), path, path + std::strlen(path) + 1);
  c.entries.push_back(PatternEntry{at, 0, 0, false});
  c.deck.push_back(static_cast<uint32_t>(c.entries.size() - 1));
}

bool PatternFits(int32_t width, int32_t height, int32_t columns, int32_t rows) {
  return width > 0 && height > 0 &&
         ((width <= columns && height <= rows) || (height <= columns && width <= rows));
}

PatternPlacement CentrePattern(int32_t width, int32_t height, int32_t orientation, int32_t columns, int32_t rows) {
  orientation &= 7;
  const bool fitsAsDrawn = (orientation & 4) ? height <= columns && width <= rows : width <= columns && height <= rows;
  if (!fitsAsDrawn) orientation ^= 4;
  const int32_t across = (orientation & 4) ? height : width;
  const int32_t down = (orientation & 4) ? width : height;
  return PatternPlacement{orientation, (columns - across) / 2, (rows - down) / 2};
}

void SetPatternCells(const PatternCells& pattern, PatternPlacement placement, int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows)) return;
  const bool swap = (placement.orientation & 4) != 0;
  const int32_t across = swap ? pattern.height : pattern.width;
  const int32_t down = swap ? pattern.width : pattern.height;
  if (placement.x < 0 || placement.y < 0 || placement.x + across > columns || placement.y + down > rows) return;
  ClearField(columns, rows);
  for (const PatternCell& cell : pattern.cells) {
    int32_t x = swap ? cell.y : cell.x;
    int32_t y = swap ? cell.x : cell.y;
    if (placement.orientation & 1) x = across - 1 - x;
    if (placement.orientation & 2) y = down - 1 - y;
    SetCell(placement.x + x, placement.y + y, columns, rows);
  }
}

bool ReadPatternFile(const char* path, PatternCells* out) {
  FileHandle file = PlatformOpenRead(path, nullptr, 0);
  if (file == nullptr) return false;
  uint32_t size = 0;
  if (!PlatformFileSize(file, &size) || size > PatternFileLimit) {
    PlatformClose(file);
    return false;
  }
  // Room for one byte more than the size: a file that fills it is larger
  // than reported (or grew), and is refused, whatever size it claims.
  std::vector<char> text(static_cast<size_t>(size) + 1);
  size_t length = 0;
  bool ok = true;
  while (length < text.size()) {
    uint32_t got = 0;
    if (!PlatformRead(file, text.data() + length, static_cast<uint32_t>(text.size() - length), &got)) ok = false;
    if (!ok || got == 0) break;
    length += got;
  }
  PlatformClose(file);
  return ok && length < text.size() && ReadPattern(text.data(), length, out);
}

bool DrawPattern(int32_t columns, int32_t rows, PatternCells* out, PatternPlacement* placement) {
  PatternCollectionState& c = PatternCollection;
  for (int round = 0; round < 2; ++round) {
    // Those of the round that may fit, as far as is known without reading.
    std::vector<uint32_t> candidates;
    for (uint32_t k : c.deck) {
      const PatternEntry& e = c.entries[k];
      if (!e.unusable && (e.width == 0 || PatternFits(e.width, e.height, columns, rows))) candidates.push_back(k);
    }
    while (!candidates.empty()) {
      const uint32_t pick = DrawBelow(static_cast<uint32_t>(candidates.size()));
      const uint32_t k = candidates[pick];
      candidates[pick] = candidates.back();
      candidates.pop_back();
      PatternEntry& e = c.entries[k];
      if (!ReadPatternFile(PathOf(e), out)) {
        e.unusable = true;
        continue;
      }
      e.width = out->width;
      e.height = out->height;
      if (!PatternFits(e.width, e.height, columns, rows)) continue;
      for (size_t d = 0; d < c.deck.size(); ++d)
        if (c.deck[d] == k) {
          c.deck[d] = c.deck.back();
          c.deck.pop_back();
          break;
        }
      if (out->name[0] == 0) NameFromPath(PathOf(e), out->name, sizeof out->name);
      *placement = CentrePattern(e.width, e.height, static_cast<int32_t>(DrawBelow(8)), columns, rows);
      return true;
    }
    // Every pattern left in the round is shown or cannot be: a new round.
    c.deck.clear();
    for (uint32_t k = 0; k < c.entries.size(); ++k)
      if (!c.entries[k].unusable) c.deck.push_back(k);
  }
  return false;
}
