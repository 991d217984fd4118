#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "model/Text.h"
#include "tests/daemon/HostFixture.h"

namespace {

class StressTest : public HostFixture {};

// Several callers at once against one instance, each using the locks the way
// the library's entries do; afterwards the list must still be whole.
TEST_F(StressTest, ConcurrentOperationsKeepTheDatabaseConsistent) {
  std::vector<std::string> lines;
  for (int id = 0; id < 8; ++id) lines.push_back(std::to_string(id) + "\tnet" + std::to_string(id) + "\tany");
  load(lines, {"ssid=net3", "wpa_state=COMPLETED"}, {"aa:bb:cc:dd:ee:ff\t2412\t200\t[ESS]\tnet1"});
  for (const char* operation : {"selectNetwork", "disconnectNetwork", "reconnect", "addNetwork",
                                "removeNetwork", "setNetworkVariable", "saveConfig", "reloadConfig"}) {
    script().result(operation, true);
  }
  script().nextNetworkId(20);
  script().networks({"0\tnet0\tany\t[CURRENT]", "1\tnet1\tany\t[DISABLED]", "2\tnet2\tany", "20\tnet9\tany"});
  script().status({"ssid=net2", "wpa_state=ASSOCIATED"});

  std::atomic<bool> stop{false};
  using Work = std::function<void(std::minstd_rand&, const std::string&)>;
  const Work workers[] = {
      [this](std::minstd_rand& random, const std::string& ssid) {
        host->connect("wlan0", ssid.c_str());
        if (random() % 4 == 0) host->disconnect("wlan0", ssid.c_str());
        if (random() % 16 == 0) host->roam("wlan0");
      },
      [this](std::minstd_rand& random, const std::string& ssid) {
        if (random() % 2 == 0) {
          host->addNetwork("wlan0", ssid.c_str());
        } else {
          host->removeNetwork("wlan0", ssid.c_str());
        }
      },
      [this](std::minstd_rand&, const std::string&) { host->save(); },
      [this](std::minstd_rand&, const std::string&) {
        orv_test::advanceClock(5000);
        host->refreshNetworkList();
      },
      [this](std::minstd_rand& random, const std::string& ssid) {
        host->lock();
        if (WifiNetwork* network = host->findNetwork("wlan0", ssid.c_str())) {
          network->setPriority(static_cast<int32_t>(random() % 100));
          network->setPhase1(random() % 2 == 0 ? "peaplabel=0" : "peaplabel=1");
          network->setWepKey(random() % 4, random() % 2 == 0 ? "key" : nullptr);
        }
        host->getDaemonStatus("wlan0");
        host->getCurrentNetwork("wlan0");
        host->unlock();
      },
      [this](std::minstd_rand&, const std::string&) {
        char* ssids[32] = {};
        uint8_t count = 0;
        host->getNetworkSsids("wlan0", ssids, 32, &count);
        for (uint8_t i = 0; i < count; ++i) text::release(ssids[i]);
      },
  };

  std::vector<std::thread> threads;
  std::atomic<long> rounds{0};
  for (size_t index = 0; index < sizeof(workers) / sizeof(workers[0]); ++index) {
    threads.emplace_back([&, index] {
      std::minstd_rand random(static_cast<unsigned>(index) + 1);
      for (long round = 0; !stop; ++round) {
        workers[index](random, "net" + std::to_string(random() % 12));
        if (round % 64 == 0) script().clearCalls();  // keeps the call log small
        ++rounds;
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::seconds(3));
  stop = true;
  for (std::thread& thread : threads) thread.join();
  EXPECT_GT(rounds.load(), 0);

  WifiNetworkDatabase* database = host->networkDatabase();
  ASSERT_NE(database, nullptr);
  database->lock();
  std::set<std::string> seen;
  bool currentReachable = host->currentNetwork() == nullptr;
  uint32_t walked = 0;
  for (WifiNetwork* n = database->first(); n != nullptr && walked <= 64; n = n->getNext(), ++walked) {
    ASSERT_NE(n->getSsid(), nullptr);
    EXPECT_TRUE(seen.insert(n->getSsid()).second) << "twice: " << n->getSsid();
    if (n == host->currentNetwork()) currentReachable = true;
  }
  EXPECT_EQ(database->count(), walked);
  EXPECT_TRUE(currentReachable);
  database->unlock();

  EXPECT_TRUE(host->save());
  EXPECT_TRUE(hostLockFree());
}

}  // namespace
