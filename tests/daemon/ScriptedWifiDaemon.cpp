// A backend for tests: answers from DaemonScript and records every call.
#include <algorithm>
#include <cstdio>

#include "daemon/WifiDaemon.h"
#include "model/Text.h"
#include "tests/daemon/DaemonScript.h"

namespace {

using State = DaemonScript::State;

std::string show(const char* text) { return text == nullptr ? "null" : text; }
std::string show(uint8_t number) { return std::to_string(number); }

// Records the call and returns its scripted result: the one for this exact
// call, else the operation's, else false.
template <typename... Args>
bool call(const std::string& operation, Args... args) {
  std::string shown = operation + "(";
  [[maybe_unused]] const char* separator = "";
  ((shown += separator, shown += show(args), separator = ", "), ...);
  return script().locked([&](State& s) {
    s.calls.push_back(shown += ")");
    for (const std::string& key : {shown, operation}) if (s.results.count(key) != 0) return s.results[key];
    return false;
  });
}

// Records the call and copies the operation's scripted lines into the
// caller's array; no lines scripted: the call fails.
template <typename... Args>
bool linesOf(const std::string& operation, char** lines, uint8_t maxCount, uint8_t* count, Args... args) {
  call(operation, args..., maxCount);
  return script().locked([&](State& s) {
    auto answer = s.lines.find(operation);
    if (answer == s.lines.end()) return false;
    for (*count = 0; *count < std::min<size_t>(maxCount, answer->second.size()); ++*count) {
      const std::string& line = answer->second[*count];
      lines[*count] = line == DaemonScript::kNullLine ? nullptr : text::copy(line.c_str());
    }
    return true;
  });
}

}  // namespace

bool WifiDaemon::getNetworkVariable(const char* adapter, uint8_t id, const char* name, char* value, int32_t size) {
  call("getNetworkVariable", adapter, id, name);
  return script().locked([&](State& s) {
    auto answer = s.variables.find({id, show(name)});
    if (answer == s.variables.end() || size <= 0) return false;
    std::snprintf(value, static_cast<size_t>(size), "%s", answer->second.c_str());
    return true;
  });
}

bool WifiDaemon::addNetwork(const char* adapter, const char* ssid, uint8_t* networkId) {
  if (!call("addNetwork", adapter, ssid)) return false;
  *networkId = script().locked([](State& s) { return s.nextNetworkId; });
  return true;
}

// Line answers: (a)dapter, (l)ines, (m)ax count, (c)ount.
bool WifiDaemon::getAdapters(char** l, uint8_t m, uint8_t* c) { return linesOf("getAdapters", l, m, c); }
bool WifiDaemon::getScanLines(const char* a, char** l, uint8_t m, uint8_t* c) { return linesOf("getScanLines", l, m, c, a); }
bool WifiDaemon::listNetworks(const char* a, char** l, uint8_t m, uint8_t* c) { return linesOf("listNetworks", l, m, c, a); }
bool WifiDaemon::getStatus(const char* a, char** l, uint8_t m, uint8_t* c) { return linesOf("getStatus", l, m, c, a); }
// The operations that only answer their scripted result, by name, parameters
// and the arguments recorded.
#define PLAIN(Operation, Parameters, ...) \
  bool WifiDaemon::Operation Parameters { return call(#Operation, __VA_ARGS__); }
PLAIN(setNetworkVariable, (const char* a, uint8_t id, const char* n, const char* v), a, id, n, v)
PLAIN(setNetworkBssid, (const char* a, uint8_t id, const char* n, const char* v), a, id, n, v)
PLAIN(scan, (const char* adapter), adapter)
PLAIN(isWifiEnabled, (const char* adapter), adapter)
PLAIN(saveConfig, (const char* adapter), adapter)
PLAIN(reloadConfig, (const char* adapter), adapter)
PLAIN(removeNetwork, (const char* adapter, uint8_t id), adapter, id)
PLAIN(selectNetwork, (const char* adapter, uint8_t id), adapter, id)
PLAIN(disconnectNetwork, (const char* adapter, uint8_t id), adapter, id)
PLAIN(reconnect, (const char* adapter), adapter)
bool WifiDaemon::hashCACertificates() { return call("hashCACertificates"); }
