#pragma once

// A host settings instance loaded from the scripted daemon, on a clock that
// only moves when the test moves it.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "model/WifiNetwork.h"
#include "orv/OrvTestClock.h"
#include "tests/daemon/DaemonScript.h"

constexpr uint64_t kStartTime = 1000000;
using Calls = std::vector<std::string>;

// Takes `held` twice and runs `inside`; another thread taking `other` must
// wait for both unlocks.
template <typename Held, typename Other, typename Inside>
void expectHeldUntilTheLastUnlock(Held* held, Other* other, Inside inside) {
  held->lock();
  held->lock();
  std::future<void> taken = std::async(std::launch::async, [other] {
    other->lock();
    other->unlock();
  });
  inside();
  held->unlock();
  EXPECT_NE(taken.wait_for(std::chrono::milliseconds(200)), std::future_status::ready) << "released after one unlock";
  held->unlock();
  taken.get();
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

  // True when another thread can take and give back the lock now. A lock
  // wrongly left held by this thread is then released here, so that the
  // other thread can end.
  template <typename Lockable>
  static bool lockFree(Lockable* lockable) {
    std::future<void> taken = std::async(std::launch::async, [lockable] {
      lockable->lock();
      lockable->unlock();
    });
    const bool wasFree = taken.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    while (taken.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) lockable->unlock();
    return wasFree;
  }
  bool hostLockFree() const { return lockFree(host); }

  std::vector<std::string> adapterNames{"wlan0"};
  WifiHostSettings* host = nullptr;
};
