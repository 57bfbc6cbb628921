// The pattern collection: an index of files made once, a round of draws
// without repeats, and the placement of a drawn pattern on the torus.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/plane.h"
#include "pattern/pattern.h"

PatternCollectionState PatternCollection;

namespace {

const char* const PatternExtensions[] = {"rle", "cells", "lif", "life", "mc", "mcl", "txt"};

// True when text[0..length) is the extension, ignoring case.
bool IsExtension(const char* text, size_t length, const char* extension) {
  if (std::strlen(extension) != length) return false;
  for (size_t i = 0; i < length; ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != extension[i]) return false;
  return true;
}

bool IsPatternExtension(const char* text, size_t length) {
  for (const char* extension : PatternExtensions)
    if (IsExtension(text, length, extension)) return true;
  return false;
}

// The name without its folder, and the length of it without its extension
// (".gz" and one of a pattern file before it: "gun.rle.gz" is "gun").
const char* BaseName(const char* path, size_t* stem) {
  const char* name = path;
  for (const char* p = path; *p != 0; ++p)
    if (*p == '/' || *p == '\\') name = p + 1;
  const size_t length = std::strlen(name);
  *stem = length;
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr || dot == name) return name;
  *stem = static_cast<size_t>(dot - name);
  if (IsExtension(dot + 1, length - *stem - 1, "gz")) {
    const char* inner = dot;
    while (inner > name && inner[-1] != '.') --inner;
    if (inner > name + 1 && IsPatternExtension(inner, static_cast<size_t>(dot - inner)))
      *stem = static_cast<size_t>(inner - 1 - name);
  }
  return name;
}

// A pattern file by its extension, perhaps gzipped: "glider.rle",
// "gun.mc.gz", "soup.gz".
bool IsPatternFileName(const char* path) {
  size_t stem;
  const char* dot = std::strrchr(BaseName(path, &stem), '.');
  if (dot == nullptr) return false;
  const size_t length = std::strlen(dot + 1);
  return IsPatternExtension(dot + 1, length) || IsExtension(dot + 1, length, "gz");
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
  size_t length;
  const char* start = BaseName(path, &length);
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
  c.entries.push_back(PatternEntry{at, 0, 0, false, false, false, 0, 0});
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
    // Live cells the plain way; dying ones keep their state in the decay plane.
    if (cell.state == 1)
      SetCell(placement.x + x, placement.y + y, columns, rows);
    else
      SetCellState(placement.x + x, placement.y + y, cell.state, columns, rows);
  }
}

// The whole of a file of at most PatternFileLimit bytes; PatternOk or why not.
static PatternError ReadWholeFile(const char* path, std::vector<char>* text) {
  FileHandle file = PlatformOpenRead(path, nullptr, 0);
  if (file == nullptr) return PatternUnreadable;
  uint32_t size = 0;
  if (!PlatformFileSize(file, &size) || size > PatternFileLimit) {
    PlatformClose(file);
    return size > PatternFileLimit ? PatternTooLarge : PatternUnreadable;
  }
  // Room for one byte more than the size: a file that fills it is larger
  // than reported (or grew), and is refused, whatever size it claims.
  text->assign(static_cast<size_t>(size) + 1, 0);
  size_t length = 0;
  bool ok = true;
  while (length < text->size()) {
    uint32_t got = 0;
    if (!PlatformRead(file, text->data() + length, static_cast<uint32_t>(text->size() - length), &got)) ok = false;
    if (!ok || got == 0) break;
    length += got;
  }
  PlatformClose(file);
  if (!ok) return PatternUnreadable;
  if (length >= text->size()) return PatternTooLarge;
  text->resize(length);
  return PatternOk;
}

bool ReadPatternFile(const char* path, PatternCells* out, PatternRefusal* refusal) {
  std::vector<char> text;
  const PatternError error = ReadWholeFile(path, &text);
  if (error != PatternOk) {
    // Refused before anything is read: cleared as a reader clears it.
    *out = PatternCells{};
    if (refusal != nullptr) {
      *refusal = PatternRefusal{};
      refusal->error = error;
    }
    return false;
  }
  return ReadPattern(text.data(), text.size(), out, refusal);
}

bool EngineRunsPattern(const PatternCells& pattern, PatternRefusal* refusal) {
  const char* why = pattern.hasRule ? EngineRefusal(pattern.rule) : nullptr;
  if (why == nullptr) return true;
  if (refusal != nullptr) {
    *refusal = PatternRefusal{};
    refusal->error = PatternRuleNotRun;
    refusal->why = why;
    FormatRule(pattern.rule, refusal->rule, sizeof refusal->rule);
  }
  return false;
}

