// wifictl: the host's Wi-Fi settings from the command line, one subcommand
// per function of the library's C interface.
//
// Exit status: 0 on success, 1 when the library reports failure (with one
// line on stderr naming what failed), 2 for a usage error.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/Crypt.h"
#include "platform/ErrorHandler.h"
#include "platform/XWriter.h"
#include "wireless/wireless.h"

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// Used when neither --adapter nor the library names one.
constexpr const char* kFallbackAdapter = "wlan0";
// Scan lines asked for by default, and at most.
constexpr unsigned kDefaultScanLines = 32;
constexpr unsigned kMaxScanLines = 255;

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

  // The one-line report of a failed library call.
  int failed(const char* function, const std::string& detail = std::string()) {
    std::fprintf(stderr, "wifictl: %s failed%s%s\n", function, detail.empty() ? "" : ": ",
                 detail.c_str());
    return kFailed;
  }

 private:
  const Options& options_;
  StderrErrorHandler handler_;
  std::string resolved_;
};

std::string quoted(const char* text) { return std::string("\"") + text + "\""; }

std::string onAdapter(Invocation& call) { return std::string("adapter ") + call.adapter(); }

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
  if (!discoverNetworks(call.handler(), call.adapter(), &lines, static_cast<uint8_t>(capacity),
                        &count)) {
    return call.failed("discoverNetworks", onAdapter(call));
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
int runAdd(Invocation& call) { return runOnNetwork<addWifiNetwork>(call, "addWifiNetwork"); }
int runRemove(Invocation& call) { return runOnNetwork<removeWifiNetwork>(call, "removeWifiNetwork"); }

int runRoam(Invocation& call) {
  if (roamNetworks(call.handler(), call.adapter())) return kOk;
  return call.failed("roamNetworks", onAdapter(call));
}

int runEnabled(Invocation& call) {
  bool enabled = isWifiEnabled(call.handler(), call.adapter());
  std::printf("%s\n", enabled ? "true" : "false");
  if (enabled) return kOk;
  return call.failed("isWifiEnabled", "Wi-Fi is not enabled on " + onAdapter(call) +
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

int runSave(Invocation& call) {
  if (saveWifiHostSettings(call.handler(), call.adapter())) return kOk;
  return call.failed("saveWifiHostSettings", "the daemon did not store the configuration");
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
    return kOk;
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

// ---- dump: the full document as indented text ------------------------------

// Reads the elements and attributes of the library's document; text between
// elements is only layout and is passed over.
class DocumentPrinter {
 public:
  explicit DocumentPrinter(const std::string& document) : doc_(document) {}

  // False when the document can't be read.
  bool print(std::FILE* out) {
    int depth = 0;
    while (at_ < doc_.size()) {
      if (doc_[at_] != '<') {
        ++at_;
        continue;
      }
      ++at_;
      if (peek() == '/') {
        if (!skipPast('>') || --depth < 0) return false;
        continue;
      }
      std::string name = readName();
      if (name.empty()) return false;
      std::vector<std::pair<std::string, std::string>> attributes;
      bool selfClosing = false;
      for (;;) {
        skipSpace();
        if (peek() == '/') {
          ++at_;
          if (peek() != '>') return false;
          ++at_;
          selfClosing = true;
          break;
        }
        if (peek() == '>') {
          ++at_;
          break;
        }
        std::string attribute = readName();
        if (attribute.empty() || peek() != '=') return false;
        ++at_;
        std::string value;
        if (!readValue(&value)) return false;
        attributes.emplace_back(std::move(attribute), std::move(value));
      }
      printElement(out, depth, name, attributes);
      if (!selfClosing) ++depth;
    }
    return depth == 0;
  }

 private:
  char peek() const { return at_ < doc_.size() ? doc_[at_] : '\0'; }

  void skipSpace() {
    while (at_ < doc_.size() && std::strchr(" \t\r\n", doc_[at_]) != nullptr) ++at_;
  }

  bool skipPast(char c) {
    size_t found = doc_.find(c, at_);
    if (found == std::string::npos) return false;
    at_ = found + 1;
    return true;
  }

  std::string readName() {
    size_t start = at_;
    while (at_ < doc_.size() && std::strchr(" \t\r\n=/>\"<", doc_[at_]) == nullptr) ++at_;
    return doc_.substr(start, at_ - start);
  }

  bool readValue(std::string* value) {
    char quote = peek();
    if (quote != '"' && quote != '\'') return false;
    size_t end = doc_.find(quote, ++at_);
    if (end == std::string::npos) return false;
    bool ok = unescape(doc_.substr(at_, end - at_), value);
    at_ = end + 1;
    return ok;
  }

  static void appendUtf8(std::string* out, unsigned long code) {
    if (code < 0x80) {
      *out += static_cast<char>(code);
    } else if (code < 0x800) {
      *out += static_cast<char>(0xC0 | (code >> 6));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      *out += static_cast<char>(0xE0 | (code >> 12));
      *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      *out += static_cast<char>(0xF0 | (code >> 18));
      *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  static bool unescape(const std::string& raw, std::string* out) {
    static constexpr std::pair<const char*, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '&') {
        *out += raw[i];
        continue;
      }
      size_t semicolon = raw.find(';', i);
      if (semicolon == std::string::npos) return false;
      std::string entity = raw.substr(i + 1, semicolon - i - 1);
      i = semicolon;
      if (!entity.empty() && entity[0] == '#') {
        bool hex = entity.size() > 1 && (entity[1] == 'x' || entity[1] == 'X');
        const char* digits = entity.c_str() + (hex ? 2 : 1);
        char* end = nullptr;
        unsigned long code = std::strtoul(digits, &end, hex ? 16 : 10);
        if (*digits == '\0' || *end != '\0' || code > 0x10FFFF) return false;
        appendUtf8(out, code);
        continue;
      }
      bool known = false;
      for (const auto& named : kNamed) {
        if (entity == named.first) {
          *out += named.second;
          known = true;
        }
      }
      if (!known) return false;
    }
    return true;
  }

  static void printElement(std::FILE* out, int depth,
                           const std::string& name,
                           const std::vector<std::pair<std::string, std::string>>& attributes) {
    int indent = depth * 2;
    std::fprintf(out, "%*s%s\n", indent, "", name.c_str());
    size_t width = 0;
    for (const auto& attribute : attributes) {
      if (attribute.first.size() > width) width = attribute.first.size();
    }
    for (const auto& attribute : attributes) {
      std::fprintf(out, "%*s%-*s : %s\n", indent + 2, "", static_cast<int>(width),
                   attribute.first.c_str(), attribute.second.c_str());
    }
  }

  const std::string& doc_;
  size_t at_ = 0;
};

int runDump(Invocation& call) {
  StringXWriter document;
  if (!getWifiHostSettingsXML(&document, call.handler(), 1)) {
    return call.failed("getWifiHostSettingsXML");
  }
  DocumentPrinter printer(document.str());
  if (!printer.print(stdout)) {
    std::fprintf(stderr, "wifictl: dump: the host settings document could not be read\n");
    return kFailed;
  }
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
    {"add", "SSID [--adapter NAME]", "add a network (kept by save)",
     1, 1, true, false, false, false, runAdd},
    {"remove", "SSID [--adapter NAME]", "remove a network (kept by save)",
     1, 1, true, false, false, false, runRemove},
    {"save", "[--adapter NAME]", "write every change to the daemon and have it store them",
     0, 0, true, false, false, false, runSave},
    {"set", "SSID KEY=VALUE... [--encrypted] [--adapter NAME]",
     "set parameters of a network (see the keys below; kept by save)",
     2, kAny, true, false, false, true, runSet},
    {"hash-ca", "", "have the daemon rehash its CA certificates",
     0, 0, false, false, false, false, runHashCa},
    {"xml", "[--detailed]", "write the host settings document to stdout (--detailed: every parameter)",
     0, 0, false, true, false, false, runXml},
    {"dump", "", "print every parameter of every network as indented text",
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
      "dump prints the detailed document (secrets encrypted) as text; the library's\n"
      "own diagnostic dump is not reachable through its interface.\n"
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
