#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine.h"
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

// A reader of RLE of many states as Golly reads it, apart from the writer:
// the states of the body, row-major, in a columns x rows field.
std::vector<int> ReadStates(const std::string& body, int32_t columns, int32_t rows) {
  std::vector<int> states(static_cast<size_t>(columns) * rows, 0);
  int32_t x = 0, y = 0;
  int64_t count = 0;
  int prefix = 0;
  for (char c : body) {
    if (c >= '0' && c <= '9') {
      count = count * 10 + (c - '0');
      continue;
    }
    if (c >= 'p' && c <= 'y') {
      prefix = 24 * (c - 'p' + 1);
      continue;
    }
    const int64_t n = count > 0 ? count : 1;
    count = 0;
    if (c == '.' || c == 'b') {
      x += static_cast<int32_t>(n);
    } else if ((c >= 'A' && c <= 'X') || c == 'o') {
      const int state = c == 'o' ? 1 : prefix + c - 'A' + 1;
      for (int64_t k = 0; k < n; ++k, ++x) {
        EXPECT_LT(x, columns);
        EXPECT_LT(y, rows);
        if (x < columns && y < rows) states[static_cast<size_t>(y) * columns + x] = state;
      }
    } else if (c == '$') {
      y += static_cast<int32_t>(n);
      x = 0;
    } else if (c == '!') {
      break;
    } else if (c != '\n') {
      ADD_FAILURE() << "unexpected '" << c << "'";
    }
    prefix = 0;
  }
  return states;
}

// The same for a field of two states, whose body holds b and o alone.
std::vector<uint8_t> ReadBody(const std::string& body, int32_t columns, int32_t rows) {
  EXPECT_EQ(body.find_first_of(".ABCDEFGHIJKLMNOPQRSTUVWXpqrstuvwxy"), std::string::npos) << body;
  const std::vector<int> states = ReadStates(body, columns, rows);
  return std::vector<uint8_t>(states.begin(), states.end());
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

// Grid bytes and decay from rows of '.' (dead), 'o' (alive) and letters
// 'a'.. for the dying states 2..; neighbour counts in the other bits as the
// grid keeps them.
struct StateField {
  std::vector<uint8_t> cells;
  std::vector<uint8_t> decay;
};

StateField States(const std::vector<std::string>& rows) {
  StateField f;
  for (const std::string& row : rows)
    for (char c : row) {
      const bool dying = c >= 'a' && c <= 'z';
      f.cells.push_back(static_cast<uint8_t>(2 * 2 + (c == 'o' ? 1 : 0) + (dying ? CellDying : 0)));
      f.decay.push_back(static_cast<uint8_t>(dying ? c - 'a' + 2 : 0));
    }
  return f;
}

TEST(FieldRle, RulesOfMoreStatesWriteEachCellsState) {
  const StateField f = States({"......", ".oab..", "......", "..c.oo"});
  EXPECT_EQ(FieldRle(f.cells.data(), 6, 4, "/2/5:T6,4", f.decay.data(), 5),
            "x = 6, y = 4, rule = /2/5:T6,4\n$.ABC2$2.D.2A!\n");
  // Two states: b and o as ever, whatever the decay plane holds.
  const StateField live = States({"o.o", "ooo"});
  EXPECT_EQ(FieldRle(live.cells.data(), 3, 2, "B3/S23", live.decay.data(), 2),
            "x = 3, y = 2, rule = B3/S23\nobo$3o!\n");
  EXPECT_EQ(FieldRle(live.cells.data(), 3, 2, "B3/S23"), "x = 3, y = 2, rule = B3/S23\nobo$3o!\n");
  // States of two letters, and lines that break only between items.
  std::vector<uint8_t> cells(256 * 2), decay(256 * 2);
  for (int32_t x = 0; x < 256; ++x) {
    const int32_t state = x;  // row 0: every state once
    cells[x] = static_cast<uint8_t>(state == 1 ? 1 : state >= 2 ? CellDying : 0);
    decay[x] = static_cast<uint8_t>(state >= 2 ? state : 0);
    cells[256 + x] = CellDying;  // row 1: a run of 255s
    decay[256 + x] = 255;
  }
  const std::string text = FieldRle(cells.data(), 256, 2, "/2/256", decay.data(), 256);
  std::istringstream lines(text);
  std::string line, body;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    EXPECT_LE(line.size(), RleLineLimit);
    if (!body.empty()) {
      const char last = body.back();
      EXPECT_TRUE((last >= 'A' && last <= 'X') || last == '.' || last == '$') << "split after '" << last << "'";
    }
    body += line;
  }
  EXPECT_NE(body.find(".ABCDEFGHIJKLMNOPQRSTUVWXpApBpC"), std::string::npos);
  EXPECT_NE(body.find("xXyAyByCyDyEyFyGyHyIyJyKyLyMyNyO$256yO!"), std::string::npos);
  const std::vector<int> read = ReadStates(body, 256, 2);
  for (int32_t x = 0; x < 256; ++x) {
    ASSERT_EQ(read[x], x);
    ASSERT_EQ(read[256 + x], 255);
  }
}

