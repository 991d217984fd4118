#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// Script of the test backend: what the daemon answers, and the record of
// every call made to it, in order. A test reads like
//   script().adapters({"wlan0"}).networks({"0\toffice\tany\t[CURRENT]"})
//           .variable(0, "psk", "secret").status({"wpa_state=COMPLETED"});
// Anything not scripted fails, as a daemon that says nothing would.
class DaemonScript {
 public:
  using Lines = std::vector<std::string>;
  // A line scripted as this text is answered as a null entry of the array.
  static constexpr const char* kNullLine = "<null line>";

  struct State {
    // By operation: getAdapters, listNetworks, getScanLines, getStatus.
    std::map<std::string, Lines> lines;
    std::map<std::pair<uint8_t, std::string>, std::string> variables;
    // By operation, or by one exact call ("saveConfig(wlan1)"), which
    // overrides the operation's; false when absent.
    std::map<std::string, bool> results;
    uint8_t nextNetworkId = 0;
    Lines calls;  // "operation(arg, arg, ...)", null shown as "null"
  };

  // Runs f on the state under the script's lock.
  template <typename F> auto locked(F f) { std::lock_guard<std::mutex> held(mutex_); return f(state_); }

  DaemonScript& reset() { return edit([](State& s) { s = State(); }); }
  DaemonScript& adapters(Lines names) { return edit([&](State& s) { s.lines["getAdapters"] = std::move(names); }); }
  DaemonScript& networks(Lines lines) { return edit([&](State& s) { s.lines["listNetworks"] = std::move(lines); }); }
  DaemonScript& scanResults(Lines lines) { return edit([&](State& s) { s.lines["getScanLines"] = std::move(lines); }); }
  DaemonScript& status(Lines lines) { return edit([&](State& s) { s.lines["getStatus"] = std::move(lines); }); }
  // Makes one of the line answers fail again.
  DaemonScript& fail(const std::string& operation) { return edit([&](State& s) { s.lines.erase(operation); }); }
  DaemonScript& variable(uint8_t networkId, const std::string& name, const std::string& value) {
    return edit([&](State& s) { s.variables[{networkId, name}] = value; });
  }
  // The result of an operation that carries no data, or of one exact call of
  // it (false until scripted).
  DaemonScript& result(const std::string& op, bool value) { return edit([&](State& s) { s.results[op] = value; }); }
  DaemonScript& nextNetworkId(uint8_t networkId) { return edit([&](State& s) { s.nextNetworkId = networkId; }); }

  Lines calls() { return locked([](State& s) { return s.calls; }); }
  // Only the calls of one operation.
  Lines calls(const std::string& operation) {
    Lines all;
    for (const std::string& call : calls()) if (call.rfind(operation + "(", 0) == 0) all.push_back(call);
    return all;
  }
  void clearCalls() { edit([](State& s) { s.calls.clear(); }); }

 private:
  template <typename F> DaemonScript& edit(F f) { locked(f); return *this; }

  std::mutex mutex_;
  State state_;
};

// The one script, which the backend answers from.
inline DaemonScript& script() { static DaemonScript one; return one; }
