#include "core/WifiHostSettings.h"

#include <gtest/gtest.h>

#include "tests/daemon/HostFixture.h"

namespace {

class WifiHostSettingsTest : public HostFixture {
 protected:
  // How many instances were built; database, watchdog, adapter count, current
  // network, daemon state and refresh time ("0 0 0 0 0 0" unloaded); then the
  // records as describe() shows them.
  std::string state() const {
    return std::to_string(script().calls("getAdapters").size()) + ": " +
           std::to_string(host->networkDatabase() != nullptr) + " " +
           std::to_string(host->refreshWatchdog() != nullptr) + " " + std::to_string(host->adapterCount()) + " " +
           std::to_string(host->currentNetwork() != nullptr) + " " + std::to_string(host->daemonState()) + " " +
           std::to_string(host->lastRefreshTime()) + " " + describe();
  }
};

TEST_F(WifiHostSettingsTest, InstanceSlotReloadAndLock) {
  // A failed load leaves an unloaded instance; a later call gets the same
  // one and does not retry.
  host = WifiHostSettings::getInstance(nullptr);
  script().adapters({"wlan0", "wlan1"}).networks({"0\toffice\tany"}).scanResults({}).status({});
  EXPECT_EQ(WifiHostSettings::getInstance(nullptr), host);
  EXPECT_EQ(state(), "1: 0 0 0 0 0 0 <unloaded>");
  // Destroying twice is harmless; the next call builds again, and so does
  // recreateInstance, even over a loaded instance.
  WifiHostSettings::destroyInstance();
  WifiHostSettings::destroyInstance();
  host = WifiHostSettings::getInstance(nullptr);
  EXPECT_EQ(state(), "2: 1 1 2 0 0 " + std::to_string(kStartTime) + " office/0/1");
  host = WifiHostSettings::recreateInstance(nullptr);
  EXPECT_EQ(WifiHostSettings::getInstance(nullptr), host);
  // findNetwork matches the whole SSID only.
  for (const char* other : {"offic", "office2", "Office", ""}) EXPECT_TRUE(find("office") && !find(other));

  // A reload keeps the database object.
  WifiNetworkDatabase* database = host->networkDatabase();
  script().networks({"5\tcafe\tany\t[CURRENT]"}).status({"wpa_state=COMPLETED"});
  EXPECT_TRUE(host->reload());
  EXPECT_EQ(state(), "4: 1 1 2 1 8 0 cafe/5/3*");
  EXPECT_EQ(host->networkDatabase(), database);
  // lock() holds the database's mutex and the instance's: another thread
  // waits for each until this one gives it back (lockFree does).
  host->lock();
  EXPECT_FALSE(lockFree(database) || hostLockFree());
  // A reload whose load fails tears everything down, and still reports true.
  script().adapters({});
  EXPECT_TRUE(host->reload());
  EXPECT_EQ(state(), "5: 0 0 0 0 0 0 <unloaded>");
  // Reloading an unloaded instance has no database to keep the records in:
  // none may be left behind as the current network.
  script().adapters({"wlan0"}).networks({"0\toffice\tany\t[CURRENT]"}).status({"wpa_state=SCANNING"});
  EXPECT_TRUE(host->reload());
  EXPECT_EQ(state(), "6: 0 0 1 0 3 0 <unloaded>");
  EXPECT_TRUE(hostLockFree());
}

}  // namespace
