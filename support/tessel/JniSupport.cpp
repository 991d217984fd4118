#include "platform/JniSupport.h"

#include <new>

JavaExceptionHandler::JavaExceptionHandler(JNIEnv* env) : env_(env) {}

void JavaExceptionHandler::throwError(MessageBundle* bundle) {
  if (env_ == nullptr) return;
  // An exception already on its way out says more than a second one would.
  if (env_->ExceptionCheck()) return;
  jclass type = env_->FindClass("java/lang/IllegalStateException");
  if (type == nullptr) return;  // FindClass left its own error pending
  const char* text = bundle != nullptr ? bundle->text() : nullptr;
  env_->ThrowNew(type, text != nullptr ? text : "");
  env_->DeleteLocalRef(type);
}

namespace {

// Appends code point c as UTF-8 at out; returns the byte count.
size_t putUtf8(char* out, unsigned long c) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

bool isHighSurrogate(jchar c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(jchar c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

JNIString::JNIString(JNIEnv* env, jstring string) {
  if (env == nullptr || string == nullptr) return;
  jsize length = env->GetStringLength(string);
  if (length < 0 || env->ExceptionCheck()) return;
  size_t units = static_cast<size_t>(length);

  jchar* utf16 = static_cast<jchar*>(::operator new(units * sizeof(jchar) + 1, std::nothrow));
  if (utf16 == nullptr) return;
  env->GetStringRegion(string, 0, length, utf16);
  if (env->ExceptionCheck()) {
    ::operator delete(utf16);
    return;
  }

  // Each UTF-16 unit gives at most 3 bytes; a surrogate pair gives 4 for 2.
  char* out = static_cast<char*>(::operator new(units * 3 + 1, std::nothrow));
  if (out != nullptr) {
    size_t used = 0;
    for (size_t i = 0; i < units; ++i) {
      jchar c = utf16[i];
      unsigned long code = c;
      if (isHighSurrogate(c) && i + 1 < units && isLowSurrogate(utf16[i + 1])) {
        code = 0x10000 + ((static_cast<unsigned long>(c) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
        ++i;
      } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
        code = 0xFFFD;
      }
      used += putUtf8(out + used, code);
    }
    out[used] = '\0';
    text_ = out;
  }
  ::operator delete(utf16);
}

JNIString::~JNIString() { ::operator delete(text_); }
