// wifictl: the host's Wi-Fi settings from the command line, one subcommand
// per function of the library's C interface.
//
// Exit status: 0 on success, 1 when the library reports failure (with one
// line on stderr naming what failed), 2 for a usage error.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "daemon/WifiDaemon.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"
#include "platform/Crypt.h"
#include "platform/ErrorHandler.h"
#include "platform/XWriter.h"
#include "wireless/wireless.h"
#ifdef WIFICTL_SUPPLICANT
#include "daemon/SupplicantControl.h"
#endif

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// Used when neither --adapter nor the library names one.
constexpr const char* kFallbackAdapter = "wlan0";
// Scan lines asked for by default, and at most.
constexpr unsigned kDefaultScanLines = 32;
constexpr unsigned kMaxScanLines = 255;
// Adapters the daemon reports at most.
constexpr uint8_t kAdapters = 2;

// Prints what the platform reports (for instance a key that does not
// decrypt) on stderr.
class StderrErrorHandler : public ErrorHandler {
 public:
  void throwError(MessageBundle* bundle) override {
    const char* message = bundle != nullptr ? bundle->text() : nullptr;
    std::fprintf(stderr, "wifictl: %s\n", message != nullptr && *message != '\0' ? message : "error");
  }
};

// Releases what the library hands out.
void release(void* allocated) { ::operator delete(allocated); }

struct Options {
  bool help = false;
  bool detailed = false;
  bool encrypted = false;
  const char* adapter = nullptr;
  const char* maxLines = nullptr;
  std::vector<const char*> words;  // the subcommand and its arguments
};

#ifdef WIFICTL_SUPPLICANT
std::string daemonPlace() { return " (control directory " + supplicant::controlDirectory() + ")"; }
#else
std::string daemonPlace() { return std::string(); }
#endif

class Invocation;
using Run = int (*)(Invocation& call);

struct Command {
  const char* name;
  const char* synopsis;  // arguments and options after the name
  const char* summary;
  size_t minArgs;
  size_t maxArgs;  // kAny: any number
  bool takesAdapter;
  bool takesDetailed;
  bool takesMaxLines;
  bool takesEncrypted;
  Run run;
};

// One run of a subcommand: its arguments, the handler and the adapter.
class Invocation {
 public:
  explicit Invocation(const Options& options) : options_(options) {}

  ErrorHandler* handler() { return &handler_; }
  const Options& options() const { return options_; }
  const char* arg(size_t index) const { return options_.words[index + 1]; }
  size_t argCount() const { return options_.words.size() - 1; }

  // --adapter, else the library's first adapter, else the fallback.
  const char* adapter() {
    if (options_.adapter != nullptr) return options_.adapter;
    if (resolved_.empty()) {
      char* name = nullptr;
      if (getWifiAdapter(&handler_, &name) && name != nullptr) {
        resolved_ = name;
      } else {
        resolved_ = kFallbackAdapter;
      }
      release(name);
    }
    return resolved_.c_str();
  }

  // --adapter, else the daemon's first adapter, else the fallback; unlike
  // adapter(), it leaves the host settings uncreated.
  const char* daemonAdapter() {
    if (options_.adapter != nullptr) return options_.adapter;
    if (resolved_.empty()) {
      char* names[kAdapters] = {nullptr, nullptr};
      uint8_t count = 0;
      WifiDaemon* daemon = WifiDaemon::getInstance();
      bool found = daemon != nullptr && daemon->getAdapters(names, kAdapters, &count) && count > 0 &&
                   names[0] != nullptr;
      resolved_ = found ? names[0] : kFallbackAdapter;
      for (char* name : names) release(name);
    }
    return resolved_.c_str();
  }

  // The one-line report of a failed library call, naming where the daemon
  // was looked for.
  int failed(const char* function, const std::string& detail = std::string()) {
    std::fprintf(stderr, "wifictl: %s failed%s%s%s\n", function, detail.empty() ? "" : ": ",
                 detail.c_str(), daemonPlace().c_str());
    return kFailed;
  }

