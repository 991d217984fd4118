#pragma once

#include <cstdint>

// Network status values.
constexpr int32_t NETWORK_STATUS_UNKNOWN = 0;
constexpr int32_t NETWORK_STATUS_ENABLED = 1;
constexpr int32_t NETWORK_STATUS_CONNECTED = 3;
constexpr int32_t NETWORK_STATUS_CONNECTING = 4;
constexpr int32_t NETWORK_STATUS_DISABLED = 5;

// Network modes.
constexpr uint8_t NETWORK_MODE_MANAGED = 0;
constexpr uint8_t NETWORK_MODE_ADHOC = 1;
constexpr uint8_t NETWORK_MODE_UNKNOWN = 2;

// Bits of protocol.
constexpr uint32_t PROTOCOL_WPA = 1;
constexpr uint32_t PROTOCOL_RSN = 2;
// Bits of keyManagement.
constexpr uint32_t KEY_MGMT_NONE = 1;
constexpr uint32_t KEY_MGMT_WPA_PSK = 2;
constexpr uint32_t KEY_MGMT_WPA_EAP = 4;
constexpr uint32_t KEY_MGMT_IEEE8021X = 8;
constexpr uint32_t KEY_MGMT_WPA_NONE = 16;
// Bits of pairwise and group (one cipher set for both).
constexpr uint32_t CIPHER_NONE = 1;
constexpr uint32_t CIPHER_TKIP = 2;
constexpr uint32_t CIPHER_CCMP = 4;
constexpr uint32_t CIPHER_WEP104 = 8;
constexpr uint32_t CIPHER_WEP40 = 16;
// Bits of eapMethod.
constexpr uint32_t EAP_TLS = 1;
constexpr uint32_t EAP_PEAP = 2;
constexpr uint32_t EAP_TTLS = 4;
constexpr uint32_t EAP_MD5 = 8;
constexpr uint32_t EAP_LEAP = 16;
constexpr uint32_t EAP_MSCHAPV2 = 32;
constexpr uint32_t EAP_GTC = 64;
constexpr uint32_t EAP_OTP = 128;
constexpr uint32_t EAP_PSK = 256;
constexpr uint32_t EAP_PAX = 512;
constexpr uint32_t EAP_FAST = 1024;
// Values of authentication (not bits).
constexpr uint32_t AUTH_UNKNOWN = 0;
constexpr uint32_t AUTH_OPEN = 1;
constexpr uint32_t AUTH_SHARED = 2;
constexpr uint32_t AUTH_LEAP = 3;
constexpr uint32_t AUTH_AUTO = 4;

constexpr uint32_t WEP_KEY_COUNT = 4;

// One network configured in the daemon, with a change flag per changeable
// parameter. Setters raise a flag only when the stored value really changes
// (ssidBroadcasted always raises its flag; networkId, status and strength
// have none). Texts are copied in; getters return the stored pointer, valid
// until the field is next set. No lock of its own: users hold the host
// settings or database lock.
class WifiNetwork {
 public:
  // The text parameters, for code that walks them by table.
  enum TextField : uint8_t {
#define WIFI_TEXT(Name) TEXT_##Name,
#include "model/WifiNetworkFields.def"
    TEXT_FIELD_COUNT
  };

  // One change flag per changeable parameter: 33 in all.
  enum Change : uint8_t {
#define WIFI_TEXT(Name) CHANGED_##Name,
#define WIFI_VALUE(Name, field, Type, Default) CHANGED_##Name,
#include "model/WifiNetworkFields.def"
    CHANGED_SsidBroadcasted,
    CHANGED_WepIndex,
    CHANGED_WepKey0,
    CHANGED_WepKey1,
    CHANGED_WepKey2,
    CHANGED_WepKey3,
    CHANGE_COUNT
  };

