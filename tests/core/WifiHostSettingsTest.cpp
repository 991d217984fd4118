#include "core/WifiHostSettings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/WifiNetworkDatabase.h"
#include "model/WifiNetwork.h"
#include "platform/ErrorHandler.h"
#include "tests/daemon/HostFixture.h"

namespace {

class RecordingHandler : public ErrorHandler {
 public:
  void throwError(MessageBundle* bundle) override { saveError(bundle); }
};

class WifiHostSettingsTest : public HostFixture {
 protected:
  static size_t builds() { return script().calls("getAdapters").size(); }

  void expectUnloaded(WifiHostSettings* settings) {
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->networkDatabase(), nullptr);
    EXPECT_EQ(settings->refreshWatchdog(), nullptr);
    EXPECT_EQ(settings->adapterCount(), 0);
    EXPECT_EQ(settings->adapter(0), nullptr);
    EXPECT_EQ(settings->currentNetwork(), nullptr);
    EXPECT_EQ(settings->daemonState(), 0u);
    EXPECT_EQ(settings->lastRefreshTime(), 0u);
  }
};

TEST_F(WifiHostSettingsTest, FailedLoadLeavesAnUnloadedInstanceThatIsKept) {
  RecordingHandler handler;
  WifiHostSettings* first = WifiHostSettings::getInstance(nullptr);
  expectUnloaded(first);
  EXPECT_EQ(script().calls(), (Calls{"getAdapters(2)"}));

  // The next call, with a real handler, gets the same instance and no retry.
  script().adapters({"wlan0"}).networks({}).status({});
  EXPECT_EQ(WifiHostSettings::getInstance(&handler), first);
  EXPECT_EQ(builds(), 1u);
  EXPECT_EQ(first->networkDatabase(), nullptr);
  EXPECT_EQ(handler.savedError(), nullptr);
}

TEST_F(WifiHostSettingsTest, EveryLoadFailureTearsTheInstanceDown) {
  struct Row {
    const char* name;
    std::function<void()> script;
    const char* lastCall;
  };
  const Row rows[] = {
      {"no adapter", [] { script().adapters({}).networks({"0\ta\tany"}).status({}); }, "getAdapters(2)"},
      {"list fails", [] { script().adapters({"wlan0"}).status({}); }, "listNetworks(wlan0, 32)"},
      {"scan fails",
       [] { script().adapters({"wlan0"}).networks({"0\ta\tany\t[CURRENT]"}).status({}); },
       "getScanLines(wlan0, 32)"},
      {"status fails",
       [] { script().adapters({"wlan0"}).networks({"0\ta\tany\t[CURRENT]"}).scanResults({}); },
       "getStatus(wlan0, 16)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    script().reset();
    row.script();
    expectUnloaded(WifiHostSettings::recreateInstance(nullptr));
    Calls calls = script().calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), row.lastCall);
  }
}

TEST_F(WifiHostSettingsTest, DestroyEmptiesTheSlotAndTheNextCallBuildsAgain) {
  WifiHostSettings::destroyInstance();
  WifiHostSettings::destroyInstance();
  EXPECT_EQ(builds(), 0u);

  WifiHostSettings::getInstance(nullptr);
  EXPECT_EQ(builds(), 1u);
  WifiHostSettings::destroyInstance();

  script().adapters({"wlan0", "wlan1"}).networks({"0\toffice\tany"}).scanResults({}).status({});
  host = WifiHostSettings::getInstance(nullptr);
  EXPECT_EQ(builds(), 2u);
  ASSERT_NE(host->networkDatabase(), nullptr);
  EXPECT_EQ(host->networkDatabase()->count(), 1u);
  EXPECT_NE(host->refreshWatchdog(), nullptr);
  EXPECT_EQ(host->adapterCount(), 2);
  EXPECT_STREQ(host->adapter(0), "wlan0");
  EXPECT_STREQ(host->adapter(1), "wlan1");
  EXPECT_EQ(host->lastRefreshTime(), kStartTime);

  // recreateInstance always builds, even over a loaded instance.
  host = WifiHostSettings::recreateInstance(nullptr);
  EXPECT_EQ(builds(), 3u);
  EXPECT_EQ(WifiHostSettings::getInstance(nullptr), host);
  EXPECT_EQ(builds(), 3u);
}

