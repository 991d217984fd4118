// The C-string side of the Java string conversions: what NewStringUTF is
// handed for a byte string. The way back through JNIString, and the round
// trip of Latin-1, GBK and four-byte SSIDs through the natives, are tested
// from Java.
#include "platform/JniSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// The modified UTF-8 of the lone surrogate U+DC00 + b that stands for byte b.
std::string lone(unsigned char b) {
  return {'\xED', static_cast<char>(0xB0 | (b >> 6)), static_cast<char>(0x80 | (b & 0x3F))};
}

TEST(JavaUtf8Test, PassesUtf8AndEscapesEveryOtherByte) {
  // A text and what it becomes; "" for the text itself, passed without a copy.
  const std::pair<std::string, std::string> cases[] = {
      // UTF-8 as it is; U+10FFFF as the surrogate pair, each half in 3 bytes.
      {"caf\xC3\xA9 \xE6\x97\xA5", ""}, {"\xF4\x8F\xBF\xBF", "\xED\xAF\xBF\xED\xBF\xBF"},
      // A sequence cut short, an encoded surrogate, an overlong form, beyond
      // U+10FFFF: each byte escaped; a long text is copied whole.
      {"\xF0\x9F\x93z\xED\xA0\x80", lone(0xF0) + lone(0x9F) + lone(0x93) + "z" + lone(0xED) + lone(0xA0) + lone(0x80)},
      {"\xC0\xAF\xF4\x90\x80\x80", lone(0xC0) + lone(0xAF) + lone(0xF4) + lone(0x90) + lone(0x80) + lone(0x80)},
      {std::string(100, 'x') + "\xE9", std::string(100, 'x') + lone(0xE9)},
  };
  for (const auto& [text, modified] : cases) {
    JavaUtf8 converted(text.c_str());
    EXPECT_TRUE(modified.empty() ? converted.c_str() == text.c_str() : converted.c_str() == modified) << text;
  }
  EXPECT_EQ(JavaUtf8(nullptr).c_str(), nullptr);
}

}  // namespace
