#include "tests/daemon/HostFixture.h"
#include "tests/report/ReportSupport.h"
#include "wireless/wireless.h"

namespace {

using FlatInterfaceTest = HostFixture;

TEST_F(FlatInterfaceTest, DiscoverNetworksFillsTheCallersCapacity) {
  char** lines = nullptr;
  uint8_t count = 0;
  EXPECT_FALSE(discoverNetworks(nullptr, "wlan0", &lines, 4, &count) || lines != nullptr);  // the scan fails
  script().result("scan", true).scanResults({"a\t2412\t200\t[WPA2]\tone", "b"});
  ASSERT_TRUE(discoverNetworks(nullptr, "wlan1", &lines, 4, &count) && count == 2);
  EXPECT_TRUE(std::string(lines[0]) + "|" + lines[1] == "a\t2412\t200\t[WPA2]\tone|b" && !lines[2] && !lines[3]);
  for (uint8_t i = 0; i < count; ++i) ::operator delete(lines[i]);
  ::operator delete(lines);
  EXPECT_EQ(script().calls(), (Calls{"scan(wlan0)", "scan(wlan1)", "getScanLines(wlan1, 4)"}));  // the backend alone
}

// What the operations do is the host settings' concern; here, that the
// adapter and the network reach the daemon and its answer comes back.
TEST_F(FlatInterfaceTest, OperationsPassArgumentsAndResultsThrough) {
  for (bool result : {true, false}) {
    load({});
    report_test::addRecord(host, "office")->setNetworkId(4);
    for (const char* operation : {"selectNetwork", "disconnectNetwork", "reconnect", "addNetwork", "saveConfig", "removeNetwork"}) {
      script().result(operation, result);
    }
    EXPECT_EQ((std::vector<bool>{connectToNetwork(nullptr, "wlan1", "office"), disconnectFromNetwork(nullptr, "wlan1", "office"),
                                 roamNetworks(nullptr, "wlan1"), addWifiNetwork(nullptr, "wlan1", "new"),
                                 saveWifiHostSettings(nullptr, "ignored"), removeWifiNetwork(nullptr, "wlan1", "office")}),
              std::vector<bool>(6, result));
  }
  // Failing, each stops at its first daemon call.
  EXPECT_EQ(script().calls(), (Calls{"selectNetwork(wlan1, 4)", "disconnectNetwork(wlan1, 4)", "disconnectNetwork(wlan1, 0)",
                                     "addNetwork(wlan1, new)", "setNetworkVariable(wlan0, 4, ssid, office)",
                                     "saveConfig(wlan0)", "removeNetwork(wlan1, 4)"}));
}

TEST_F(FlatInterfaceTest, AnswersAreCopiesFromTheHostSettingsUntilStopped) {
  adapterNames = {"wlan0", "wlan1"};
  load({}, {"ssid=office", "wpa_state=COMPLETED"});
  report_test::addRecord(host, "office");
  char *adapter = nullptr, *ssid = nullptr;
  ASSERT_TRUE(getWifiAdapter(nullptr, &adapter) && getCurrentNetwork(nullptr, "wlan1", &ssid));
  EXPECT_EQ(std::string(adapter) + " " + ssid, "wlan0 office");
  EXPECT_TRUE(adapter != host->adapter(0) && ssid != host->currentNetwork()->getSsid());
  text::Owned heldAdapter(adapter), heldSsid(ssid);
  EXPECT_EQ(script().calls("getStatus"), Calls{"getStatus(wlan1, 16)"});
  StringXWriter out;
  EXPECT_TRUE(getWifiHostSettingsXML(&out, nullptr, 2) && !getWifiHostSettingsXML(nullptr, nullptr, 1));
  EXPECT_EQ(out.str(), report_test::writeXml(host, true));  // any nonzero flag: the full form
  EXPECT_TRUE(setHostParameters(nullptr, "wlan0", nullptr, nullptr, 0));  // nothing to change

  // Stopping drops the instance; the next call builds and loads a new one.
  EXPECT_TRUE(stopWifiService(nullptr));
  script().adapters({"wlan5"});
  ASSERT_TRUE(getWifiAdapter(nullptr, &adapter));
  EXPECT_STREQ(text::Owned(adapter).get(), "wlan5");
}

}  // namespace
