#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Script of the test backend: what the daemon answers, and the record of
// every call made to it, in order. A test reads like
//   script().adapters({"wlan0"}).networks({"0\toffice\tany\t[CURRENT]"})
//           .variable(0, "psk", "secret").status({"wpa_state=COMPLETED"});
// Anything not scripted fails, as a daemon that says nothing would.
class DaemonScript {
 public:
  static DaemonScript& instance();

  // Forgets every answer and every recorded call.
  DaemonScript& reset();

  // getAdapters succeeds with these names (an empty list succeeds with none).
  DaemonScript& adapters(std::vector<std::string> names);
  // A line scripted as this text is answered as a null entry of the array.
  static constexpr const char* kNullLine = "<null line>";
  // listNetworks, getScanLines and getStatus succeed with these lines.
  DaemonScript& networks(std::vector<std::string> lines);
  DaemonScript& scanResults(std::vector<std::string> lines);
  DaemonScript& status(std::vector<std::string> lines);
  // Makes one of the line answers fail again.
  DaemonScript& failNetworks();
  DaemonScript& failScanResults();
  DaemonScript& failStatus();
  // getNetworkVariable(id, name) succeeds with this value.
  DaemonScript& variable(uint8_t networkId, const std::string& name, const std::string& value);
  // The result of an operation that carries no data: "scan", "isWifiEnabled",
  // "setNetworkVariable", "setNetworkBssid", "saveConfig" (every adapter, or
  // one adapter with saveConfigFor), "reloadConfig", "addNetwork",
  // "removeNetwork", "selectNetwork", "disconnectNetwork", "reconnect",
  // "hashCACertificates". All are false until scripted.
  DaemonScript& result(const std::string& operation, bool value);
  DaemonScript& saveConfigFor(const std::string& adapter, bool value);
  // The identifier addNetwork hands back.
  DaemonScript& nextNetworkId(uint8_t networkId);
  // Every call of the operation takes this long before it answers, which
  // widens the window for tests of concurrent callers.
  DaemonScript& delay(const std::string& operation, std::chrono::milliseconds duration);

  // Every call so far, as "operation(arg, arg, ...)", with null shown as
  // "null".
  std::vector<std::string> calls() const;
  // Only the calls of one operation.
  std::vector<std::string> calls(const std::string& operation) const;
  void clearCalls();

  // Used by the backend.
  void record(const std::string& call);
  std::optional<std::vector<std::string>> adapterAnswer() const;
  std::optional<std::vector<std::string>> lineAnswer(const std::string& operation) const;
  std::optional<std::string> variableAnswer(uint8_t networkId, const std::string& name) const;
  bool resultOf(const std::string& operation) const;
  bool saveConfigResult(const std::string& adapter) const;
  uint8_t networkIdForAdd() const;

 private:
  mutable std::mutex mutex_;
  std::optional<std::vector<std::string>> adapters_;
  std::map<std::string, std::vector<std::string>> lines_;
  std::map<std::pair<uint8_t, std::string>, std::string> variables_;
  std::map<std::string, bool> results_;
  std::map<std::string, bool> saveConfigByAdapter_;
  uint8_t nextNetworkId_ = 0;
  std::map<std::string, std::chrono::milliseconds> delays_;
  std::vector<std::string> calls_;
};

inline DaemonScript& script() { return DaemonScript::instance(); }
