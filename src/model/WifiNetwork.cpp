#include "model/WifiNetwork.h"

#include <cstring>

#include "model/Text.h"

namespace {

// Replaces *stored by a copy of value under the text rule: null and the
// empty text are the same value while nothing is stored, but an empty text
// replacing a non-empty one is a change. Returns whether *stored changed.
bool replaceText(char** stored, const char* value) {
  if (value == *stored) return false;
  if (value != nullptr) {
    if (*stored != nullptr) {
      if (std::strcmp(*stored, value) == 0) return false;
    } else if (*value == '\0') {
      return false;
    }
    text::release(*stored);
    *stored = text::copy(value);
    return true;
  }
  if (text::isEmpty(*stored)) return false;
  text::release(*stored);
  *stored = nullptr;
  return true;
}

}  // namespace

WifiNetwork::WifiNetwork() = default;

WifiNetwork::~WifiNetwork() {
  for (char* stored : texts_) text::release(stored);
  for (char* key : wepKeys_) text::release(key);
}

bool WifiNetwork::setText(TextField field, const char* value) {
  if (!replaceText(&texts_[field], value)) return false;
  // TextField and Change list the texts in the same order, interleaved with
  // the values; find the flag by name through the generated table.
  static constexpr Change kFlagOf[TEXT_FIELD_COUNT] = {
#define WIFI_TEXT(Name) CHANGED_##Name,
#include "model/WifiNetworkFields.def"
  };
  changed_[kFlagOf[field]] = true;
  if (field == TEXT_Ssid) {
    SsidKey key(texts_[TEXT_Ssid]);
    ssidLength_ = key.length;
    ssidHash_ = key.hash;
  }
  return true;
}

WifiNetwork::SsidKey::SsidKey(const char* ssid) : text(ssid), hash(2166136261u) {
  // FNV-1a: SSIDs are at most 32 bytes, so a byte at a time is cheap.
  for (auto p = reinterpret_cast<const unsigned char*>(ssid); p != nullptr && *p != '\0'; ++p) {
    hash = (hash ^ *p) * 16777619u;
    ++length;
  }
}

bool WifiNetwork::hasSsid(const char* ssid) const {
  const char* own = texts_[TEXT_Ssid];
  return own != nullptr && ssid != nullptr && std::strcmp(own, ssid) == 0;
}

bool WifiNetwork::setSsidBroadcasted(bool broadcasted) {
  ssidBroadcasted_ = broadcasted;
  changed_[CHANGED_SsidBroadcasted] = true;
  return true;
}

bool WifiNetwork::setWepIndex(uint32_t index) {
  if (index >= WEP_KEY_COUNT) return false;
  return compareAndSet(wepIndex_, index, CHANGED_WepIndex);
}

const char* WifiNetwork::getWepKey(uint32_t index) const {
  return index < WEP_KEY_COUNT ? wepKeys_[index] : nullptr;
}

bool WifiNetwork::setWepKey(uint32_t index, const char* key) {
  if (index >= WEP_KEY_COUNT) return false;
  // An empty key clears a stored one: unlike the text rule, it never stays
  // behind as an empty text.
  const char* value = text::isEmpty(key) ? nullptr : key;
  if (replaceText(&wepKeys_[index], value)) changed_[CHANGED_WepKey0 + index] = true;
  return true;
}

bool WifiNetwork::isWepKeyChanged(uint8_t index) const {
  return index < WEP_KEY_COUNT && changed_[CHANGED_WepKey0 + index];
}

bool WifiNetwork::setWepKeyChanged(bool changed, uint8_t index) {
  if (index >= WEP_KEY_COUNT) return false;
  changed_[CHANGED_WepKey0 + index] = changed;
  return true;
}

void WifiNetwork::clearChanges() {
  for (bool& changed : changed_) changed = false;
}

bool WifiNetwork::hasChanges() const {
  for (bool changed : changed_) {
    if (changed) return true;
  }
  return false;
}
