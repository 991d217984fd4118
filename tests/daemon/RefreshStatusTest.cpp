#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/daemon/HostFixture.h"

namespace {

using Lines = std::vector<std::string>;

class RefreshStatusTest : public HostFixture {
 protected:
  // office (0) and lab (1), daemon state 3 (SCANNING); office current or
  // not, then given a status by hand.
  void prepare(bool officeCurrent, int32_t officeStatus) {
    load({officeCurrent ? "0\toffice\tany\t[CURRENT]" : "0\toffice\tany", "1\tlab\tany"},
         {"wpa_state=SCANNING"});
    find("office")->setStatus(officeStatus);
  }

  bool refreshWith(Lines networks) {
    script().networks(std::move(networks));
    orv_test::advanceClock(5000);
    return host->refreshNetworkList();
  }
};

TEST_F(RefreshStatusTest, RefreshRunsAtMostOnceEvery5000Milliseconds) {
  load({"0\toffice\tany"});
  const Calls round{"listNetworks(wlan0, 32)", "getScanLines(wlan0, 32)"};
  EXPECT_EQ(host->lastRefreshTime(), kStartTime);

  orv_test::advanceClock(4999);
  EXPECT_TRUE(host->refreshNetworkList());
  EXPECT_EQ(script().calls(), Calls{});
  orv_test::advanceClock(1);
  EXPECT_TRUE(host->refreshNetworkList());
  EXPECT_EQ(script().calls(), round);
  EXPECT_EQ(host->lastRefreshTime(), kStartTime + 5000);

  script().clearCalls();
  orv_test::advanceClock(4999);
  EXPECT_TRUE(host->refreshNetworkList());
  EXPECT_EQ(script().calls(), Calls{});
  orv_test::advanceClock(1);
  EXPECT_TRUE(host->refreshNetworkList());
  EXPECT_EQ(script().calls(), round);

  // A failed refresh starts a new period all the same.
  script().clearCalls();
  script().failNetworks();
  orv_test::advanceClock(5000);
  EXPECT_FALSE(host->refreshNetworkList());
  EXPECT_EQ(script().calls(), Calls{"listNetworks(wlan0, 32)"});
  EXPECT_EQ(host->lastRefreshTime(), kStartTime + 15000);
  script().clearCalls();
  orv_test::advanceClock(4999);
  EXPECT_TRUE(host->refreshNetworkList());
  EXPECT_EQ(script().calls(), Calls{});

  // The difference is unsigned: a clock behind the stamp counts as far ahead.
  orv_test::setClock(kStartTime);
  EXPECT_FALSE(host->refreshNetworkList());
  EXPECT_EQ(script().calls(), Calls{"listNetworks(wlan0, 32)"});
  EXPECT_EQ(host->lastRefreshTime(), kStartTime);
}

TEST_F(RefreshStatusTest, RefreshAfterReloadOrOnAnUnloadedInstanceRunsAtOnce) {
  load({"0\toffice\tany"});
  host->reload();
  script().clearCalls();
  EXPECT_TRUE(host->refreshNetworkList());
  EXPECT_EQ(script().calls("listNetworks").size(), 1u);

  WifiHostSettings::destroyInstance();
  script().reset();
  host = WifiHostSettings::getInstance(nullptr);
  script().clearCalls();
  EXPECT_FALSE(host->refreshNetworkList());
  EXPECT_EQ(script().calls(), Calls{});
  EXPECT_EQ(host->lastRefreshTime(), kStartTime);
}

TEST_F(RefreshStatusTest, BlankListLineFailsAndReleasesTheDatabase) {
  for (const char* blank : {"", "   ", " \t \t"}) {
    SCOPED_TRACE(std::string("\"") + blank + "\"");
    prepare(false, NETWORK_STATUS_ENABLED);
    EXPECT_FALSE(refreshWith({"0\toffice\tany", blank}));
    EXPECT_EQ(script().calls("getScanLines"), Calls{});
    EXPECT_TRUE(databaseLockFree());
    EXPECT_TRUE(hostLockFree());
  }
}

TEST_F(RefreshStatusTest, RefreshUpdatesStatusesByIdentifier) {
  struct Row {
    const char* name;
    bool officeCurrent;
    int32_t officeStatus;
    Lines networks;
    std::string expected;
  };
  const Row rows[] = {
      {"disabled", true, 3, {"0\toffice\tany\t[DISABLED]"}, "lab/1/1; office/0/5"},
      {"newly current", false, 1, {"0\toffice\tany\t[CURRENT]"}, "lab/1/1; office/0/4*"},
      {"connected stays connected", true, 3, {"0\toffice\tany\t[CURRENT]"}, "lab/1/1; office/0/3*"},
      {"connected, not yet current", false, 3, {"0\toffice\tany\t[CURRENT]"}, "lab/1/1; office/0/3*"},
      {"disabled turns current", false, 5, {"0\toffice\tany\t[CURRENT]"}, "lab/1/1; office/0/4*"},
      {"lost its flag", true, 4, {"0\toffice\tany"}, "lab/1/1; office/0/1"},
      {"another is current", true, 4, {"1\tlab\tany\t[CURRENT]"}, "lab/1/4*; office/0/1"},
      {"disabled current replaced", true, 5, {"1\tlab\tany\t[CURRENT]"}, "lab/1/4*; office/0/5"},
      {"later line wins", true, 4, {"0\toffice\tany\t[CURRENT]", "0\toffice\tany"}, "lab/1/1; office/0/1"},
      {"unknown identifier", true, 4, {"7\tghost\tany\t[CURRENT]"}, "lab/1/1; office/0/4*"},
      {"identifier not cut to 8 bits", true, 4, {"256\toffice\tany\t[DISABLED]"}, "lab/1/1; office/0/4*"},
      {"blank separated", false, 1, {"0 office any [DISABLED]"}, "lab/1/1; office/0/5"},
      {"unnamed keeps its status", true, 2, {"1\tlab\tany\t[DISABLED]"}, "lab/1/5; office/0/2*"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    prepare(row.officeCurrent, row.officeStatus);
    EXPECT_TRUE(refreshWith(row.networks));
    EXPECT_EQ(describe(), row.expected);
    EXPECT_EQ(host->daemonState(), 3u);
  }
}

TEST_F(RefreshStatusTest, RefreshMergesScanResultsAndSurvivesTheirFailure) {
  prepare(false, NETWORK_STATUS_ENABLED);
  script().scanResults({"aa:bb:cc:dd:ee:ff\t2417\t189\t[IBSS]\toffice"});
  EXPECT_TRUE(refreshWith({"0\toffice\tany"}));
  WifiNetwork* office = find("office");
  EXPECT_STREQ(office->getBssid(), "aa:bb:cc:dd:ee:ff");
  EXPECT_EQ(office->getChannel(), 2);
  EXPECT_EQ(office->getStrength(), 57);
  EXPECT_EQ(office->getMode(), NETWORK_MODE_ADHOC);
  EXPECT_EQ(find("lab")->getChannel(), 0);

  script().failScanResults();
  EXPECT_TRUE(refreshWith({"0\toffice\tany\t[DISABLED]"}));
  EXPECT_EQ(office->getStatus(), NETWORK_STATUS_DISABLED);
  EXPECT_TRUE(databaseLockFree());
}

TEST_F(RefreshStatusTest, DaemonStatusTransitions) {
  struct Row {
    const char* name;
    bool officeCurrent;
    int32_t officeStatus;
    std::optional<Lines> report;  // none: getStatus fails
    int32_t state;
    std::string expected;
  };
  const Row rows[] = {
      {"completed", true, 4, Lines{"bssid=aa:bb:cc:dd:ee:ff", "ssid=office", "wpa_state=COMPLETED"}, 8,
       "lab/1/1; office/0/3*"},
      {"bssid line is no ssid", true, 4, Lines{"bssid=lab", "wpa_state=COMPLETED"}, 8, "lab/1/1; office/0/3*"},
      {"handshake", true, 1, Lines{"wpa_state=4WAY_HANDSHAKE"}, 6, "lab/1/1; office/0/4*"},
      {"associating", true, 3, Lines{"wpa_state=ASSOCIATING"}, 4, "lab/1/1; office/0/4*"},
      {"another ssid", true, 4, Lines{"ssid=lab", "wpa_state=COMPLETED"}, 8, "lab/1/3*; office/0/1"},
      {"another ssid, current disabled", true, 5, Lines{"wpa_state=COMPLETED", "ssid=lab"}, 8,
       "lab/1/3*; office/0/1"},
      {"unknown ssid", true, 4, Lines{"ssid=ghost", "wpa_state=SCANNING"}, 3, "lab/1/1; office/0/1"},
      {"no current yet", false, 1, Lines{"ssid=office", "wpa_state=COMPLETED"}, 8, "lab/1/1; office/0/3*"},
      {"inactive", true, 4, Lines{"wpa_state=INACTIVE"}, 2, "lab/1/1; office/0/1"},
      {"disconnected, current disabled", true, 5, Lines{"wpa_state=DISCONNECTED"}, 1, "lab/1/1; office/0/5"},
      {"no state line", true, 4, Lines{"ssid=office"}, 3, "lab/1/1; office/0/4*"},
      {"empty report", true, 4, Lines{}, 3, "lab/1/1; office/0/4*"},
      {"no report", true, 4, std::nullopt, 0, "lab/1/1; office/0/1"},
      {"no report, current disabled", true, 5, std::nullopt, 0, "lab/1/1; office/0/5"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    prepare(row.officeCurrent, row.officeStatus);
    if (row.report) {
      script().status(*row.report);
    } else {
      script().failStatus();
    }
    EXPECT_EQ(host->getDaemonStatus("wlan0"), row.state);
    EXPECT_EQ(host->daemonState(), static_cast<uint32_t>(row.state));
    EXPECT_EQ(describe(), row.expected);
  }
}

TEST_F(RefreshStatusTest, CurrentNetworkQuery) {
  struct Row {
    const char* name;
    bool officeCurrent;
    int32_t officeStatus;
    std::optional<Lines> report;
    std::string expected;
  };
  const Row rows[] = {
      {"same ssid", true, 4, Lines{"ssid=office"}, "lab/1/1; office/0/4*"},
      {"another ssid", true, 4, Lines{"ssid=lab", "wpa_state=COMPLETED"}, "lab/1/1*; office/0/1"},
      {"another ssid, current disabled", true, 5, Lines{"ssid=lab"}, "lab/1/1*; office/0/5"},
      {"first ssid line wins", true, 4, Lines{"ssid=lab", "ssid=office"}, "lab/1/1*; office/0/1"},
      {"unknown ssid", true, 4, Lines{"ssid=ghost"}, "lab/1/1; office/0/1"},
      {"no current yet", false, 3, Lines{"ssid=office"}, "lab/1/1; office/0/3*"},
      {"no line begins with ssid=", true, 4, Lines{"bssid=lab", " ssid=lab", "wpa_state=INACTIVE"},
       "lab/1/1; office/0/4*"},
      {"no report", true, 4, std::nullopt, "lab/1/1; office/0/1"},
      {"no report, current disabled", true, 5, std::nullopt, "lab/1/1; office/0/5"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    prepare(row.officeCurrent, row.officeStatus);
    if (row.report) {
      script().status(*row.report);
    } else {
      script().failStatus();
    }
    WifiNetwork* answer = host->getCurrentNetwork("wlan0");
    EXPECT_EQ(answer, host->currentNetwork());
    EXPECT_EQ(describe(), row.expected);
    EXPECT_EQ(host->daemonState(), 3u);
  }
}

TEST_F(RefreshStatusTest, NullLinesArePassedOver) {
  const std::string none = DaemonScript::kNullLine;
  prepare(false, NETWORK_STATUS_ENABLED);
  script().scanResults({none, "aa:bb:cc:dd:ee:ff\t2462\t200\t[ESS]\tlab"});
  EXPECT_TRUE(refreshWith({none, "0\toffice\tany\t[CURRENT]", none}));
  EXPECT_EQ(find("lab")->getChannel(), 11);
  script().status({none, "ssid=lab", none, "wpa_state=COMPLETED"});
  EXPECT_EQ(host->getDaemonStatus("wlan0"), 8);
  EXPECT_EQ(host->getCurrentNetwork("wlan0"), find("lab"));
  EXPECT_EQ(describe(), "lab/1/3*; office/0/1");
}

TEST_F(RefreshStatusTest, StatusQueriesAskTheirAdapter) {
  adapterNames = {"wlan0", "wlan1"};
  prepare(true, NETWORK_STATUS_CONNECTING);
  script().status({"ssid=office", "wpa_state=COMPLETED"});

  // A null adapter: nothing is asked and nothing changes.
  EXPECT_EQ(host->getDaemonStatus(nullptr), 0);
  EXPECT_EQ(host->getCurrentNetwork(nullptr), nullptr);
  EXPECT_EQ(script().calls(), Calls{});
  EXPECT_EQ(describe(), "lab/1/1; office/0/4*");
  EXPECT_EQ(host->daemonState(), 3u);

  EXPECT_EQ(host->getDaemonStatus("wlan1"), 8);
  EXPECT_EQ(host->getCurrentNetwork("wlan1"), find("office"));
  EXPECT_EQ(script().calls(), (Calls{"getStatus(wlan0, 16)", "getStatus(wlan1, 16)"}));
}

TEST_F(RefreshStatusTest, UnloadedInstanceAnswersNothing) {
  host = WifiHostSettings::getInstance(nullptr);
  script().adapters({"wlan0"}).status({"ssid=office", "wpa_state=COMPLETED"});
  script().clearCalls();
  EXPECT_EQ(host->getDaemonStatus("wlan0"), 0);
  EXPECT_EQ(host->daemonState(), 0u);
  EXPECT_EQ(script().calls(), Calls{});
  // The current-network query asks the adapter it is given; nothing is found.
  EXPECT_EQ(host->getCurrentNetwork("wlan0"), nullptr);
}

}  // namespace
