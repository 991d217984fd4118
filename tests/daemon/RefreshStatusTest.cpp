#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "tests/daemon/HostFixture.h"

namespace {

class RefreshStatusTest : public HostFixture {
 protected:
  // office (0) and lab (1), daemon state 3 (SCANNING); office current with
  // this status, or (0) not current.
  void prepare(int32_t officeStatus) {
    load({officeStatus != 0 ? "0\toffice\tany\t[CURRENT]" : "0\toffice\tany", "1\tlab\tany"}, {"wpa_state=SCANNING"});
    if (officeStatus != 0) find("office")->setStatus(officeStatus);
  }
  bool refreshAfter(uint64_t millis = 5000) {
    orv_test::advanceClock(millis);
    return host->refreshNetworkList();
  }
};

// At most once every 5000 ms; a failed refresh starts a new period all the
// same; the difference is unsigned, so a clock behind the stamp counts as far ahead.
TEST_F(RefreshStatusTest, RefreshRunsAtMostOnceEvery5000Milliseconds) {
  load({"0\toffice\tany"});
  for (uint64_t ahead : {4999, 1, 4999, 1}) EXPECT_TRUE(refreshAfter(ahead));
  EXPECT_EQ(host->lastRefreshTime(), kStartTime + 10000);
  script().fail("listNetworks");
  EXPECT_FALSE(refreshAfter());
  EXPECT_TRUE(refreshAfter(4999));
  orv_test::setClock(kStartTime);
  EXPECT_FALSE(host->refreshNetworkList());
  EXPECT_EQ(host->lastRefreshTime(), kStartTime);
  EXPECT_EQ(script().calls("listNetworks").size(), 4u);
}

TEST_F(RefreshStatusTest, RefreshFollowsTheListByIdentifier) {
  // office's status (current unless 0), the list, then describe().
  const std::tuple<int32_t, Calls, std::string> rows[] = {
      {3, {"0\toffice\tany\t[DISABLED]"}, "lab/1/1; office/0/5"},                      // disabled: no longer current
      {0, {"0\toffice\tany\t[CURRENT]"}, "lab/1/1; office/0/4*"},                      // newly current
      {3, {"0\toffice\tany\t[CURRENT]"}, "lab/1/1; office/0/3*"},                      // connected stays connected
      {4, {"0\toffice\tany"}, "lab/1/1; office/0/1"},                                   // lost its flag
      {4, {"1\tlab\tany\t[CURRENT]"}, "lab/1/4*; office/0/1"},                         // another is current
      {5, {"1\tlab\tany\t[CURRENT]"}, "lab/1/4*; office/0/5"},                         // a disabled one stays so
      {4, {"0\toffice\tany\t[CURRENT]", "0\toffice\tany"}, "lab/1/1; office/0/1"},     // the later line wins
      {4, {"7\tghost\tany\t[CURRENT]", "256\toffice\tany"}, "lab/1/1; office/0/4*"},   // unknown identifiers
      {0, {"0 office any [DISABLED]"}, "lab/1/1; office/0/5"},                          // blank separated
  };
  for (const auto& [officeStatus, networks, expected] : rows) {
    SCOPED_TRACE(networks.front());
    prepare(officeStatus);
    script().networks(networks);
    EXPECT_TRUE(refreshAfter());
    EXPECT_EQ(describe(), expected);
  }
  // The scan results merge as in the load; their failure is no failure.
  script().networks({}).scanResults({"aa:bb:cc:dd:ee:ff\t2417\t189\t[IBSS]\toffice"});
  EXPECT_TRUE(refreshAfter());
  EXPECT_EQ(std::to_string(find("office")->getChannel()) + " " + std::to_string(find("office")->getStrength()), "2 57");
  script().fail("getScanLines");
  EXPECT_TRUE(refreshAfter());
  // An all-blank line fails the refresh and leaves both locks free.
  script().networks({"0\toffice\tany", " \t \t"}).clearCalls();
  EXPECT_FALSE(refreshAfter());
  EXPECT_EQ(script().calls(), Calls{"listNetworks(wlan0, 32)"});
  EXPECT_TRUE(lockFree(host->networkDatabase()) && hostLockFree());
}

// getDaemonStatus (state given), which asks the first adapter, and
// getCurrentNetwork (no state: the daemon state stays 3), which asks the one
// it is given, from a status report; none: getStatus fails.
TEST_F(RefreshStatusTest, StatusTransitions) {
  const std::string connecting = "lab/1/1; office/0/4*", none = "lab/1/1; office/0/1", off = "lab/1/1; office/0/5";
  // The state getDaemonStatus gives, or none for a getCurrentNetwork row; office's status (current unless 0);
  // the report (none: getStatus fails); then describe().
  const std::tuple<std::optional<int32_t>, int32_t, std::optional<Calls>, std::string> rows[] = {
      {8, 4, Calls{"bssid=aa:bb", "ssid=office", "wpa_state=COMPLETED"}, "lab/1/1; office/0/3*"},
      {8, 4, Calls{"bssid=lab", "wpa_state=COMPLETED"}, "lab/1/1; office/0/3*"},
      {8, 4, Calls{"ssid=lab", "wpa_state=COMPLETED"}, "lab/1/3*; office/0/1"},
      {8, 5, Calls{"wpa_state=COMPLETED", "ssid=lab"}, "lab/1/3*; office/0/1"},
      {3, 4, Calls{"ssid=ghost", "wpa_state=SCANNING"}, none},
      {8, 0, Calls{"ssid=office", "wpa_state=COMPLETED"}, "lab/1/1; office/0/3*"},
      {1, 5, Calls{"wpa_state=DISCONNECTED"}, off},
      {3, 4, Calls{DaemonScript::kNullLine, "ssid=office"}, connecting},
      {0, 4, std::nullopt, none},
      {0, 5, std::nullopt, off},
      {std::nullopt, 4, Calls{"ssid=lab", "wpa_state=COMPLETED"}, "lab/1/1*; office/0/1"},
      {std::nullopt, 5, Calls{"ssid=lab"}, "lab/1/1*; office/0/5"},
      {std::nullopt, 4, Calls{"ssid=ghost"}, none},
      {std::nullopt, 4, Calls{"bssid=lab", " ssid=lab"}, connecting},  // no line begins with ssid=
      {std::nullopt, 4, Calls{"bssid=x", " ssid=x", "ssid=lab", "ssid=office"}, "lab/1/1*; office/0/1"},
      {std::nullopt, 4, std::nullopt, none},
      {std::nullopt, 5, std::nullopt, off},
  };
  adapterNames = {"wlan0", "wlan1"};
  for (const auto& [state, officeStatus, report, expected] : rows) {
    SCOPED_TRACE(expected + (report && !report->empty() ? " " + report->front() : " no report"));
    prepare(officeStatus);
    report ? (void)script().status(*report) : (void)script().fail("getStatus");
    WifiNetwork* answer = state ? nullptr : host->getCurrentNetwork("wlan1");
    EXPECT_EQ(state ? host->getDaemonStatus("wlan1") : 0, state.value_or(0));
    EXPECT_EQ(answer, state ? nullptr : host->currentNetwork());
    EXPECT_EQ(script().calls(), Calls{state ? "getStatus(wlan0, 16)" : "getStatus(wlan1, 16)"});
    EXPECT_EQ(host->daemonState(), static_cast<uint32_t>(state.value_or(3)));
    EXPECT_EQ(describe(), expected);
  }
}

}  // namespace
