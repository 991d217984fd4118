#include "daemon/SupplicantText.h"

#include <cstdlib>
#include <cstring>

namespace supplicant {

namespace {

// How the supplicant writes a variable's value.
enum class Kind {
  Word,    // numbers, words (key_mgmt, pairwise, ...), BSSIDs: bare
  Text,    // strings: quoted or hex
  Secret,  // strings the supplicant shows masked as "*"
  Psk,     // a secret, or a raw key of 64 hex digits
  WepKey,  // a secret, or a raw key in hex
  Bssid,   // a BSSID, all zeros meaning none
};

constexpr struct {
  const char* name;
  Kind kind;
} kKinds[] = {
    {"ssid", Kind::Text},
    {"identity", Kind::Text},
    {"anonymous_identity", Kind::Text},
    {"ca_cert", Kind::Text},
    {"ca_path", Kind::Text},
    {"client_cert", Kind::Text},
    {"private_key", Kind::Text},
    {"phase1", Kind::Text},
    {"phase2", Kind::Text},
    {"ca_cert2", Kind::Text},
    {"ca_path2", Kind::Text},
    {"client_cert2", Kind::Text},
    {"private_key2", Kind::Text},
    {"password", Kind::Secret},
    {"private_key_passwd", Kind::Secret},
    {"private_key_passwd2", Kind::Secret},
    {"psk", Kind::Psk},
    {"wep_key0", Kind::WepKey},
    {"wep_key1", Kind::WepKey},
    {"wep_key2", Kind::WepKey},
    {"wep_key3", Kind::WepKey},
    {"bssid", Kind::Bssid},
};

constexpr const char* kMasked = "*";
constexpr const char* kEmptyQuoted = "\"\"";
constexpr const char* kNoBssid = "00:00:00:00:00:00";
constexpr size_t kRawPskLength = 64;
// Raw WEP keys: 40, 104 and 128 bits.
constexpr size_t kRawWepLengths[] = {10, 26, 32};
// The supplicant's reply to LIST_NETWORKS stops short of 4096 bytes; a reply
// this close to it may have left networks out.
constexpr size_t kFullReply = 4096 - 256;

Kind kindOf(const char* name) {
  for (const auto& entry : kKinds) {
    if (std::strcmp(entry.name, name) == 0) return entry.kind;
  }
  return Kind::Word;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isHex(const std::string& text) {
  for (char c : text) {
    if (hexDigit(c) < 0) return false;
  }
  return !text.empty();
}

bool isQuoted(const std::string& text) {
  return text.size() >= 2 && text.front() == '"' && text.back() == '"';
}

bool needsHex(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c > 0x7e || c == '"' || c == '\\') return true;
  }
  return false;
}

std::string quotedOrHex(const std::string& text) {
  if (!needsHex(text)) return '"' + text + '"';
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : text) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 0xf];
  }
  return hex;
}

bool isRawWepKey(const std::string& text) {
  for (size_t length : kRawWepLengths) {
    if (text.size() == length && isHex(text)) return true;
  }
  return false;
}

// A string variable's text: quoted ("say "hi"" loses only the outer
// quotes) or hex.
bool textFromDaemon(const std::string& reply, std::string* value) {
  if (isQuoted(reply)) {
    *value = reply.substr(1, reply.size() - 2);
    return true;
  }
  if (!isHex(reply) || reply.size() % 2 != 0) {
    *value = reply;
    return true;
  }
  std::string decoded;
  for (size_t i = 0; i < reply.size(); i += 2) {
    char byte = static_cast<char>(hexDigit(reply[i]) * 16 + hexDigit(reply[i + 1]));
    if (byte == '\0') return false;
    decoded += byte;
  }
  *value = decoded;
  return true;
}

// The SSID field of a tab-separated line, counted from 0; the others as they are.
std::string withDecodedField(const std::string& line, size_t ssidField) {
  std::string result;
  size_t field = 0;
  size_t start = 0;
  for (;;) {
    size_t end = line.find('\t', start);
    std::string text = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    result += field == ssidField ? decodeEscapes(text) : text;
    if (end == std::string::npos) return result;
    result += '\t';
    start = end + 1;
    ++field;
  }
}

}  // namespace

