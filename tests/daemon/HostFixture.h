#pragma once

// A host settings instance loaded from the scripted daemon, on a clock that
// only moves when the test moves it.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "model/WifiNetwork.h"
#include "orv/OrvTestClock.h"
#include "tests/daemon/DaemonScript.h"

constexpr uint64_t kStartTime = 1000000;

class HostFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    WifiHostSettings::destroyInstance();
    script().reset();
    orv_test::setClock(kStartTime);
  }

  void TearDown() override {
    WifiHostSettings::destroyInstance();
    script().reset();
    orv_test::useSystemClock();
  }

  // Scripts the daemon (adapters from adapterNames, these list, status and
  // scan lines), builds a fresh instance and forgets the calls of its load.
  WifiHostSettings* load(std::vector<std::string> networks, std::vector<std::string> status = {},
                         std::vector<std::string> scan = {}) {
    script().adapters(adapterNames).networks(std::move(networks)).status(std::move(status))
        .scanResults(std::move(scan));
    host = WifiHostSettings::recreateInstance(nullptr);
    script().clearCalls();
    return host;
  }

  WifiNetwork* find(const char* ssid) const { return host->findNetwork(nullptr, ssid); }

  std::string currentSsid() const {
    WifiNetwork* current = host->currentNetwork();
    if (current == nullptr) return "<none>";
    return current->getSsid() != nullptr ? current->getSsid() : "<null>";
  }

  // The records in list order as "ssid/id/status", "*" marking the current
  // one; "<unloaded>" without a database.
  std::string describe() const {
    WifiNetworkDatabase* database = host->networkDatabase();
    if (database == nullptr) return "<unloaded>";
    std::string text;
    database->lock();
    for (WifiNetwork* n = database->first(); n != nullptr; n = n->getNext()) {
      if (!text.empty()) text += "; ";
      text += std::string(n->getSsid() != nullptr ? n->getSsid() : "<null>") + "/" +
              std::to_string(n->getNetworkId()) + "/" + std::to_string(n->getStatus());
      if (n == host->currentNetwork()) text += "*";
    }
    database->unlock();
    return text;
  }

  // Everything the network operations may change, as one text: each record
  // as "ssid/id/status" in list order, the current network, the daemon state
  // and the database's changed mark.
  std::string snapshot() const {
    std::string text;
    WifiNetworkDatabase* database = host->networkDatabase();
    if (database != nullptr) {
      database->lock();
      for (WifiNetwork* n = database->first(); n != nullptr; n = n->getNext()) {
        text += std::string(n->getSsid() != nullptr ? n->getSsid() : "<null>") + "/" +
                std::to_string(n->getNetworkId()) + "/" + std::to_string(n->getStatus()) + " ";
      }
      text += database->isUnchanged() ? "unchanged " : "changed ";
      database->unlock();
    }
    return text + "current=" + currentSsid() + " state=" + std::to_string(host->daemonState());
  }

  // True when another thread can take and release a lock right now. A call
  // that left the lock held by this thread is caught here; the lock is then
  // given back by `release` so that the other thread can end.
  static bool lockableElsewhere(std::function<void()> take, std::function<void()> give,
                                std::function<void()> release) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread other([take, give, done] {
      take();
      give();
      *done = true;
    });
    for (int wait = 0; wait < 200 && !*done; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const bool wasFree = *done;
    for (int attempt = 0; attempt < 8 && !*done; ++attempt) {
      release();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (*done) {
      other.join();
    } else {
      other.detach();
    }
    return wasFree;
  }

  bool hostLockFree() const {
    WifiHostSettings* settings = host;
    return lockableElsewhere([settings] { settings->lock(); }, [settings] { settings->unlock(); },
                             [settings] { settings->unlock(); });
  }

  bool databaseLockFree() const {
    WifiNetworkDatabase* database = host->networkDatabase();
    return lockableElsewhere([database] { database->lock(); }, [database] { database->unlock(); },
                             [database] { database->unlock(); });
  }

  std::vector<std::string> adapterNames{"wlan0"};
  WifiHostSettings* host = nullptr;
};

using Calls = std::vector<std::string>;