 private:
  const Options& options_;
  StderrErrorHandler handler_;
  std::string resolved_;
};

std::string quoted(const char* text) { return std::string("\"") + text + "\""; }

std::string onAdapter(Invocation& call) { return std::string("adapter ") + call.adapter(); }

std::string onDaemonAdapter(Invocation& call) { return std::string("adapter ") + call.daemonAdapter(); }

std::string networkOnAdapter(Invocation& call, const char* ssid) {
  return "network " + quoted(ssid) + " on " + onAdapter(call);
}

// ---- Subcommands -----------------------------------------------------------

int runDiscover(Invocation& call) {
  unsigned capacity = kDefaultScanLines;
  if (call.options().maxLines != nullptr) {
    char* end = nullptr;
    unsigned long value = std::strtoul(call.options().maxLines, &end, 10);
    if (*call.options().maxLines == '\0' || *end != '\0' || value == 0 || value > kMaxScanLines) {
      std::fprintf(stderr, "wifictl: --max takes a number from 1 to %u\n", kMaxScanLines);
      return kUsage;
    }
    capacity = static_cast<unsigned>(value);
  }
  char** lines = nullptr;
  uint8_t count = 0;
  if (!discoverNetworks(call.handler(), call.daemonAdapter(), &lines, static_cast<uint8_t>(capacity),
                        &count)) {
    return call.failed("discoverNetworks", onDaemonAdapter(call));
  }
  for (unsigned i = 0; i < capacity; ++i) {
    if (i < count && lines[i] != nullptr) std::printf("%s\n", lines[i]);
    release(lines[i]);
  }
  release(lines);
  return kOk;
}

// The commands that act on one network: connect, disconnect, add, remove.
using NetworkCall = bool (*)(ErrorHandler*, const char*, const char*);
template <NetworkCall function>
int runOnNetwork(Invocation& call, const char* name) {
  if (function(call.handler(), call.adapter(), call.arg(0))) return kOk;
  return call.failed(name, networkOnAdapter(call, call.arg(0)));
}

int runConnect(Invocation& call) { return runOnNetwork<connectToNetwork>(call, "connectToNetwork"); }
int runDisconnect(Invocation& call) {
  return runOnNetwork<disconnectFromNetwork>(call, "disconnectFromNetwork");
}
int runSave(Invocation& call) {
  if (saveWifiHostSettings(call.handler(), call.adapter())) return kOk;
  return call.failed("saveWifiHostSettings", "the daemon did not store the configuration");
}

// A change made in this process is lost when it ends unless saved now.
int runSaved(Invocation& call, int status) { return status == kOk ? runSave(call) : status; }

int runAdd(Invocation& call) { return runSaved(call, runOnNetwork<addWifiNetwork>(call, "addWifiNetwork")); }
int runRemove(Invocation& call) {
  return runSaved(call, runOnNetwork<removeWifiNetwork>(call, "removeWifiNetwork"));
}

int runRoam(Invocation& call) {
  if (roamNetworks(call.handler(), call.adapter())) return kOk;
  return call.failed("roamNetworks", onAdapter(call));
}

int runEnabled(Invocation& call) {
  bool enabled = isWifiEnabled(call.handler(), call.daemonAdapter());
  std::printf("%s\n", enabled ? "true" : "false");
  if (enabled) return kOk;
  return call.failed("isWifiEnabled", "Wi-Fi is not enabled on " + onDaemonAdapter(call) +
                                          ", or the daemon could not be asked");
}

int runStatus(Invocation& call) {
  static constexpr const char* kStates[] = {
      "UNKNOWN",   "DISCONNECTED",   "INACTIVE",        "SCANNING", "ASSOCIATING",
      "ASSOCIATED", "4WAY_HANDSHAKE", "GROUP_HANDSHAKE", "COMPLETED",
  };
  uint32_t state = getDaemonStatus(call.handler(), call.adapter());
  std::printf("%u %s\n", static_cast<unsigned>(state),
              state < sizeof kStates / sizeof kStates[0] ? kStates[state] : "?");
  return kOk;
}

