// Filling the host settings from the daemon: adapters, the configured
// networks with their variables, the scan results and the status report.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/ScopedLock.h"
#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "daemon/DaemonText.h"
#include "daemon/WifiDaemon.h"
#include "model/WifiNetwork.h"

namespace {

constexpr const char* kNoBssid = "00:00:00:00:00:00";

struct Word {
  const char* text;
  uint32_t value;
};

// Adds to the field the bit of the first word found in value.
template <size_t N>
uint32_t firstFoundBit(const char* value, const Word (&words)[N]) {
  for (const Word& word : words) {
    if (std::strstr(value, word.text) != nullptr) return word.value;
  }
  return 0;
}

// Adds to the field the bits of every word found in value.
template <size_t N>
uint32_t everyFoundBit(const char* value, const Word (&words)[N]) {
  uint32_t bits = 0;
  for (const Word& word : words) {
    if (std::strstr(value, word.text) != nullptr) bits |= word.value;
  }
  return bits;
}

constexpr Word kKeyManagementWords[] = {{"WPA-NONE", KEY_MGMT_WPA_NONE},
                                        {"NONE", KEY_MGMT_NONE},
                                        {"WPA-EAP", KEY_MGMT_WPA_EAP},
                                        {"WPA-PSK", KEY_MGMT_WPA_PSK},
                                        {"IEEE8021X", KEY_MGMT_IEEE8021X}};
constexpr Word kPairwiseWords[] = {{"TKIP", CIPHER_TKIP}, {"CCMP", CIPHER_CCMP}, {"NONE", CIPHER_NONE}};
constexpr Word kGroupWords[] = {{"TKIP", CIPHER_TKIP},
                                {"CCMP", CIPHER_CCMP},
                                {"WEP104", CIPHER_WEP104},
                                {"WEP40", CIPHER_WEP40}};
constexpr Word kProtocolWords[] = {{"WPA", PROTOCOL_WPA}, {"RSN", PROTOCOL_RSN}};
constexpr Word kEapWords[] = {{"TTLS", EAP_TTLS}, {"TLS", EAP_TLS},   {"PEAP", EAP_PEAP},
                              {"LEAP", EAP_LEAP}, {"MD5", EAP_MD5},   {"MSCHAPV2", EAP_MSCHAPV2},
                              {"GTC", EAP_GTC},   {"OTP", EAP_OTP},   {"PSK", EAP_PSK},
                              {"PAX", EAP_PAX},   {"FAST", EAP_FAST}};
constexpr Word kAuthenticationWords[] = {{"OPEN", AUTH_OPEN}, {"SHARED", AUTH_SHARED}, {"LEAP", AUTH_LEAP}};

using Network = WifiNetwork;

// One variable query of the load: what a value does to the record, and what
// a failed query does.
struct VariableRow {
  const char* name;
  void (*found)(Network& network, const char* value);
  void (*missing)(Network& network);
};

void nothing(Network&) {}

template <WifiNetwork::TextField field>
void storeText(Network& network, const char* value) {
  network.setText(field, value);
}

// The variables in the order the daemon is asked. The WEP rows come after
// the first eleven and are asked only for networks whose key management
// allows WEP; the table is split there.
constexpr VariableRow kLeadingRows[] = {
    {"disabled",
     [](Network& n, const char* v) {
       if (std::atoi(v) != 0) n.setStatus(NETWORK_STATUS_DISABLED);
     },
     nothing},
    {"bssid", [](Network& n, const char* v) { n.setBssid(v); },
     [](Network& n) { n.setBssid(kNoBssid); }},
    {"mode", [](Network& n, const char* v) { n.setMode(static_cast<uint8_t>(std::atoi(v))); }, nothing},
    {"priority", [](Network& n, const char* v) { n.setPriority(std::atoi(v)); }, nothing},
    {"key_mgmt",
     [](Network& n, const char* v) {
       n.setKeyManagement(n.getKeyManagement() | firstFoundBit(v, kKeyManagementWords));
     },
     [](Network& n) { n.setKeyManagement(KEY_MGMT_WPA_PSK | KEY_MGMT_WPA_EAP); }},
    {"psk", storeText<WifiNetwork::TEXT_PreSharedKey>, nothing},
    {"pairwise", [](Network& n, const char* v) { n.setPairwise(n.getPairwise() | everyFoundBit(v, kPairwiseWords)); },
     [](Network& n) { n.setPairwise(CIPHER_TKIP | CIPHER_CCMP); }},
    {"group", [](Network& n, const char* v) { n.setGroup(n.getGroup() | everyFoundBit(v, kGroupWords)); },
     [](Network& n) { n.setGroup(CIPHER_TKIP | CIPHER_CCMP | CIPHER_WEP104 | CIPHER_WEP40); }},
    {"proto", [](Network& n, const char* v) { n.setProtocol(n.getProtocol() | everyFoundBit(v, kProtocolWords)); },
     [](Network& n) { n.setProtocol(PROTOCOL_WPA | PROTOCOL_RSN); }},
    {"eap", [](Network& n, const char* v) { n.setEapMethod(n.getEapMethod() | firstFoundBit(v, kEapWords)); },
     nothing},
    {"auth_alg",
     [](Network& n, const char* v) {
       uint32_t algorithm = firstFoundBit(v, kAuthenticationWords);
       n.setAuthentication(algorithm != 0 ? algorithm : AUTH_AUTO);
     },
     nothing},
};

constexpr VariableRow kWepRows[] = {
    {"wep_key0", [](Network& n, const char* v) { n.setWepKey(0, v); }, nothing},
    {"wep_key1", [](Network& n, const char* v) { n.setWepKey(1, v); }, nothing},
    {"wep_key2", [](Network& n, const char* v) { n.setWepKey(2, v); }, nothing},
    {"wep_key3", [](Network& n, const char* v) { n.setWepKey(3, v); }, nothing},
};

constexpr VariableRow kTrailingRows[] = {
    {"scan_ssid", [](Network& n, const char* v) { n.setSsidBroadcasted(std::strcmp(v, "0") == 0); }, nothing},
    {"identity", storeText<WifiNetwork::TEXT_EapIdentity>, nothing},
    {"anonymous_identity", storeText<WifiNetwork::TEXT_EapAnonymousIdentity>, nothing},
    {"password", storeText<WifiNetwork::TEXT_EapPassword>, nothing},
    {"private_key_passwd", storeText<WifiNetwork::TEXT_PrivateKeyPassword>, nothing},
    {"ca_cert", storeText<WifiNetwork::TEXT_CaCertificateFile>, nothing},
    {"ca_path", storeText<WifiNetwork::TEXT_CaCertificateDir>, nothing},
    {"client_cert", storeText<WifiNetwork::TEXT_ClientCertificate>, nothing},
    {"private_key", storeText<WifiNetwork::TEXT_PrivateKeyFile>, nothing},
    {"phase1", storeText<WifiNetwork::TEXT_Phase1>, nothing},
    {"phase2", storeText<WifiNetwork::TEXT_Phase2>, nothing},
    {"private_key_passwd2", storeText<WifiNetwork::TEXT_PrivateKeyPassword2>, nothing},
    {"ca_cert2", storeText<WifiNetwork::TEXT_CaCertificateFile2>, nothing},
    {"ca_path2", storeText<WifiNetwork::TEXT_CaCertificateDir2>, nothing},
    {"client_cert2", storeText<WifiNetwork::TEXT_ClientCertificate2>, nothing},
    {"private_key2", storeText<WifiNetwork::TEXT_PrivateKeyFile2>, nothing},
};

class VariableReader {
 public:
  VariableReader(WifiDaemon& daemon, const char* adapter, Network& network)
      : daemon_(daemon), adapter_(adapter), network_(network) {
    // Zeroed once per network: each value carries its own terminator.
    std::memset(value_, 0, sizeof value_);
  }

