// The exported C functions that hand one call on to the host settings or the
// daemon backend. setNetworkParameters and setHostParameters, which carry
// logic of their own, are in NetworkParameters.cpp.
#include <cstdint>
#include <new>

#include "core/WifiHostSettings.h"
#include "daemon/WifiDaemon.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"
#include "wireless/wireless.h"

namespace {

// A line array of capacity null entries, released with operator delete.
char** newLineArray(uint8_t capacity) {
  char** lines = static_cast<char**>(::operator new(sizeof(char*) * (capacity == 0 ? 1 : capacity)));
  for (uint8_t i = 0; i < capacity; ++i) lines[i] = nullptr;
  return lines;
}

void releaseLineArray(char** lines, uint8_t capacity) {
  for (uint8_t i = 0; i < capacity; ++i) text::release(lines[i]);
  ::operator delete(lines);
}

}  // namespace

bool discoverNetworks(ErrorHandler* /*handler*/, const char* adapter, char*** lines,
                      uint8_t capacity, uint8_t* count) {
  if (lines == nullptr || count == nullptr) return false;
  WifiDaemon* daemon = WifiDaemon::getInstance();
  if (daemon == nullptr) return false;
  if (!daemon->scan(adapter)) return false;

  char** found = newLineArray(capacity);
  *lines = found;
  if (daemon->getScanLines(adapter, found, capacity, count)) return true;

  releaseLineArray(found, capacity);
  *lines = nullptr;
  *count = 0;
  return false;
}

bool connectToNetwork(ErrorHandler* handler, const char* adapter, const char* ssid) {
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  return settings != nullptr && settings->connect(adapter, ssid);
}

bool disconnectFromNetwork(ErrorHandler* handler, const char* adapter, const char* ssid) {
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  return settings != nullptr && settings->disconnect(adapter, ssid);
}

bool roamNetworks(ErrorHandler* handler, const char* adapter) {
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  return settings != nullptr && settings->roam(adapter);
}

bool isWifiEnabled(ErrorHandler* /*handler*/, const char* adapter) {
  WifiDaemon* daemon = WifiDaemon::getInstance();
  return daemon != nullptr && daemon->isWifiEnabled(adapter);
}

bool stopWifiService(ErrorHandler* /*handler*/) {
  WifiHostSettings::destroyInstance();
  return true;
}

uint32_t getDaemonStatus(ErrorHandler* handler, const char* adapter) {
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  if (settings == nullptr) return 0;
  return static_cast<uint32_t>(settings->getDaemonStatus(adapter));
}

bool getWifiAdapter(ErrorHandler* handler, char** adapter) {
  if (adapter == nullptr) return false;
  *adapter = nullptr;
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  if (settings == nullptr) return false;

  constexpr uint8_t kCapacity = 2;
  char* names[kCapacity] = {nullptr, nullptr};
  uint8_t count = 0;
  settings->getAdapters(names, kCapacity, &count);
  if (count > 0 && names[0] != nullptr) *adapter = text::copy(names[0]);
  for (char* name : names) text::release(name);
  return *adapter != nullptr;
}

bool getCurrentNetwork(ErrorHandler* handler, const char* adapter, char** ssid) {
  if (ssid == nullptr) return false;
  *ssid = nullptr;
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  if (settings == nullptr) return false;

  WifiNetwork* current = settings->getCurrentNetwork(adapter);
  if (current != nullptr && current->getSsid() != nullptr) *ssid = text::copy(current->getSsid());
  return *ssid != nullptr;
}

bool addWifiNetwork(ErrorHandler* handler, const char* adapter, const char* ssid) {
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  return settings != nullptr && settings->addNetwork(adapter, ssid);
}

bool removeWifiNetwork(ErrorHandler* handler, const char* adapter, const char* ssid) {
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  return settings != nullptr && settings->removeNetwork(adapter, ssid);
}

bool getWifiHostSettingsXML(XWriter* writer, ErrorHandler* handler, uint8_t detailed) {
  if (writer == nullptr) return false;
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  if (settings == nullptr) return false;
  // Once the instance exists the document counts as written.
  settings->writeXml(writer, handler, detailed != 0);
  return true;
}

bool saveWifiHostSettings(ErrorHandler* handler, const char* /*adapter*/) {
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  return settings != nullptr && settings->save();
}

bool hashCACertificates(ErrorHandler* /*handler*/) {
  WifiDaemon* daemon = WifiDaemon::getInstance();
  return daemon != nullptr && daemon->hashCACertificates();
}