int runAdapter(Invocation& call) {
  char* name = nullptr;
  if (!getWifiAdapter(call.handler(), &name)) {
    return call.failed("getWifiAdapter", "the daemon reports no adapter");
  }
  std::printf("%s\n", name);
  release(name);
  return kOk;
}

int runCurrent(Invocation& call) {
  char* ssid = nullptr;
  if (!getCurrentNetwork(call.handler(), call.adapter(), &ssid)) {
    return call.failed("getCurrentNetwork", "no current network on " + onAdapter(call));
  }
  std::printf("%s\n", ssid);
  release(ssid);
  return kOk;
}

int runHashCa(Invocation& call) {
  if (hashCACertificates(call.handler())) return kOk;
  return call.failed("hashCACertificates");
}

// The keys of set, as the library knows them; secrets travel encrypted.
struct SetKey {
  const char* key;
  const char* value;
  bool secret;
};

constexpr SetKey kSetKeys[] = {
    {"authentication", "0 unknown, 1 open, 2 shared, 3 leap, 4 auto", false},
    {"bssid", "six hexadecimal pairs separated by ':'", false},
    {"channel", "number", false},
    {"mode", "0 managed, 1 ad hoc", false},
    {"priority", "number", false},
    {"protocol", "bits: 1 WPA, 2 RSN", false},
    {"key_mgmt", "bits: 1 NONE, 2 WPA-PSK, 4 WPA-EAP, 8 IEEE8021X, 16 WPA-NONE", false},
    {"encryption", "cipher bits 1 NONE, 2 TKIP, 4 CCMP, 8 WEP104, 16 WEP40; 6: CCMP with group TKIP",
     false},
    {"index", "WEP key index, 0 to 3", false},
    {"key1", "WEP key", false},
    {"key2", "WEP key", false},
    {"key3", "WEP key", false},
    {"key4", "WEP key", false},
    {"psk", "pre-shared key", true},
    {"eap", "bits: 1 TLS, 2 PEAP, 4 TTLS, 8 MD5, 16 LEAP, 32 MSCHAPV2, ...", false},
    {"eapIdentity", "text", false},
    {"eapAnonymousIdentity", "text", false},
    {"eapPassword", "password", true},
    {"CACertificateFile", "path", false},
    {"CACertificateDir", "path", false},
    {"clientCertificate", "path", false},
    {"privateKeyFile", "path", false},
    {"privateKeyPassword", "password", true},
    {"phase1", "text", false},
    {"phase2", "text", false},
    {"CACertificateFile2", "path (inner phase)", false},
    {"CACertificateDir2", "path (inner phase)", false},
    {"clientCertificate2", "path (inner phase)", false},
    {"privateKeyFile2", "path (inner phase)", false},
    {"privateKeyPassword2", "password (inner phase)", true},
    {"ssidBroadcasted", "true, or anything else for false", false},
    {"status", "number", false},
    {"strength", "percent", false},
};

const SetKey* findSetKey(const std::string& key) {
  for (const SetKey& known : kSetKeys) {
    if (key == known.key) return &known;
  }
  return nullptr;
}

