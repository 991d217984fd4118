#include <gtest/gtest.h>

#include <utility>

#include "model/Text.h"
#include "tests/daemon/HostFixture.h"

namespace {

class NetworkOperationsTest : public HostFixture {
 protected:
  // office (0), lab (1) and the disabled cafe (2); no current network.
  void SetUp() override {
    HostFixture::SetUp();
    load({"0\toffice\tany", "1\tlab\tany", "2\tcafe\tany\t[DISABLED]"});
    script().result("selectNetwork", true).result("disconnectNetwork", true).result("reconnect", true);
    script().result("addNetwork", true).result("removeNetwork", true);
  }

  // Everything the operations may change.
  std::string memory() const {
    return describe() + (host->networkDatabase()->isUnchanged() ? " unchanged" : " changed") +
           " state=" + std::to_string(host->daemonState());
  }
};

TEST_F(NetworkOperationsTest, ConnectAndDisconnect) {
  EXPECT_TRUE(host->connect("wlan0", "office"));
  EXPECT_EQ(describe(), "cafe/2/5; lab/1/1; office/0/4*");
  // Another network: the old one goes back to enabled.
  EXPECT_TRUE(host->connect("wlan7", "lab"));
  EXPECT_EQ(describe(), "cafe/2/5; lab/1/4*; office/0/1");
  // The current one again: asked, nothing changes.
  find("lab")->setStatus(NETWORK_STATUS_CONNECTED);
  EXPECT_TRUE(host->connect("wlan0", "lab"));
  EXPECT_EQ(describe(), "cafe/2/5; lab/1/3*; office/0/1");
  // A disabled current network stays disabled when another is chosen.
  find("lab")->setStatus(NETWORK_STATUS_DISABLED);
  EXPECT_TRUE(host->connect("wlan0", "office"));
  EXPECT_EQ(describe(), "cafe/2/5; lab/1/5; office/0/4*");
  // Disconnecting a network that is not current leaves the current one.
  EXPECT_TRUE(host->disconnect("wlan0", "cafe"));
  EXPECT_EQ(host->currentNetwork(), find("office"));
  EXPECT_TRUE(host->disconnect("wlan0", "office"));
  EXPECT_EQ(memory(), "cafe/2/5; lab/1/5; office/0/1 unchanged state=1");
  // After a disconnect, connect reconnects first.
  EXPECT_TRUE(host->connect("wlan0", "lab"));
  EXPECT_EQ(memory(), "cafe/2/5; lab/1/4*; office/0/1 unchanged state=1");
  EXPECT_EQ(script().calls(),
            (Calls{"selectNetwork(wlan0, 0)", "selectNetwork(wlan7, 1)", "selectNetwork(wlan0, 1)",
                   "selectNetwork(wlan0, 0)", "disconnectNetwork(wlan0, 2)", "disconnectNetwork(wlan0, 0)",
                   "reconnect(wlan0)", "selectNetwork(wlan0, 1)"}));
  EXPECT_TRUE(hostLockFree());
}

TEST_F(NetworkOperationsTest, SsidsThatNeedNoDaemonCall) {
  const std::string before = memory();
  EXPECT_TRUE(host->removeNetwork("wlan0", "ghost") && host->removeNetwork("wlan0", nullptr));
  EXPECT_TRUE(host->disconnect("wlan0", "ghost") && host->disconnect("wlan0", nullptr));
  EXPECT_FALSE(host->connect("wlan0", "ghost") || host->connect("wlan0", nullptr));
  // Adding a present SSID, or none (a network without a name could never be
  // found, saved or listed again), is refused.
  EXPECT_FALSE(host->addNetwork("wlan0", "lab") || host->addNetwork("wlan0", nullptr));
  EXPECT_EQ(script().calls(), Calls{});
  EXPECT_EQ(memory(), before);
  EXPECT_TRUE(hostLockFree());
}

TEST_F(NetworkOperationsTest, AddRemoveAndCopiesOut) {
  script().nextNetworkId(9);
  EXPECT_TRUE(host->addNetwork("wlan1", "new"));
  find("new")->setSsidChanged(false);  // only the SSID is flagged
  EXPECT_FALSE(find("new")->hasChanges());
  EXPECT_EQ(memory(), "new/9/0; cafe/2/5; lab/1/1; office/0/1 changed state=0");

  host->networkDatabase()->markUnchanged();
  host->connect("wlan0", "lab");
  EXPECT_TRUE(host->removeNetwork("wlan1", "office"));
  EXPECT_EQ(memory(), "new/9/0; cafe/2/5; lab/1/4* changed state=0");
  EXPECT_TRUE(host->removeNetwork("wlan0", "lab"));
  EXPECT_EQ(host->currentNetwork(), nullptr);
  EXPECT_EQ(script().calls(),
            (Calls{"addNetwork(wlan1, new)", "selectNetwork(wlan0, 1)", "removeNetwork(wlan1, 0)",
                   "removeNetwork(wlan0, 1)"}));

  // A capacity cut keeps the newest.
  char* copies[1] = {};
  uint8_t count = 99;
  EXPECT_TRUE(host->getNetworkSsids(nullptr, copies, 1, &count));
  ASSERT_EQ(count, 1);
  EXPECT_STREQ(copies[0], "new");
  text::release(copies[0]);
  EXPECT_TRUE(hostLockFree());
}

TEST_F(NetworkOperationsTest, RoamEnablesEveryNetworkBetweenDisconnectAndReconnect) {
  EXPECT_TRUE(host->roam("wlan3"));
  EXPECT_EQ(script().calls(), (Calls{"disconnectNetwork(wlan3, 0)", "setNetworkVariable(wlan3, 2, disabled, 0)",
                                     "setNetworkVariable(wlan3, 1, disabled, 0)",
                                     "setNetworkVariable(wlan3, 0, disabled, 0)", "reconnect(wlan3)"}));
  // On an empty database, and the result is reconnect's.
  load({});
  script().result("reconnect", false);
  EXPECT_FALSE(host->roam("wlan0"));
  EXPECT_EQ(script().calls(), (Calls{"disconnectNetwork(wlan0, 0)", "reconnect(wlan0)"}));
}

// Each daemon refusal leaves memory as it was and the lock free.
TEST_F(NetworkOperationsTest, DaemonFailuresChangeNothing) {
  using H = WifiHostSettings;
  const std::pair<bool (*)(H*), std::string> rows[] = {
      {[](H* h) { return h->connect("wlan0", "lab"); }, "selectNetwork(wlan0, 1)"},
      {[](H* h) { return h->connect("wlan0", "lab"); }, "reconnect(wlan0)"},
      {[](H* h) { return h->disconnect("wlan0", "office"); }, "disconnectNetwork(wlan0, 0)"},
      {[](H* h) { return h->removeNetwork("wlan0", "office"); }, "removeNetwork(wlan0, 0)"},
      {[](H* h) { return h->addNetwork("wlan0", "new"); }, "addNetwork(wlan0, new)"},
      {[](H* h) { return h->roam("wlan0"); }, "disconnectNetwork(wlan0, 0)"},
  };
  for (const auto& [run, call] : rows) {
    SCOPED_TRACE(call);
    SetUp();
    host->connect("wlan0", "office");
    host->disconnect("wlan0", "cafe");  // connect then reconnects first
    const std::string operation = call.substr(0, call.find('(')), before = memory();
    script().result(operation, false).clearCalls();
    EXPECT_FALSE(run(host));
    EXPECT_EQ(script().calls(operation), Calls{call});
    EXPECT_EQ(memory(), before);
    EXPECT_TRUE(hostLockFree());
  }
}

}  // namespace
