#pragma once

#include <cstddef>
#include <cstdint>

class WifiNetworkDatabase;

// Daemon states as daemonState holds them.
constexpr uint32_t DAEMON_STATE_UNKNOWN = 0;
constexpr uint32_t DAEMON_STATE_DISCONNECTED = 1;
constexpr uint32_t DAEMON_STATE_IDLE = 2;
constexpr uint32_t DAEMON_STATE_SCANNING = 3;
constexpr uint32_t DAEMON_STATE_ASSOCIATING = 4;
constexpr uint32_t DAEMON_STATE_ASSOCIATED = 5;
constexpr uint32_t DAEMON_STATE_4WAY_HANDSHAKE = 6;
constexpr uint32_t DAEMON_STATE_GROUP_HANDSHAKE = 7;
constexpr uint32_t DAEMON_STATE_COMPLETED = 8;

// Sizes of the exchanges with the daemon.
constexpr uint8_t kListCapacity = 32;
constexpr uint8_t kScanCapacity = 32;
constexpr uint8_t kStatusCapacity = 16;
constexpr uint8_t kAdapterCapacity = 2;
constexpr int32_t kValueSize = 128;

// A caller-owned line array for the daemon: zeroed on construction; every
// line the daemon stored released on destruction. Arrays of up to
// kListCapacity entries, every one the library makes, live in the object.
class LineArray {
 public:
  explicit LineArray(uint8_t capacity);
  ~LineArray();
  LineArray(const LineArray&) = delete;
  LineArray& operator=(const LineArray&) = delete;

  char** entries() { return entries_; }
  uint8_t* count() { return &count_; }
  uint8_t capacity() const { return capacity_; }
  // Line i below the count, or null (null entries are passed over).
  const char* line(uint8_t index) const {
    return index < count_ && index < capacity_ ? entries_[index] : nullptr;
  }
  uint8_t size() const { return count_ < capacity_ ? count_ : capacity_; }

 private:
  char* inline_[kListCapacity] = {};
  char** entries_;
  uint8_t count_ = 0;
  uint8_t capacity_;
};

// A 256-byte working copy of one daemon line (at most 255 characters kept)
// split into fields one at a time, a run of separators counting as one.
class WorkingLine {
 public:
  explicit WorkingLine(const char* line);
  // The next field, or null when only separators remain.
  const char* nextField(const char* separators);

 private:
  char buffer_[256];
  char* cursor_;
};

// The daemon state a "wpa_state=" line names, words tested in a fixed order.
uint32_t daemonStateOf(const char* line);

// The channel of a 2.4 GHz frequency; 6 for anything else.
int32_t channelOfFrequency(int frequency);

// Signal strength in percent from a daemon level (160 weakest, 210 strongest).
int32_t strengthOfLevel(int level);

// Merges scan result lines into the records whose SSID they contain:
// BSSID, channel, strength and mode. Never adds records. Holds the database
// lock throughout.
void mergeScanLines(WifiNetworkDatabase& database, const LineArray& lines);