int runSet(Invocation& call) {
  const char* ssid = call.arg(0);
  std::vector<std::string> keys;
  std::vector<std::string> values;
  for (size_t i = 1; i < call.argCount(); ++i) {
    const char* pair = call.arg(i);
    const char* equals = std::strchr(pair, '=');
    if (equals == nullptr || equals == pair) {
      std::fprintf(stderr, "wifictl: set: expected key=value, got \"%s\"\n", pair);
      return kUsage;
    }
    std::string key(pair, static_cast<size_t>(equals - pair));
    const SetKey* known = findSetKey(key);
    if (known == nullptr) {
      std::fprintf(stderr, "wifictl: set: unknown key \"%s\" (see wifictl --help)\n", key.c_str());
      return kUsage;
    }
    std::string value(equals + 1);
    if (known->secret && !call.options().encrypted && !value.empty()) {
      char* cipher = nullptr;
      int result = Crypt::encrypt(call.handler(), value.c_str(), &cipher);
      if (result != 0 || cipher == nullptr) {
        release(cipher);
        return call.failed("Crypt::encrypt", "the value of " + key + " could not be encrypted");
      }
      value = cipher;
      release(cipher);
    }
    keys.push_back(std::move(key));
    values.push_back(std::move(value));
  }

  std::vector<const char*> keyTexts;
  std::vector<const char*> valueTexts;
  for (size_t i = 0; i < keys.size(); ++i) {
    keyTexts.push_back(keys[i].c_str());
    valueTexts.push_back(values[i].c_str());
  }
  if (setNetworkParameters(call.handler(), call.adapter(), ssid, keyTexts.data(), valueTexts.data(),
                           static_cast<uint32_t>(keyTexts.size()))) {
    return runSave(call);
  }
  return call.failed("setNetworkParameters", "no configured " + networkOnAdapter(call, ssid));
}

int runXml(Invocation& call) {
  FileXWriter out(stdout);
  bool written = getWifiHostSettingsXML(&out, call.handler(), call.options().detailed ? 1 : 0);
  out.close();
  if (written) return kOk;
  return call.failed("getWifiHostSettingsXML");
}

// ---- list and dump: the loaded database --------------------------------------

const char* statusWord(int32_t status) {
  switch (status) {
    case NETWORK_STATUS_ENABLED:
      return "enabled";
    case NETWORK_STATUS_CONNECTED:
      return "connected";
    case NETWORK_STATUS_CONNECTING:
      return "connecting";
    case NETWORK_STATUS_DISABLED:
      return "disabled";
  }
  return "unknown";
}

bool hasWepKey(const WifiNetwork& network) {
  for (uint32_t index = 0; index < 4; ++index) {
    if (!text::isEmpty(network.getWepKey(index))) return true;
  }
  return false;
}

// The kind of security by the key management the supplicant reports. Its
// default, WPA-PSK and WPA-EAP together, loads as WPA-EAP: a stored key
// makes it WPA-PSK.
const char* securityWord(const WifiNetwork& network) {
  uint32_t keyManagement = network.getKeyManagement();
  if ((keyManagement & KEY_MGMT_WPA_EAP) != 0) {
    return text::isEmpty(network.getPreSharedKey()) ? "WPA-EAP" : "WPA-PSK";
  }
  if ((keyManagement & KEY_MGMT_WPA_PSK) != 0) return "WPA-PSK";
  if ((keyManagement & KEY_MGMT_IEEE8021X) != 0) return "802.1X";
  if ((keyManagement & KEY_MGMT_WPA_NONE) != 0) return "WPA-NONE";
  return hasWepKey(network) ? "WEP" : "open";
}

// Five cells filled by the signal strength in percent.
std::string signalBar(int32_t strength) {
  constexpr int kCells = 5;
  int filled = (strength * kCells + 50) / 100;
  if (filled < 0) filled = 0;
  if (filled > kCells) filled = kCells;
  return std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(kCells - filled), '.') +
         " " + std::to_string(strength) + "%";
}

// Columns as a terminal shows UTF-8 text: continuation bytes take none.
size_t columns(const std::string& text) {
  size_t count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80;
  return count;
}

// The loaded host settings, or null with a failure reported.
WifiHostSettings* loadedSettings(Invocation& call, const char* function) {
  WifiHostSettings* settings = WifiHostSettings::getInstance(call.handler());
  if (settings != nullptr && settings->networkDatabase() != nullptr) return settings;
  call.failed(function, "no configured networks could be read from the daemon");
  return nullptr;
}