TEST_F(WifiHostSettingsTest, FindNetworkMatchesTheWholeSsidOnly) {
  load({"0\toffice\tany", "1\toffice2\tany"});
  ASSERT_NE(find("office"), nullptr);
  EXPECT_EQ(find("office")->getNetworkId(), 0);
  EXPECT_EQ(find("office2")->getNetworkId(), 1);
  EXPECT_EQ(host->findNetwork("any adapter", "office"), find("office"));
  EXPECT_EQ(find("offic"), nullptr);
  EXPECT_EQ(find("office-guest"), nullptr);
  EXPECT_EQ(find("Office"), nullptr);
  EXPECT_EQ(find(""), nullptr);
  EXPECT_EQ(find(nullptr), nullptr);

  WifiHostSettings::destroyInstance();
  script().reset();
  host = WifiHostSettings::getInstance(nullptr);  // unloaded
  EXPECT_EQ(find("office"), nullptr);
}

// On an unloaded instance the lock is the instance mutex alone, re-entrant
// for its holder and exclusive against others.
TEST_F(WifiHostSettingsTest, LockOfAnUnloadedInstanceIsTheInstanceMutex) {
  host = WifiHostSettings::getInstance(nullptr);
  EXPECT_TRUE(host->lock());
  EXPECT_TRUE(host->lock());
  std::atomic<bool> acquired{false};
  std::thread other([&] {
    host->lock();
    acquired = true;
    host->unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(acquired);
  EXPECT_TRUE(host->unlock());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(acquired) << "released after one unlock of two";
  EXPECT_TRUE(host->unlock());
  other.join();
  EXPECT_TRUE(acquired);
}

TEST_F(WifiHostSettingsTest, LockHoldsTheDatabaseMutexToo) {
  load({"0\toffice\tany"});
  WifiNetworkDatabase* database = host->networkDatabase();
  host->lock();
  database->lock();  // re-entrant under the host lock
  database->unlock();
  std::atomic<bool> acquired{false};
  std::thread other([&] {
    database->lock();
    acquired = true;
    database->unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(acquired);
  host->unlock();
  other.join();
  EXPECT_TRUE(acquired);
  EXPECT_TRUE(hostLockFree());
}

TEST_F(WifiHostSettingsTest, ConcurrentFirstCallsBuildOneInstance) {
  // A slow daemon keeps the first construction busy while the others call.
  script().adapters({"wlan0"}).networks({"0\toffice\tany"}).scanResults({}).status({});
  script().delay("getAdapters", std::chrono::milliseconds(50));

  constexpr int kThreads = 12;
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::vector<WifiHostSettings*> seen(kThreads, nullptr);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      ++ready;
      while (!go) std::this_thread::yield();
      seen[i] = WifiHostSettings::getInstance(nullptr);
    });
  }
  while (ready < kThreads) std::this_thread::yield();
  go = true;
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(builds(), 1u);
  for (WifiHostSettings* settings : seen) EXPECT_EQ(settings, seen[0]);
  ASSERT_NE(seen[0], nullptr);
  ASSERT_NE(seen[0]->networkDatabase(), nullptr);
  EXPECT_EQ(seen[0]->networkDatabase()->count(), 1u);
}

TEST_F(WifiHostSettingsTest, ReloadReplacesTheNetworksAndKeepsTheDatabaseObject) {
  load({"0\toffice\tany", "1\tlab\tany"});
  WifiNetworkDatabase* database = host->networkDatabase();
  auto* watchdog = host->refreshWatchdog();

  script().networks({"5\tcafe\tany\t[CURRENT]"}).status({"wpa_state=COMPLETED"});
  orv_test::advanceClock(100);
  EXPECT_TRUE(host->reload());
  EXPECT_EQ(host->networkDatabase(), database);
  EXPECT_EQ(host->refreshWatchdog(), watchdog);
  EXPECT_EQ(snapshot(), "cafe/5/3 unchanged current=cafe state=8");
  EXPECT_EQ(host->lastRefreshTime(), 0u);
  EXPECT_EQ(script().calls().front(), "getAdapters(2)");
  EXPECT_TRUE(hostLockFree());

  // A reload whose load fails tears everything down, and still reports true.
  script().reset();
  EXPECT_TRUE(host->reload());
  expectUnloaded(host);
  EXPECT_TRUE(hostLockFree());
}

// A reload of an unloaded instance loads without a database: the records it
// builds must neither leak nor be left behind as the current network.
TEST_F(WifiHostSettingsTest, ReloadWithoutDatabaseLeavesNothingDangling) {
  host = WifiHostSettings::getInstance(nullptr);
  script().adapters({"wlan0"}).networks({"0\toffice\tany\t[CURRENT]"}).status({"wpa_state=SCANNING"});
  EXPECT_TRUE(host->reload());
  if (host->currentNetwork() != nullptr) {
    EXPECT_STREQ(host->currentNetwork()->getSsid(), "office");
  }
  EXPECT_TRUE(hostLockFree());
}

}  // namespace
