#include "jni/JavaFrame.h"

#include <new>

#include "model/Text.h"
#include "platform/JniSupport.h"

namespace jni {

JavaExceptionHandlerHolder::JavaExceptionHandlerHolder(JNIEnv* env)
    : handler_(new (std::nothrow) JavaExceptionHandler(env)) {}

JavaExceptionHandlerHolder::~JavaExceptionHandlerHolder() {
  // ErrorHandler is the virtual base; its destructor is virtual.
  delete static_cast<ErrorHandler*>(handler_);
}

ErrorHandler* JavaExceptionHandlerHolder::handler() const { return handler_; }

namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point of a well-formed 4-byte sequence at p, or 0 when p does
// not start one. Reads no further than the first byte that doesn't fit, so
// it never passes the terminating NUL.
uint32_t supplementaryAt(const unsigned char* p) {
  if (p[0] < 0xF0 || p[0] > 0xF4) return 0;
  if (!isContinuation(p[1]) || !isContinuation(p[2]) || !isContinuation(p[3])) return 0;
  uint32_t code = (static_cast<uint32_t>(p[0] & 0x07) << 18) |
                  (static_cast<uint32_t>(p[1] & 0x3F) << 12) |
                  (static_cast<uint32_t>(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
  return code >= 0x10000 && code <= 0x10FFFF ? code : 0;
}

void appendThreeBytes(std::string& out, uint32_t unit) {
  out += static_cast<char>(0xE0 | (unit >> 12));
  out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (unit & 0x3F));
}

}  // namespace

bool hasSupplementary(const char* text) {
  if (text == nullptr) return false;
  for (auto p = reinterpret_cast<const unsigned char*>(text); *p != '\0'; ++p) {
    if (supplementaryAt(p) != 0) return true;
  }
  return false;
}

std::string toModifiedUtf8(const char* text) {
  std::string out;
  if (text == nullptr) return out;
  auto p = reinterpret_cast<const unsigned char*>(text);
  while (*p != '\0') {
    uint32_t code = supplementaryAt(p);
    if (code == 0) {
      out += static_cast<char>(*p++);
      continue;
    }
    code -= 0x10000;
    appendThreeBytes(out, 0xD800 | (code >> 10));
    appendThreeBytes(out, 0xDC00 | (code & 0x3FF));
    p += 4;
  }
  return out;
}

jstring newString(JNIEnv* env, const char* text) {
  if (text == nullptr) return nullptr;
  if (!hasSupplementary(text)) return env->NewStringUTF(text);
  return env->NewStringUTF(toModifiedUtf8(text).c_str());
}

jobjectArray newStringArray(JNIEnv* env, jsize length) {
  jclass stringClass = env->FindClass("java/lang/String");
  if (stringClass == nullptr) return nullptr;
  jstring empty = env->NewStringUTF("");
  if (empty == nullptr) return nullptr;
  return env->NewObjectArray(length, stringClass, empty);
}

bool setStringElement(JNIEnv* env, jobjectArray array, jsize index, const char* text) {
  if (array == nullptr) return false;
  if (text == nullptr) return true;
  jstring element = newString(env, text);
  // A string the virtual machine could not make leaves its exception
  // pending; no JNI call may follow it.
  if (element == nullptr) return false;
  env->SetObjectArrayElement(array, index, element);
  return true;
}

jobjectArray toJavaArray(JNIEnv* env, const LineArray& lines) {
  jsize length = lines.size();
  jobjectArray array = newStringArray(env, length);
  if (array == nullptr) return nullptr;
  for (jsize i = 0; i < length; ++i) {
    if (!setStringElement(env, array, i, lines.line(static_cast<uint8_t>(i)))) break;
  }
  return array;
}

}  // namespace jni
