#include "platform/JniSupport.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "Utf8.h"

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

// Appends code point c as UTF-8 at out (up to U+FFFF in 3 bytes at most,
// beyond in 4); returns the byte count.
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

bool isHighSurrogate(unsigned long c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(unsigned long c) { return c >= 0xDC00 && c <= 0xDFFF; }
// The lone surrogates that stand for the bytes 0x80 to 0xFF.
constexpr unsigned long kEscapeBase = 0xDC00;
bool isByteEscape(unsigned long c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }

// Writes the UTF-16 units as bytes at out; returns the byte count. Each unit
// gives at most 3 bytes, a surrogate pair 4 for 2.
size_t toBytes(const jchar* utf16, size_t units, char* out) {
  size_t used = 0;
  for (size_t i = 0; i < units; ++i) {
    unsigned long code = utf16[i];
    if (code < 0x80) {
      out[used++] = static_cast<char>(code);
      continue;
    }
    if (isHighSurrogate(code) && i + 1 < units && isLowSurrogate(utf16[i + 1])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (isByteEscape(code)) {
      out[used++] = static_cast<char>(code - kEscapeBase);
      continue;
    } else if (isHighSurrogate(code) || isLowSurrogate(code)) {
      code = 0xFFFD;
    }
    used += putUtf8(out + used, code);
  }
  out[used] = '\0';
  return used;
}

// What one step of the modified UTF-8 form starts with at p: a sequence
// that passes as it is (its length), or one that must be rewritten (0).
size_t passesAsIs(const unsigned char* p) {
  if (*p < 0x80) return 1;
  size_t length = utf8::sequenceLength(p, SIZE_MAX);
  return length == 4 ? 0 : length;
}

// Writes the character or stray byte at p in modified UTF-8 at out; adds
// the bytes read to *read and returns the bytes written (at most 6 for 4
// read, 3 for 1).
size_t putModified(const unsigned char* p, size_t* read, char* out) {
  size_t length = utf8::sequenceLength(p, SIZE_MAX);
  if (length == 0) {
    *read += 1;
    return putUtf8(out, kEscapeBase + *p);
  }
  if (length < 4) {
    for (size_t i = 0; i < length; ++i) out[i] = static_cast<char>(p[i]);
    *read += length;
    return length;
  }
  unsigned long code = (static_cast<unsigned long>(p[0] & 0x07) << 18) |
                       (static_cast<unsigned long>(p[1] & 0x3F) << 12) |
                       (static_cast<unsigned long>(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
  code -= 0x10000;
  *read += 4;
  size_t used = putUtf8(out, 0xD800 | (code >> 10));
  return used + putUtf8(out + used, 0xDC00 | (code & 0x3FF));
}

}  // namespace

JNIString::JNIString(JNIEnv* env, jstring string) {
  if (env == nullptr || string == nullptr) return;
  jsize length = env->GetStringLength(string);
  if (length < 0 || env->ExceptionCheck()) return;
  size_t units = static_cast<size_t>(length);

  // Short strings need no heap at all: their units on the stack, their
  // bytes in the object.
  jchar shortUnits[64];
  std::unique_ptr<jchar[]> longUnits;
  jchar* utf16 = shortUnits;
  if (units > sizeof shortUnits / sizeof(jchar)) {
    longUnits.reset(new (std::nothrow) jchar[units]);
    if (longUnits == nullptr) return;
    utf16 = longUnits.get();
  }
  env->GetStringRegion(string, 0, length, utf16);
  if (env->ExceptionCheck()) return;

  size_t needed = units * 3 + 1;
  char* out = needed <= kInlineSize ? inline_ : static_cast<char*>(::operator new(needed, std::nothrow));
  if (out == nullptr) return;
  toBytes(utf16, units, out);
  text_ = out;
}

JNIString::~JNIString() {
  if (text_ != inline_) ::operator delete(text_);
}

void JavaUtf8::convertFrom(size_t clean) {
  const char* text = text_;
  auto p = reinterpret_cast<const unsigned char*>(text);
  for (size_t step; p[clean] != '\0' && (step = passesAsIs(p + clean)) != 0;) clean += step;
  if (p[clean] == '\0') return;

  size_t rest = std::strlen(text + clean);
  size_t needed = clean + rest * 3 + 1;
  char* out = inline_;
  if (needed > kInlineSize) {
    out = allocated_ = static_cast<char*>(::operator new(needed, std::nothrow));
    if (out == nullptr) {
      text_ = nullptr;
      return;
    }
  }
  std::memcpy(out, text, clean);
  size_t used = clean;
  for (size_t read = clean; p[read] != '\0';) used += putModified(p + read, &read, out + used);
  out[used] = '\0';
  text_ = out;
}
