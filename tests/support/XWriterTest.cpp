#include "platform/XWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

#define FFFD "\xEF\xBF\xBD"

// Markup and control bytes escaped, UTF-8 passed, and one U+FFFD for each
// byte outside UTF-8 (Latin-1, cut short, an encoded surrogate) and for
// the non-character U+FFFF; the document stays well-formed.
TEST(XWriterTest, AttrEscapesMarkupReplacesWhatIsNotXmlAndStaysWellFormed) {
  const struct {
    const char* value;
    const char* written;
  } cases[] = {
      {"a\"b<c>&d'", "a&quot;b&lt;c&gt;&amp;d'"},
      {"1\t2\n3\r4", "1&#9;2&#10;3&#13;4"},
      {"x\x01y\x1F\x7F", "x" FFFD "y" FFFD FFFD},
      {"caf\xC3\xA9 \xE2\x82\xAC\xF0\x9F\x94\x91", "caf\xC3\xA9 \xE2\x82\xAC\xF0\x9F\x94\x91"},
      {"caf\xE9\xC3(\xED\xA0\x80\xEF\xBF\xBF", "caf" FFFD FFFD "(" FFFD FFFD FFFD FFFD FFFD FFFD},
      {nullptr, ""},
  };
  StringXWriter document;
  document.w("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>");
  for (const auto& c : cases) {
    StringXWriter out;
    out.w("<e ").attr("v", c.value).w('/').w(">");
    EXPECT_EQ(out.str(), std::string("<e v=\"") + c.written + "\"/>") << (c.value ? c.value : "null");
    document.w(out.str().c_str());
  }
  document.w("</r>\n");
#ifndef _WIN32  // xmllint is a program of the build host, which wine can't start
  std::FILE* lint = popen("xmllint --noout -", "w");
  std::fputs(document.str().c_str(), lint);
  EXPECT_EQ(pclose(lint), 0) << document.str();
#endif

  // attrf cuts the formatted value before escaping it, and never in the
  // middle of a UTF-8 sequence.
  StringXWriter out;
  out.attrf("n", "%d-%s", 10, 42, "x").attrf("e", "%s", 3, "<&>\"").attrf("u", "%s", 2, "a\xC3\xA9");
  EXPECT_EQ(out.str(), "n=\"42-x\"e=\"&lt;&amp;&gt;\"u=\"a\"");
}

}  // namespace
