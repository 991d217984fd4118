#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "platform/PlatformUtil.h"

class ErrorHandler;
class LineArray;
class WifiDaemon;
class WifiNetwork;
class WifiNetworkDatabase;
class WifiRefreshWatchdog;
class XWriter;

// Everything the library knows about the host's Wi-Fi: adapters, the
// network database, the current network, the daemon state, the time of the
// last list refresh and the refresh watchdog. One instance per process,
// created on first use.
//
// Locks: lock() takes the database mutex, then the instance mutex; unlock()
// releases them in reverse. Both are re-entrant for the holding thread.
class WifiHostSettings {
 public:
  // The instance, built (and loaded from the daemon) on the first call.
  // Concurrent first calls build exactly one.
  static WifiHostSettings* getInstance(ErrorHandler* handler);
  // Replaces any instance by a newly built one.
  static WifiHostSettings* recreateInstance(ErrorHandler* handler);
  // Deletes the instance; no other call may run meanwhile.
  static void destroyInstance();

  explicit WifiHostSettings(ErrorHandler* handler);
  virtual ~WifiHostSettings();
  WifiHostSettings(const WifiHostSettings&) = delete;
  WifiHostSettings& operator=(const WifiHostSettings&) = delete;

  bool reload();
  bool lock();
  bool unlock();
  // The record with this SSID, or null. Takes no lock: the caller holds the
  // host settings or database lock while it uses the record.
  WifiNetwork* findNetwork(const char* adapter, const char* ssid) const;

  // Load, refresh and status (the daemon's view).
  bool loadNetworkDatabase();
  bool refreshNetworkList();
  int32_t getDaemonStatus(const char* adapter);
  WifiNetwork* getCurrentNetwork(const char* adapter);

  // Network operations.
  bool getAdapters(char** adapters, uint8_t capacity, uint8_t* count);
  bool getNetworkSsids(const char* adapter, char** ssids, uint8_t capacity, uint8_t* count);
  bool addNetwork(const char* adapter, const char* ssid);
  bool removeNetwork(const char* adapter, const char* ssid);
  bool connect(const char* adapter, const char* ssid);
  bool disconnect(const char* adapter, const char* ssid);
  bool roam(const char* adapter);
  bool save();

  // Reports.
  bool writeXml(XWriter* writer, ErrorHandler* handler, bool detailed);
  void dump();
  // dump() to any stream; dump() writes to stderr.
  void dumpTo(std::FILE* out);

  // Read-only views for reports and tests.
  uint8_t adapterCount() const { return adapterCount_; }
  const char* adapter(uint8_t index) const {
    return adapters_ != nullptr && index < adapterCount_ ? adapters_[index] : nullptr;
  }
  uint64_t lastRefreshTime() const { return lastRefreshTime_; }
  WifiNetwork* currentNetwork() const { return currentNetwork_; }
  WifiNetworkDatabase* networkDatabase() const { return networkDatabase_; }
  uint32_t daemonState() const { return daemonState_; }
  WifiRefreshWatchdog* refreshWatchdog() const { return refreshWatchdog_; }

 private:
  void teardown();
  void releaseAdapters();
  void resetState();
  void loadNetwork(WifiDaemon& daemon, const char* line);
  void readLoadStatus(LineArray& status);
  // The status report names ssid as the daemon's network: make its record
  // current. The one it replaces goes back to enabled (a disabled one stays
  // disabled when keepDisabled).
  void followReportedSsid(const char* adapter, const char* ssid, bool keepDisabled);
  // Clears currentNetwork when it is network (or shares its SSID).
  void forgetIfCurrent(const WifiNetwork& network);
  // Brings the current network's status in line with daemonState.
  void settleCurrentNetwork();
  // The status a network list line gives its record; "[CURRENT]" makes the
  // record the current network.
  void applyListFlags(WifiNetwork* network, const char* line);

  PlatformUtil::MutexHandle mutex_ = nullptr;
  char** adapters_ = nullptr;
  uint8_t adapterCount_ = 0;
  // The throttle's time stamp and the daemon state are read and written by
  // the status queries without the host settings lock.
  std::atomic<uint64_t> lastRefreshTime_{0};
  WifiNetwork* currentNetwork_ = nullptr;
  WifiNetworkDatabase* networkDatabase_ = nullptr;
  std::atomic<uint32_t> daemonState_{0};
  WifiRefreshWatchdog* refreshWatchdog_ = nullptr;
};
