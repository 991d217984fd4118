#include "model/Text.h"

#include <cstring>
#include <new>

namespace text {

char* copy(const char* text) {
  if (text == nullptr) return nullptr;
  return copy(text, std::strlen(text));
}

char* copy(const char* text, size_t length) {
  char* result = static_cast<char*>(::operator new(length + 1));
  std::memcpy(result, text, length);
  result[length] = '\0';
  return result;
}

void release(char* text) {
  if (text == nullptr) return;
  // Volatile stores so the wipe of a secret can't be dropped as dead.
  for (volatile char* p = text; *p != '\0'; ++p) *p = '\0';
  ::operator delete(text);
}

void dispose(char* text) { ::operator delete(text); }

}  // namespace text
