// UTF-8 decoding by the table of well-formed byte sequences: the second byte's
// range depends on the first, every later byte is 80..BF.
#include "platform/utf8.h"

namespace {

struct LeadByte {
  unsigned char first;  // lead bytes first..last
  unsigned char last;
  int32_t bytes;        // of the whole sequence
  unsigned char low;    // the range of its second byte
  unsigned char high;
};

const LeadByte LeadBytes[] = {
    {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F},  // not the surrogates D800..DFFF
    {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF}, {0xF1, 0xF3, 4, 0x80, 0xBF},
    {0xF4, 0xF4, 4, 0x80, 0x8F},  // up to U+10FFFF
};

}  // namespace

uint32_t DecodeUtf8(const unsigned char* text, int32_t length, int32_t* used) {
  *used = 1;
  const unsigned char lead = text[0];
  if (lead < 0x80) return lead;
  const LeadByte* kind = nullptr;
  for (const LeadByte& row : LeadBytes)
    if (lead >= row.first && lead <= row.last) kind = &row;
  if (kind == nullptr) return Utf8Replacement;
  uint32_t code = lead & (0x7Fu >> kind->bytes);
  for (int32_t i = 1; i < kind->bytes; ++i) {
    const unsigned char low = i == 1 ? kind->low : 0x80, high = i == 1 ? kind->high : 0xBF;
    if (i >= length || text[i] < low || text[i] > high) {
      *used = i;
      return Utf8Replacement;
    }
    code = code << 6 | (text[i] & 0x3Fu);
  }
  *used = kind->bytes;
  return code;
}
