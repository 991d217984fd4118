#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

// Character sink; writers derive from it.
class CharWriter {
 public:
  virtual ~CharWriter() {}
  // Writes length characters; returns the number written.
  virtual size_t write(const char* data, size_t length) = 0;
  size_t writeString(const char* text) { return write(text, std::strlen(text)); }
  virtual void close() {}
};

// XML writer. w() appends text unchanged; attr() and attrf() append one
// attribute, name="value", with no space before or after it. Values are
// escaped so that any text gives a well-formed document:
//   & < > "            as &amp; &lt; &gt; &quot;
//   tab, LF, CR         as &#9; &#10; &#13; (kept through attribute
//                       value normalisation)
//   other bytes below 0x20 and 0x7F, which XML 1.0 cannot carry at all,
//                       as U+FFFD (the replacement character)
// Well-formed UTF-8 passes unchanged; every byte outside it, and the
// non-characters U+FFFE and U+FFFF, become U+FFFD too.
class XWriter : public CharWriter {
 public:
  XWriter& w(const char* text);
  XWriter& w(char c);
  XWriter& attr(const char* name, const char* value);
  // The value is printf(format, ...); at most maxLength characters of it
  // are kept.
  XWriter& attrf(const char* name, const char* format, int maxLength, ...);
};

// Writes into a std::string.
class StringXWriter : public XWriter {
 public:
  size_t write(const char* data, size_t length) override;
  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

// Writes into a FILE*, which stays the caller's.
class FileXWriter : public XWriter {
 public:
  explicit FileXWriter(std::FILE* file) : file_(file) {}
  size_t write(const char* data, size_t length) override;
  void close() override;

 private:
  std::FILE* file_;
};
