#pragma once

#include <cstdint>

#include "platform/PlatformUtil.h"

class WifiNetwork;

// The configured networks: a singly linked list, newest first, that owns its
// records, with a flag telling whether records were added or removed since
// the last load or successful save. Every operation but first, lock and
// unlock runs under the database's re-entrant mutex; callers that walk the
// list from first() hold lock() (directly or through the host settings lock).
class WifiNetworkDatabase {
 public:
  WifiNetworkDatabase();
  ~WifiNetworkDatabase();
  WifiNetworkDatabase(const WifiNetworkDatabase&) = delete;
  WifiNetworkDatabase& operator=(const WifiNetworkDatabase&) = delete;

  // Links network in at the front and takes ownership. False, leaving it the
  // caller's, for null or for an SSID already present.
  bool add(WifiNetwork* network);
  // Deletes the first record with this SSID. False only for a null or empty
  // SSID; an SSID that is not present still marks the database changed.
  bool remove(const char* ssid);
  bool contains(const char* ssid);
  uint32_t count();
  WifiNetwork* first() const { return head_; }
  bool clear();

  void markChanged();
  void markUnchanged();
  bool isUnchanged();

  void lock();
  void unlock();

 private:
  void deleteAll();

  uint8_t changed_ = 0;
  WifiNetwork* head_ = nullptr;
  PlatformUtil::MutexHandle mutex_ = nullptr;
};
