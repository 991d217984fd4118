#include "daemon/DaemonText.h"

#include <cstdlib>
#include <cstring>

#include "core/ScopedLock.h"
#include "core/WifiNetworkDatabase.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"

LineArray::LineArray(uint8_t capacity)
    : entries_(capacity <= kListCapacity ? inline_ : new char*[capacity]()), capacity_(capacity) {}

LineArray::~LineArray() {
  for (uint8_t i = 0; i < capacity_; ++i) text::dispose(entries_[i]);
  if (entries_ != inline_) delete[] entries_;
}

WorkingLine::WorkingLine(const char* line) : cursor_(buffer_) {
  size_t length = line == nullptr ? 0 : strnlen(line, sizeof buffer_ - 1);
  std::memcpy(buffer_, line == nullptr ? "" : line, length);
  buffer_[length] = '\0';
}

const char* WorkingLine::nextField(const char* separators) {
  cursor_ += std::strspn(cursor_, separators);
  if (*cursor_ == '\0') return nullptr;
  char* field = cursor_;
  cursor_ += std::strcspn(cursor_, separators);
  if (*cursor_ != '\0') *cursor_++ = '\0';
  return field;
}

uint32_t daemonStateOf(const char* line) {
  // "COMPLETED" and the handshakes are tested before "ASSOCIATING" and
  // "ASSOCIATED", and "ASSOCIATING" before its prefix "ASSOCIATED".
  static constexpr struct {
    const char* word;
    uint32_t state;
  } kStates[] = {
      {"INACTIVE", DAEMON_STATE_IDLE},
      {"SCANNING", DAEMON_STATE_SCANNING},
      {"COMPLETED", DAEMON_STATE_COMPLETED},
      {"4WAY_HANDSHAKE", DAEMON_STATE_4WAY_HANDSHAKE},
      {"GROUP_HANDSHAKE", DAEMON_STATE_GROUP_HANDSHAKE},
      {"ASSOCIATING", DAEMON_STATE_ASSOCIATING},
      {"ASSOCIATED", DAEMON_STATE_ASSOCIATED},
      {"DISCONNECTED", DAEMON_STATE_DISCONNECTED},
  };
  for (const auto& entry : kStates) {
    if (std::strstr(line, entry.word) != nullptr) return entry.state;
  }
  return DAEMON_STATE_UNKNOWN;
}

int32_t channelOfFrequency(int frequency) {
  constexpr int kFirst = 2412;
  constexpr int kSpacing = 5;
  constexpr int kLastChannel = 11;
  int offset = frequency - kFirst;
  if (offset < 0 || offset % kSpacing != 0 || offset / kSpacing >= kLastChannel) return 6;
  return offset / kSpacing + 1;
}

int32_t strengthOfLevel(int level) {
  long clamped = static_cast<long>(level) - 160;
  if (clamped < 0) clamped = 0;
  if (clamped > 50) clamped = 50;
  return static_cast<int32_t>(static_cast<double>(clamped) / 50.0 * 100.0);
}

namespace {

bool ssidOccursIn(const WifiNetwork& network, const char* line) {
  const char* ssid = network.getSsid();
  return ssid != nullptr && std::strstr(line, ssid) != nullptr;
}

void mergeScanLine(WifiNetwork& network, const char* line) {
  WorkingLine fields(line);
  const char* bssid = fields.nextField("\t");
  if (bssid == nullptr) return;
  if (std::strchr(bssid, ':') != nullptr) network.setBssid(bssid);
  const char* frequency = fields.nextField("\t");
  if (frequency == nullptr) return;
  network.setChannel(channelOfFrequency(std::atoi(frequency)));
  const char* level = fields.nextField("\t");
  if (level == nullptr) return;
  network.setStrength(strengthOfLevel(std::atoi(level)));
  const char* flags = fields.nextField("\t");
  if (flags == nullptr) return;
  network.setMode(std::strstr(flags, "[IBSS]") != nullptr ? NETWORK_MODE_ADHOC : NETWORK_MODE_MANAGED);
}

}  // namespace

void mergeScanLines(WifiNetworkDatabase& database, const LineArray& lines) {
  ScopedLock<WifiNetworkDatabase> held(database);
  for (uint8_t i = 0; i < lines.size(); ++i) {
    const char* line = lines.line(i);
    if (line == nullptr) continue;
    for (WifiNetwork* network = database.first(); network != nullptr; network = network->getNext()) {
      if (ssidOccursIn(*network, line)) mergeScanLine(*network, line);
    }
  }
}
