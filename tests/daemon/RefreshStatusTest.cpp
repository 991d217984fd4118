#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "tests/daemon/HostFixture.h"

namespace {

class RefreshStatusTest : public HostFixture {
 protected:
  // a (0) and b (1), daemon state 3 (SCANNING); a current with this status,
  // or (0) not current.
  void prepare(int32_t status) {
    load({status != 0 ? "0\ta\tany\t[CURRENT]" : "0\ta\tany", "1\tb\tany"}, {"wpa_state=SCANNING"});
    if (status != 0) find("a")->setStatus(status);
  }
  bool refreshAfter(uint64_t millis = 5000) {
    orv_test::advanceClock(millis);
    return host->refreshNetworkList();
  }
};

// At most once every 5000 ms; a failed refresh starts a new period all the
// same; the difference is unsigned, so a clock behind the stamp counts as far ahead.
TEST_F(RefreshStatusTest, RefreshRunsAtMostOnceEvery5000Milliseconds) {
  load({"0\ta\tany"});
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
  // a's status (current unless 0), the list, then describe(): disabled is no
  // longer current; newly current; connected stays connected; a lost flag;
  // another current; a disabled one stays so; the later line wins; unknown
  // identifiers; blank separated.
  const std::tuple<int32_t, Calls, std::string> rows[] = {
      {3, {"0\ta\tany\t[DISABLED]"}, "b/1/1; a/0/5"}, {0, {"0\ta\tany\t[CURRENT]"}, "b/1/1; a/0/4*"},
      {3, {"0\ta\tany\t[CURRENT]"}, "b/1/1; a/0/3*"}, {4, {"0\ta\tany"}, "b/1/1; a/0/1"},
      {4, {"1\tb\tany\t[CURRENT]"}, "b/1/4*; a/0/1"}, {5, {"1\tb\tany\t[CURRENT]"}, "b/1/4*; a/0/5"},
      {4, {"0\ta\tany\t[CURRENT]", "0\ta\tany"}, "b/1/1; a/0/1"},
      {4, {"7\tghost\tany\t[CURRENT]", "256\ta\tany"}, "b/1/1; a/0/4*"}, {0, {"0 a any [DISABLED]"}, "b/1/1; a/0/5"},
  };
  for (const auto& [status, networks, expected] : rows) {
    prepare(status);
    script().networks(networks);
    EXPECT_TRUE(refreshAfter());
    EXPECT_EQ(describe(), expected) << networks.front();
  }
  // The scan results merge as in the load; their failure is no failure.
  script().networks({}).scanResults({"aa:bb:cc:dd:ee:ff\t2417\t189\t[IBSS]\ta"});
  EXPECT_TRUE(refreshAfter());
  EXPECT_EQ(find("a")->getChannel() * 100 + find("a")->getStrength(), 257);
  script().fail("getScanLines");
  EXPECT_TRUE(refreshAfter());
  // An all-blank line fails the refresh and leaves both locks free.
  script().networks({"0\ta\tany", " \t \t"}).clearCalls();
  EXPECT_FALSE(refreshAfter());
  EXPECT_EQ(script().calls(), Calls{"listNetworks(wlan0, 32)"});
  EXPECT_TRUE(lockFree(host->networkDatabase()) && hostLockFree());
}

// getDaemonStatus (state given), which asks the first adapter, and
// getCurrentNetwork (no state: the daemon state stays 3), which asks the one
// it is given, from a status report; none: getStatus fails.
TEST_F(RefreshStatusTest, StatusTransitions) {
  const std::nullopt_t current = std::nullopt, failed = std::nullopt;
  // The state getDaemonStatus gives, or current for a getCurrentNetwork row; a's status (current unless 0); the
  // report; then describe().
  const std::tuple<std::optional<int32_t>, int32_t, std::optional<Calls>, std::string> rows[] = {
      {8, 4, Calls{"bssid=aa:bb", "ssid=a", "wpa_state=COMPLETED"}, "b/1/1; a/0/3*"},
      {8, 4, Calls{"bssid=b", "wpa_state=COMPLETED"}, "b/1/1; a/0/3*"},
      {8, 4, Calls{"ssid=b", "wpa_state=COMPLETED"}, "b/1/3*; a/0/1"},
      {8, 5, Calls{"wpa_state=COMPLETED", "ssid=b"}, "b/1/3*; a/0/1"},
      {3, 4, Calls{"ssid=ghost", "wpa_state=SCANNING"}, "b/1/1; a/0/1"},
      {8, 0, Calls{"ssid=a", "wpa_state=COMPLETED"}, "b/1/1; a/0/3*"},
      {1, 5, Calls{"wpa_state=DISCONNECTED"}, "b/1/1; a/0/5"}, {0, 4, failed, "b/1/1; a/0/1"},
      {3, 4, Calls{DaemonScript::kNullLine, "ssid=a"}, "b/1/1; a/0/4*"}, {0, 5, failed, "b/1/1; a/0/5"},
      {current, 4, Calls{"ssid=b", "wpa_state=COMPLETED"}, "b/1/1*; a/0/1"},
      {current, 5, Calls{"ssid=b"}, "b/1/1*; a/0/5"}, {current, 4, Calls{"ssid=ghost"}, "b/1/1; a/0/1"},
      {current, 4, Calls{"bssid=b", " ssid=b"}, "b/1/1; a/0/4*"},  // no line begins with ssid=
      {current, 4, Calls{"bssid=x", " ssid=x", "ssid=b", "ssid=a"}, "b/1/1*; a/0/1"},
      {current, 4, failed, "b/1/1; a/0/1"}, {current, 5, failed, "b/1/1; a/0/5"},
  };
  adapterNames = {"wlan0", "wlan1"};
  for (const auto& [state, status, report, expected] : rows) {
    SCOPED_TRACE(expected + (report && !report->empty() ? " " + report->front() : " no report"));
    prepare(status);
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
