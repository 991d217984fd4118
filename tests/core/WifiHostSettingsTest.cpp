#include "core/WifiHostSettings.h"

#include <gtest/gtest.h>

#include "core/NullExceptionHandler.h"
#include "tests/daemon/HostFixture.h"

namespace {

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

class WifiHostSettingsTest : public HostFixture {
 protected:
  static size_t builds() { return script().calls("getAdapters").size(); }

  // Database, watchdog, adapter count, current network, daemon state and
  // refresh time: "0 0 0 0 0 0" for an unloaded instance.
  static std::string loaded(WifiHostSettings* s) {
    return std::to_string(s->networkDatabase() != nullptr) + " " + std::to_string(s->refreshWatchdog() != nullptr) +
           " " + std::to_string(s->adapterCount()) + " " + std::to_string(s->currentNetwork() != nullptr) + " " +
           std::to_string(s->daemonState()) + " " + std::to_string(s->lastRefreshTime());
  }
};

TEST_F(WifiHostSettingsTest, InstanceSlot) {
  // A failed load leaves an unloaded instance; a later call with a real
  // handler gets the same one and does not retry.
  NullExceptionHandler handler;
  WifiHostSettings* first = WifiHostSettings::getInstance(nullptr);
  EXPECT_EQ(loaded(first), "0 0 0 0 0 0");
  script().adapters({"wlan0", "wlan1"}).networks({"0\toffice\tany"}).scanResults({}).status({});
  EXPECT_TRUE(WifiHostSettings::getInstance(&handler) == first && builds() == 1u);

  // Destroying twice is harmless; the next call builds again.
  WifiHostSettings::destroyInstance();
  WifiHostSettings::destroyInstance();
  host = WifiHostSettings::getInstance(nullptr);
  EXPECT_EQ(loaded(host), "1 1 2 0 0 " + std::to_string(kStartTime));
  // recreateInstance always builds, even over a loaded instance.
  host = WifiHostSettings::recreateInstance(nullptr);
  EXPECT_TRUE(WifiHostSettings::getInstance(nullptr) == host && builds() == 3u);

  // findNetwork matches the whole SSID only.
  for (const char* other : {"offic", "office2", "Office", ""}) EXPECT_TRUE(find("office") && !find(other));
}

TEST_F(WifiHostSettingsTest, LockIsReentrantAndHoldsTheDatabaseToo) {
  host = WifiHostSettings::getInstance(nullptr);  // unloaded: the instance mutex alone
  expectHeldUntilTheLastUnlock(host, host, [] {});
  EXPECT_TRUE(hostLockFree());
  load({"0\toffice\tany"});
  // The database's own operations take its mutex a third time.
  expectHeldUntilTheLastUnlock(host, host->networkDatabase(), [&] { EXPECT_NE(find("office"), nullptr); });
  EXPECT_TRUE(hostLockFree());
}

TEST_F(WifiHostSettingsTest, Reload) {
  load({"0\toffice\tany", "1\tlab\tany"});
  WifiNetworkDatabase* database = host->networkDatabase();
  script().networks({"5\tcafe\tany\t[CURRENT]"}).status({"wpa_state=COMPLETED"});
  EXPECT_TRUE(host->reload());
  EXPECT_EQ(host->networkDatabase(), database);
  EXPECT_EQ(describe(), "cafe/5/3*");
  EXPECT_EQ(loaded(host), "1 1 1 1 8 0");

  // A reload whose load fails tears everything down, and still reports true.
  script().reset();
  EXPECT_TRUE(host->reload());
  EXPECT_EQ(loaded(host), "0 0 0 0 0 0");

  // Reloading an unloaded instance has no database to keep the records in:
  // none may be left behind as the current network.
  script().adapters({"wlan0"}).networks({"0\toffice\tany\t[CURRENT]"}).scanResults({}).status({"wpa_state=SCANNING"});
  EXPECT_TRUE(host->reload());
  EXPECT_EQ(loaded(host), "0 0 1 0 3 0");
  EXPECT_TRUE(hostLockFree());
}

}  // namespace
