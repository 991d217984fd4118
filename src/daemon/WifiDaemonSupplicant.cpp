// The backend that talks to the supplicant through its control interface:
// one datagram request channel per interface, reused under one lock, so a
// reply always goes back to the request it answers.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "daemon/SupplicantControl.h"
#include "daemon/SupplicantText.h"
#include "daemon/WifiDaemon.h"
#include "model/Text.h"
#include "platform/CertificateHash.h"

namespace {

using supplicant::ControlChannel;

constexpr const char* kOk = "OK\n";
constexpr uint8_t kAllNetworks = 255;

bool isInterfaceName(const char* adapter) {
  return adapter != nullptr && *adapter != '\0' && std::strchr(adapter, '/') == nullptr &&
         std::strcmp(adapter, ".") != 0 && std::strcmp(adapter, "..") != 0;
}

bool refused(const std::string& reply) {
  return reply.compare(0, 4, "FAIL") == 0 || reply.compare(0, 15, "UNKNOWN COMMAND") == 0;
}

// The channels of the interfaces, by control socket path.
class Channels {
 public:
  // The supplicant's reply to command on the adapter's interface; false when
  // no reply came or the supplicant refused the command.
  bool ask(const char* adapter, const std::string& command, std::string* reply) {
    if (!isInterfaceName(adapter)) return false;
    std::string path = supplicant::controlDirectory() + "/" + adapter;
    std::lock_guard<std::mutex> held(mutex_);
    std::unique_ptr<ControlChannel>& channel = channels_[path];
    if (!channel) channel = std::make_unique<ControlChannel>(path);
    return channel->request(command, reply) && !refused(*reply);
  }

