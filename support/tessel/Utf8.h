#pragma once

#include <cstddef>

namespace utf8 {

// The byte count of the well-formed UTF-8 sequence at p (1 for ASCII), or 0
// when p does not start one: a stray continuation byte, an overlong form, an
// encoded surrogate, a code point above U+10FFFF, or a sequence cut short.
// Reads at most available bytes and stops at the first byte that doesn't
// fit, so it never passes a terminating NUL.
inline size_t sequenceLength(const unsigned char* p, size_t available) {
  if (available == 0) return 0;
  unsigned char lead = p[0];
  if (lead < 0x80) return 1;
  size_t length = 0;
  // The range of the second byte narrows where the shortest form, the
  // surrogates or the end of Unicode draw the line.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (available < length || p[1] < low || p[1] > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
  }
  return length;
}

}  // namespace utf8
