#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model/Text.h"
#include "tests/daemon/HostFixture.h"

namespace {

class NetworkOperationsTest : public HostFixture {
 protected:
  // office (0), lab (1) and the disabled cafe (2); no current network.
  void SetUp() override {
    HostFixture::SetUp();
    load({"0\toffice\tany", "1\tlab\tany", "2\tcafe\tany\t[DISABLED]"});
    for (const char* operation : {"selectNetwork", "disconnectNetwork", "reconnect", "addNetwork",
                                  "removeNetwork", "setNetworkVariable"}) {
      script().result(operation, true);
    }
  }

  static std::vector<std::string> takeAll(char** texts, uint8_t count) {
    std::vector<std::string> copies;
    for (uint8_t i = 0; i < count; ++i) {
      copies.push_back(texts[i]);
      text::release(texts[i]);
    }
    return copies;
  }
};

TEST_F(NetworkOperationsTest, ConnectMakesTheNetworkCurrent) {
  EXPECT_TRUE(host->connect("wlan0", "office"));
  EXPECT_EQ(script().calls(), Calls{"selectNetwork(wlan0, 0)"});
  EXPECT_EQ(describe(), "cafe/2/5; lab/1/1; office/0/4*");

  // Another network: the old one goes back to enabled.
  EXPECT_TRUE(host->connect("wlan7", "lab"));
  EXPECT_EQ(script().calls().back(), "selectNetwork(wlan7, 1)");
  EXPECT_EQ(describe(), "cafe/2/5; lab/1/4*; office/0/1");

  // The current one again: asked, nothing changes.
  find("lab")->setStatus(NETWORK_STATUS_CONNECTED);
  EXPECT_TRUE(host->connect("wlan0", "lab"));
  EXPECT_EQ(script().calls().back(), "selectNetwork(wlan0, 1)");
  EXPECT_EQ(describe(), "cafe/2/5; lab/1/3*; office/0/1");

  // A disabled current network stays disabled when another is chosen.
  find("lab")->setStatus(NETWORK_STATUS_DISABLED);
  EXPECT_TRUE(host->connect("wlan0", "office"));
  EXPECT_EQ(describe(), "cafe/2/5; lab/1/5; office/0/4*");
  EXPECT_EQ(host->daemonState(), 0u);
  EXPECT_TRUE(hostLockFree());
}

TEST_F(NetworkOperationsTest, DisconnectThenConnectReconnectsFirst) {
  host->connect("wlan0", "office");
  script().clearCalls();
  EXPECT_TRUE(host->disconnect("wlan0", "office"));
  EXPECT_EQ(script().calls(), Calls{"disconnectNetwork(wlan0, 0)"});
  EXPECT_EQ(describe(), "cafe/2/5; lab/1/1; office/0/1");
  EXPECT_EQ(host->daemonState(), 1u);

  script().clearCalls();
  EXPECT_TRUE(host->connect("wlan0", "lab"));
  EXPECT_EQ(script().calls(), (Calls{"reconnect(wlan0)", "selectNetwork(wlan0, 1)"}));
  EXPECT_EQ(describe(), "cafe/2/5; lab/1/4*; office/0/1");
  EXPECT_EQ(host->daemonState(), 1u);  // left for the next status query

  // Disconnecting a network that is not current leaves the current one.
  EXPECT_TRUE(host->disconnect("wlan0", "cafe"));
  EXPECT_EQ(describe(), "cafe/2/5; lab/1/4*; office/0/1");
}

TEST_F(NetworkOperationsTest, UnknownSsids) {
  EXPECT_TRUE(host->removeNetwork("wlan0", "ghost"));
  EXPECT_TRUE(host->disconnect("wlan0", "ghost"));
  EXPECT_FALSE(host->connect("wlan0", "ghost"));
  EXPECT_FALSE(host->addNetwork("wlan0", "lab"));
  EXPECT_TRUE(host->removeNetwork("wlan0", nullptr));
  EXPECT_TRUE(host->disconnect("wlan0", nullptr));
  EXPECT_FALSE(host->connect("wlan0", nullptr));
  EXPECT_EQ(script().calls(), Calls{});
  EXPECT_EQ(snapshot(), "cafe/2/5 lab/1/1 office/0/1 unchanged current=<none> state=0");
  EXPECT_TRUE(hostLockFree());
}

TEST_F(NetworkOperationsTest, AddAndRemoveChangeTheDatabase) {
  script().nextNetworkId(9);
  EXPECT_TRUE(host->addNetwork("wlan1", "new"));
  EXPECT_EQ(script().calls(), Calls{"addNetwork(wlan1, new)"});
  WifiNetwork* added = host->networkDatabase()->first();
  ASSERT_EQ(added, find("new"));
  EXPECT_EQ(added->getNetworkId(), 9);
  EXPECT_EQ(added->getStatus(), NETWORK_STATUS_UNKNOWN);
  EXPECT_TRUE(added->isSsidChanged());
  added->setSsidChanged(false);
  EXPECT_FALSE(added->hasChanges());
  EXPECT_FALSE(host->networkDatabase()->isUnchanged());

  host->networkDatabase()->markUnchanged();
  host->connect("wlan0", "lab");
  script().clearCalls();
  EXPECT_TRUE(host->removeNetwork("wlan1", "office"));
  EXPECT_EQ(script().calls(), Calls{"removeNetwork(wlan1, 0)"});
  EXPECT_EQ(snapshot(), "new/9/0 cafe/2/5 lab/1/4 changed current=lab state=0");

  EXPECT_TRUE(host->removeNetwork("wlan0", "lab"));
  EXPECT_EQ(snapshot(), "new/9/0 cafe/2/5 changed current=<none> state=0");
  EXPECT_TRUE(hostLockFree());
}

// A null SSID finds no record, so the daemon is asked to add it; the nameless
// record it makes stops the SSID copy-out, which then reports false.
// A network without a name could never be found, saved or listed again:
// adding one is refused before the daemon is asked.
TEST_F(NetworkOperationsTest, AddWithoutSsidIsRefused) {
  const std::string before = snapshot();
  script().nextNetworkId(9);
  EXPECT_FALSE(host->addNetwork("wlan0", nullptr));
  EXPECT_EQ(script().calls(), Calls{});
  EXPECT_EQ(snapshot(), before);
  char* copies[4] = {};
  uint8_t count = 99;
  EXPECT_TRUE(host->getNetworkSsids(nullptr, copies, 4, &count));
  EXPECT_EQ(takeAll(copies, count), (std::vector<std::string>{"cafe", "lab", "office"}));
  EXPECT_TRUE(databaseLockFree());
}

TEST_F(NetworkOperationsTest, RoamEnablesEveryNetworkBetweenDisconnectAndReconnect) {
  host->connect("wlan0", "office");
  const std::string before = snapshot();
  script().clearCalls();
  EXPECT_TRUE(host->roam("wlan3"));
  EXPECT_EQ(script().calls(), (Calls{"disconnectNetwork(wlan3, 0)",
                                     "setNetworkVariable(wlan3, 2, disabled, 0)",
                                     "setNetworkVariable(wlan3, 1, disabled, 0)",
                                     "setNetworkVariable(wlan3, 0, disabled, 0)", "reconnect(wlan3)"}));
  EXPECT_EQ(snapshot(), before);

  // The variable results are not looked at; reconnect decides.
  script().result("setNetworkVariable", false).result("reconnect", false);
  EXPECT_FALSE(host->roam("wlan0"));
  EXPECT_EQ(snapshot(), before);
  EXPECT_TRUE(hostLockFree());
}

TEST_F(NetworkOperationsTest, RoamOnAnEmptyDatabase) {
  for (bool reconnects : {true, false}) {
    load({});
    script().result("disconnectNetwork", true).result("reconnect", reconnects);
    EXPECT_EQ(host->roam("wlan0"), reconnects);
    EXPECT_EQ(script().calls(), (Calls{"disconnectNetwork(wlan0, 0)", "reconnect(wlan0)"}));
  }
}

// Each daemon refusal leaves memory as it was and the lock free.
TEST_F(NetworkOperationsTest, DaemonFailuresChangeNothing) {
  using Operation = std::function<bool(WifiHostSettings*)>;
  struct Row {
    const char* failing;
    Operation prepare;  // run first, while the daemon still agrees
    Operation run;
    Calls calls;
  };
  const Operation nothing = [](WifiHostSettings*) { return true; };
  const Row rows[] = {
      {"selectNetwork", nothing, [](WifiHostSettings* h) { return h->connect("wlan0", "lab"); },
       {"selectNetwork(wlan0, 1)"}},
      {"reconnect", [](WifiHostSettings* h) { return h->disconnect("wlan0", "cafe"); },
       [](WifiHostSettings* h) { return h->connect("wlan0", "lab"); }, {"reconnect(wlan0)"}},
      {"disconnectNetwork", nothing, [](WifiHostSettings* h) { return h->disconnect("wlan0", "office"); },
       {"disconnectNetwork(wlan0, 0)"}},
      {"removeNetwork", nothing, [](WifiHostSettings* h) { return h->removeNetwork("wlan0", "office"); },
       {"removeNetwork(wlan0, 0)"}},
      {"addNetwork", nothing, [](WifiHostSettings* h) { return h->addNetwork("wlan0", "new"); },
       {"addNetwork(wlan0, new)"}},
      {"disconnectNetwork", nothing, [](WifiHostSettings* h) { return h->roam("wlan0"); },
       {"disconnectNetwork(wlan0, 0)"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.calls.front());
    SetUp();
    host->connect("wlan0", "office");
    ASSERT_TRUE(row.prepare(host));
    script().clearCalls();
    script().result(row.failing, false);
    const std::string before = snapshot();
    EXPECT_FALSE(row.run(host));
    EXPECT_EQ(script().calls(), row.calls);
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(hostLockFree());
  }
}

TEST_F(NetworkOperationsTest, CopiesOutSsidsNewestFirstAndAdapters) {
  char* copies[4] = {};
  uint8_t count = 99;
  EXPECT_TRUE(host->getNetworkSsids(nullptr, copies, 2, &count));
  EXPECT_EQ(takeAll(copies, count), (std::vector<std::string>{"cafe", "lab"}));
  EXPECT_TRUE(host->getNetworkSsids("wlan0", copies, 4, &count));
  EXPECT_EQ(takeAll(copies, count), (std::vector<std::string>{"cafe", "lab", "office"}));

  adapterNames = {"wlan0", "wlan1"};
  load({"0\toffice\tany"});
  char* adapters[2] = {};
  EXPECT_TRUE(host->getAdapters(adapters, 2, &count));
  ASSERT_EQ(count, 2);
  EXPECT_NE(adapters[0], host->adapter(0));
  EXPECT_EQ(takeAll(adapters, count), (std::vector<std::string>{"wlan0", "wlan1"}));
  EXPECT_TRUE(databaseLockFree());
}

TEST_F(NetworkOperationsTest, UnloadedInstance) {
  WifiHostSettings::destroyInstance();
  script().reset();
  host = WifiHostSettings::getInstance(nullptr);
  script().clearCalls();
  for (const char* operation : {"selectNetwork", "disconnectNetwork", "addNetwork", "removeNetwork"}) {
    script().result(operation, true);
  }

  char* copies[2] = {};
  uint8_t count = 99;
  EXPECT_TRUE(host->getNetworkSsids(nullptr, copies, 2, &count));
  EXPECT_EQ(count, 0);
  count = 99;
  EXPECT_TRUE(host->getAdapters(copies, 2, &count));
  EXPECT_EQ(count, 0);

  EXPECT_FALSE(host->connect("wlan0", "office"));
  EXPECT_TRUE(host->disconnect("wlan0", "office"));
  EXPECT_TRUE(host->removeNetwork("wlan0", "office"));
  EXPECT_EQ(script().calls(), Calls{});
  // The daemon takes the network; without a database the record is let go.
  EXPECT_TRUE(host->addNetwork("wlan0", "office"));
  EXPECT_EQ(script().calls(), Calls{"addNetwork(wlan0, office)"});
  EXPECT_FALSE(host->roam("wlan0"));
  EXPECT_EQ(script().calls().back(), "reconnect(wlan0)");
  EXPECT_TRUE(hostLockFree());
}

}  // namespace
