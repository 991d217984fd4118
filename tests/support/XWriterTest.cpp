#include "platform/XWriter.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string attrOf(const char* name, const char* value) {
  StringXWriter out;
  out.attr(name, value);
  return out.str();
}

TEST(XWriterTest, AttrEscapesMarkupQuotesAndControlBytes) {
  EXPECT_EQ(attrOf("a", "a\"b<c>&d"), "a=\"a&quot;b&lt;c&gt;&amp;d\"");
  EXPECT_EQ(attrOf("a", "&&"), "a=\"&amp;&amp;\"");
  EXPECT_EQ(attrOf("a", "it's"), "a=\"it's\"");
  EXPECT_EQ(attrOf("ws", "1\t2\n3\r4"), "ws=\"1&#9;2&#10;3&#13;4\"");
  EXPECT_EQ(attrOf("c", "x\x01y"), "c=\"x\xEF\xBF\xBDy\"");
  EXPECT_EQ(attrOf("c", "\x1F\x7F\x0B\x0C"),
            "c=\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
  // UTF-8 and any other byte of 0x80 and above pass unchanged.
  EXPECT_EQ(attrOf("u", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x91"),
            "u=\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x91\"");
  EXPECT_EQ(attrOf("u", "\x80\xFF"), "u=\"\x80\xFF\"");
  EXPECT_EQ(attrOf("n", nullptr), "n=\"\"");
  EXPECT_EQ(attrOf("n", ""), "n=\"\"");
  EXPECT_EQ(attrOf(nullptr, "v"), "");
}

TEST(XWriterTest, WAppendsUnchangedAndCallsChain) {
  StringXWriter out;
  out.w("<e ").attr("a", "1").w(' ').attr("b", "<").w(nullptr).w("/>").w('\n');
  EXPECT_EQ(out.str(), "<e a=\"1\" b=\"&lt;\"/>\n");
  StringXWriter raw;
  raw.w("&<\x01");
  EXPECT_EQ(raw.str(), "&<\x01");
  EXPECT_EQ(raw.write("abc", 3), 3u);
  EXPECT_EQ(raw.write(nullptr, 3), 0u);
  EXPECT_EQ(raw.str(), "&<\x01" "abc");
}

TEST(XWriterTest, AttrfFormatsTruncatesAndEscapes) {
  auto attrf = [](auto... args) {
    StringXWriter out;
    out.attrf(args...);
    return out.str();
  };
  EXPECT_EQ(attrf("n", "%d", 10, 42), "n=\"42\"");
  EXPECT_EQ(attrf("n", "%u", 3, 123456u), "n=\"123\"");
  EXPECT_EQ(attrf("s", "%s", 3, "abcdef"), "s=\"abc\"");
  EXPECT_EQ(attrf("s", "%s", 6, "abcdef"), "s=\"abcdef\"");
  EXPECT_EQ(attrf("s", "%s", 100, "abcdef"), "s=\"abcdef\"");
  EXPECT_EQ(attrf("s", "%s", 0, "abc"), "s=\"\"");
  EXPECT_EQ(attrf("s", "%s", -5, "abc"), "s=\"\"");
  EXPECT_EQ(attrf("s", nullptr, 10, "abc"), "s=\"\"");
  // The limit counts the value before escaping.
  EXPECT_EQ(attrf("e", "%s", 3, "<&>\"x"), "e=\"&lt;&amp;&gt;\"");
  EXPECT_EQ(attrf("e", "%s", 10, "a\x01\tb"), "e=\"a\xEF\xBF\xBD&#9;b\"");
  // A cut never leaves half a UTF-8 sequence behind.
  EXPECT_EQ(attrf("u", "%s", 2, "a\xC3\xA9z"), "u=\"a\"");
  EXPECT_EQ(attrf("u", "%s", 3, "a\xC3\xA9z"), "u=\"a\xC3\xA9\"");
  EXPECT_EQ(attrf("u", "%s", 3, "a\xF0\x9F\x94\x91"), "u=\"a\"");
  EXPECT_EQ(attrf("u", "%s", 5, "a\xF0\x9F\x94\x91"), "u=\"a\xF0\x9F\x94\x91\"");

  // Values longer than any small working buffer.
  std::string longText(1000, 'x');
  longText[999] = '&';
  EXPECT_EQ(attrf("l", "%s", 2000, longText.c_str()),
            "l=\"" + longText.substr(0, 999) + "&amp;\"");
  EXPECT_EQ(attrf("l", "%s", 300, longText.c_str()), "l=\"" + std::string(300, 'x') + "\"");
  EXPECT_EQ(attrf("l", "%s-%d", 1003, longText.c_str(), 7),
            "l=\"" + longText.substr(0, 999) + "&amp;-7\"");
}

// A private directory under the temporary directory, removed with all it
// holds when the test ends, however it ends.
struct TempDir {
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "xwriter-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

bool haveXmllint() { return std::system("xmllint --version >/dev/null 2>&1") == 0; }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// xmllint ends what --xpath prints with a line feed of its own.
std::string xpathResult(const std::string& path) {
  std::string text = readFile(path);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

TEST(XWriterTest, EveryValueGivesAWellFormedDocumentThatReadsBack) {
  if (!haveXmllint()) GTEST_SKIP() << "xmllint is not installed";

  // Every ASCII byte but NUL, then well-formed UTF-8 of each length.
  std::string value;
  for (int c = 1; c < 0x80; ++c) value += static_cast<char>(c);
  value += "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x91";
  // What a parser hands back: control bytes became U+FFFD, while tab, LF
  // and CR survive attribute value normalisation.
  std::string expected;
  for (unsigned char c : value) {
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) {
      expected += "\xEF\xBF\xBD";
    } else {
      expected += static_cast<char>(c);
    }
  }

  TempDir dir;
  ASSERT_FALSE(dir.path.empty());
  std::string document = dir.path + "/doc.xml";
  std::string extracted = dir.path + "/value.txt";

  std::FILE* file = std::fopen(document.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  FileXWriter out(file);
  out.w("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r ")
      .attr("v", value.c_str())
      .w(' ')
      .attrf("f", "%s|%d", 4096, value.c_str(), -3)
      .w(' ')
      .attr("empty", nullptr)
      .w("/>\n");
  out.close();
  std::fclose(file);

  EXPECT_EQ(std::system(("xmllint --noout '" + document + "'").c_str()), 0);
  ASSERT_EQ(std::system(("xmllint --xpath 'string(/r/@v)' '" + document + "' > '" + extracted + "'")
                            .c_str()),
            0);
  EXPECT_EQ(xpathResult(extracted), expected);
  ASSERT_EQ(std::system(("xmllint --xpath 'string(/r/@f)' '" + document + "' > '" + extracted + "'")
                            .c_str()),
            0);
  EXPECT_EQ(xpathResult(extracted), expected + "|-3");
}

TEST(XWriterTest, FileWriterWritesThroughAndLeavesTheFileOpen) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    FileXWriter out(file);
    EXPECT_EQ(out.write("<a ", 3), 3u);
    out.attr("k", "v&").w("/>");
    out.close();
  }
  // Still the caller's file: it can be written and read after the writer.
  ASSERT_EQ(std::fputs("\n", file), 1);
  std::rewind(file);
  char buffer[64] = {};
  size_t n = std::fread(buffer, 1, sizeof buffer - 1, file);
  EXPECT_EQ(std::string(buffer, n), "<a k=\"v&amp;\"/>\n");
  std::fclose(file);

  FileXWriter nowhere(nullptr);
  EXPECT_EQ(nowhere.write("x", 1), 0u);
  nowhere.attr("a", "b").w("c");
  nowhere.close();
}

}  // namespace
