#include "fuzz/InputDaemon.h"

#include <algorithm>
#include <cstdio>

#include "daemon/WifiDaemon.h"
#include "model/Text.h"

namespace fuzz {
namespace {

const DaemonAnswers kIdleHost;
const DaemonAnswers* current = &kIdleHost;
// The network asked last, and how many variables of it so far.
uint8_t askedNetwork = 0;
size_t askedCount = 0;

bool copyLines(const DaemonAnswers::Lines& answer, char** lines, uint8_t maxCount, uint8_t* count) {
  for (*count = 0; *count < std::min<size_t>(maxCount, answer.size()); ++*count) {
    lines[*count] = text::copy(answer[*count].c_str());
  }
  return true;
}

}  // namespace

void answerFrom(const DaemonAnswers* answers) {
  current = answers == nullptr ? &kIdleHost : answers;
  askedCount = 0;
}

}  // namespace fuzz

using fuzz::current;

bool WifiDaemon::getAdapters(char** adapters, uint8_t maxCount, uint8_t* count) {
  return fuzz::copyLines({"wlan0", "wlan1"}, adapters, maxCount, count);
}
bool WifiDaemon::getScanLines(const char*, char** l, uint8_t m, uint8_t* c) {
  return fuzz::copyLines(current->scanLines, l, m, c);
}
bool WifiDaemon::listNetworks(const char*, char** l, uint8_t m, uint8_t* c) {
  return fuzz::copyLines(current->networks, l, m, c);
}
bool WifiDaemon::getStatus(const char*, char** l, uint8_t m, uint8_t* c) {
  return fuzz::copyLines(current->status, l, m, c);
}

// Answers by turn rather than by name: comparing names would cost more
// than the load itself, and the turns are as fixed as the names.
bool WifiDaemon::getNetworkVariable(const char*, uint8_t networkId, const char*, char* value, int32_t size) {
  if (networkId != fuzz::askedNetwork) fuzz::askedCount = 0;
  fuzz::askedNetwork = networkId;
  size_t turn = fuzz::askedCount++;
  if (networkId > 1 || size <= 0 || turn >= current->values.size()) return false;
  std::snprintf(value, static_cast<size_t>(size), "%s", current->values[turn].c_str());
  return true;
}

bool WifiDaemon::addNetwork(const char*, const char*, uint8_t* networkId) {
  *networkId = 0;
  return true;
}
bool WifiDaemon::setNetworkVariable(const char*, uint8_t, const char*, const char*) { return true; }
bool WifiDaemon::setNetworkBssid(const char*, uint8_t, const char*, const char*) { return true; }
bool WifiDaemon::saveConfig(const char*) { return true; }
bool WifiDaemon::scan(const char*) { return true; }
bool WifiDaemon::isWifiEnabled(const char*) { return true; }
bool WifiDaemon::reloadConfig(const char*) { return true; }
bool WifiDaemon::removeNetwork(const char*, uint8_t) { return true; }
bool WifiDaemon::selectNetwork(const char*, uint8_t) { return true; }
bool WifiDaemon::disconnectNetwork(const char*, uint8_t) { return true; }
bool WifiDaemon::reconnect(const char*) { return true; }
bool WifiDaemon::hashCACertificates() { return true; }