int runList(Invocation& call) {
  WifiHostSettings* settings = loadedSettings(call, "list");
  if (settings == nullptr) return kFailed;
  struct Row {
    std::string ssid;
    const char* status;
    const char* security;
    std::string signal;
  };
  std::vector<Row> rows;
  settings->lock();
  settings->refreshNetworkList();
  for (const WifiNetwork* network = settings->networkDatabase()->first(); network != nullptr;
       network = network->getNext()) {
    const char* ssid = network->getSsid();
    rows.push_back({ssid == nullptr ? "" : ssid, statusWord(network->getStatus()), securityWord(*network),
                    signalBar(network->getStrength())});
  }
  settings->unlock();
  size_t width = std::strlen("SSID");
  for (const Row& row : rows) width = std::max(width, columns(row.ssid));
  auto print = [width](const std::string& ssid, const char* status, const char* security, const std::string& signal) {
    std::printf("%s%*s  %-10s  %-8s  %s\n", ssid.c_str(), static_cast<int>(width - columns(ssid)), "", status,
                security, signal.c_str());
  };
  print("SSID", "STATUS", "SECURITY", "SIGNAL");
  for (const Row& row : rows) print(row.ssid, row.status, row.security, row.signal);
  return kOk;
}

// The library's own diagnostic dump, secrets in plain text.
int runDump(Invocation& call) {
  WifiHostSettings* settings = WifiHostSettings::getInstance(call.handler());
  if (settings == nullptr) return call.failed("dump");
  settings->dumpTo(stdout);
  return kOk;
}

// ---- Command line ----------------------------------------------------------

constexpr size_t kAny = static_cast<size_t>(-1);

//  name          synopsis                              summary
//  min max  adapter detailed max encrypted  run
constexpr Command kCommands[] = {
    {"discover", "[--adapter NAME] [--max N]", "scan and print the scan result lines (at most N, default 32)",
     0, 0, true, false, true, false, runDiscover},
    {"connect", "SSID [--adapter NAME]", "connect to a configured network",
     1, 1, true, false, false, false, runConnect},
    {"disconnect", "SSID [--adapter NAME]", "disconnect from a network",
     1, 1, true, false, false, false, runDisconnect},
    {"roam", "[--adapter NAME]", "enable every network and let the daemon choose",
     0, 0, true, false, false, false, runRoam},
    {"enabled", "[--adapter NAME]", "print whether Wi-Fi is enabled (exit 1 when not)",
     0, 0, true, false, false, false, runEnabled},
    {"status", "[--adapter NAME]", "print the daemon state, as a number and a word",
     0, 0, true, false, false, false, runStatus},
    {"adapter", "", "print the first wireless adapter",
     0, 0, false, false, false, false, runAdapter},
    {"current", "[--adapter NAME]", "print the SSID of the current network",
     0, 0, true, false, false, false, runCurrent},
    {"add", "SSID [--adapter NAME]", "add a network and save",
     1, 1, true, false, false, false, runAdd},
    {"remove", "SSID [--adapter NAME]", "remove a network and save",
     1, 1, true, false, false, false, runRemove},
    {"save", "[--adapter NAME]", "write every change to the daemon and have it store them",
     0, 0, true, false, false, false, runSave},
    {"set", "SSID KEY=VALUE... [--encrypted] [--adapter NAME]",
     "set parameters of a network and save (see the keys below)",
     2, kAny, true, false, false, true, runSet},
    {"hash-ca", "", "have the daemon rehash its CA certificates",
     0, 0, false, false, false, false, runHashCa},
    {"xml", "[--detailed]", "write the host settings document to stdout (--detailed: every parameter)",
     0, 0, false, true, false, false, runXml},
    {"list", "", "print the configured networks as a table: SSID, status, security, signal",
     0, 0, false, false, false, false, runList},
    {"dump", "", "print the library's diagnostic dump of every network (secrets in plain text)",
     0, 0, false, false, false, false, runDump},
};

