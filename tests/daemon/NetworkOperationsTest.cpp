#include <gtest/gtest.h>

#include <tuple>
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

// Each refusal, by the daemon or before asking it, leaves memory as it was
// and the lock free; unknown and null SSIDs need no daemon call.
TEST_F(NetworkOperationsTest, RefusalsChangeNothing) {
  using H = WifiHostSettings;
  const std::tuple<bool (*)(H*), const char*, bool, Calls> rows[] = {  // the call, what fails, its result, calls
      {[](H* h) { return h->connect("wlan0", "lab"); }, "selectNetwork", false,
       {"reconnect(wlan0)", "selectNetwork(wlan0, 1)"}},
      {[](H* h) { return h->connect("wlan0", "lab"); }, "reconnect", false, {"reconnect(wlan0)"}},
      {[](H* h) { return h->disconnect("wlan0", "office"); }, "disconnectNetwork", false, {"disconnectNetwork(wlan0, 0)"}},
      {[](H* h) { return h->removeNetwork("wlan0", "office"); }, "removeNetwork", false, {"removeNetwork(wlan0, 0)"}},
      {[](H* h) { return h->addNetwork("wlan0", "new"); }, "addNetwork", false, {"addNetwork(wlan0, new)"}},
      {[](H* h) { return h->roam("wlan0"); }, "disconnectNetwork", false, {"disconnectNetwork(wlan0, 0)"}},
      {[](H* h) { return h->removeNetwork("wlan0", "ghost") && h->removeNetwork("wlan0", nullptr); }, "", true, {}},
      {[](H* h) { return h->disconnect("wlan0", "ghost") && h->disconnect("wlan0", nullptr); }, "", true, {}},
      {[](H* h) { return h->connect("wlan0", "ghost") || h->connect("wlan0", nullptr); }, "", false, {}},
      // A network without a name could never be found, saved or listed again.
      {[](H* h) { return h->addNetwork("wlan0", "lab") || h->addNetwork("wlan0", nullptr); }, "", false, {}},
  };
  for (const auto& [run, failing, result, calls] : rows) {
    SCOPED_TRACE(calls.empty() ? "no call" : calls.back());
    SetUp();
    host->connect("wlan0", "office");
    host->disconnect("wlan0", "cafe");  // connect then reconnects first
    const std::string before = memory();
    script().result(failing, false).clearCalls();
    EXPECT_EQ(run(host), result);
    EXPECT_EQ(script().calls(), calls);
    EXPECT_EQ(memory(), before);
    EXPECT_TRUE(hostLockFree());
  }
}

}  // namespace
