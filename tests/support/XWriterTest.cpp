#include "platform/XWriter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

#define FFFD "\xEF\xBF\xBD"

// Markup and control bytes escaped, UTF-8 passed, and one U+FFFD for each
// byte outside UTF-8 (Latin-1, cut short, an encoded surrogate) and for the
// non-character U+FFFF. That every value leaves the document well-formed
// is the XML fuzz target's check.
TEST(XWriterTest, AttrEscapesMarkupAndReplacesWhatIsNotXml) {
  const char* const cases[][2] = {
      {"a\"b<c>&d'", "a&quot;b&lt;c&gt;&amp;d'"}, {"1\t2\n3\r4", "1&#9;2&#10;3&#13;4"}, {nullptr, ""},
      {"x\x01y\x1F\x7F", "x" FFFD "y" FFFD FFFD},
      {"caf\xC3\xA9 \xE2\x82\xAC\xF0\x9F\x94\x91", "caf\xC3\xA9 \xE2\x82\xAC\xF0\x9F\x94\x91"},
      {"caf\xE9\xC3(\xED\xA0\x80\xEF\xBF\xBF", "caf" FFFD FFFD "(" FFFD FFFD FFFD FFFD FFFD FFFD},
  };
  for (const auto& [value, written] : cases) {
    StringXWriter out;
    out.w("<e ").attr("v", value).w('/').w(">");
    EXPECT_EQ(out.str(), std::string("<e v=\"") + written + "\"/>") << (value ? value : "null");
  }
  // attrf cuts the formatted value before escaping it, and never in the
  // middle of a UTF-8 sequence.
  StringXWriter out;
  out.attrf("n", "%d-%s", 10, 42, "x").attrf("e", "%s", 3, "<&>\"").attrf("u", "%s", 2, "a\xC3\xA9");
  EXPECT_EQ(out.str(), "n=\"42-x\"e=\"&lt;&amp;&gt;\"u=\"a\"");
}

}  // namespace
