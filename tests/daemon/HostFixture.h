#pragma once

// A host settings instance loaded from the scripted daemon, on a clock that
// only moves when the test moves it, and ways to look at it.

#include <gtest/gtest.h>

#include <algorithm>
#include <future>

#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "model/WifiNetwork.h"
#include "orv/OrvTestClock.h"
#include "tests/daemon/DaemonScript.h"

constexpr uint64_t kStartTime = 1000000;
using Calls = std::vector<std::string>;
using Fields = std::map<std::string, std::string>;

inline std::string show(const char* text) { return text == nullptr ? "<null>" : "\"" + std::string(text) + "\""; }

// The parts of text between the separators ("a|b" gives a and b).
inline Calls split(const std::string& text, char separator = '|') {
  Calls parts;
  for (size_t at = 0, end; at < text.size(); at = end + 1) {
    parts.push_back(text.substr(at, (end = std::min(text.find(separator, at), text.size())) - at));
  }
  return parts;
}

// Calls each(name, value) for every "name=value" entry of "a=1;b=2".
template <typename Each>
void forEachEntry(const std::string& text, Each each) {
  for (const std::string& entry : split(text, ';')) each(entry.substr(0, entry.find('=')), entry.substr(entry.find('=') + 1));
}

// Every field of a record by its accessor's name, texts quoted.
inline Fields fieldsOf(const WifiNetwork& n) {
  Fields fields{{"SsidBroadcasted", std::to_string(n.getSsidBroadcasted())},
                {"WepIndex", std::to_string(n.getWepIndex())}};
  for (uint32_t i = 0; i < WEP_KEY_COUNT; ++i) fields["WepKey" + std::to_string(i)] = show(n.getWepKey(i));
#define WIFI_TEXT(Name) fields[#Name] = show(n.get##Name());
#define WIFI_VALUE(Name, field, Type, Default) fields[#Name] = std::to_string(n.get##Name());
#define WIFI_PLAIN(Name, field, Type, Default) WIFI_VALUE(Name, field, Type, Default)
#include "model/WifiNetworkFields.def"
  return fields;
}

// True when another thread can take and give back the lock within two
// seconds. A lock this thread wrongly still holds is then released, so that
// the other thread can end.
template <typename Lockable>
bool lockFree(Lockable* lockable) {
  std::future<void> taken = std::async(std::launch::async, [lockable] { lockable->lock(), lockable->unlock(); });
  const bool wasFree = taken.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
  while (taken.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) lockable->unlock();
  return wasFree;
}

class HostFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    orv_test::setClock(kStartTime);
  }
  void TearDown() override {
    WifiHostSettings::destroyInstance();
    script().reset();
    orv_test::useSystemClock();
  }

  // Scripts the daemon (adapters from adapterNames, these list, status and
  // scan lines), builds a fresh instance and forgets the calls of its load.
  WifiHostSettings* load(Calls networks, Calls status = {}, Calls scan = {}) {
    script().adapters(adapterNames).networks(std::move(networks)).status(std::move(status)).scanResults(scan);
    host = WifiHostSettings::recreateInstance(nullptr);
    script().clearCalls();
    return host;
  }
  WifiNetwork* find(const char* ssid) const { return host->findNetwork(nullptr, ssid); }

  // The records in list order as "ssid/id/status", "*" marking the current
  // one; "<unloaded>" without a database.
  std::string describe() const {
    if (host->networkDatabase() == nullptr) return "<unloaded>";
    std::string text;
    host->lock();
    for (WifiNetwork* n = host->networkDatabase()->first(); n != nullptr; n = n->getNext()) {
      text += (text.empty() ? "" : "; ") + std::string(n->getSsid()) + "/" + std::to_string(n->getNetworkId()) + "/" +
              std::to_string(n->getStatus()) + (n == host->currentNetwork() ? "*" : "");
    }
    host->unlock();
    return text;
  }
  bool hostLockFree() const { return lockFree(host); }

  Calls adapterNames{"wlan0"};
  WifiHostSettings* host = nullptr;
};