bool PlaneTakesRule(const CellRule& rule) { return rule.grid.topology == 0 && PlaneRunsRule(rule); }

bool SetPlanePatternCells(const PatternCells& pattern, int32_t orientation) {
  const CellRule rule = pattern.hasRule ? pattern.rule : CellRuleOf(ConwayRule);
  if (!ClearPlane(rule)) return false;
  const bool swap = (orientation & 4) != 0;
  const int64_t across = swap ? pattern.height : pattern.width, down = swap ? pattern.width : pattern.height;
  std::vector<PlaneCell> cells;
  cells.reserve(pattern.cells.size());
  for (const PatternCell& cell : pattern.cells) {
    if (cell.state != 1) continue;  // two states on the plane: a dying cell is none
    int64_t x = swap ? cell.y : cell.x;
    int64_t y = swap ? cell.x : cell.y;
    if (orientation & 1) x = across - 1 - x;
    if (orientation & 2) y = down - 1 - y;
    cells.push_back(PlaneCell{x - across / 2, y - down / 2});
  }
  if (SetPlaneCells(cells.data(), cells.size()) == PlaneDone) return true;
  ClearPlane(rule);
  return false;
}

// A file beyond what a list of cells holds, a macrocell or a two-state RLE
// one, straight into the plane (the RLE one turned to the orientation and
// centred); its name is then the file's, or the RLE header's.
static bool LoadWholeIntoPlane(const char* path, const char* format, int32_t orientation, PatternCells* out) {
  if (format == nullptr || (std::strcmp(format, "macrocell") != 0 && std::strcmp(format, "RLE") != 0)) return false;
  std::vector<char> text;
  if (ReadWholeFile(path, &text) != PatternOk) return false;
  if (text.size() >= 2 && static_cast<uint8_t>(text[0]) == 0x1F && static_cast<uint8_t>(text[1]) == 0x8B) {
    std::vector<char> inflated;
    if (!InflateGzip(text.data(), text.size(), &inflated)) return false;
    text.swap(inflated);
  }
  if (std::strcmp(format, "macrocell") == 0) {
    if (LoadPlaneMacrocell(text.data(), text.size()) != PlaneDone) return false;
    *out = PatternCells{};
    out->hasRule = true;
    out->rule = Plane.rule;
    return true;
  }
  std::vector<PlaneCell> cells;
  if (!ReadWideRle(text.data(), text.size(), out, &cells)) return false;
  const CellRule rule = out->hasRule ? out->rule : CellRuleOf(ConwayRule);
  if (!PlaneTakesRule(rule) || !ClearPlane(rule)) return false;
  const bool swap = (orientation & 4) != 0;
  const int64_t across = swap ? out->height : out->width, down = swap ? out->width : out->height;
  for (PlaneCell& cell : cells) {
    int64_t x = swap ? cell.y : cell.x, y = swap ? cell.x : cell.y;
    if (orientation & 1) x = across - 1 - x;
    if (orientation & 2) y = down - 1 - y;
    cell = PlaneCell{x - across / 2, y - down / 2};
  }
  if (SetPlaneCells(cells.data(), cells.size()) == PlaneDone) return true;
  ClearPlane(rule);
  return false;
}

bool PlaneTakesWholeFile(const char* path) {
  PatternCells pattern;
  PatternRefusal refusal;
  if (ReadPatternFile(path, &pattern, &refusal) || refusal.error != PatternBeyondLimits) return false;
  return LoadWholeIntoPlane(path, refusal.format, 0, &pattern);
}

// The round's next pattern for a field of columns x rows, or for the plane
// where `plane` lets it have one.
static bool DrawFromRound(int32_t columns, int32_t rows, bool plane, PatternCells* out, PatternPlacement* placement,
                          PatternPlace* place, PatternGrid* grid);

bool DrawPatternOnPlane(int32_t columns, int32_t rows, PatternCells* out, PatternPlacement* placement,
                        PatternPlace* place, PatternGrid* grid) {
  PatternGrid unused;
  return DrawFromRound(columns, rows, true, out, placement, place, grid != nullptr ? grid : &unused);
}

bool DrawPattern(int32_t columns, int32_t rows, PatternCells* out, PatternPlacement* placement, PatternGrid* grid) {
  PatternPlace place;
  PatternGrid unused;
  return DrawFromRound(columns, rows, false, out, placement, &place, grid != nullptr ? grid : &unused);
}

