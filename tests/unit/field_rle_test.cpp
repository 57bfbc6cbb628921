#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "field_rle.h"

namespace {

// Grid bytes from rows of '.' and 'o'; a live cell's byte is odd, a dead
// one's even, with neighbour counts in the other bits as the grid keeps them.
std::vector<uint8_t> Cells(const std::vector<std::string>& rows) {
  std::vector<uint8_t> cells;
  for (const std::string& row : rows)
    for (char c : row) cells.push_back(c == 'o' ? 2 * 3 + 1 : 2 * 3);
  return cells;
}

// A reader as Golly reads RLE, apart from the writer: the cells of the body,
// row-major, in a columns x rows field.
std::vector<uint8_t> ReadBody(const std::string& body, int32_t columns, int32_t rows) {
  std::vector<uint8_t> cells(static_cast<size_t>(columns) * rows, 0);
  int32_t x = 0, y = 0;
  int64_t count = 0;
  for (char c : body) {
    if (c >= '0' && c <= '9') {
      count = count * 10 + (c - '0');
      continue;
    }
    const int64_t n = count > 0 ? count : 1;
    count = 0;
    if (c == 'b') {
      x += static_cast<int32_t>(n);
    } else if (c == 'o') {
      for (int64_t k = 0; k < n; ++k, ++x) {
        EXPECT_LT(x, columns);
        EXPECT_LT(y, rows);
        if (x < columns && y < rows) cells[static_cast<size_t>(y) * columns + x] = 1;
      }
    } else if (c == '$') {
      y += static_cast<int32_t>(n);
      x = 0;
    } else if (c == '!') {
      break;
    } else if (c != '\n') {
      ADD_FAILURE() << "unexpected '" << c << "'";
    }
  }
  return cells;
}

TEST(FieldRle, SmallFieldsWithEmptyRowsAndColumnsKeepTheirPlaces) {
  const std::vector<std::string> glider = {
      "........", "........", "...o....", "....o...", "..ooo...", "........",
  };
  EXPECT_EQ(FieldRle(Cells(glider).data(), 8, 6, "B3/S23:T8,6"),
            "x = 8, y = 6, rule = B3/S23:T8,6\n2$3bo$4bo$2b3o!\n");
  // An empty row inside the pattern, a full row, the last cell of a row.
  const std::vector<std::string> rows = {"o..o", "....", "oooo", "...o"};
  EXPECT_EQ(FieldRle(Cells(rows).data(), 4, 4, "B2/S"), "x = 4, y = 4, rule = B2/S\no2bo2$4o$3bo!\n");
  // Nothing alive: the body is the end alone.
  const std::vector<uint8_t> empty(12, 6);
  EXPECT_EQ(FieldRle(empty.data(), 4, 3, "B3/S23"), "x = 4, y = 3, rule = B3/S23\n!\n");
}

TEST(FieldRle, LongRowsBreakIntoLinesOfSeventyWithoutSplittingARun) {
  // Alternating cells give 2-character runs ("bo" items are 1 each); a
  // 1000-wide live row gives "1000o"; rows of many runs cross many lines.
  const int32_t columns = 1000, rows = 7;
  std::vector<uint8_t> cells(static_cast<size_t>(columns) * rows, 0);
  for (int32_t x = 0; x < columns; ++x) {
    cells[x] = static_cast<uint8_t>(x % 2);                        // row 0: bobobo...
    cells[2 * columns + x] = 1;                                    // row 2: all
    cells[4 * columns + x] = static_cast<uint8_t>((x / 3) % 2);    // row 4: 3b3o3b...
    cells[5 * columns + x] = static_cast<uint8_t>(x % 17 == 0);    // row 5: o16bo16b...
  }
  const std::string text = FieldRle(cells.data(), columns, rows, "B36/S23:T1000,7");
  std::istringstream lines(text);
  std::string header, line, body;
  std::getline(lines, header);
  EXPECT_EQ(header, "x = 1000, y = 7, rule = B36/S23:T1000,7");
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_LE(line.size(), RleLineLimit) << line;
    // A line breaks only after a whole item: the next line starts with no
    // digit that belongs to the last one's tag.
    if (!body.empty()) {
      const char last = body.back();
      EXPECT_TRUE(last == 'b' || last == 'o' || last == '$') << "split after '" << last << "'";
    }
    body += line;
  }
  EXPECT_GT(count, 20);
  EXPECT_EQ(body.back(), '!');
  EXPECT_NE(body.find("1000o"), std::string::npos);
  const std::vector<uint8_t> read = ReadBody(body, columns, rows);
  for (size_t i = 0; i < cells.size(); ++i)
    ASSERT_EQ(read[i], cells[i]) << "cell " << i % columns << "," << i / columns;
}

}  // namespace
