#pragma once

#include <cstddef>
#include <memory>

// Texts that the library keeps or hands out are NUL-terminated copies made
// with ::operator new(length + 1) and released with ::operator delete; these
// are the only places that do either.
namespace text {

// A fresh copy of text, or null when text is null.
char* copy(const char* text);
// A fresh copy of the first length characters of text, NUL-terminated.
char* copy(const char* text, size_t length);
// Wipes text (it may have held a secret) and releases it. Null is ignored.
void release(char* text);
// Releases a text that never holds a secret (a daemon line, an SSID)
// without wiping it. Null is ignored.
void dispose(char* text);

struct Releaser {
  void operator()(char* text) const { release(text); }
};
// Owns one released-by-operator-delete text, such as those Crypt returns.
using Owned = std::unique_ptr<char, Releaser>;

// True when text is null or empty.
inline bool isEmpty(const char* text) { return text == nullptr || *text == '\0'; }

}  // namespace text
