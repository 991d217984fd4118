// The XML writer's attributes with arbitrary values: every document it
// makes must parse with libxml2, and a value of characters XML can carry
// must come back as written, control characters other than TAB, LF and CR
// as U+FFFD. The input is split at NUL bytes into values; each is written
// with attr, and with attrf "%s" cut to as many bytes as its first byte says.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/chvalid.h>
#include <libxml/xmlstring.h>

#include <cstdlib>

#include "fuzz/FuzzSupport.h"
#include "platform/XWriter.h"

namespace {

std::string expectedValue(const std::string& value) {
  std::string expected;
  for (unsigned char c : value) {
    bool control = (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F;
    expected += control ? std::string("\xEF\xBF\xBD") : std::string(1, static_cast<char>(c));
  }
  return expected;
}

// True when every character of value is well-formed UTF-8 (shortest form)
// that XML can carry, or ASCII: only such values must come back as written.
bool carriedAsWritten(const std::string& value) {
  auto text = reinterpret_cast<const unsigned char*>(value.c_str());
  for (int left = static_cast<int>(value.size()), length; left > 0; text += length, left -= length) {
    length = left;
    if (*text >= 0x80 && *text < 0xC0) return false;  // a continuation byte can't lead
    int c = xmlGetUTF8Char(text, &length);
    int shortest = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    if (c < 0 || length != shortest || (c >= 0x80 && !xmlIsCharQ(c))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One element per value: a single element with thousands of attributes
  // would spend the run in the parser's duplicate-name check.
  std::vector<std::string> values = fuzz::splitAt(fuzz::text(data, size), '\0');
  StringXWriter writer;
  writer.w("<doc>");
  for (const std::string& value : values) {
    int cut = value.empty() ? 0 : static_cast<unsigned char>(value[0]);
    writer.w("<v ").attr("a", value.c_str()).w(' ').attrf("f", "%s", cut, value.c_str()).w("/>");
  }
  writer.w("</doc>\n");

  const std::string& document = writer.str();
  xmlDocPtr parsed = xmlReadMemory(document.data(), static_cast<int>(document.size()), nullptr, "UTF-8",
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (parsed == nullptr) std::abort();  // not well-formed
  xmlNodePtr element = xmlDocGetRootElement(parsed)->children;
  for (const std::string& value : values) {
    if (element == nullptr) std::abort();  // a value broke out of its element
    if (carriedAsWritten(value)) {
      xmlChar* read = xmlGetProp(element, BAD_CAST "a");
      bool same = read != nullptr && expectedValue(value) == reinterpret_cast<const char*>(read);
      xmlFree(read);
      if (!same) std::abort();
    }
    element = element->next;
  }
  xmlFreeDoc(parsed);
  return 0;
}
