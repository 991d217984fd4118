// The re-encoding of texts for NewStringUTF, which reads modified UTF-8: a
// code point above U+FFFF must reach it as a surrogate pair, each half as a
// 3-byte sequence, and nothing else may change. The natives' round trips of
// such texts are tested from Java.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "jni/JavaFrame.h"

namespace {

TEST(ModifiedUtf8, ReencodesWellFormedFourByteSequencesOnly) {
  // A text, and what NewStringUTF gets instead ("" for the text itself).
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC", ""},
      {"a\xF0\x9F\x93\xB6z", "a\xED\xA0\xBD\xED\xB3\xB6z"},
      {"\xF0\x9F\x98\x80\xF0\x9D\x84\x9E", "\xED\xA0\xBD\xED\xB8\x80\xED\xA0\xB4\xED\xB4\x9E"},
      {"\xF0\x90\x80\x80", "\xED\xA0\x80\xED\xB0\x80"}, {"\xF4\x8F\xBF\xBF", "\xED\xAF\xBF\xED\xBF\xBF"},
      // Malformed: cut short, cut by the end, beyond U+10FFFF, overlong U+FFFF,
      // lead byte F5, a Latin-1 byte, stray continuations.
      {"\xF0\x9F\x93z", ""}, {"x\xF0\x9F", ""}, {"\xF4\x90\x80\x80", ""}, {"\xF0\x8F\xBF\xBF", ""},
      {"\xF5\x80\x80\x80", ""}, {"caf\xE9", ""}, {"\x80\xBF", ""}};
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(!expected.empty(), jni::hasSupplementary(text.c_str())) << text;
    EXPECT_EQ(expected.empty() ? text : expected, jni::toModifiedUtf8(text.c_str())) << text;
  }
  EXPECT_FALSE(jni::hasSupplementary(nullptr));
  EXPECT_EQ("", jni::toModifiedUtf8(nullptr));
}

}  // namespace