  bool ask(const char* name) {
    return daemon_.getNetworkVariable(adapter_, network_.getNetworkId(), name, value_, kValueSize);
  }

  template <size_t N>
  void apply(const VariableRow (&rows)[N]) {
    for (const VariableRow& row : rows) {
      if (ask(row.name)) {
        row.found(network_, value_);
      } else {
        row.missing(network_);
      }
    }
  }

  const char* value() const { return value_; }

 private:
  WifiDaemon& daemon_;
  const char* adapter_;
  Network& network_;
  char value_[kValueSize];
};

bool allowsWep(const Network& network) {
  return (network.getKeyManagement() & (KEY_MGMT_NONE | KEY_MGMT_IEEE8021X)) != 0;
}

}  // namespace

bool WifiHostSettings::loadNetworkDatabase() {
  adapters_ = static_cast<char**>(::operator new(sizeof(char*) * kAdapterCapacity));
  for (uint8_t i = 0; i < kAdapterCapacity; ++i) adapters_[i] = nullptr;

  WifiDaemon* daemon = WifiDaemon::getInstance();
  if (daemon == nullptr) return false;
  if (!daemon->getAdapters(adapters_, kAdapterCapacity, &adapterCount_)) return false;
  if (adapterCount_ > kAdapterCapacity) adapterCount_ = kAdapterCapacity;
  if (adapterCount_ == 0 || adapters_[0] == nullptr) return false;
  const char* adapter = adapters_[0];

  LineArray list(kListCapacity);
  if (!daemon->listNetworks(adapter, list.entries(), list.capacity(), list.count())) return false;
  for (uint8_t i = 0; i < list.size(); ++i) {
    if (list.line(i) != nullptr) loadNetwork(*daemon, list.line(i));
  }
  if (networkDatabase_ != nullptr) networkDatabase_->markUnchanged();

  LineArray scan(kScanCapacity);
  if (list.size() != 0) {
    if (!daemon->getScanLines(adapter, scan.entries(), scan.capacity(), scan.count())) return false;
    if (networkDatabase_ != nullptr) mergeScanLines(*networkDatabase_, scan);
  }

  LineArray status(kStatusCapacity);
  if (!daemon->getStatus(adapter, status.entries(), status.capacity(), status.count())) return false;
  readLoadStatus(status);
  return true;
}

