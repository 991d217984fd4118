#include <gtest/gtest.h>

#include <tuple>

#include "model/Text.h"
#include "tests/daemon/HostFixture.h"

namespace {

class NetworkOperationsTest : public HostFixture {
 protected:
  // office (0), lab (1) and the disabled cafe (2); no current network.
  void SetUp() override {
    HostFixture::SetUp();
    load({"0\toffice\tany", "1\tlab\tany", "2\tcafe\tany\t[DISABLED]"});
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
};

// Each step in turn: its result, then memory() and the daemon calls it made.
TEST_F(NetworkOperationsTest, EachStepAsksTheDaemonFirst) {
  using H = WifiHostSettings;
  const std::tuple<bool (*)(H*), std::string, Calls> steps[] = {
      {[](H* h) { return h->connect("wlan0", "office"); }, "cafe/2/5; lab/1/1; office/0/4* unchanged 0",
       {"selectNetwork(wlan0, 0)"}},
      // Another network: the old one goes back to enabled.
      {[](H* h) { return h->connect("wlan7", "lab"); }, "cafe/2/5; lab/1/4*; office/0/1 unchanged 0",
       {"selectNetwork(wlan7, 1)"}},
      // The current one again: asked, nothing changes.
      {[](H* h) { return h->findNetwork(nullptr, "lab")->setStatus(NETWORK_STATUS_CONNECTED) && h->connect("wlan0", "lab"); },
       "cafe/2/5; lab/1/3*; office/0/1 unchanged 0", {"selectNetwork(wlan0, 1)"}},
      // A disabled current network stays disabled when another is chosen.
      {[](H* h) { return h->findNetwork(nullptr, "lab")->setStatus(NETWORK_STATUS_DISABLED) && h->connect("wlan0", "office"); },
       "cafe/2/5; lab/1/5; office/0/4* unchanged 0", {"selectNetwork(wlan0, 0)"}},
      // Disconnecting a network that is not current leaves the current one.
      {[](H* h) { return h->disconnect("wlan0", "cafe"); }, "cafe/2/5; lab/1/5; office/0/4* unchanged 1",
       {"disconnectNetwork(wlan0, 2)"}},
      {[](H* h) { return h->disconnect("wlan0", "office"); }, "cafe/2/5; lab/1/5; office/0/1 unchanged 1",
       {"disconnectNetwork(wlan0, 0)"}},
      // After a disconnect, connect reconnects first.
      {[](H* h) { return h->connect("wlan0", "lab"); }, "cafe/2/5; lab/1/4*; office/0/1 unchanged 1",
       {"reconnect(wlan0)", "selectNetwork(wlan0, 1)"}},
      // An added network is flagged for its SSID only.
      {[](H* h) { return h->addNetwork("wlan1", "new") && h->findNetwork(nullptr, "new")->setSsidChanged(false); },
       "new/9/0; cafe/2/5; lab/1/4*; office/0/1 changed 1", {"addNetwork(wlan1, new)"}},
      {[](H* h) { return !h->findNetwork(nullptr, "new")->hasChanges() && h->removeNetwork("wlan1", "office"); },
       "new/9/0; cafe/2/5; lab/1/4* changed 1", {"removeNetwork(wlan1, 0)"}},
      {[](H* h) { return h->removeNetwork("wlan0", "lab"); }, "new/9/0; cafe/2/5 changed 1", {"removeNetwork(wlan0, 1)"}},
      // Roam enables every network between its disconnect and reconnect.
      {[](H* h) { return h->roam("wlan3"); }, "new/9/0; cafe/2/5 changed 1",
       {"disconnectNetwork(wlan3, 0)", "setNetworkVariable(wlan3, 9, disabled, 0)",
        "setNetworkVariable(wlan3, 2, disabled, 0)", "reconnect(wlan3)"}},
  };
  for (const auto& [step, expected, calls] : steps) {
    SCOPED_TRACE(calls.front());
    script().clearCalls();
    EXPECT_TRUE(step(host));
    EXPECT_EQ(memory(), expected);
    EXPECT_EQ(script().calls(), calls);
    EXPECT_TRUE(hostLockFree());
  }
  // A capacity cut keeps the newest.
  char* copies[1] = {};
  uint8_t count = 99;
  EXPECT_TRUE(host->getNetworkSsids(nullptr, copies, 1, &count));
  ASSERT_EQ(count, 1);
  EXPECT_STREQ(copies[0], "new");
  text::release(copies[0]);
}

// Each refusal, by the daemon or before asking it, leaves memory as it was
// and the lock free; unknown and null SSIDs need no daemon call. roam's
// result is reconnect's.
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
  script().result("reconnect", false);
  EXPECT_FALSE(host->roam("wlan0"));
}

}  // namespace
