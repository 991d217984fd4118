#pragma once

#include <jni.h>

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

// Scoped conversion of a jstring to an 8-bit UTF-8 C string. A null jstring
// (or one that can't be converted) gives a null text, never a crash.
class JNIString {
 public:
  JNIString(JNIEnv* env, jstring string);
  ~JNIString();
  JNIString(const JNIString&) = delete;
  JNIString& operator=(const JNIString&) = delete;

  const char* c_str() const { return text_; }
  operator const char*() const { return text_; }

 private:
  char* text_ = nullptr;
};
