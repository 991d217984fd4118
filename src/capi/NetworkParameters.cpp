// setNetworkParameters: key and value texts applied to one record through a
// fixed key vocabulary; and setHostParameters.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/ScopedLock.h"
#include "core/WifiHostSettings.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"
#include "platform/Crypt.h"
#include "wireless/wireless.h"

namespace {

// Applies one value (may be null) to a record.
using Apply = void (*)(WifiNetwork& net, const char* value, ErrorHandler* handler);

// ---- Conversions -----------------------------------------------------------

// atoi of the value; leading digits count, none give 0, null gives 0.
int numberOf(const char* value) { return value != nullptr ? std::atoi(value) : 0; }

template <typename T, bool (WifiNetwork::*Setter)(T)>
void asNumber(WifiNetwork& net, const char* value, ErrorHandler*) {
  (net.*Setter)(static_cast<T>(numberOf(value)));
}

// An empty value clears the field.
template <bool (WifiNetwork::*Setter)(const char*)>
void asText(WifiNetwork& net, const char* value, ErrorHandler*) {
  (net.*Setter)(text::isEmpty(value) ? nullptr : value);
}

template <bool (WifiNetwork::*Setter)(const char*)>
void asIs(WifiNetwork& net, const char* value, ErrorHandler*) {
  (net.*Setter)(value);
}

// The value arrives encrypted; the record holds the plain text. An empty
// value clears the field, one that does not decrypt leaves it alone.
template <bool (WifiNetwork::*Setter)(const char*)>
void asSecret(WifiNetwork& net, const char* value, ErrorHandler* handler) {
  if (text::isEmpty(value)) {
    (net.*Setter)(nullptr);
    return;
  }
  char* plain = nullptr;
  int result = Crypt::decrypt(handler, value, &plain);
  text::Owned held(plain);
  if (result == 0) (net.*Setter)(held.get());
}

template <bool (WifiNetwork::*Setter)(bool)>
void asFlag(WifiNetwork& net, const char* value, ErrorHandler*) {
  (net.*Setter)(value != nullptr && std::strcmp(value, "true") == 0);
}

template <uint32_t Index>
void asWepKey(WifiNetwork& net, const char* value, ErrorHandler*) {
  net.setWepKey(Index, text::isEmpty(value) ? nullptr : value);
}

// One number for both ciphers: 6 stands for pairwise CCMP with group TKIP;
// the WEP ciphers are group-only and NONE pairwise-only.
void asCiphers(WifiNetwork& net, const char* value, ErrorHandler*) {
  uint32_t chosen = static_cast<uint32_t>(numberOf(value));
  uint32_t pairwise = chosen;
  uint32_t group = chosen;
  if (chosen == (CIPHER_TKIP | CIPHER_CCMP)) {
    pairwise = CIPHER_CCMP;
    group = CIPHER_TKIP;
  }
  if (pairwise != CIPHER_WEP40 && pairwise != CIPHER_WEP104) net.setPairwise(pairwise);
  if (group != CIPHER_NONE) net.setGroup(group);
}

// ---- Vocabulary ------------------------------------------------------------

struct KeyRow {
  const char* key;
  Apply apply;  // null: the key is known and deliberately ignored
};

using WN = WifiNetwork;

// Case-sensitive; a key is looked for among the rows of its first character.
constexpr KeyRow kKeys[] = {
    {"authentication", asNumber<uint32_t, &WN::setAuthentication>},
    {"bssid", asIs<&WN::setBssid>},
    {"channel", asNumber<int32_t, &WN::setChannel>},
    {"clientCertificate", asText<&WN::setClientCertificate>},
    {"clientCertificate2", asText<&WN::setClientCertificate2>},
    {"CACertificateFile", asText<&WN::setCaCertificateFile>},
    {"CACertificateDir", asText<&WN::setCaCertificateDir>},
    {"CACertificateFile2", asText<&WN::setCaCertificateFile2>},
    {"CACertificateDir2", asText<&WN::setCaCertificateDir2>},
    {"eapIdentity", asText<&WN::setEapIdentity>},
    {"eapAnonymousIdentity", asText<&WN::setEapAnonymousIdentity>},
    {"eapPassword", asSecret<&WN::setEapPassword>},
    {"encryption", asCiphers},
    {"eap", asNumber<uint32_t, &WN::setEapMethod>},
    {"index", asNumber<uint32_t, &WN::setWepIndex>},  // the record refuses values above 3
    {"key1", asWepKey<0>},
    {"key2", asWepKey<1>},
    {"key3", asWepKey<2>},
    {"key4", asWepKey<3>},
    {"key_mgmt", asNumber<uint32_t, &WN::setKeyManagement>},
    {"mode", asNumber<uint8_t, &WN::setMode>},  // the low 8 bits
    {"phase1", asText<&WN::setPhase1>},
    {"phase2", asText<&WN::setPhase2>},
    {"priority", asNumber<int32_t, &WN::setPriority>},
    {"protocol", asNumber<uint32_t, &WN::setProtocol>},
    {"psk", asSecret<&WN::setPreSharedKey>},
    {"privateKeyFile", asText<&WN::setPrivateKeyFile>},
    {"privateKeyFile2", asText<&WN::setPrivateKeyFile2>},
    {"privateKeyPassword", asSecret<&WN::setPrivateKeyPassword>},
    {"privateKeyPassword2", asSecret<&WN::setPrivateKeyPassword2>},
    {"ssid", nullptr},  // the lookup key; never changed here
    {"strength", asNumber<int32_t, &WN::setStrength>},
    {"status", asNumber<int32_t, &WN::setStatus>},
    {"ssidBroadcasted", asFlag<&WN::setSsidBroadcasted>},
};

const KeyRow* findKey(const char* key) {
  if (key == nullptr || key[0] == '\0') return nullptr;
  for (const KeyRow& row : kKeys) {
    if (row.key[0] == key[0] && std::strcmp(row.key, key) == 0) return &row;
  }
  return nullptr;
}

}  // namespace

bool setNetworkParameters(ErrorHandler* handler, const char* adapter, const char* ssid,
                          const char* const* keys, const char* const* values, uint32_t count) {
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  if (settings == nullptr) return false;
  ScopedLock<WifiHostSettings> held(*settings);
  WifiNetwork* net = settings->findNetwork(adapter, ssid);
  if (net == nullptr) return false;

  for (uint32_t i = 0; i < count; ++i) {
    const KeyRow* row = findKey(keys != nullptr ? keys[i] : nullptr);
    if (row == nullptr || row->apply == nullptr) continue;
    row->apply(*net, values != nullptr ? values[i] : nullptr, handler);
  }
  return true;
}

bool setHostParameters(ErrorHandler* handler, const char* /*adapter*/,
                       const char* const* /*keys*/, const char* const* /*values*/,
                       uint32_t /*count*/) {
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  if (settings == nullptr) return false;
  // "wifiEnabled" is the only host parameter there is, and it can't be set
  // from here: every key, that one included, leaves the host as it is.
  ScopedLock<WifiHostSettings> held(*settings);
  return true;
}
