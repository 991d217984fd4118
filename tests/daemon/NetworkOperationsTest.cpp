#include <gtest/gtest.h>

#include <tuple>

#include "model/Text.h"
#include "tests/daemon/HostFixture.h"

namespace {

class NetworkOperationsTest : public HostFixture {
 protected:
  // a (0), b (1) and the disabled c (2); no current network.
  void SetUp() override {
    HostFixture::SetUp();
    load({"0\ta\tany", "1\tb\tany", "2\tc\tany\t[DISABLED]"});
    for (const char* operation : {"selectNetwork", "disconnectNetwork", "reconnect", "addNetwork", "removeNetwork"}) {
      script().result(operation, true);
    }
    script().nextNetworkId(9);
  }
  // Everything the operations may change.
  std::string memory() const {
    return describe() + (host->networkDatabase()->isUnchanged() ? " unchanged " : " changed ") +
           std::to_string(host->daemonState());
  }
  // The result of a step, then memory() and the daemon calls it made.
  void expectStep(bool result, const std::string& expected, const Calls& calls) {
    EXPECT_TRUE(result);
    EXPECT_EQ(memory(), expected);
    EXPECT_EQ(script().calls(), calls);
    EXPECT_TRUE(hostLockFree());
    script().clearCalls();
  }
};

TEST_F(NetworkOperationsTest, EachStepAsksTheDaemonFirst) {
  expectStep(host->connect("wlan0", "a"), "c/2/5; b/1/1; a/0/4* unchanged 0", {"selectNetwork(wlan0, 0)"});
  // Another network: the old one goes back to enabled.
  expectStep(host->connect("wlan7", "b"), "c/2/5; b/1/4*; a/0/1 unchanged 0", {"selectNetwork(wlan7, 1)"});
  // The current one again: asked, nothing changes.
  find("b")->setStatus(NETWORK_STATUS_CONNECTED);
  expectStep(host->connect("wlan0", "b"), "c/2/5; b/1/3*; a/0/1 unchanged 0", {"selectNetwork(wlan0, 1)"});
  // A disabled current network stays disabled when another is chosen.
  find("b")->setStatus(NETWORK_STATUS_DISABLED);
  expectStep(host->connect("wlan0", "a"), "c/2/5; b/1/5; a/0/4* unchanged 0", {"selectNetwork(wlan0, 0)"});
  // Disconnecting a network that is not current leaves the current one.
  expectStep(host->disconnect("wlan0", "c"), "c/2/5; b/1/5; a/0/4* unchanged 1", {"disconnectNetwork(wlan0, 2)"});
  expectStep(host->disconnect("wlan0", "a"), "c/2/5; b/1/5; a/0/1 unchanged 1", {"disconnectNetwork(wlan0, 0)"});
  // After a disconnect, connect reconnects first.
  expectStep(host->connect("wlan0", "b"), "c/2/5; b/1/4*; a/0/1 unchanged 1",
             {"reconnect(wlan0)", "selectNetwork(wlan0, 1)"});
  // An added network is flagged for its SSID only.
  expectStep(host->addNetwork("wlan1", "new"), "new/9/0; c/2/5; b/1/4*; a/0/1 changed 1", {"addNetwork(wlan1, new)"});
  find("new")->setSsidChanged(false);
  EXPECT_FALSE(find("new")->hasChanges());
  expectStep(host->removeNetwork("wlan1", "a"), "new/9/0; c/2/5; b/1/4* changed 1", {"removeNetwork(wlan1, 0)"});
  expectStep(host->removeNetwork("wlan0", "b"), "new/9/0; c/2/5 changed 1", {"removeNetwork(wlan0, 1)"});
  EXPECT_EQ(host->currentNetwork(), nullptr);
  // Roam enables every network between its disconnect and reconnect.
  expectStep(host->roam("wlan3"), "new/9/0; c/2/5 changed 1",
             {"disconnectNetwork(wlan3, 0)", "setNetworkVariable(wlan3, 9, disabled, 0)",
              "setNetworkVariable(wlan3, 2, disabled, 0)", "reconnect(wlan3)"});
  // A capacity cut keeps the newest.
  char* copies[1] = {};
  uint8_t count = 99;
  EXPECT_TRUE(host->getNetworkSsids(nullptr, copies, 1, &count) && count == 1);
  EXPECT_STREQ(text::Owned(copies[0]).get(), "new");
}

// Each refusal, by the daemon or before asking it, leaves memory as it was
// and the lock free; unknown and null SSIDs need no daemon call.
TEST_F(NetworkOperationsTest, RefusalsChangeNothing) {
  using H = WifiHostSettings;
  const std::tuple<bool (*)(H*), const char*, bool, Calls> rows[] = {  // the call, what fails, its result, calls
      {[](H* h) { return h->connect("wlan0", "b"); }, "selectNetwork", false,
       {"reconnect(wlan0)", "selectNetwork(wlan0, 1)"}},
      {[](H* h) { return h->connect("wlan0", "b"); }, "reconnect", false, {"reconnect(wlan0)"}},
      {[](H* h) { return h->disconnect("wlan0", "a"); }, "disconnectNetwork", false, {"disconnectNetwork(wlan0, 0)"}},
      {[](H* h) { return h->removeNetwork("wlan0", "a"); }, "removeNetwork", false, {"removeNetwork(wlan0, 0)"}},
      {[](H* h) { return h->addNetwork("wlan0", "new"); }, "addNetwork", false, {"addNetwork(wlan0, new)"}},
      {[](H* h) { return h->roam("wlan0"); }, "disconnectNetwork", false, {"disconnectNetwork(wlan0, 0)"}},
      {[](H* h) { return h->removeNetwork("wlan0", "ghost") && h->removeNetwork("wlan0", nullptr); }, "", true, {}},
      {[](H* h) { return h->disconnect("wlan0", "ghost") && h->disconnect("wlan0", nullptr); }, "", true, {}},
      {[](H* h) { return h->connect("wlan0", "ghost") || h->connect("wlan0", nullptr); }, "", false, {}},
      // A network without a name could never be found, saved or listed again.
      {[](H* h) { return h->addNetwork("wlan0", "b") || h->addNetwork("wlan0", nullptr); }, "", false, {}},
  };
  for (const auto& [run, failing, result, calls] : rows) {
    SetUp();
    host->connect("wlan0", "a");
    host->disconnect("wlan0", "c");  // connect then reconnects first
    const std::string before = memory();
    script().result(failing, false).clearCalls();
    EXPECT_EQ(run(host), result) << failing;
    EXPECT_EQ(script().calls(), calls);
    EXPECT_EQ(memory(), before);
    EXPECT_TRUE(hostLockFree());
  }
}

}  // namespace
