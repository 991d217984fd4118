// Writing the changed parameters back to the daemon, then asking it to
// store and reload its configuration.
#include <cstdio>
#include <cstring>

#include "core/ScopedLock.h"
#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "core/WifiRefreshWatchdog.h"
#include "daemon/DaemonText.h"
#include "daemon/WifiDaemon.h"
#include "model/WifiNetwork.h"

namespace {

constexpr const char* kNoBssid = "00:00:00:00:00:00";
// The daemon's empty quoted string, sent for a text that is not set.
constexpr const char* kAbsentText = "\"\"";
// A secret shown as "*" was never read back from the daemon: keep its value.
constexpr const char* kHiddenSecret = "*";

// What one row does for a network whose row flag is set: the value to write
// (null: nothing written) and whether the flag is cleared.
struct Rendered {
  const char* value;
  bool clear;
};

using Render = Rendered (*)(const WifiNetwork& network, char* buffer);

struct SaveRow {
  const char* variable;
  WifiNetwork::Change flag;
  Render render;
};

struct Word {
  uint32_t value;
  const char* text;
};

constexpr Word kKeyManagementWords[] = {{KEY_MGMT_NONE, "NONE"},
                                        {KEY_MGMT_WPA_PSK, "WPA-PSK"},
                                        {KEY_MGMT_WPA_EAP, "WPA-EAP"},
                                        {KEY_MGMT_IEEE8021X, "IEEE8021X"},
                                        {KEY_MGMT_WPA_NONE, "WPA-NONE"}};
constexpr Word kAuthenticationWords[] = {{AUTH_OPEN, "OPEN"}, {AUTH_SHARED, "SHARED"}, {AUTH_LEAP, "LEAP"}};
constexpr Word kPairwiseWords[] = {{CIPHER_CCMP, "CCMP"}, {CIPHER_TKIP, "TKIP"}, {CIPHER_NONE, "NONE"}};
constexpr Word kGroupWords[] = {
    {CIPHER_CCMP, "CCMP"}, {CIPHER_TKIP, "TKIP"}, {CIPHER_WEP40, "WEP40"}, {CIPHER_WEP104, "WEP104"}};
constexpr Word kEapWords[] = {{EAP_TLS, "TLS"},   {EAP_PEAP, "PEAP"},         {EAP_TTLS, "TTLS"},
                              {EAP_MD5, "MD5"},   {EAP_LEAP, "LEAP"},         {EAP_MSCHAPV2, "MSCHAPV2"},
                              {EAP_GTC, "GTC"},   {EAP_OTP, "OTP"},           {EAP_FAST, "FAST"},
                              {EAP_PSK, "PSK"},   {EAP_PAX, "PAX"}};
constexpr Word kProtocolWords[] = {{PROTOCOL_WPA, "WPA"}, {PROTOCOL_RSN, "RSN"}};

// An enumerated field writes the word of a single value only. A value of 0
// writes nothing and keeps the flag; any other value without a word writes
// nothing and clears it.
template <uint32_t (WifiNetwork::*get)() const, const auto& words>
Rendered enumerated(const WifiNetwork& network, char*) {
  uint32_t value = (network.*get)();
  if (value == 0) return {nullptr, false};
  for (const Word& word : words) {
    if (word.value == value) return {word.text, true};
  }
  return {nullptr, true};
}

template <typename T, T (WifiNetwork::*get)() const>
Rendered number(const WifiNetwork& network, char* buffer) {
  std::snprintf(buffer, kValueSize, "%d", static_cast<int>((network.*get)()));
  return {buffer, true};
}

template <WifiNetwork::TextField field>
Rendered plainText(const WifiNetwork& network, char*) {
  const char* value = network.getText(field);
  return {value != nullptr ? value : kAbsentText, true};
}

const char* secretValue(const char* value) {
  if (value == nullptr) return kAbsentText;
  return std::strcmp(value, kHiddenSecret) == 0 ? nullptr : value;
}

template <WifiNetwork::TextField field>
Rendered secretText(const WifiNetwork& network, char*) {
  return {secretValue(network.getText(field)), true};
}

template <uint32_t index>
Rendered wepKey(const WifiNetwork& network, char*) {
  return {secretValue(network.getWepKey(index)), true};
}

Rendered ssid(const WifiNetwork& network, char*) {
  const char* value = network.getSsid();
  return {value, value != nullptr};
}

Rendered bssid(const WifiNetwork& network, char*) {
  const char* value = network.getBssid();
  if (value == nullptr || std::strcmp(value, "any") == 0) value = kNoBssid;
  return {value, true};
}

Rendered scanSsid(const WifiNetwork& network, char*) {
  return {network.getSsidBroadcasted() ? "0" : "1", true};
}

using W = WifiNetwork;

// The rows in the order they are written.
constexpr SaveRow kSaveRows[] = {
    {"ssid", W::CHANGED_Ssid, ssid},
    {"bssid", W::CHANGED_Bssid, bssid},
    {"scan_ssid", W::CHANGED_SsidBroadcasted, scanSsid},
    {"key_mgmt", W::CHANGED_KeyManagement, enumerated<&W::getKeyManagement, kKeyManagementWords>},
    {"priority", W::CHANGED_Priority, number<int32_t, &W::getPriority>},
    {"mode", W::CHANGED_Mode, number<uint8_t, &W::getMode>},
    {"auth_alg", W::CHANGED_Authentication, enumerated<&W::getAuthentication, kAuthenticationWords>},
    {"pairwise", W::CHANGED_Pairwise, enumerated<&W::getPairwise, kPairwiseWords>},
    {"group", W::CHANGED_Group, enumerated<&W::getGroup, kGroupWords>},
    {"eap", W::CHANGED_EapMethod, enumerated<&W::getEapMethod, kEapWords>},
    {"proto", W::CHANGED_Protocol, enumerated<&W::getProtocol, kProtocolWords>},
    {"wep_tx_keyidx", W::CHANGED_WepIndex, number<uint32_t, &W::getWepIndex>},
    {"wep_key0", W::CHANGED_WepKey0, wepKey<0>},
    {"wep_key1", W::CHANGED_WepKey1, wepKey<1>},
    {"wep_key2", W::CHANGED_WepKey2, wepKey<2>},
    {"wep_key3", W::CHANGED_WepKey3, wepKey<3>},
    {"identity", W::CHANGED_EapIdentity, plainText<W::TEXT_EapIdentity>},
    {"anonymous_identity", W::CHANGED_EapAnonymousIdentity, plainText<W::TEXT_EapAnonymousIdentity>},
    {"password", W::CHANGED_EapPassword, secretText<W::TEXT_EapPassword>},
    {"psk", W::CHANGED_PreSharedKey, secretText<W::TEXT_PreSharedKey>},
    {"ca_cert", W::CHANGED_CaCertificateFile, plainText<W::TEXT_CaCertificateFile>},
    {"ca_path", W::CHANGED_CaCertificateDir, plainText<W::TEXT_CaCertificateDir>},
    {"client_cert", W::CHANGED_ClientCertificate, plainText<W::TEXT_ClientCertificate>},
    {"private_key", W::CHANGED_PrivateKeyFile, plainText<W::TEXT_PrivateKeyFile>},
    {"private_key_passwd", W::CHANGED_PrivateKeyPassword, secretText<W::TEXT_PrivateKeyPassword>},
    {"phase1", W::CHANGED_Phase1, plainText<W::TEXT_Phase1>},
    {"phase2", W::CHANGED_Phase2, plainText<W::TEXT_Phase2>},
    {"ca_cert2", W::CHANGED_CaCertificateFile2, plainText<W::TEXT_CaCertificateFile2>},
    {"ca_path2", W::CHANGED_CaCertificateDir2, plainText<W::TEXT_CaCertificateDir2>},
    {"client_cert2", W::CHANGED_ClientCertificate2, plainText<W::TEXT_ClientCertificate2>},
    {"private_key2", W::CHANGED_PrivateKeyFile2, plainText<W::TEXT_PrivateKeyFile2>},
    {"private_key_passwd2", W::CHANGED_PrivateKeyPassword2, secretText<W::TEXT_PrivateKeyPassword2>},
};

void writeNetwork(WifiDaemon& daemon, const char* adapter, WifiNetwork& network) {
  char buffer[kValueSize];
  uint8_t id = network.getNetworkId();
  for (const SaveRow& row : kSaveRows) {
    if (!network.isChanged(row.flag)) continue;
    Rendered rendered = row.render(network, buffer);
    if (rendered.value != nullptr) {
      daemon.setNetworkVariable(adapter, id, row.variable, rendered.value);
      if (row.flag == W::CHANGED_Bssid) daemon.setNetworkBssid(adapter, id, row.variable, rendered.value);
    }
    if (rendered.clear) network.setChanged(row.flag, false);
  }
}

}  // namespace