PatternGrid GridOfRule(const CellRule& rule, int32_t columns, int32_t rows) {
  const RuleGrid& g = rule.grid;
  if ((g.topology != 'T' && g.topology != 'P') || (g.width <= 0 && g.height <= 0))
    return PatternGrid{columns, rows, 0};
  const int32_t edge = g.topology == 'P' ? (rule.kind == RuleLarger ? rule.larger.range : 1) : 0;
  const int64_t across = (g.width > 0 ? g.width : columns) + 2 * int64_t{edge};
  const int64_t down = (g.height > 0 ? g.height : rows) + 2 * int64_t{edge};
  // Past any buffer: no grid of the rule's is run (and no pattern fits it).
  if (across > INT32_MAX / 2 || down > INT32_MAX / 2) return PatternGrid{0, 0, 0};
  return PatternGrid{static_cast<int32_t>(across), static_cast<int32_t>(down), edge};
}

static bool DrawFromRound(int32_t columns, int32_t rows, bool plane, PatternCells* out, PatternPlacement* placement,
                          PatternPlace* place, PatternGrid* grid) {
  PatternCollectionState& c = PatternCollection;
  for (int round = 0; round < 2; ++round) {
    // Those of the round that may fit, as far as is known without reading.
    std::vector<uint32_t> candidates;
    for (uint32_t k : c.deck) {
      const PatternEntry& e = c.entries[k];
      const int32_t across = e.gridColumns > 0 ? e.gridColumns : columns;
      const int32_t down = e.gridRows > 0 ? e.gridRows : rows;
      if (!e.unusable && !e.notRun &&
          (e.width == 0 || (plane && e.onPlane) || PatternFits(e.width, e.height, across, down)))
        candidates.push_back(k);
    }
    while (!candidates.empty()) {
      const uint32_t pick = DrawBelow(static_cast<uint32_t>(candidates.size()));
      const uint32_t k = candidates[pick];
      candidates[pick] = candidates.back();
      candidates.pop_back();
      PatternEntry& e = c.entries[k];
      const int32_t orientation = static_cast<int32_t>(DrawBelow(8));
      PatternRefusal refusal;
      bool whole = false;  // a macrocell loaded into the plane as it is
      if (!ReadPatternFile(PathOf(e), out, &refusal)) {
        // Beyond a list of cells, a macrocell file may still go to the plane:
        // kept for it, too large for any torus.
        const bool planeOnly =
            refusal.error == PatternBeyondLimits && refusal.format != nullptr &&
            (std::strcmp(refusal.format, "macrocell") == 0 || std::strcmp(refusal.format, "RLE") == 0);
        e.onPlane = planeOnly;
        e.width = e.height = PatternSideLimit;
        whole = planeOnly && plane && LoadWholeIntoPlane(PathOf(e), refusal.format, orientation, out);
        if (!whole) {
          if (!planeOnly || plane) e.unusable = true;
          continue;
        }
      } else {
        e.width = out->width;
        e.height = out->height;
        e.notRun = !EngineRunsPattern(*out);
        e.onPlane = !e.notRun && PlaneTakesRule(out->hasRule ? out->rule : CellRuleOf(ConwayRule));
      }
      const bool onPlane = plane && e.onPlane;
      // A grid of the rule's own, where it names one: the pattern must fit
      // it, and it the cell buffer.
      const PatternGrid field = onPlane || e.notRun
                                    ? PatternGrid{columns, rows, 0}
                                    : GridOfRule(out->hasRule ? out->rule : CellRuleOf(ConwayRule), columns, rows);
      const bool ownGrid = field.columns != columns || field.rows != rows || field.edge != 0;
      e.gridColumns = ownGrid ? field.columns : 0;
      e.gridRows = ownGrid ? field.rows : 0;
      if (!onPlane && (field.columns <= 0 || !GridFits(field.columns, field.rows))) e.notRun = true;
      if (e.notRun || (!onPlane && !PatternFits(e.width, e.height, field.columns - 2 * field.edge,
                                                field.rows - 2 * field.edge)))
        continue;
      if (onPlane && !whole && !SetPlanePatternCells(*out, orientation)) continue;  // no room: the next one
      for (size_t d = 0; d < c.deck.size(); ++d)
        if (c.deck[d] == k) {
          c.deck[d] = c.deck.back();
          c.deck.pop_back();
          break;
        }
      if (out->name[0] == 0) NameFromPath(PathOf(e), out->name, sizeof out->name);
      *place = onPlane ? PlacePlane : PlaceTorus;
      *grid = field;
      if (!onPlane) *placement = CentrePattern(e.width, e.height, orientation, field.columns, field.rows);
      return true;
    }
    // Every pattern left in the round is shown or cannot be: a new round.
    c.deck.clear();
    for (uint32_t k = 0; k < c.entries.size(); ++k)
      if (!c.entries[k].unusable && !c.entries[k].notRun) c.deck.push_back(k);
  }
  return false;
}
