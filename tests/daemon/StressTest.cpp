#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <set>

#include "model/Text.h"
#include "tests/daemon/HostFixture.h"

namespace {

class StressTest : public HostFixture {};

// Several callers at once against one instance, each using the locks the way
// the library's entries do; afterwards the list must still be whole.
TEST_F(StressTest, ConcurrentOperationsKeepTheDatabaseConsistent) {
  load({"0\tnet0\tany", "1\tnet1\tany", "2\tnet2\tany", "3\tnet3\tany"}, {"ssid=net3", "wpa_state=COMPLETED"});
  script().result("selectNetwork", true).result("disconnectNetwork", true).result("reconnect", true);
  script().result("addNetwork", true).result("removeNetwork", true).result("saveConfig", true);
  script().nextNetworkId(20).networks({"0\tnet0\tany\t[CURRENT]", "1\tnet1\tany\t[DISABLED]", "20\tnet9\tany"});
  script().status({"ssid=net2", "wpa_state=ASSOCIATED"}).scanResults({"aa:bb:cc:dd:ee:ff\t2412\t200\t[ESS]\tnet1"});

  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (unsigned worker = 0; worker < 5; ++worker) {
    threads.emplace_back([this, worker, &stop] {
      std::minstd_rand random(worker + 1);
      for (long round = 0; !stop; ++round) {
        const std::string ssid = "net" + std::to_string(random() % 12);
        if (worker == 0) {
          host->connect("wlan0", ssid.c_str());
          if (random() % 4 == 0) host->disconnect("wlan0", ssid.c_str());
          if (random() % 16 == 0) host->roam("wlan0");
        } else if (worker == 1) {
          random() % 2 == 0 ? host->addNetwork("wlan0", ssid.c_str()) : host->removeNetwork("wlan0", ssid.c_str());
        } else if (worker == 2) {
          host->save();
          char* ssids[32] = {};
          uint8_t count = 0;
          host->getNetworkSsids("wlan0", ssids, 32, &count);
          for (uint8_t i = 0; i < count; ++i) text::release(ssids[i]);
        } else if (worker == 3) {
          orv_test::advanceClock(5000);
          host->refreshNetworkList();
          host->getDaemonStatus("wlan0");
          host->getCurrentNetwork("wlan0");
        } else if (host->lock()) {  // a caller changing a record under the lock
          WifiNetwork* network = host->findNetwork("wlan0", ssid.c_str());
          if (network != nullptr) network->setPhase1(random() % 2 == 0 ? "peaplabel=0" : nullptr);
          host->unlock();
        }
        if (round % 64 == 0) script().clearCalls();  // keeps the call log small
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));
  stop = true;
  for (std::thread& thread : threads) thread.join();

  // Every record reachable, each SSID once, the current one among them.
  std::set<const WifiNetwork*> records;
  std::set<std::string> ssids;
  host->lock();
  for (WifiNetwork* n = host->networkDatabase()->first(); n != nullptr && records.size() <= 64; n = n->getNext()) {
    records.insert(n);
    ssids.insert(n->getSsid());
  }
  EXPECT_EQ(host->networkDatabase()->count(), ssids.size());
  EXPECT_TRUE(host->currentNetwork() == nullptr || records.count(host->currentNetwork()) == 1);
  host->unlock();
  EXPECT_TRUE(host->save());
  EXPECT_TRUE(hostLockFree());
}

}  // namespace
