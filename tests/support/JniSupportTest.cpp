// The C-string side of the Java string conversions: what NewStringUTF is
// handed for a byte string. The way back through JNIString, and the round
// trip of byte SSIDs through the natives, are tested from Java.
#include "platform/JniSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The modified UTF-8 of the lone surrogate that stands for byte b.
std::string lone(unsigned b) {
  unsigned c = 0xDC00 + b;
  return {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
          static_cast<char>(0x80 | (c & 0x3F))};
}

TEST(JavaUtf8Test, PassesUtf8AndEscapesEveryOtherByte) {
  const struct {
    std::string text;
    std::string modified;  // "" for the text itself, passed without a copy
  } cases[] = {
      {"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC", ""},
      // Above U+FFFF: the surrogate pair, each half in 3 bytes.
      {"a\xF0\x9F\x93\xB6z", "a\xED\xA0\xBD\xED\xB3\xB6z"},
      {"\xF4\x8F\xBF\xBF", "\xED\xAF\xBF\xED\xBF\xBF"},
      // Latin-1, GBK, stray continuations, a sequence cut short, an encoded
      // surrogate, an overlong form, beyond U+10FFFF: each byte escaped.
      {"caf\xE9", "caf" + lone(0xE9)},
      {"\xB0\xA1\x80\xBF", lone(0xB0) + lone(0xA1) + lone(0x80) + lone(0xBF)},
      {"\xF0\x9F\x93z\xED\xA0\x80", lone(0xF0) + lone(0x9F) + lone(0x93) + "z" + lone(0xED) + lone(0xA0) + lone(0x80)},
      {"\xC0\xAF\xF4\x90\x80\x80", lone(0xC0) + lone(0xAF) + lone(0xF4) + lone(0x90) + lone(0x80) + lone(0x80)},
      {"\xC3\xA9\xE9\xF0\x9F\x93\xB6", "\xC3\xA9" + lone(0xE9) + "\xED\xA0\xBD\xED\xB3\xB6"},
      {std::string(100, 'x') + "\xE9", std::string(100, 'x') + lone(0xE9)},
  };
  for (const auto& c : cases) {
    JavaUtf8 converted(c.text.c_str());
    EXPECT_TRUE(c.modified.empty() ? converted.c_str() == c.text.c_str() : converted.c_str() == c.modified) << c.text;
  }
  EXPECT_EQ(JavaUtf8(nullptr).c_str(), nullptr);
}

}  // namespace