TEST(FieldRle, TheHeadersRuleIsTheFieldsTorus) {
  CellRule rule = CellRuleOf(LifeRule{0x48, 0xC});
  EXPECT_EQ(FieldRleRule(rule, 1024, 768), "B36/S23:T1024,768");
  rule.grid = RuleGrid{'P', 30, 20, 0, 0, 0};  // the rule's own grid gives way to the field's
  EXPECT_EQ(FieldRleRule(rule, 64, 48), "B36/S23:T64,48");
}

// A hexagonal MAP table of two states goes to bgolly's Generations, which
// reads it in the order tumbra runs it; tables of more states and of the
// other neighbourhoods are written as they are.
TEST(FieldRle, HexagonalMapRulesAreGenerationsOfTwoStates) {
  const std::string moore = "MAPARYXfhZofugWaH7oaIDogBZofuhogOiAaIDogIAAgAAWaH7oaIDogGiA6ICAAIAAaIDogIAAgACAAIAAAAAAAA";
  const struct {
    std::string text, header;
  } cases[] = {
      {"MAPEtgEqQS+EhATRAYQY5YMxQ", "MAPEtgEqQS+EhATRAYQY5YMxQ/2:T64,48"},
      {"MAPEtgEqQS+EhATRAYQY5YMxQ:T10,10", "MAPEtgEqQS+EhATRAYQY5YMxQ/2:T64,48"},
      {"MAPEtgEqQS+EhATRAYQY5YMxQ/5", "MAPEtgEqQS+EhATRAYQY5YMxQ/5:T64,48"},
      {"MAPBBYtmA", "MAPBBYtmA:T64,48"},
      {moore, moore + ":T64,48"},
      {"B2/S34H", "B2/S34H:T64,48"},
  };
  for (const auto& c : cases) {
    CellRule rule;
    ASSERT_EQ(ParseRule(c.text.data(), c.text.size(), &rule), RuleOk) << c.text;
    EXPECT_EQ(FieldRleRule(rule, 64, 48), c.header) << c.text;
  }
}

// bgolly reads a dump of many states as it is written: the same states in
// the same places.
TEST(FieldRle, GollyReadsTheStatesWritten) {
  if (std::system("command -v bgolly >/dev/null 2>&1") != 0) GTEST_SKIP() << "bgolly (package golly) is missing";
  const int32_t columns = 60, rows = 40;
  std::vector<uint8_t> cells(static_cast<size_t>(columns) * rows), decay(cells.size());
  uint32_t seed = 12345;
  for (size_t i = 0; i < cells.size(); ++i) {
    seed = seed * 214013u + 2531011u;
    const int32_t state = (seed >> 16) % 3 == 0 ? static_cast<int32_t>((seed >> 8) & 0xFF) : 0;
    cells[i] = static_cast<uint8_t>(state == 1 ? 1 : state >= 2 ? CellDying : 0);
    decay[i] = static_cast<uint8_t>(state >= 2 ? state : 0);
  }
  cells[0] = 1;  // the corner is taken, so bgolly's box starts where the field does
  char folder[] = "/tmp/tumbra-dump-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string in = std::string(folder) + "/dump.rle", out = std::string(folder) + "/golly.rle";
  std::ofstream(in) << FieldRle(cells.data(), columns, rows, "/2/256:T60,40", decay.data(), 256);
  const std::string command = "bgolly -a Generations -q -q -m 0 -o " + out + " " + in + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream golly(out);
  std::string header, line, body;
  std::getline(golly, header);
  EXPECT_EQ(header.substr(header.find("rule = ")), "rule = /2/256:T60,40");
  while (std::getline(golly, line)) body += line;
  const std::vector<int> read = ReadStates(body, columns, rows);
  for (size_t i = 0; i < cells.size(); ++i) {
    const int expected = (cells[i] & 1) ? 1 : (cells[i] & CellDying) ? decay[i] : 0;
    ASSERT_EQ(read[i], expected) << "cell " << i % columns << "," << i / columns;
  }
  std::remove(in.c_str());
  std::remove(out.c_str());
  rmdir(folder);
}

}  // namespace
