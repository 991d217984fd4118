#pragma once

#include <cstdint>

// The one way to the Wi-Fi daemon. The class is declared once here; each
// backend is one source file defining these members, and the build links
// exactly one of them. Nothing above this class knows which.
//
// Contracts every backend keeps:
// - Line arrays are allocated and zeroed by the caller with room for
//   maxCount entries. On success the backend stores in entries 0..count-1
//   lines it allocated with operator new (via text::copy) and sets *count,
//   never above maxCount. On failure the caller releases whatever the
//   backend stored.
// - Adapter names from getAdapters are allocated the same way and from then
//   on belong to the caller.
// - getNetworkVariable writes a NUL-terminated value of at most size bytes
//   (terminator included) into the caller's buffer.
// - Failure is a false result and nothing else.
class WifiDaemon {
 public:
  static WifiDaemon* getInstance();
  static void destroyInstance();

  bool getAdapters(char** adapters, uint8_t maxCount, uint8_t* count);
  bool scan(const char* adapter);
  bool getScanLines(const char* adapter, char** lines, uint8_t maxCount, uint8_t* count);
  bool isWifiEnabled(const char* adapter);
  bool listNetworks(const char* adapter, char** lines, uint8_t maxCount, uint8_t* count);
  bool getStatus(const char* adapter, char** lines, uint8_t maxCount, uint8_t* count);
  bool getNetworkVariable(const char* adapter, uint8_t networkId, const char* name,
                          char* value, int32_t size);
  bool setNetworkVariable(const char* adapter, uint8_t networkId, const char* name,
                          const char* value);
  bool setNetworkBssid(const char* adapter, uint8_t networkId, const char* name,
                       const char* value);
  bool saveConfig(const char* adapter);
  bool reloadConfig(const char* adapter);
  bool addNetwork(const char* adapter, const char* ssid, uint8_t* networkId);
  bool removeNetwork(const char* adapter, uint8_t networkId);
  bool selectNetwork(const char* adapter, uint8_t networkId);
  bool disconnectNetwork(const char* adapter, uint8_t networkId);
  bool reconnect(const char* adapter);
  bool hashCACertificates();

 private:
  WifiDaemon() = default;
  ~WifiDaemon() = default;
  WifiDaemon(const WifiDaemon&) = delete;
  WifiDaemon& operator=(const WifiDaemon&) = delete;
};
