// A backend for tests: answers from DaemonScript and records every call.
#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

#include "daemon/WifiDaemon.h"
#include "model/Text.h"
#include "tests/daemon/DaemonScript.h"

DaemonScript& DaemonScript::instance() {
  static DaemonScript script;
  return script;
}

DaemonScript& DaemonScript::reset() {
  std::lock_guard<std::mutex> held(mutex_);
  adapters_.reset();
  lines_.clear();
  variables_.clear();
  results_.clear();
  saveConfigByAdapter_.clear();
  nextNetworkId_ = 0;
  delays_.clear();
  calls_.clear();
  return *this;
}

DaemonScript& DaemonScript::adapters(std::vector<std::string> names) {
  std::lock_guard<std::mutex> held(mutex_);
  adapters_ = std::move(names);
  return *this;
}

DaemonScript& DaemonScript::networks(std::vector<std::string> lines) {
  std::lock_guard<std::mutex> held(mutex_);
  lines_["listNetworks"] = std::move(lines);
  return *this;
}

DaemonScript& DaemonScript::scanResults(std::vector<std::string> lines) {
  std::lock_guard<std::mutex> held(mutex_);
  lines_["getScanLines"] = std::move(lines);
  return *this;
}

DaemonScript& DaemonScript::status(std::vector<std::string> lines) {
  std::lock_guard<std::mutex> held(mutex_);
  lines_["getStatus"] = std::move(lines);
  return *this;
}

DaemonScript& DaemonScript::failNetworks() {
  std::lock_guard<std::mutex> held(mutex_);
  lines_.erase("listNetworks");
  return *this;
}

DaemonScript& DaemonScript::failScanResults() {
  std::lock_guard<std::mutex> held(mutex_);
  lines_.erase("getScanLines");
  return *this;
}

DaemonScript& DaemonScript::failStatus() {
  std::lock_guard<std::mutex> held(mutex_);
  lines_.erase("getStatus");
  return *this;
}

DaemonScript& DaemonScript::variable(uint8_t networkId, const std::string& name,
                                     const std::string& value) {
  std::lock_guard<std::mutex> held(mutex_);
  variables_[{networkId, name}] = value;
  return *this;
}

DaemonScript& DaemonScript::result(const std::string& operation, bool value) {
  std::lock_guard<std::mutex> held(mutex_);
  results_[operation] = value;
  return *this;
}

DaemonScript& DaemonScript::saveConfigFor(const std::string& adapter, bool value) {
  std::lock_guard<std::mutex> held(mutex_);
  saveConfigByAdapter_[adapter] = value;
  return *this;
}

DaemonScript& DaemonScript::nextNetworkId(uint8_t networkId) {
  std::lock_guard<std::mutex> held(mutex_);
  nextNetworkId_ = networkId;
  return *this;
}

std::vector<std::string> DaemonScript::calls() const {
  std::lock_guard<std::mutex> held(mutex_);
  return calls_;
}

std::vector<std::string> DaemonScript::calls(const std::string& operation) const {
  std::lock_guard<std::mutex> held(mutex_);
  std::vector<std::string> matching;
  for (const std::string& call : calls_) {
    if (call.compare(0, operation.size() + 1, operation + "(") == 0) matching.push_back(call);
  }
  return matching;
}

void DaemonScript::clearCalls() {
  std::lock_guard<std::mutex> held(mutex_);
  calls_.clear();
}

DaemonScript& DaemonScript::delay(const std::string& operation, std::chrono::milliseconds duration) {
  std::lock_guard<std::mutex> held(mutex_);
  delays_[operation] = duration;
  return *this;
}

void DaemonScript::record(const std::string& call) {
  std::chrono::milliseconds pause{0};
  {
    std::lock_guard<std::mutex> held(mutex_);
    calls_.push_back(call);
    auto found = delays_.find(call.substr(0, call.find('(')));
    if (found != delays_.end()) pause = found->second;
  }
  if (pause.count() > 0) std::this_thread::sleep_for(pause);
}

std::optional<std::vector<std::string>> DaemonScript::adapterAnswer() const {
  std::lock_guard<std::mutex> held(mutex_);
  return adapters_;
}