  // A command whose reply is a plain "OK".
  bool order(const char* adapter, const std::string& command) {
    std::string reply;
    return ask(adapter, command, &reply) && reply == kOk;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::unique_ptr<ControlChannel>> channels_;
};

Channels& channels() {
  static Channels all;
  return all;
}

std::string onNetwork(const char* command, uint8_t networkId) {
  return std::string(command) + " " + std::to_string(networkId);
}

bool storeLines(const std::vector<std::string>& from, char** lines, uint8_t maxCount, uint8_t* count) {
  uint8_t stored = 0;
  for (const std::string& line : from) {
    if (stored >= maxCount) break;
    lines[stored++] = text::copy(line.c_str(), line.size());
  }
  *count = stored;
  return true;
}

// The whole lines of a reply, each made into what the parsers read.
template <typename Translate>
bool readLines(const char* adapter, const char* command, Translate translate, char** lines, uint8_t maxCount,
               uint8_t* count) {
  if (lines == nullptr || count == nullptr) return false;
  std::string reply;
  if (!channels().ask(adapter, command, &reply)) return false;
  std::vector<std::string> whole;
  supplicant::splitWholeLines(reply, &whole);
  std::vector<std::string> translated;
  for (const std::string& line : whole) {
    if (!supplicant::isHeaderLine(line)) translated.push_back(translate(line));
  }
  return storeLines(translated, lines, maxCount, count);
}

bool readNetworkList(const char* adapter, uint8_t maxCount, std::vector<std::string>* lines) {
  auto ask = [adapter](const std::string& command, std::string* reply) {
    return channels().ask(adapter, command, reply);
  };
  return supplicant::readNetworkList(ask, maxCount, lines);
}

std::string firstAdapter() {
  std::vector<std::string> names = supplicant::controlSockets();
  return names.empty() ? std::string() : names.front();
}

// ---- CA directories --------------------------------------------------------

bool isCertificateFile(const std::string& name) {
  static constexpr const char* kExtensions[] = {".pem", ".crt", ".cer"};
  for (const char* extension : kExtensions) {
    size_t length = std::strlen(extension);
    if (name.size() > length && name.compare(name.size() - length, length, extension) == 0) return true;
  }
  return false;
}

// Links "<hash>.N" to a file (or a link to one) that holds one certificate,
// N the first number not yet taken by another certificate with the same
// subject hash. Bundles and other files are passed over.
bool linkCertificate(const std::string& directory, const std::string& name) {
  std::string path = directory + "/" + name;
  struct stat info {};
  uint32_t hash = 0;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return true;
  if (!CertificateHash::subjectHash(path.c_str(), &hash)) return true;
  constexpr int kMaxSameHash = 100;
  for (int n = 0; n < kMaxSameHash; ++n) {
    char link[32];
    std::snprintf(link, sizeof link, "%08x.%d", hash, n);
    std::string linkPath = directory + "/" + link;
    char target[4096];
    ssize_t length = ::readlink(linkPath.c_str(), target, sizeof target - 1);
    if (length >= 0 && std::string(target, static_cast<size_t>(length)) == name) return true;
    if (length < 0 && ::symlink(name.c_str(), linkPath.c_str()) == 0) return true;
  }
  return false;
}

bool rehashDirectory(const std::string& directory) {
  std::vector<std::string> names;
  if (!supplicant::listDirectory(directory, &names)) return false;
  bool linked = true;
  for (const std::string& name : names) {
    if (isCertificateFile(name)) linked = linkCertificate(directory, name) && linked;
  }
  return linked;
}

// The CA directories the configured networks of every interface name.
std::set<std::string> caDirectories() {
  std::set<std::string> directories;
  for (const std::string& adapter : supplicant::controlSockets()) {
    std::vector<std::string> networks;
    if (!readNetworkList(adapter.c_str(), kAllNetworks, &networks)) continue;
    for (const std::string& line : networks) {
      uint8_t id = static_cast<uint8_t>(std::atoi(line.c_str()));
      for (const char* variable : {"ca_path", "ca_path2"}) {
        std::string reply;
        std::string value;
        if (channels().ask(adapter.c_str(), onNetwork("GET_NETWORK", id) + " " + variable, &reply) &&
            supplicant::valueFromDaemon(variable, reply, &value) && !value.empty()) {
          directories.insert(value);
        }
      }
    }
  }
  return directories;
}

}  // namespace

bool WifiDaemon::getAdapters(char** adapters, uint8_t maxCount, uint8_t* count) {
  if (adapters == nullptr || count == nullptr) return false;
  std::vector<std::string> names = supplicant::controlSockets();
  if (names.empty()) return false;
  return storeLines(names, adapters, maxCount, count);
}

bool WifiDaemon::scan(const char* adapter) {
  std::string reply;
  // FAIL-BUSY: a scan is already under way, and its results will do.
  return channels().ask(adapter, "SCAN", &reply) || reply.compare(0, 9, "FAIL-BUSY") == 0;
}

bool WifiDaemon::getScanLines(const char* adapter, char** lines, uint8_t maxCount, uint8_t* count) {
  return readLines(adapter, "SCAN_RESULTS", supplicant::scanLineFromDaemon, lines, maxCount, count);
}

bool WifiDaemon::isWifiEnabled(const char* adapter) {
  std::string name = adapter != nullptr ? adapter : firstAdapter();
  std::string reply;
  if (!channels().ask(name.c_str(), "PING", &reply) || reply != "PONG\n") return false;
  return channels().ask(name.c_str(), "STATUS", &reply) &&
         reply.find("wpa_state=INTERFACE_DISABLED") == std::string::npos;
}

bool WifiDaemon::listNetworks(const char* adapter, char** lines, uint8_t maxCount, uint8_t* count) {
  if (lines == nullptr || count == nullptr) return false;
  std::vector<std::string> list;
  return readNetworkList(adapter, maxCount, &list) && storeLines(list, lines, maxCount, count);
}

bool WifiDaemon::getStatus(const char* adapter, char** lines, uint8_t maxCount, uint8_t* count) {
  return readLines(adapter, "STATUS", supplicant::statusLineFromDaemon, lines, maxCount, count);
}

bool WifiDaemon::getNetworkVariable(const char* adapter, uint8_t networkId, const char* name, char* value,
                                    int32_t size) {
  if (name == nullptr || value == nullptr || size <= 0) return false;
  std::string reply;
  std::string bare;
  if (!channels().ask(adapter, onNetwork("GET_NETWORK", networkId) + " " + name, &reply) ||
      !supplicant::valueFromDaemon(name, reply, &bare) || bare.size() >= static_cast<size_t>(size)) {
    return false;
  }
  std::memcpy(value, bare.c_str(), bare.size() + 1);
  return true;
}

bool WifiDaemon::setNetworkVariable(const char* adapter, uint8_t networkId, const char* name,
                                    const char* value) {
  if (name == nullptr) return false;
  return channels().order(adapter, onNetwork("SET_NETWORK", networkId) + " " + name + " " +
                                       supplicant::valueToDaemon(name, value));
}

bool WifiDaemon::setNetworkBssid(const char* adapter, uint8_t networkId, const char*, const char* value) {
  if (value == nullptr) return false;
  return channels().order(adapter, onNetwork("BSSID", networkId) + " " + value);
}

bool WifiDaemon::saveConfig(const char* adapter) { return channels().order(adapter, "SAVE_CONFIG"); }

bool WifiDaemon::reloadConfig(const char* adapter) {
  // Not RECONFIGURE: re-reading the file numbers the networks afresh, and
  // the records keep the old identifiers. SET_NETWORK already changed the
  // running configuration, so there is nothing to re-read; this only checks
  // that the supplicant still answers.
  std::string reply;
  return channels().ask(adapter, "PING", &reply) && reply == "PONG\n";
}

bool WifiDaemon::addNetwork(const char* adapter, const char* ssid, uint8_t* networkId) {
  if (ssid == nullptr || networkId == nullptr) return false;
  std::string reply;
  if (!channels().ask(adapter, "ADD_NETWORK", &reply) || reply.empty() || reply[0] < '0' || reply[0] > '9') {
    return false;
  }
  int id = std::atoi(reply.c_str());
  std::string network = std::to_string(id);
  // Key management NONE until the caller sets another: the supplicant's
  // default (WPA-PSK) without a key is left out of the saved configuration.
  if (id > kAllNetworks ||
      !channels().order(adapter, "SET_NETWORK " + network + " ssid " + supplicant::valueToDaemon("ssid", ssid)) ||
      !channels().order(adapter, "SET_NETWORK " + network + " key_mgmt NONE")) {
    channels().order(adapter, "REMOVE_NETWORK " + network);
    return false;
  }
  *networkId = static_cast<uint8_t>(id);
  return true;
}

bool WifiDaemon::removeNetwork(const char* adapter, uint8_t networkId) {
  return channels().order(adapter, onNetwork("REMOVE_NETWORK", networkId));
}

bool WifiDaemon::selectNetwork(const char* adapter, uint8_t networkId) {
  return channels().order(adapter, onNetwork("SELECT_NETWORK", networkId));
}

bool WifiDaemon::disconnectNetwork(const char* adapter, uint8_t) {
  // The supplicant disconnects the interface, whichever network it is on.
  return channels().order(adapter, "DISCONNECT");
}

bool WifiDaemon::reconnect(const char* adapter) { return channels().order(adapter, "RECONNECT"); }

bool WifiDaemon::hashCACertificates() {
  std::set<std::string> directories = caDirectories();
  bool rehashed = !directories.empty();
  for (const std::string& directory : directories) rehashed = rehashDirectory(directory) && rehashed;
  return rehashed;
}
