#include <tuple>

#include "tests/daemon/HostFixture.h"

namespace {

class RefreshStatusTest : public HostFixture {
 protected:
  bool refreshAfter(uint64_t millis = 5000) {
    orv_test::advanceClock(millis);
    return host->refreshNetworkList();
  }
};

// From a (0) and b (1), daemon state 3 (SCANNING), a current with a status
// of its own (0: not current): the list refresh ('r'), getDaemonStatus
// ('d', which asks the first adapter) or getCurrentNetwork ('c', which asks
// the one it is given, wlan1) on the daemon's answer (none: it fails); then
// the result, describe() and the daemon state.
TEST_F(RefreshStatusTest, ListRefreshAndStatusReports) {
  const std::tuple<int32_t, char, const char*, const char*> rows[] = {
      // By identifier: disabled is no longer current; newly current;
      // connected stays connected; a lost flag; another current; a disabled
      // one stays so; the later line wins; unknown identifiers; blank separated.
      {3, 'r', "0\ta\tany\t[DISABLED]", "1 b/1/1; a/0/5 3"}, {0, 'r', "0\ta\tany\t[CURRENT]", "1 b/1/1; a/0/4* 3"},
      {3, 'r', "0\ta\tany\t[CURRENT]", "1 b/1/1; a/0/3* 3"}, {4, 'r', "0\ta\tany", "1 b/1/1; a/0/1 3"},
      {4, 'r', "1\tb\tany\t[CURRENT]", "1 b/1/4*; a/0/1 3"}, {5, 'r', "1\tb\tany\t[CURRENT]", "1 b/1/4*; a/0/5 3"},
      {4, 'r', "0\ta\tany\t[CURRENT]|0\ta\tany", "1 b/1/1; a/0/1 3"},
      {4, 'r', "7\tghost\tany\t[CURRENT]|256\ta\tany", "1 b/1/1; a/0/4* 3"},
      {0, 'r', "0 a any [DISABLED]", "1 b/1/1; a/0/5 3"},
      {4, 'd', "bssid=aa:bb|ssid=a|wpa_state=COMPLETED", "8 b/1/1; a/0/3* 8"},
      {4, 'd', "bssid=b|wpa_state=COMPLETED", "8 b/1/1; a/0/3* 8"},
      {4, 'd', "ssid=b|wpa_state=COMPLETED", "8 b/1/3*; a/0/1 8"},
      {5, 'd', "wpa_state=COMPLETED|ssid=b", "8 b/1/3*; a/0/1 8"},
      {4, 'd', "ssid=ghost|wpa_state=SCANNING", "3 b/1/1; a/0/1 3"},
      {0, 'd', "ssid=a|wpa_state=COMPLETED", "8 b/1/1; a/0/3* 8"}, {5, 'd', "wpa_state=DISCONNECTED", "1 b/1/1; a/0/5 1"},
      {4, 'd', "<null line>|ssid=a", "3 b/1/1; a/0/4* 3"}, {4, 'd', nullptr, "0 b/1/1; a/0/1 0"},
      {5, 'd', nullptr, "0 b/1/1; a/0/5 0"}, {4, 'c', "ssid=b|wpa_state=COMPLETED", "b b/1/1*; a/0/1 3"},
      {5, 'c', "ssid=b", "b b/1/1*; a/0/5 3"}, {4, 'c', "ssid=ghost", "none b/1/1; a/0/1 3"},
      {4, 'c', "bssid=b| ssid=b", "a b/1/1; a/0/4* 3"},  // no line begins with ssid=
      {4, 'c', "bssid=x| ssid=x|ssid=b|ssid=a", "b b/1/1*; a/0/1 3"}, {4, 'c', nullptr, "none b/1/1; a/0/1 3"},
      {5, 'c', nullptr, "none b/1/1; a/0/5 3"},
  };
  adapterNames = {"wlan0", "wlan1"};
  for (const auto& [status, asked, answer, expected] : rows) {
    SCOPED_TRACE(expected);
    load({status != 0 ? "0\ta\tany\t[CURRENT]" : "0\ta\tany", "1\tb\tany"}, {"wpa_state=SCANNING"});
    if (status != 0) find("a")->setStatus(status);
    asked == 'r' ? script().networks(split(answer)) : answer ? script().status(split(answer)) : script().fail("getStatus");
    WifiNetwork* current = asked == 'c' ? host->getCurrentNetwork("wlan1") : nullptr;
    std::string result = asked == 'r'   ? std::to_string(refreshAfter())
                         : asked == 'd' ? std::to_string(host->getDaemonStatus("wlan1"))
                                        : current ? current->getSsid() : "none";
    EXPECT_EQ(result + " " + describe() + " " + std::to_string(host->daemonState()), expected);
    EXPECT_EQ(script().calls("getStatus"),
              split(asked == 'r' ? "" : asked == 'd' ? "getStatus(wlan0, 16)" : "getStatus(wlan1, 16)"));
  }
  // The scan results merge as in the load; their failure is no failure. A
  // refresh runs at most once every 5000 ms, the difference unsigned, so a
  // clock behind the stamp counts as far ahead. An all-blank line fails it
  // before the scan results are asked for; a failed refresh starts a new
  // period all the same. Both locks are left free.
  script().networks({}).scanResults({"aa:bb:cc:dd:ee:ff\t2417\t189\t[IBSS]\ta"});
  EXPECT_TRUE(refreshAfter());
  EXPECT_EQ(find("a")->getChannel() * 100 + find("a")->getStrength(), 257);
  script().fail("getScanLines").clearCalls();
  for (uint64_t ahead : {4999, 1, 4999, 1}) EXPECT_TRUE(refreshAfter(ahead));
  script().networks({"0\ta\tany", " \t \t"});
  EXPECT_FALSE(refreshAfter());
  EXPECT_TRUE(refreshAfter(4999));
  orv_test::setClock(kStartTime);
  EXPECT_FALSE(host->refreshNetworkList());
  EXPECT_EQ(host->lastRefreshTime(), kStartTime);
  const std::string list = "listNetworks(wlan0, 32)|", scan = "getScanLines(wlan0, 32)|";
  EXPECT_EQ(script().calls(), split(list + scan + list + scan + list + list));
  EXPECT_TRUE(lockFree(host->networkDatabase()) && hostLockFree());
}

}  // namespace