std::optional<std::vector<std::string>> DaemonScript::lineAnswer(const std::string& operation) const {
  std::lock_guard<std::mutex> held(mutex_);
  auto found = lines_.find(operation);
  if (found == lines_.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> DaemonScript::variableAnswer(uint8_t networkId,
                                                        const std::string& name) const {
  std::lock_guard<std::mutex> held(mutex_);
  auto found = variables_.find({networkId, name});
  if (found == variables_.end()) return std::nullopt;
  return found->second;
}

bool DaemonScript::resultOf(const std::string& operation) const {
  std::lock_guard<std::mutex> held(mutex_);
  auto found = results_.find(operation);
  return found != results_.end() && found->second;
}

bool DaemonScript::saveConfigResult(const std::string& adapter) const {
  std::lock_guard<std::mutex> held(mutex_);
  auto own = saveConfigByAdapter_.find(adapter);
  if (own != saveConfigByAdapter_.end()) return own->second;
  auto all = results_.find("saveConfig");
  return all != results_.end() && all->second;
}

uint8_t DaemonScript::networkIdForAdd() const {
  std::lock_guard<std::mutex> held(mutex_);
  return nextNetworkId_;
}

namespace {

std::string show(const char* text) { return text == nullptr ? "null" : text; }
std::string show(uint8_t number) { return std::to_string(number); }

template <typename... Args>
void record(const char* operation, Args... args) {
  std::string call = std::string(operation) + "(";
  [[maybe_unused]] const char* separator = "";
  ((call += separator, call += show(args), separator = ", "), ...);
  call += ")";
  script().record(call);
}

bool answerLines(const char* operation, char** lines, uint8_t maxCount, uint8_t* count) {
  std::optional<std::vector<std::string>> answer = script().lineAnswer(operation);
  if (!answer) return false;
  uint8_t stored = 0;
  for (const std::string& line : *answer) {
    if (stored == maxCount) break;
    lines[stored++] = line == DaemonScript::kNullLine ? nullptr : text::copy(line.c_str());
  }
  *count = stored;
  return true;
}

}  // namespace

bool WifiDaemon::getAdapters(char** adapters, uint8_t maxCount, uint8_t* count) {
  record("getAdapters", maxCount);
  std::optional<std::vector<std::string>> answer = script().adapterAnswer();
  if (!answer) return false;
  uint8_t stored = 0;
  for (const std::string& name : *answer) {
    if (stored == maxCount) break;
    adapters[stored++] = text::copy(name.c_str());
  }
  *count = stored;
  return true;
}

bool WifiDaemon::scan(const char* adapter) {
  record("scan", adapter);
  return script().resultOf("scan");
}

bool WifiDaemon::getScanLines(const char* adapter, char** lines, uint8_t maxCount, uint8_t* count) {
  record("getScanLines", adapter, maxCount);
  return answerLines("getScanLines", lines, maxCount, count);
}

bool WifiDaemon::isWifiEnabled(const char* adapter) {
  record("isWifiEnabled", adapter);
  return script().resultOf("isWifiEnabled");
}

bool WifiDaemon::listNetworks(const char* adapter, char** lines, uint8_t maxCount, uint8_t* count) {
  record("listNetworks", adapter, maxCount);
  return answerLines("listNetworks", lines, maxCount, count);
}

bool WifiDaemon::getStatus(const char* adapter, char** lines, uint8_t maxCount, uint8_t* count) {
  record("getStatus", adapter, maxCount);
  return answerLines("getStatus", lines, maxCount, count);
}

bool WifiDaemon::getNetworkVariable(const char* adapter, uint8_t networkId, const char* name,
                                    char* value, int32_t size) {
  record("getNetworkVariable", adapter, networkId, name);
  std::optional<std::string> answer = script().variableAnswer(networkId, show(name));
  if (!answer || size <= 0) return false;
  size_t length = std::min(answer->size(), static_cast<size_t>(size) - 1);
  std::memcpy(value, answer->data(), length);
  value[length] = '\0';
  return true;
}

bool WifiDaemon::setNetworkVariable(const char* adapter, uint8_t networkId, const char* name,
                                    const char* value) {
  record("setNetworkVariable", adapter, networkId, name, value);
  return script().resultOf("setNetworkVariable");
}

bool WifiDaemon::setNetworkBssid(const char* adapter, uint8_t networkId, const char* name,
                                 const char* value) {
  record("setNetworkBssid", adapter, networkId, name, value);
  return script().resultOf("setNetworkBssid");
}

bool WifiDaemon::saveConfig(const char* adapter) {
  record("saveConfig", adapter);
  return script().saveConfigResult(show(adapter));
}

bool WifiDaemon::reloadConfig(const char* adapter) {
  record("reloadConfig", adapter);
  return script().resultOf("reloadConfig");
}

bool WifiDaemon::addNetwork(const char* adapter, const char* ssid, uint8_t* networkId) {
  record("addNetwork", adapter, ssid);
  if (!script().resultOf("addNetwork")) return false;
  *networkId = script().networkIdForAdd();
  return true;
}

bool WifiDaemon::removeNetwork(const char* adapter, uint8_t networkId) {
  record("removeNetwork", adapter, networkId);
  return script().resultOf("removeNetwork");
}

bool WifiDaemon::selectNetwork(const char* adapter, uint8_t networkId) {
  record("selectNetwork", adapter, networkId);
  return script().resultOf("selectNetwork");
}

bool WifiDaemon::disconnectNetwork(const char* adapter, uint8_t networkId) {
  record("disconnectNetwork", adapter, networkId);
  return script().resultOf("disconnectNetwork");
}

bool WifiDaemon::reconnect(const char* adapter) {
  record("reconnect", adapter);
  return script().resultOf("reconnect");
}

bool WifiDaemon::hashCACertificates() {
  record("hashCACertificates");
  return script().resultOf("hashCACertificates");
}
