// The catalogue parser on arbitrary text, checked for its invariants, and the
// same bytes read as a file in uneven pieces, which must give the same records.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_files.h"
#include "lifeface/lifeface.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool Terminated(const char* text) { return std::memchr(text, 0, LifefaceTextSize) != nullptr; }

int Lower(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }
bool SameNoCase(const char* a, const char* b) {
  for (; *a != 0 && Lower(*a) == Lower(*b); ++a, ++b) {
  }
  return Lower(*a) == Lower(*b);
}

void CheckCatalogue() {
  const LifefaceCatalogueState& c = LifefaceCatalogue;
  Check(c.count >= 0 && c.count <= c.capacity && c.capacity % 16 == 0);
  Check(Terminated(c.folder));
  for (int32_t i = 0; i < c.count; ++i) {
    const LifefaceRecord& r = c.records[i];
    Check(Terminated(r.name) && Terminated(r.bmp) && Terminated(r.author) && Terminated(r.comment));
    Check(r.name[0] != 0);
    for (int32_t j = 0; j < i; ++j) Check(!SameNoCase(c.records[j].name, r.name));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ParseCatalogueText(reinterpret_cast<const char*>(data), size);
  CheckCatalogue();
  Check(LifefaceCatalogue.folder[0] == 0);
  const int32_t count = LifefaceCatalogue.count;
  std::vector<LifefaceRecord> parsed(LifefaceCatalogue.records, LifefaceCatalogue.records + count);

  FuzzCatalogue.data = data;
  FuzzCatalogue.size = size;
  FuzzCatalogue.piece = size > 0 ? 1u + data[size - 1] * 5u : 1u;
  FuzzCatalogue.openable = true;
  LoadCatalogue("tumbra.ini");
  CheckCatalogue();
  Check(std::strcmp(LifefaceCatalogue.folder, "/fuzz/") == 0);
  Check(LifefaceCatalogue.count == count);
  if (count > 0) Check(std::memcmp(parsed.data(), LifefaceCatalogue.records, count * sizeof(LifefaceRecord)) == 0);
  return 0;
}
