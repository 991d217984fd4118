#include "platform/XWriter.h"

#include <cstdarg>
#include <new>

#include "Utf8.h"

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// The escaped form of one byte of an attribute value, or null when the
// byte passes unchanged.
const char* escapeOf(unsigned char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\t': return "&#9;";
    case '\n': return "&#10;";
    case '\r': return "&#13;";
    default: break;
  }
  if (c < 0x20 || c == 0x7F) return kReplacement;
  return nullptr;
}

// The length of the character at p that an XML document can carry as it
// is, or 0 when it must be replaced: bytes outside well-formed UTF-8, and
// U+FFFE and U+FFFF, which are UTF-8 but no XML characters.
size_t xmlCharacterLength(const unsigned char* p, size_t available) {
  size_t length = utf8::sequenceLength(p, available);
  bool nonCharacter = length == 3 && p[0] == 0xEF && p[1] == 0xBF && p[2] >= 0xBE;
  return nonCharacter ? 0 : length;
}

// Writes value[0, length) escaped, passing runs of plain bytes in one call.
// Each byte that is not part of a character XML can carry becomes U+FFFD.
void writeEscaped(CharWriter& out, const char* value, size_t length) {
  auto bytes = reinterpret_cast<const unsigned char*>(value);
  size_t runStart = 0;
  for (size_t i = 0; i < length; ++i) {
    const char* escape = escapeOf(bytes[i]);
    if (escape == nullptr && bytes[i] >= 0x80) {
      size_t character = xmlCharacterLength(bytes + i, length - i);
      if (character != 0) {
        i += character - 1;
        continue;
      }
      escape = kReplacement;
    }
    if (escape == nullptr) continue;
    if (i > runStart) out.write(value + runStart, i - runStart);
    out.write(escape, std::strlen(escape));
    runStart = i + 1;
  }
  if (length > runStart) out.write(value + runStart, length - runStart);
}

void writeAttribute(XWriter& out, const char* name, const char* value, size_t length) {
  out.write(name, std::strlen(name));
  out.write("=\"", 2);
  writeEscaped(out, value, length);
  out.write("\"", 1);
}

// The length of text[0, length) without a multi-byte UTF-8 sequence that
// was cut off at its end.
size_t withoutCutSequence(const char* text, size_t length) {
  size_t lead = length;
  size_t back = 0;
  while (lead > 0 && back < 4) {
    --lead;
    ++back;
    unsigned char c = static_cast<unsigned char>(text[lead]);
    if ((c & 0xC0) != 0x80) {
      size_t needed = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
      return needed > back ? lead : length;
    }
  }
  return length;
}

}  // namespace

XWriter& XWriter::w(const char* text) {
  if (text != nullptr) write(text, std::strlen(text));
  return *this;
}

XWriter& XWriter::w(char c) {
  write(&c, 1);
  return *this;
}

XWriter& XWriter::attr(const char* name, const char* value) {
  if (name == nullptr) return *this;
  writeAttribute(*this, name, value != nullptr ? value : "",
                 value != nullptr ? std::strlen(value) : 0);
  return *this;
}

XWriter& XWriter::attrf(const char* name, const char* format, int maxLength, ...) {
  if (name == nullptr) return *this;
  if (format == nullptr || maxLength <= 0) {
    writeAttribute(*this, name, "", 0);
    return *this;
  }

  va_list args;
  va_start(args, maxLength);
  va_list again;
  va_copy(again, args);
  char small[128];
  int full = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);

  if (full < 0) {  // the format could not be applied
    va_end(again);
    writeAttribute(*this, name, "", 0);
    return *this;
  }

  size_t keep = static_cast<size_t>(full) < static_cast<size_t>(maxLength)
                    ? static_cast<size_t>(full)
                    : static_cast<size_t>(maxLength);
  char* text = small;
  char* large = nullptr;
  if (static_cast<size_t>(full) >= sizeof small) {
    large = new (std::nothrow) char[keep + 1];
    if (large == nullptr) {
      va_end(again);
      writeAttribute(*this, name, "", 0);
      return *this;
    }
    std::vsnprintf(large, keep + 1, format, again);
    text = large;
  }
  va_end(again);

  if (keep < static_cast<size_t>(full)) keep = withoutCutSequence(text, keep);
  writeAttribute(*this, name, text, keep);
  delete[] large;
  return *this;
}

size_t StringXWriter::write(const char* data, size_t length) {
  if (data == nullptr || length == 0) return 0;
  text_.append(data, length);
  return length;
}

size_t FileXWriter::write(const char* data, size_t length) {
  if (file_ == nullptr || data == nullptr || length == 0) return 0;
  return std::fwrite(data, 1, length, file_);
}

void FileXWriter::close() {
  if (file_ != nullptr) std::fflush(file_);
}