void WifiHostSettings::loadNetwork(WifiDaemon& daemon, const char* line) {
  std::unique_ptr<WifiNetwork> network(new WifiNetwork());
  WorkingLine fields(line);
  const char* identifier = fields.nextField("\t");
  if (identifier == nullptr) return;
  network->setNetworkId(static_cast<uint8_t>(std::atoi(identifier)));

  const char* field = fields.nextField("\t");
  if (field == nullptr) return;
  auto isBssid = [](const char* text) { return std::strcmp(text, "any") == 0 || std::strchr(text, ':') != nullptr; };
  if (isBssid(field)) {
    // The SSID column was empty, so this is already the BSSID.
    network->setSsid("SSID N/A");
    network->setBssid(std::strcmp(field, "any") == 0 ? kNoBssid : field);
  } else {
    network->setSsid(field);
    const char* bssid = fields.nextField("\t");
    if (bssid == nullptr) return;
    network->setBssid(std::strchr(bssid, ':') != nullptr ? bssid : kNoBssid);
  }

  bool current = false;
  if (std::strstr(line, "[DISABLED]") != nullptr) {
    network->setStatus(NETWORK_STATUS_DISABLED);
  } else if (std::strstr(line, "[CURRENT]") != nullptr) {
    network->setStatus(NETWORK_STATUS_CONNECTING);
    current = true;
  } else {
    network->setStatus(NETWORK_STATUS_ENABLED);
  }

  VariableReader reader(daemon, adapters_[0], *network);
  reader.apply(kLeadingRows);
  if (allowsWep(*network)) {
    if (reader.ask("wep_tx_keyidx")) {
      network->setWepIndex(static_cast<uint32_t>(std::atoi(reader.value())));
      reader.apply(kWepRows);
    }
  }
  reader.apply(kTrailingRows);
  network->clearChanges();

  // A record the database refuses (its SSID is already there) is dropped
  // here, so it can never be left behind as the current network.
  if (networkDatabase_ == nullptr || !networkDatabase_->add(network.get())) return;
  WifiNetwork* added = network.release();
  if (current) {
    ScopedMutex held(&mutex_);
    currentNetwork_ = added;
  }
}

void WifiHostSettings::readLoadStatus(LineArray& status) {
  for (uint8_t i = 0; i < status.size(); ++i) {
    const char* line = status.line(i);
    if (line == nullptr || std::strstr(line, "bssid=") != nullptr) continue;
    if (std::strstr(line, "ssid=") != nullptr) {
      followReportedSsid(adapters_[0], std::strchr(line, '=') + 1, false);
      continue;
    }
    if (std::strstr(line, "id=") != nullptr || std::strstr(line, "ip_address=") != nullptr ||
        std::strstr(line, "group_cipher=") != nullptr || std::strstr(line, "pairwise_cipher=") != nullptr ||
        std::strstr(line, "key_mgmt=") != nullptr) {
      continue;
    }
    if (std::strstr(line, "wpa_state=") != nullptr) daemonState_ = daemonStateOf(line);
  }
  settleCurrentNetwork();
}