bool WifiHostSettings::save() {
  ScopedLock<WifiHostSettings> held(*this);
  WifiDaemon* daemon = WifiDaemon::getInstance();
  if (daemon == nullptr) return false;

  bool membershipChanged = false;
  bool networksChanged = false;
  if (networkDatabase_ != nullptr) {
    membershipChanged = !networkDatabase_->isUnchanged();
    const char* adapter = adapters_ != nullptr ? adapters_[0] : nullptr;
    for (WifiNetwork* network = networkDatabase_->first(); network != nullptr; network = network->getNext()) {
      if (!network->hasChanges()) continue;
      networksChanged = true;
      writeNetwork(*daemon, adapter, *network);
    }
  }

  bool result = true;
  if (membershipChanged || networksChanged) {
    result = false;
    for (uint8_t i = 0; i < adapterCount_; ++i) {
      if (adapters_[i] != nullptr) result = daemon->saveConfig(adapters_[i]);
    }
    if (result) {
      for (uint8_t i = 0; i < adapterCount_; ++i) {
        if (adapters_[i] != nullptr) daemon->reloadConfig(adapters_[i]);
      }
      if (refreshWatchdog_ != nullptr) refreshWatchdog_->signalRefresh();
    }
  }
  if (networkDatabase_ != nullptr && result) networkDatabase_->markUnchanged();
  return result;
}
