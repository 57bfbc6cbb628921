#include "field_rle.h"

#include "engine/engine.h"

namespace {

// The cell's state from the grid's bytes, and from its decay plane where
// the rule keeps one (else null: see StatesInPlane).
int32_t StateAt(const uint8_t* cells, const uint8_t* decay, int32_t states, size_t i) {
  if ((cells[i] & 1) != 0) return 1;
  if (states <= 2 || (cells[i] & CellDying) == 0) return 0;
  return DyingState(cells, decay, i);
}

// The tag of a state: b and o for two states, else . and A..X, with a
// prefix from p for each 24 above 24 (pA is 25, yO 255).
std::string StateTag(int32_t state, bool twoStates) {
  if (twoStates) return state != 0 ? "o" : "b";
  if (state == 0) return ".";
  std::string tag;
  if (state > 24) tag += static_cast<char>('p' + (state - 25) / 24);
  tag += static_cast<char>('A' + (state - 1) % 24);
  return tag;
}

}  // namespace

std::string FieldRle(const uint8_t* cells, int32_t columns, int32_t rows, const char* rule, const uint8_t* decay,
                     int32_t states) {
  const bool twoStates = states <= 2;
  if (twoStates) decay = nullptr;
  std::string out = "x = " + std::to_string(columns) + ", y = " + std::to_string(rows) + ", rule = " + rule + "\n";
  std::string line;
  // An item ("12o", "3pA") is never split between lines.
  auto put = [&](int64_t count, const std::string& tag) {
    std::string item = count > 1 ? std::to_string(count) : std::string();
    item += tag;
    if (line.size() + item.size() > RleLineLimit) {
      out += line;
      out += '\n';
      line.clear();
    }
    line += item;
  };
  int64_t rowEnds = 0;  // owed before the next live cell: empty rows run together
  for (int32_t y = 0; y < rows; ++y) {
    const size_t row = static_cast<size_t>(y) * static_cast<size_t>(columns);
    int32_t x = 0;
    while (x < columns) {
      const int32_t state = StateAt(cells, decay, states, row + x);
      int32_t end = x + 1;
      while (end < columns && StateAt(cells, decay, states, row + end) == state) ++end;
      if (state == 0 && end == columns) break;  // dead to the row's end
      if (rowEnds > 0) put(rowEnds, "$");
      rowEnds = 0;
      put(end - x, StateTag(state, twoStates));
      x = end;
    }
    rowEnds += 1;
  }
  put(1, "!");
  out += line;
  out += '\n';
  return out;
}

std::string FieldRleRule(const CellRule& rule, int32_t columns, int32_t rows, char topology) {
  CellRule unbounded = rule;  // the torus of the field, not a grid of the rule's own
  unbounded.grid = RuleGrid{};
  char text[RuleTextSize];
  FormatRuleForBgolly(unbounded, text, sizeof text);
  std::string out = text;
  // bgolly 3.3's QuickLife reads a hexagonal MAP table with its top and
  // bottom rows swapped; its Generations reads it as written, so a
  // two-state one goes there, as Generations of two states.
  if (rule.neighbours == NeighboursHexagonal && rule.states == 2 && out.compare(0, 3, "MAP") == 0) out += "/2";
  return out + ":" + topology + std::to_string(columns) + "," + std::to_string(rows);
}
