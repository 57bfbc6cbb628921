#include "field_rle.h"

std::string FieldRle(const uint8_t* cells, int32_t columns, int32_t rows, const char* rule) {
  std::string out = "x = " + std::to_string(columns) + ", y = " + std::to_string(rows) + ", rule = " + rule + "\n";
  std::string line;
  // An item ("12o") is never split between lines.
  auto put = [&](int64_t count, char tag) {
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
    const uint8_t* row = cells + static_cast<size_t>(y) * static_cast<size_t>(columns);
    int32_t x = 0;
    while (x < columns) {
      const bool alive = (row[x] & 1) != 0;
      int32_t end = x + 1;
      while (end < columns && ((row[end] & 1) != 0) == alive) ++end;
      if (!alive && end == columns) break;  // dead to the row's end
      if (rowEnds > 0) put(rowEnds, '$');
      rowEnds = 0;
      put(end - x, alive ? 'o' : 'b');
      x = end;
    }
    rowEnds += 1;
  }
  put(1, '!');
  out += line;
  out += '\n';
  return out;
}
