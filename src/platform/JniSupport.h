#pragma once

#include <jni.h>

#include <cstddef>
#include <new>

#include "platform/ErrorHandler.h"

// Turns reported errors into a java.lang.IllegalStateException carrying the
// reported text. The exception is raised on the JNIEnv given at
// construction and stays pending until the native returns.
class JavaExceptionHandler : public virtual ErrorHandler {
 public:
  explicit JavaExceptionHandler(JNIEnv* env);
  void throwError(MessageBundle* bundle) override;

 private:
  JNIEnv* env_;
};

// Byte strings and Java strings: text that is well-formed UTF-8 is read as
// such; every other byte b (0x80 to 0xFF) stands for the lone surrogate
// U+DC00 + b, so that any byte string, an SSID in Latin-1 or GBK say, comes
// back from Java as the same bytes.

// Scoped conversion of a jstring to an 8-bit C string: UTF-8, with the lone
// surrogates U+DC80 to U+DCFF turned back into the bytes they stand for and
// any other lone surrogate written as U+FFFD. A null jstring (or one that
// can't be converted) gives a null text, never a crash. Short strings are
// converted into the object itself.
class JNIString {
 public:
  JNIString(JNIEnv* env, jstring string);
  ~JNIString();
  JNIString(const JNIString&) = delete;
  JNIString& operator=(const JNIString&) = delete;

  const char* c_str() const { return text_; }
  operator const char*() const { return text_; }

 private:
  static constexpr size_t kInlineSize = 128;
  char* text_ = nullptr;
  char inline_[kInlineSize];
};

// Scoped conversion of a C string to the modified UTF-8 that NewStringUTF
// reads: a code point above U+FFFF as its surrogate pair, each half as a
// 3-byte sequence, and every byte outside well-formed UTF-8 as its lone
// surrogate. Text that needs none of this is handed back as it is, without a
// copy; a null text gives null.
class JavaUtf8 {
 public:
  explicit JavaUtf8(const char* text) : text_(text) {
    if (text == nullptr) return;
    // ASCII, what nearly every text is, needs no more than this look.
    size_t ascii = 0;
    while (static_cast<unsigned char>(text[ascii]) - 1u < 0x7Fu) ++ascii;
    if (text[ascii] != '\0') convertFrom(ascii);
  }
  ~JavaUtf8() {
    if (allocated_ != nullptr) ::operator delete(allocated_);
  }
  JavaUtf8(const JavaUtf8&) = delete;
  JavaUtf8& operator=(const JavaUtf8&) = delete;

  const char* c_str() const { return text_; }

 private:
  // Rewrites text_ when it needs it; its first clean bytes pass as they are.
  void convertFrom(size_t clean);

  static constexpr size_t kInlineSize = 128;
  const char* text_ = nullptr;
  char* allocated_ = nullptr;
  char inline_[kInlineSize];
};
