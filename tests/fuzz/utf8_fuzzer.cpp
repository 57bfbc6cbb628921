// The UTF-8 reader on arbitrary bytes: every step takes 1 to 4 bytes within
// the text, gives a Unicode scalar value, and a character other than the
// replacement is exactly the bytes it took, encoded again.
#include <cstddef>
#include <cstdint>

#include "platform/utf8.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

int32_t Encode(uint32_t c, unsigned char* out) {
  if (c < 0x80) {
    out[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | c >> 6);
    out[1] = static_cast<unsigned char>(0x80 | (c & 63));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | c >> 12);
    out[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 63));
    out[2] = static_cast<unsigned char>(0x80 | (c & 63));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | c >> 18);
  out[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 63));
  out[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 63));
  out[3] = static_cast<unsigned char>(0x80 | (c & 63));
  return 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int32_t length = static_cast<int32_t>(size < 65536 ? size : 65536);
  for (int32_t i = 0; i < length;) {
    int32_t used = 0;
    const uint32_t c = DecodeUtf8(data + i, length - i, &used);
    Check(used >= 1 && used <= 4 && used <= length - i);
    Check(c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF));
    // U+FFFD itself is three bytes; any other replacement stands for bytes that are no UTF-8.
    const bool genuine =
        c != Utf8Replacement || (used == 3 && data[i] == 0xEF && data[i + 1] == 0xBF && data[i + 2] == 0xBD);
    if (genuine) {
      unsigned char again[4];
      Check(Encode(c, again) == used);
      for (int32_t k = 0; k < used; ++k) Check(again[k] == data[i + k]);
    }
    i += used;
  }
  return 0;
}
