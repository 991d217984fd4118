#include <functional>
#include <tuple>

#include "tests/daemon/HostFixture.h"
#include "tests/report/ReportSupport.h"
#include "wireless/wireless.h"

namespace {

using FlatInterfaceTest = HostFixture;

TEST_F(FlatInterfaceTest, DiscoverNetworksFillsTheCallersCapacity) {
  char* sentinel[1] = {nullptr};
  char** lines = sentinel;
  uint8_t count = 77;
  EXPECT_FALSE(discoverNetworks(nullptr, "wlan0", &lines, 4, &count));  // the scan fails
  EXPECT_TRUE(lines == sentinel && count == 77);

  script().result("scan", true).scanResults({"a\t2412\t200\t[WPA2]\tone", "b"});
  ASSERT_TRUE(discoverNetworks(nullptr, "wlan1", &lines, 4, &count));
  ASSERT_EQ(count, 2);
  EXPECT_EQ(std::string(lines[0]) + "|" + lines[1], "a\t2412\t200\t[WPA2]\tone|b");
  EXPECT_TRUE(lines[2] == nullptr && lines[3] == nullptr);
  for (uint8_t i = 0; i < count; ++i) ::operator delete(lines[i]);
  ::operator delete(lines);
  EXPECT_EQ(script().calls(), (Calls{"scan(wlan0)", "scan(wlan1)", "getScanLines(wlan1, 4)"}));  // the backend alone
}

TEST_F(FlatInterfaceTest, OperationsPassArgumentsAndResultsThrough) {
  // The daemon operation scripted, the call, and that operation's calls
  // when it succeeds.
  const std::tuple<const char*, std::function<bool()>, const char*> rows[] = {
      {"selectNetwork", [] { return connectToNetwork(nullptr, "wlan1", "office"); }, "selectNetwork(wlan1, 4)"},
      {"disconnectNetwork", [] { return disconnectFromNetwork(nullptr, "wlan1", "office"); }, "disconnectNetwork(wlan1, 4)"},
      {"reconnect", [] { return roamNetworks(nullptr, "wlan1"); }, "reconnect(wlan1)"},
      {"addNetwork", [] { return addWifiNetwork(nullptr, "wlan1", "new"); }, "addNetwork(wlan1, new)"},
      {"removeNetwork", [] { return removeWifiNetwork(nullptr, "wlan1", "office"); }, "removeNetwork(wlan1, 4)"},
      {"saveConfig", [] { return saveWifiHostSettings(nullptr, "ignored"); }, "saveConfig(wlan0)"},
  };
  for (bool result : {false, true}) {
    for (const auto& [operation, call, daemonCall] : rows) {
      SCOPED_TRACE(std::string(operation) + (result ? " succeeding" : " failing"));
      load({});
      report_test::addRecord(host, "office")->setNetworkId(4);
      script().result("disconnectNetwork", true).result(operation, result);
      EXPECT_EQ(call(), result);
      if (result) { EXPECT_EQ(script().calls(operation), Calls{daemonCall}); }
    }
  }
}

TEST_F(FlatInterfaceTest, AnswersAreCopiesFromTheHostSettingsUntilStopped) {
  adapterNames = {"wlan0", "wlan1"};
  load({}, {"ssid=office", "wpa_state=COMPLETED"});
  report_test::addRecord(host, "office");
  char* adapter = nullptr;
  char* ssid = nullptr;
  ASSERT_TRUE(getWifiAdapter(nullptr, &adapter) && getCurrentNetwork(nullptr, "wlan1", &ssid));
  EXPECT_EQ(std::string(adapter) + " " + ssid, "wlan0 office");
  EXPECT_TRUE(adapter != host->adapter(0) && ssid != host->currentNetwork()->getSsid());
  ::operator delete(adapter);
  ::operator delete(ssid);
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
