// UTF-8 as the native text is drawn from it: one character at a time, with
// every byte sequence that is no UTF-8 read as the replacement character.
// Portable: it reads bytes already in memory.
#pragma once

#include <cstdint>

const uint32_t Utf8Replacement = 0xFFFD;

// The character that begins at text (length > 0 bytes), and in *used the
// bytes it takes, 1 to 4. A sequence that is no UTF-8 (a stray continuation
// byte, a lead byte that no character begins with, a form too long or cut
// short, a surrogate, a code point beyond U+10FFFF) is Utf8Replacement for
// as many bytes as began a character rightly: at least one, so that a walk
// over any bytes moves on.
uint32_t DecodeUtf8(const unsigned char* text, int32_t length, int32_t* used);
