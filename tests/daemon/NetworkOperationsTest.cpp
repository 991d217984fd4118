#include <tuple>

#include "model/Text.h"
#include "tests/daemon/HostFixture.h"

namespace {

using H = WifiHostSettings;

class NetworkOperationsTest : public HostFixture {
 protected:
  // a (0), b (1) and the disabled c (2); no current network.
  void SetUp() override {
    HostFixture::SetUp();
    load({"0\ta\tany", "1\tb\tany", "2\tc\tany\t[DISABLED]"});
    script().result("selectNetwork", true).result("disconnectNetwork", true).result("reconnect", true);
    script().result("addNetwork", true).result("removeNetwork", true).nextNetworkId(9);
  }
  // Everything the operations may change: describe(), 1 while no record was
  // added or removed, and the daemon state.
  std::string memory() const {
    return describe() + (host->networkDatabase()->isUnchanged() ? " 1 " : " 0 ") +
           std::to_string(host->daemonState());
  }
};

WifiNetwork* net(H* h, const char* ssid) { return h->findNetwork(nullptr, ssid); }

// One step after another: its result, memory() after it ("": as before) and
// the daemon calls it made (split at '|'). A step the daemon refuses (the
// operation named fails for that step alone), or one refused before asking,
// changes nothing; unknown and null SSIDs need no daemon call.
TEST_F(NetworkOperationsTest, EachStepAsksTheDaemonFirstAndARefusalChangesNothing) {
  const std::tuple<bool (*)(H*), const char*, bool, const char*, const char*> steps[] = {
      {[](H* h) { return h->connect("wlan0", "a"); }, "", true, "c/2/5; b/1/1; a/0/4* 1 0", "selectNetwork(wlan0, 0)"},
      // Another network: the old one goes back to enabled.
      {[](H* h) { return h->connect("wlan7", "b"); }, "", true, "c/2/5; b/1/4*; a/0/1 1 0", "selectNetwork(wlan7, 1)"},
      // The current one again: asked, nothing changes.
      {[](H* h) { return net(h, "b")->setStatus(NETWORK_STATUS_CONNECTED) && h->connect("wlan0", "b"); }, "", true,
       "c/2/5; b/1/3*; a/0/1 1 0", "selectNetwork(wlan0, 1)"},
      // A disabled current network stays disabled when another is chosen.
      {[](H* h) { return net(h, "b")->setStatus(NETWORK_STATUS_DISABLED) && h->connect("wlan0", "a"); }, "", true,
       "c/2/5; b/1/5; a/0/4* 1 0", "selectNetwork(wlan0, 0)"},
      // Disconnecting a network that is not current leaves the current one;
      // connect then reconnects first.
      {[](H* h) { return h->disconnect("wlan0", "c"); }, "", true, "c/2/5; b/1/5; a/0/4* 1 1", "disconnectNetwork(wlan0, 2)"},
      {[](H* h) { return h->connect("wlan0", "b"); }, "selectNetwork", false, "", "reconnect(wlan0)|selectNetwork(wlan0, 1)"},
      {[](H* h) { return h->connect("wlan0", "b"); }, "reconnect", false, "", "reconnect(wlan0)"},
      {[](H* h) { return h->disconnect("wlan0", "a"); }, "disconnectNetwork", false, "", "disconnectNetwork(wlan0, 0)"},
      {[](H* h) { return h->removeNetwork("wlan0", "a"); }, "removeNetwork", false, "", "removeNetwork(wlan0, 0)"},
      {[](H* h) { return h->addNetwork("wlan0", "new"); }, "addNetwork", false, "", "addNetwork(wlan0, new)"},
      {[](H* h) { return h->roam("wlan0"); }, "disconnectNetwork", false, "", "disconnectNetwork(wlan0, 0)"},
      {[](H* h) { return h->removeNetwork("wlan0", "ghost") && h->removeNetwork("wlan0", nullptr); }, "", true, "", ""},
      {[](H* h) { return h->disconnect("wlan0", "ghost") && h->disconnect("wlan0", nullptr); }, "", true, "", ""},
      {[](H* h) { return h->connect("wlan0", "ghost") || h->connect("wlan0", nullptr); }, "", false, "", ""},
      // A network without a name could never be found, saved or listed again.
      {[](H* h) { return h->addNetwork("wlan0", "b") || h->addNetwork("wlan0", nullptr); }, "", false, "", ""},
      {[](H* h) { return h->disconnect("wlan0", "a"); }, "", true, "c/2/5; b/1/5; a/0/1 1 1", "disconnectNetwork(wlan0, 0)"},
      {[](H* h) { return h->connect("wlan0", "b"); }, "", true, "c/2/5; b/1/4*; a/0/1 1 1",
       "reconnect(wlan0)|selectNetwork(wlan0, 1)"},
      // An added network is flagged for its SSID only (seen at the next step).
      {[](H* h) { return h->addNetwork("wlan1", "new") && net(h, "new")->setSsidChanged(false); }, "", true,
       "new/9/0; c/2/5; b/1/4*; a/0/1 0 1", "addNetwork(wlan1, new)"},
      {[](H* h) { return !net(h, "new")->hasChanges() && h->removeNetwork("wlan1", "a"); }, "", true,
       "new/9/0; c/2/5; b/1/4* 0 1", "removeNetwork(wlan1, 0)"},
      {[](H* h) { return h->removeNetwork("wlan0", "b") && h->currentNetwork() == nullptr; }, "", true,
       "new/9/0; c/2/5 0 1", "removeNetwork(wlan0, 1)"},
      // Roam enables every network between its disconnect and reconnect.
      {[](H* h) { return h->roam("wlan3"); }, "", true, "",
       "disconnectNetwork(wlan3, 0)|setNetworkVariable(wlan3, 9, disabled, 0)|"
       "setNetworkVariable(wlan3, 2, disabled, 0)|reconnect(wlan3)"},
  };
  for (const auto& step : steps) {
    const auto& [run, refused, result, after, calls] = step;
    SCOPED_TRACE("step " + std::to_string(&step - steps));
    const std::string before = memory();
    script().result(refused, false).clearCalls();
    EXPECT_EQ(run(host), result);
    EXPECT_EQ(memory(), *after != '\0' ? after : before);
    EXPECT_EQ(script().calls(), split(calls));
    EXPECT_TRUE(hostLockFree());
    script().result(refused, true);
  }
  // A capacity cut keeps the newest.
  char* copies[1] = {};
  uint8_t count = 99;
  EXPECT_TRUE(host->getNetworkSsids(nullptr, copies, 1, &count) && count == 1);
  EXPECT_STREQ(text::Owned(copies[0]).get(), "new");
}

}  // namespace