bool valueFromDaemon(const char* name, const std::string& reply, std::string* value) {
  switch (kindOf(name)) {
    case Kind::Word:
    case Kind::Bssid:
      *value = reply;
      return true;
    case Kind::Secret:
    case Kind::Psk:
    case Kind::Text:
      return textFromDaemon(reply, value);
    case Kind::WepKey:
      // Unquoted is the raw key in hex, which the library keeps as it is.
      *value = isQuoted(reply) ? reply.substr(1, reply.size() - 2) : reply;
      return true;
  }
  return false;
}

std::string valueToDaemon(const char* name, const char* value) {
  std::string text = value == nullptr ? "" : value;
  if (text == kEmptyQuoted) return text;
  switch (kindOf(name)) {
    case Kind::Word:
      return text;
    case Kind::Bssid:
      return text.empty() || text == kNoBssid ? "any" : text;
    case Kind::Text:
      return quotedOrHex(text);
    case Kind::Secret:
      return text == kMasked ? text : quotedOrHex(text);
    case Kind::Psk:
      return text == kMasked || (text.size() == kRawPskLength && isHex(text)) ? text : quotedOrHex(text);
    case Kind::WepKey:
      return text == kMasked || isRawWepKey(text) ? text : quotedOrHex(text);
  }
  return text;
}

std::string decodeEscapes(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (text[i] != '\\') {
      decoded += text[i];
    } else if (next == '\\' || next == '"') {
      decoded += next;
      ++i;
    } else if (next == 'x' && i + 3 < text.size() && hexDigit(text[i + 2]) >= 0 &&
               hexDigit(text[i + 3]) >= 0 && hexDigit(text[i + 2]) >= 2) {
      // Control characters (below 0x20) stay escaped: a TAB or newline
      // would split the line.
      decoded += static_cast<char>(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3]));
      i += 3;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

bool splitWholeLines(const std::string& reply, std::vector<std::string>* lines) {
  size_t start = 0;
  for (size_t end = reply.find('\n'); end != std::string::npos; end = reply.find('\n', start)) {
    if (end > start) lines->push_back(reply.substr(start, end - start));
    start = end + 1;
  }
  return start < reply.size();
}

std::string statusLineFromDaemon(const std::string& line) {
  return line.compare(0, 5, "ssid=") == 0 ? "ssid=" + decodeEscapes(line.substr(5)) : line;
}

std::string scanLineFromDaemon(const std::string& line) {
  // bssid, frequency, signal level, flags, ssid
  constexpr size_t kLevelField = 2;
  constexpr size_t kSsidField = 4;
  std::string decoded = withDecodedField(line, kSsidField);
  size_t start = 0;
  for (size_t field = 0; field < kLevelField && start != std::string::npos; ++field) {
    start = decoded.find('\t', start);
    if (start != std::string::npos) ++start;
  }
  if (start == std::string::npos || decoded.compare(start, 1, "-") != 0) return decoded;
  size_t end = decoded.find('\t', start);
  long level = 256 + std::atol(decoded.c_str() + start);
  if (level < 0) level = 0;
  return decoded.substr(0, start) + std::to_string(level) +
         (end == std::string::npos ? std::string() : decoded.substr(end));
}

bool isHeaderLine(const std::string& line) {
  return line.compare(0, 12, "network id /") == 0 || line.compare(0, 7, "bssid /") == 0;
}

bool readNetworkList(const Ask& ask, uint8_t maxCount, std::vector<std::string>* lines) {
  constexpr size_t kSsidField = 1;
  std::string command = "LIST_NETWORKS";
  int lastId = -1;
  for (;;) {
    std::string reply;
    if (!ask(command, &reply)) return false;
    std::vector<std::string> page;
    bool cut = splitWholeLines(reply, &page);
    bool added = false;
    for (const std::string& line : page) {
      if (isHeaderLine(line)) continue;
      // Identifiers rise along the list; a supplicant that ignores LAST_ID
      // starts over, and those lines are already read.
      int id = std::atoi(line.c_str());
      if (id <= lastId) return true;
      if (lines->size() >= maxCount) return true;
      lines->push_back(withDecodedField(line, kSsidField));
      lastId = id;
      added = true;
    }
    if (!added || (!cut && reply.size() < kFullReply)) return true;
    command = "LIST_NETWORKS LAST_ID=" + std::to_string(lastId);
  }
}

}  // namespace supplicant
