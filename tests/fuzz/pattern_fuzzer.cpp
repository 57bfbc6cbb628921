// The pattern readers on arbitrary bytes: ReadPattern on the whole input, and
// the reader the first byte picks on the rest. A pattern they take lies
// within its size and the limits, each cell once and in order, with a name
// that ends and a rule without B0; a refusal leaves nothing behind.
#include <cstdint>
#include <cstring>

#include "pattern/pattern.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

typedef bool (*Reader)(const char* text, size_t length, PatternCells* out);

void CheckRead(Reader reader, const char* text, size_t length) {
  PatternCells p;
  if (!reader(text, length, &p)) {
    Check(p.cells.empty() && p.cells.capacity() == 0 && p.width == 0 && p.height == 0);
    return;
  }
  Check(length <= PatternFileLimit);
  Check(p.width >= 1 && p.width <= PatternSideLimit && p.height >= 1 && p.height <= PatternSideLimit);
  Check(!p.cells.empty() && p.cells.size() <= PatternCellLimit);
  for (size_t i = 0; i < p.cells.size(); ++i) {
    const PatternCell c = p.cells[i];
    Check(c.x < p.width && c.y < p.height);
    if (i > 0) {
      const PatternCell b = p.cells[i - 1];
      Check(b.y < c.y || (b.y == c.y && b.x < c.x));
    }
  }
  Check(std::memchr(p.name, '\0', sizeof p.name) != nullptr);
  if (p.hasRule) {
    Check((p.rule.birth & 1) == 0);
    Check((p.rule.birth & ~LifeRuleCounts) == 0 && (p.rule.survive & ~LifeRuleCounts) == 0);
  }
}

const Reader Readers[] = {ReadRle, ReadPlainText, ReadLife105, ReadLife106, ReadMacrocell};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  CheckRead(ReadPattern, text, size);
  if (size > 0) CheckRead(Readers[data[0] % (sizeof Readers / sizeof Readers[0])], text + 1, size - 1);
  return 0;
}
