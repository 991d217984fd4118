// Feeds arbitrary daemon answers through the load, the refresh, the status
// queries, the save and the XML document. The input is split at NUL bytes
// into sections: network list, scan results, status report, then variable
// values handed to every network for every variable name; each section's
// lines are split at line feeds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/WifiHostSettings.h"
#include "platform/XWriter.h"
#include "tests/daemon/DaemonScript.h"

namespace {

std::vector<std::string> splitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

constexpr const char* kVariables[] = {
    "disabled", "bssid",  "mode",    "priority", "key_mgmt", "psk",      "pairwise", "group",
    "proto",    "eap",    "auth_alg", "wep_tx_keyidx", "wep_key0", "wep_key1", "wep_key2", "wep_key3",
    "scan_ssid", "identity", "password", "phase1"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> sections = splitAt(std::string(reinterpret_cast<const char*>(data), size), '\0');
  sections.resize(4);
  script().reset().adapters({"wlan0", "wlan1"}).result("saveConfig", true);
  script().networks(splitAt(sections[0], '\n'))
      .scanResults(splitAt(sections[1], '\n'))
      .status(splitAt(sections[2], '\n'));
  std::vector<std::string> values = splitAt(sections[3], '\n');
  for (int id = 0; id < 256; id += 17) {
    for (size_t i = 0; i < std::size(kVariables) && i < values.size(); ++i) {
      script().variable(static_cast<uint8_t>(id), kVariables[i], values[i]);
    }
  }

  WifiHostSettings* settings = WifiHostSettings::recreateInstance(nullptr);
  settings->refreshNetworkList();
  settings->getDaemonStatus("wlan0");
  settings->getCurrentNetwork("wlan1");
  StringXWriter writer;
  settings->writeXml(&writer, nullptr, true);
  settings->save();
  WifiHostSettings::destroyInstance();
  return 0;
}