void printHelp(std::FILE* out) {
  std::fputs(
      "usage: wifictl COMMAND [ARGUMENTS] [OPTIONS]\n"
      "\n"
      "Commands:\n",
      out);
  for (const Command& command : kCommands) {
    std::string head = std::string(command.name) + " " + command.synopsis;
    std::fprintf(out, "  %-52s %s\n", head.c_str(), command.summary);
  }
  std::fprintf(out,
               "\n"
               "Options:\n"
               "  --adapter NAME   the adapter to act on (default: the first adapter the\n"
               "                   library reports, else %s)\n"
               "  --detailed       xml: every parameter of every network, secrets encrypted\n"
               "  --max N          discover: the most scan lines to print, 1 to %u\n"
               "  --encrypted      set: secret values are already encrypted (as xml writes\n"
               "                   them); without it they are given in plain text and\n"
               "                   encrypted here\n"
               "  -h, --help       this text\n"
               "\n"
               "Keys of set (secrets marked *):\n",
               kFallbackAdapter, kMaxScanLines);
  for (const SetKey& key : kSetKeys) {
    std::fprintf(out, "  %-22s%s %s\n", key.key, key.secret ? "*" : " ", key.value);
  }
  std::fputs(
      "\n"
      "Exit status: 0 success, 1 the library reported failure, 2 usage error.\n",
      out);
}

int usage(const char* problem) {
  std::fprintf(stderr, "wifictl: %s\nTry 'wifictl --help'.\n", problem);
  return kUsage;
}

// Options may stand anywhere; "--" ends them.
int parse(int argc, char** argv, Options* options) {
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* word = argv[i];
    if (optionsEnded || word[0] != '-' || word[1] == '\0') {
      options->words.push_back(word);
      continue;
    }
    if (std::strcmp(word, "--") == 0) {
      optionsEnded = true;
    } else if (std::strcmp(word, "-h") == 0 || std::strcmp(word, "--help") == 0) {
      options->help = true;
    } else if (std::strcmp(word, "--detailed") == 0) {
      options->detailed = true;
    } else if (std::strcmp(word, "--encrypted") == 0) {
      options->encrypted = true;
    } else if (std::strcmp(word, "--adapter") == 0 || std::strcmp(word, "--max") == 0) {
      if (i + 1 >= argc) {
        std::string problem = std::string(word) + " needs a value";
        return usage(problem.c_str());
      }
      (word[2] == 'a' ? options->adapter : options->maxLines) = argv[++i];
    } else if (std::strncmp(word, "--adapter=", 10) == 0) {
      options->adapter = word + 10;
    } else if (std::strncmp(word, "--max=", 6) == 0) {
      options->maxLines = word + 6;
    } else {
      std::string problem = std::string("unknown option ") + word;
      return usage(problem.c_str());
    }
  }
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int parsed = parse(argc, argv, &options);
  if (parsed != kOk) return parsed;
  if (options.help) {
    printHelp(stdout);
    return kOk;
  }
  if (options.words.empty()) return usage("no command given");

  const Command* command = nullptr;
  for (const Command& known : kCommands) {
    if (std::strcmp(known.name, options.words[0]) == 0) command = &known;
  }
  if (command == nullptr) {
    std::string problem = std::string("unknown command ") + options.words[0];
    return usage(problem.c_str());
  }
  size_t args = options.words.size() - 1;
  if (args < command->minArgs || args > command->maxArgs) {
    std::string problem = std::string("wrong number of arguments for ") + command->name +
                          "; usage: wifictl " + command->name + " " + command->synopsis;
    return usage(problem.c_str());
  }
  const char* misplaced = nullptr;
  if (options.adapter != nullptr && !command->takesAdapter) misplaced = "--adapter";
  if (options.detailed && !command->takesDetailed) misplaced = "--detailed";
  if (options.maxLines != nullptr && !command->takesMaxLines) misplaced = "--max";
  if (options.encrypted && !command->takesEncrypted) misplaced = "--encrypted";
  if (misplaced != nullptr) {
    std::string problem = std::string(command->name) + " takes no " + misplaced;
    return usage(problem.c_str());
  }

  int status;
  {
    Invocation call(options);
    status = command->run(call);
    // Let the library let go of the daemon before the process ends.
    stopWifiService(call.handler());
  }
  std::fflush(stdout);
  return status;
}
