#pragma once
// What the fuzz targets share: splitting an input into parts, and a key
// file of their own for Crypt.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Crypt.h"

namespace fuzz {

inline std::vector<std::string> splitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

inline std::string text(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Keeps the key out of the host's key file unless the caller chose one.
inline void useOwnKeyFile() {
  if (std::getenv("TESSEL_CRYPT_KEY_FILE") == nullptr) Crypt::setKeyFile("/tmp/wireless-fuzz-crypt.key");
}

}  // namespace fuzz
