// The backend of this build: talks to nothing. Every operation gives a
// fixed result, allocates nothing and leaves its arguments alone.
#include "daemon/WifiDaemon.h"

bool WifiDaemon::getAdapters(char**, uint8_t, uint8_t*) { return false; }
bool WifiDaemon::scan(const char*) { return false; }
bool WifiDaemon::getScanLines(const char*, char**, uint8_t, uint8_t*) { return false; }
bool WifiDaemon::isWifiEnabled(const char*) { return false; }
bool WifiDaemon::listNetworks(const char*, char**, uint8_t, uint8_t*) { return false; }
bool WifiDaemon::getStatus(const char*, char**, uint8_t, uint8_t*) { return false; }
bool WifiDaemon::getNetworkVariable(const char*, uint8_t, const char*, char*, int32_t) { return false; }
bool WifiDaemon::setNetworkVariable(const char*, uint8_t, const char*, const char*) { return false; }
bool WifiDaemon::setNetworkBssid(const char*, uint8_t, const char*, const char*) { return false; }
bool WifiDaemon::saveConfig(const char*) { return false; }
bool WifiDaemon::reloadConfig(const char*) { return false; }
bool WifiDaemon::addNetwork(const char*, const char*, uint8_t*) { return false; }
bool WifiDaemon::removeNetwork(const char*, uint8_t) { return false; }
bool WifiDaemon::selectNetwork(const char*, uint8_t) { return true; }
bool WifiDaemon::disconnectNetwork(const char*, uint8_t) { return true; }
bool WifiDaemon::reconnect(const char*) { return false; }
bool WifiDaemon::hashCACertificates() { return false; }