  WifiNetwork();
  ~WifiNetwork();
  WifiNetwork(const WifiNetwork&) = delete;
  WifiNetwork& operator=(const WifiNetwork&) = delete;

#define WIFI_TEXT(Name)                                                        \
  const char* get##Name() const { return texts_[TEXT_##Name]; }                \
  bool set##Name(const char* value) { return setText(TEXT_##Name, value); }    \
  bool is##Name##Changed() const { return changed_[CHANGED_##Name]; }          \
  bool set##Name##Changed(bool changed) { return setChanged(CHANGED_##Name, changed); }
#define WIFI_VALUE(Name, field, Type, Default)                                        \
  Type get##Name() const { return field##_; }                                   \
  bool set##Name(Type value) { return compareAndSet(field##_, value, CHANGED_##Name); } \
  bool is##Name##Changed() const { return changed_[CHANGED_##Name]; }          \
  bool set##Name##Changed(bool changed) { return setChanged(CHANGED_##Name, changed); }
#define WIFI_PLAIN(Name, field, Type, Default)                                        \
  Type get##Name() const { return field##_; }                                   \
  bool set##Name(Type value) {                                                 \
    field##_ = value;                                                           \
    return true;                                                               \
  }
#include "model/WifiNetworkFields.def"

  bool getSsidBroadcasted() const { return ssidBroadcasted_; }
  // Stores the value and raises the flag even when the value was stored.
  bool setSsidBroadcasted(bool broadcasted);
  bool isSsidBroadcastedChanged() const { return changed_[CHANGED_SsidBroadcasted]; }
  bool setSsidBroadcastedChanged(bool changed) { return setChanged(CHANGED_SsidBroadcasted, changed); }

  uint32_t getWepIndex() const { return wepIndex_; }
  // False, storing nothing, for an index above 3.
  bool setWepIndex(uint32_t index);
  bool isWepIndexChanged() const { return changed_[CHANGED_WepIndex]; }
  bool setWepIndexChanged(bool changed) { return setChanged(CHANGED_WepIndex, changed); }

  // Null for an index above 3.
  const char* getWepKey(uint32_t index) const;
  // False for an index above 3, true otherwise: only the key's change flag
  // tells whether the key changed.
  bool setWepKey(uint32_t index, const char* key);
  bool isWepKeyChanged(uint8_t index) const;
  // False, storing nothing, for an index above 3.
  bool setWepKeyChanged(bool changed, uint8_t index);

  // An SSID prepared for a search through many records: each record's
  // length and hash, kept beside its SSID, turn most of them away before
  // any text is compared.
  struct SsidKey {
    explicit SsidKey(const char* ssid);
    const char* text;
    uint32_t length = 0;
    uint32_t hash;
  };

  // True when the record has an SSID and it equals ssid, byte for byte.
  bool hasSsid(const char* ssid) const;
  bool hasSsid(const SsidKey& key) const {
    return ssidHash_ == key.hash && ssidLength_ == key.length && hasSsid(key.text);
  }
  // strlen of the SSID (0 when there is none).
  uint32_t getSsidLength() const { return ssidLength_; }
  // True for the record itself and for another with the same SSID.
  bool sharesSsidWith(const WifiNetwork& other) const { return this == &other || hasSsid(other.getSsid()); }

  WifiNetwork* getNext() const { return next_; }
  bool setNext(WifiNetwork* next) {
    next_ = next;
    return true;
  }

  // Generic access for table-driven readers and writers.
  const char* getText(TextField field) const { return texts_[field]; }
  bool setText(TextField field, const char* value);
  bool isChanged(Change flag) const { return changed_[flag]; }
  bool setChanged(Change flag, bool changed) {
    changed_[flag] = changed;
    return true;
  }

  void clearChanges();
  bool hasChanges() const;

 private:
  template <typename T>
  bool compareAndSet(T& field, T value, Change flag) {
    if (field == value) return false;
    field = value;
    changed_[flag] = true;
    return true;
  }

  bool changed_[CHANGE_COUNT] = {};
  char* texts_[TEXT_FIELD_COUNT] = {};
  char* wepKeys_[WEP_KEY_COUNT] = {};
#define WIFI_VALUE(Name, field, Type, Default) Type field##_ = Default;
#define WIFI_PLAIN(Name, field, Type, Default) Type field##_ = Default;
#include "model/WifiNetworkFields.def"
  bool ssidBroadcasted_ = false;
  uint32_t wepIndex_ = 0;
  // The SSID's SsidKey numbers, beside the link a search follows.
  uint32_t ssidLength_ = 0;
  uint32_t ssidHash_ = SsidKey(nullptr).hash;
  WifiNetwork* next_ = nullptr;
};
