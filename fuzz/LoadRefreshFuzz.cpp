// Arbitrary daemon answers through the load, the refresh, the status
// queries, the XML document and the save, on one host settings object that
// every input reloads. The input is split at NUL bytes into the network
// list (its first four lines: more only repeat the same work), the scan
// results, the status report and the variable values (of networks 0 and 1,
// in the order the load asks them); each at line feeds. The daemon's
// failures are left to the unit tests: a failed load tears the object down,
// and only a new one, with a new watchdog thread, would load again.
#include <algorithm>

#include "core/WifiHostSettings.h"
#include "fuzz/FuzzSupport.h"
#include "orv/OrvTestClock.h"
#include "platform/XWriter.h"
#include "tests/daemon/DaemonScript.h"

namespace {

constexpr const char* kVariables[] = {
    "disabled", "bssid", "mode", "priority", "key_mgmt", "psk", "pairwise", "group", "proto", "eap",
    "auth_alg", "wep_tx_keyidx", "wep_key0", "wep_key1", "wep_key2", "wep_key3", "scan_ssid",
    "identity", "anonymous_identity", "password", "private_key_passwd", "ca_cert", "phase1", "phase2"};

// A host with one adapter and nothing else, where every input starts and
// ends, so that each input releases what it allocated (libFuzzer's leak
// check then has no reason to run).
void scriptIdleHost() { script().reset().adapters({"wlan0", "wlan1"}).networks({}).status({}); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static WifiHostSettings* settings = [] {
    fuzz::useOwnKeyFile();
    orv_test::setClock(1000000);
    scriptIdleHost();
    return WifiHostSettings::getInstance(nullptr);
  }();
  std::vector<std::string> sections = fuzz::splitAt(fuzz::text(data, size), '\0');
  sections.resize(4);
  script().reset().adapters({"wlan0", "wlan1"}).result("saveConfig", true);
  std::vector<std::string> networks = fuzz::splitAt(sections[0], '\n');
  networks.resize(std::min<size_t>(networks.size(), 4));
  script().networks(networks).scanResults(fuzz::splitAt(sections[1], '\n')).status(fuzz::splitAt(sections[2], '\n'));
  std::vector<std::string> values = fuzz::splitAt(sections[3], '\n');
  for (size_t i = 0; i < std::size(kVariables) && i < values.size(); ++i) {
    script().variable(0, kVariables[i], values[i]).variable(1, kVariables[i], values[i]);
  }

  settings->reload();
  settings->refreshNetworkList();
  settings->getDaemonStatus("wlan0");
  settings->getCurrentNetwork("wlan1");
  StringXWriter writer;
  settings->writeXml(&writer, nullptr, true);
  settings->save();

  scriptIdleHost();
  settings->reload();
  return 0;
}
