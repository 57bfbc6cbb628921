// The pattern readers on arbitrary bytes: ReadPattern on the whole input, the
// reader the first byte picks on the rest, and ReadPattern on the input
// gzipped, which must read as the input itself. A pattern they take lies
// within its size and the limits, each cell once and in order, in a state
// its rule has, with a name that ends and a rule without B0; a refusal
// leaves nothing behind and says why in a line that fits any room.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pattern/pattern.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

typedef bool (*Reader)(const char* text, size_t length, PatternCells* out, PatternRefusal* refusal);

void CheckRefusalLine(const PatternRefusal& refusal) {
  char line[600];
  const size_t length = FormatPatternRefusal(refusal, line, sizeof line);
  Check(length > 0 && std::memchr(line, '\0', sizeof line) != nullptr);
  char small[5];
  Check(FormatPatternRefusal(refusal, small, sizeof small) == length && small[std::min<size_t>(length, 4)] == '\0');
}

bool CheckRead(Reader reader, const char* text, size_t length, PatternCells* p) {
  PatternRefusal refusal;
  if (!reader(text, length, p, &refusal)) {
    Check(p->cells.empty() && p->cells.capacity() == 0 && p->width == 0 && p->height == 0 && !p->hasRule);
    Check(refusal.error != PatternOk);
    CheckRefusalLine(refusal);
    return false;
  }
  Check(p->width >= 1 && p->width <= PatternSideLimit && p->height >= 1 && p->height <= PatternSideLimit);
  Check(!p->cells.empty() && p->cells.size() <= PatternCellLimit);
  const int32_t states = p->hasRule ? p->rule.states : 2;
  Check(states >= 2 && states <= RuleMaxStates);
  for (size_t i = 0; i < p->cells.size(); ++i) {
    const PatternCell c = p->cells[i];
    Check(c.x < p->width && c.y < p->height);
    Check(c.state != 0 && c.state < states);
    if (i > 0) {
      const PatternCell b = p->cells[i - 1];
      Check(b.y < c.y || (b.y == c.y && b.x < c.x));
    }
  }
  Check(std::memchr(p->name, '\0', sizeof p->name) != nullptr);
  if (p->hasRule) {
    Check(std::memchr(p->rule.text, '\0', sizeof p->rule.text) != nullptr);
    if (p->rule.kind == RuleCounts) Check((p->rule.counts.birth & 1) == 0);
    if (p->rule.kind != RuleLarger) Check(!MapOutcome(p->rule, 0));
  }
  // Should the engine not run the rule, the line saying so names it.
  if (p->hasRule) {
    PatternRefusal run{};
    run.error = PatternRuleNotRun;
    FormatRule(p->rule, run.rule, sizeof run.rule);
    CheckRefusalLine(run);
  }
  return true;
}

bool SamePattern(const PatternCells& a, const PatternCells& b) {
  if (a.width != b.width || a.height != b.height || a.hasRule != b.hasRule || a.cells.size() != b.cells.size())
    return false;
  if (std::strcmp(a.name, b.name) != 0 || (a.hasRule && !SameCellRule(a.rule, b.rule))) return false;
  for (size_t i = 0; i < a.cells.size(); ++i)
    if (a.cells[i].x != b.cells[i].x || a.cells[i].y != b.cells[i].y || a.cells[i].state != b.cells[i].state)
      return false;
  return true;
}

// The input as a gzip file, in two members when it is long enough to split.
std::string Gzip(const char* text, size_t length) {
  std::string out;
  const size_t half = length > 16 ? length / 2 : length;
  for (size_t begin = 0; begin < length || begin == 0; begin += half) {
    const size_t n = std::min(half, length - begin);
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) __builtin_trap();
    std::string member(deflateBound(&z, n) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text + begin));
    z.avail_in = static_cast<uInt>(n);
    z.next_out = reinterpret_cast<Bytef*>(&member[0]);
    z.avail_out = static_cast<uInt>(member.size());
    Check(deflate(&z, Z_FINISH) == Z_STREAM_END);
    member.resize(z.total_out);
    deflateEnd(&z);
    out += member;
    if (n == 0) break;
  }
  return out;
}

const Reader Readers[] = {ReadRle, ReadPlainText, ReadLife105, ReadLife106, ReadMacrocell, ReadMcell};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  PatternCells plain, other;
  const bool read = CheckRead(ReadPattern, text, size, &plain);
  if (size > 0) CheckRead(Readers[data[0] % (sizeof Readers / sizeof Readers[0])], text + 1, size - 1, &other);
  // Gzipped, the same pattern or the same refusal (a gzip file inside one is
  // refused: one layer only).
  const bool nested = size >= 2 && data[0] == 0x1F && data[1] == 0x8B;
  const std::string gzipped = Gzip(text, size);
  const bool readGzipped = CheckRead(ReadPattern, gzipped.data(), gzipped.size(), &other);
  Check(readGzipped == (read && !nested));
  if (readGzipped) Check(SamePattern(plain, other));
  std::vector<char> inflated;
  if (InflateGzip(text, size, &inflated)) Check(inflated.size() <= PatternFileLimit);
  return 0;
}
