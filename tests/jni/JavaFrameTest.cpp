#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jni/JavaFrame.h"
#include "model/Text.h"
#include "platform/Crypt.h"
#include "tests/jni/FakeJniEnv.h"

namespace {

TEST(ModifiedUtf8, ReencodesWellFormedFourByteSequencesOnly) {
  struct Case {
    const char* name;
    std::string input;
    std::string expected;  // empty: the input unchanged
  };
  const Case cases[] = {
      {"empty", "", ""},
      {"ascii", "office 42", ""},
      {"two-byte", "caf\xC3\xA9", ""},
      {"three-byte", "\xE6\x97\xA5\xE6\x9C\xAC", ""},
      {"antenna emoji", "\xF0\x9F\x93\xB6", "\xED\xA0\xBD\xED\xB3\xB6"},
      {"between text", "a\xF0\x9F\x93\xB6z", "a\xED\xA0\xBD\xED\xB3\xB6z"},
      {"two in a row", "\xF0\x9F\x98\x80\xF0\x9D\x84\x9E",
       "\xED\xA0\xBD\xED\xB8\x80\xED\xA0\xB4\xED\xB4\x9E"},
      {"first supplementary", "\xF0\x90\x80\x80", "\xED\xA0\x80\xED\xB0\x80"},
      {"last code point", "\xF4\x8F\xBF\xBF", "\xED\xAF\xBF\xED\xBF\xBF"},
      {"cut short", "\xF0\x9F\x93", ""},
      {"cut by the end", "x\xF0\x9F", ""},
      {"continuation missing", "\xF0\x9F\x93z", ""},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", ""},
      {"overlong", "\xF0\x80\x80\x80", ""},
      {"lead byte F5", "\xF5\x80\x80\x80", ""},
      {"Latin-1 byte", "caf\xE9", ""},
      {"stray continuation", "\x80\xBF", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool changes = !c.expected.empty();
    EXPECT_EQ(changes, jni::hasSupplementary(c.input.c_str()));
    EXPECT_EQ(changes ? c.expected : c.input, jni::toModifiedUtf8(c.input.c_str()));
  }
  EXPECT_FALSE(jni::hasSupplementary(nullptr));
  EXPECT_EQ("", jni::toModifiedUtf8(nullptr));
}

TEST(JavaStrings, ReachJavaAsTheSameCharacters) {
  FakeJniEnv java;
  for (const std::string text : {"", "office", "caf\xC3\xA9", "\xE6\x97\xA5\xE6\x9C\xAC",
                                 "\xF0\x9F\x93\xB6 home \xF0\x9F\x98\x80"}) {
    EXPECT_EQ(text, java.text(jni::newString(java.env(), text.c_str())));
  }
  java.clearLog();
  EXPECT_EQ(nullptr, jni::newString(java.env(), nullptr));
  EXPECT_TRUE(java.calls().empty()) << "a null text makes no Java string";
  EXPECT_TRUE(java.errors().empty()) << java.errors().front();
}

TEST(StringArrays, StartEmptyAndKeepEmptyStringsForNullEntries) {
  FakeJniEnv java;
  jni::TextArray lines(4);
  lines.entries()[0] = text::copy("first");
  lines.entries()[2] = text::copy("\xF0\x9F\x93\xB6");
  *lines.count() = 3;
  java.clearLog();
  EXPECT_EQ((std::vector<std::string>{"first", "", "\xF0\x9F\x93\xB6"}), java.texts(lines.toJava(java.env())));
  EXPECT_EQ(std::vector<std::string>{"java/lang/String"}, java.foundClasses());
  EXPECT_EQ(1, java.calls().at("NewObjectArray"));
  EXPECT_EQ(2, java.calls().at("SetObjectArrayElement")) << "only the entries that are there";

  // The class is looked up for every array.
  EXPECT_EQ(std::vector<std::string>{}, java.texts(jni::TextArray(2).toJava(java.env())));
  EXPECT_EQ(2u, java.foundClasses().size());

  // A count beyond the capacity is cut to it; entries past the count are
  // still released with the array.
  jni::TextArray full(2);
  full.entries()[0] = text::copy("a");
  full.entries()[1] = text::copy("b");
  *full.count() = 9;
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), java.texts(full.toJava(java.env())));
  jni::TextArray partial(3);
  partial.entries()[1] = text::copy("never listed");
  EXPECT_EQ(std::vector<std::string>{}, java.texts(partial.toJava(java.env())));

  EXPECT_EQ((std::vector<std::string>{"", "", ""}), java.texts(jni::newStringArray(java.env(), 3)));
  EXPECT_TRUE(java.errors().empty()) << java.errors().front();
}

TEST(JavaExceptionHandlerHolder, TurnsCryptErrorsIntoIllegalStateException) {
  FakeJniEnv java;
  {
    jni::JavaExceptionHandlerHolder holder(java.env());
    ASSERT_NE(nullptr, holder.handler());
    char* plainText = nullptr;
    EXPECT_NE(0, Crypt::decrypt(holder.handler(), "garbage that is no cipher text", &plainText));
    EXPECT_EQ(nullptr, plainText);
  }
  ASSERT_TRUE(java.pendingException().has_value());
  EXPECT_EQ(0u, java.pendingException()->find("java/lang/IllegalStateException: "))
      << *java.pendingException();
  EXPECT_TRUE(java.errors().empty()) << java.errors().front();
}

}  // namespace
