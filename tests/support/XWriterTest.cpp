#include "platform/XWriter.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

TEST(XWriterTest, AttrEscapesMarkupAndControlBytesAndPassesUtf8) {
  const struct {
    const char* value;
    std::string written;
  } cases[] = {
      {"a\"b<c>&d", "a&quot;b&lt;c&gt;&amp;d"},
      {"1\t2\n3\r4", "1&#9;2&#10;3&#13;4"},
      {"x\x01y\x1F\x7F", std::string("x") + kReplacement + "y" + kReplacement + kReplacement},
      {"caf\xC3\xA9 \xF0\x9F\x94\x91", "caf\xC3\xA9 \xF0\x9F\x94\x91"},
      {nullptr, ""},
  };
  for (const auto& c : cases) {
    StringXWriter out;
    out.w("<e ").attr("v", c.value).w('/').w(">");
    EXPECT_EQ(out.str(), "<e v=\"" + c.written + "\"/>") << (c.value ? c.value : "null");
  }

  // attrf cuts the formatted value before escaping it, and never in the
  // middle of a UTF-8 sequence.
  StringXWriter out;
  out.attrf("n", "%d-%s", 10, 42, "x")
      .attrf("e", "%s", 3, "<&>\"")
      .attrf("u", "%s", 2, "a\xC3\xA9");
  EXPECT_EQ(out.str(), "n=\"42-x\"e=\"&lt;&amp;&gt;\"u=\"a\"");
}

TEST(XWriterTest, DocumentWithEveryByteIsWellFormedAndReadsBack) {
#ifdef _WIN32
  GTEST_SKIP() << "xmllint is a program of the build host, which wine can't start";
#endif
  // Every ASCII byte but NUL, then UTF-8. A parser hands back control bytes
  // as U+FFFD; tab, LF and CR survive attribute value normalisation.
  std::string value, expected;
  for (int c = 1; c < 0x80; ++c) {
    value += static_cast<char>(c);
    bool replaced = (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F;
    expected += replaced ? kReplacement : std::string(1, static_cast<char>(c));
  }
  value += "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x91";
  expected += "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x91";
  // Bytes outside UTF-8 (Latin-1, cut short, an encoded surrogate) and the
  // non-character U+FFFF: U+FFFD for each byte.
  value += "caf\xE9\xC3(\xED\xA0\x80\xEF\xBF\xBF";
  expected += std::string("caf") + kReplacement + kReplacement + "(";
  for (int i = 0; i < 6; ++i) expected += kReplacement;
  expected += "\n";  // xmllint ends its answer with a line break
  std::string path = (std::filesystem::temp_directory_path() / "xwriter-XXXXXX").string();
  std::FILE* file = fdopen(mkstemp(path.data()), "wb");
  ASSERT_NE(file, nullptr);
  FileXWriter(file).w("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r ").attr("v", value.c_str()).w("/>");
  std::fclose(file);
  // xmllint answers only for a well-formed document.
  std::FILE* parsed = popen(("xmllint --xpath 'string(/r/@v)' '" + path + "'").c_str(), "r");
  std::string read;
  for (int c; (c = std::fgetc(parsed)) != EOF;) read += static_cast<char>(c);
  EXPECT_EQ(pclose(parsed), 0);
  unlink(path.c_str());
  EXPECT_EQ(read, expected);
}

}  // namespace
