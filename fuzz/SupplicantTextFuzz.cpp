// The supplicant backend's translation on its own. The first byte picks the
// variable; the rest, split at NUL bytes, is a reply, then the pages of a
// network list. A value read from a reply must read back the same from the
// form it is written in, for the text variables.
#include <cstdlib>

#include "daemon/SupplicantText.h"
#include "fuzz/FuzzSupport.h"

namespace {

// The text variables first, then the others.
constexpr const char* kNames[] = {"ssid", "identity", "phase1", "ca_path2", "password", "psk",
                                  "wep_key1", "bssid", "key_mgmt", "priority"};
constexpr size_t kTextNames = 4;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t pick = data[0] % std::size(kNames);
  std::vector<std::string> parts = fuzz::splitAt(fuzz::text(data + 1, size - 1), '\0');
  const std::string& reply = parts[0];

  std::string value;
  if (supplicant::valueFromDaemon(kNames[pick], reply, &value)) {
    std::string written = supplicant::valueToDaemon(kNames[pick], value.c_str());
    std::string back;
    bool readBack = supplicant::valueFromDaemon(kNames[pick], written, &back);
    // Two quote characters are how an empty text is written, so they read back empty.
    bool mustRoundTrip = pick < kTextNames && value.find('\0') == std::string::npos && value != "\"\"";
    if (mustRoundTrip && (!readBack || back != value)) std::abort();
  }
  std::vector<std::string> lines;
  supplicant::splitWholeLines(reply, &lines);
  for (const std::string& line : lines) {
    supplicant::isHeaderLine(line);
    supplicant::statusLineFromDaemon(line);
    supplicant::scanLineFromDaemon(line);
  }

  size_t page = 1;
  auto ask = [&](const std::string&, std::string* answer) {
    if (page >= parts.size()) return false;
    *answer = parts[page++];
    return true;
  };
  lines.clear();
  if (supplicant::readNetworkList(ask, 32, &lines) && lines.size() > 32) std::abort();
  return 0;
}
