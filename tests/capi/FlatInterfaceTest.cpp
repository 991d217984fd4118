#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "core/WifiHostSettings.h"
#include "model/WifiNetwork.h"
#include "platform/XWriter.h"
#include "tests/daemon/HostFixture.h"
#include "tests/report/ReportSupport.h"
#include "wireless/wireless.h"

namespace {

using report_test::addRecord;

class FlatInterfaceTest : public HostFixture {
 protected:
  // True when some call since the last clearCalls built a host settings
  // instance (every build starts by asking for the adapters).
  static bool built() { return !script().calls("getAdapters").empty(); }
};

TEST_F(FlatInterfaceTest, DiscoverNetworksHandsOutTheCallersCapacity) {
  char** lines = nullptr;
  uint8_t count = 0;

  // Null out-pointers: false before anything is asked.
  EXPECT_FALSE(discoverNetworks(nullptr, "wlan0", nullptr, 4, &count));
  EXPECT_FALSE(discoverNetworks(nullptr, "wlan0", &lines, 4, nullptr));
  EXPECT_EQ(script().calls(), Calls{});

  // The scan fails: the caller's values stay, no results are asked for.
  char* sentinel[1] = {nullptr};
  lines = sentinel;
  count = 77;
  EXPECT_FALSE(discoverNetworks(nullptr, "wlan0", &lines, 4, &count));
  EXPECT_EQ(lines, sentinel);
  EXPECT_EQ(count, 77);
  EXPECT_EQ(script().calls(), Calls{"scan(wlan0)"});

  // The results can't be read: null and 0.
  script().clearCalls();
  script().result("scan", true);
  EXPECT_FALSE(discoverNetworks(nullptr, "wlan1", &lines, 4, &count));
  EXPECT_EQ(lines, nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(script().calls(), (Calls{"scan(wlan1)", "getScanLines(wlan1, 4)"}));

  // Results: capacity entries, the first count of them lines.
  script().clearCalls();
  script().scanResults({"a\t2412\t200\t[WPA2]\tone", "b", "c"});
  ASSERT_TRUE(discoverNetworks(nullptr, "wlan0", &lines, 2, &count));
  ASSERT_NE(lines, nullptr);
  ASSERT_EQ(count, 2);
  EXPECT_STREQ(lines[0], "a\t2412\t200\t[WPA2]\tone");
  EXPECT_STREQ(lines[1], "b");
  EXPECT_EQ(script().calls(), (Calls{"scan(wlan0)", "getScanLines(wlan0, 2)"}));
  for (uint8_t i = 0; i < count; ++i) ::operator delete(lines[i]);
  ::operator delete(lines);

  ASSERT_TRUE(discoverNetworks(nullptr, "wlan0", &lines, 5, &count));
  ASSERT_EQ(count, 3);
  EXPECT_EQ(lines[3], nullptr);
  EXPECT_EQ(lines[4], nullptr);
  for (uint8_t i = 0; i < count; ++i) ::operator delete(lines[i]);
  ::operator delete(lines);

  // Discovery works through the backend alone.
  EXPECT_FALSE(built());
}

TEST_F(FlatInterfaceTest, BackendOnlyFunctionsNeverBuildTheHostSettings) {
  EXPECT_FALSE(isWifiEnabled(nullptr, "wlan3"));
  EXPECT_FALSE(hashCACertificates(nullptr));
  script().result("isWifiEnabled", true).result("hashCACertificates", true);
  EXPECT_TRUE(isWifiEnabled(nullptr, "wlan3"));
  EXPECT_TRUE(hashCACertificates(nullptr));
  EXPECT_EQ(script().calls(), (Calls{"isWifiEnabled(wlan3)", "hashCACertificates()",
                                     "isWifiEnabled(wlan3)", "hashCACertificates()"}));
  EXPECT_TRUE(stopWifiService(nullptr));  // nothing to stop
  EXPECT_FALSE(built());
}

TEST_F(FlatInterfaceTest, GetWifiAdapterHandsOutACopyOfTheFirstOrNull) {
  EXPECT_FALSE(getWifiAdapter(nullptr, nullptr));

  // Unloaded: no adapter, the out string is nulled.
  char unused = 0;
  char* name = &unused;
  EXPECT_FALSE(getWifiAdapter(nullptr, &name));
  EXPECT_EQ(name, nullptr);
  EXPECT_TRUE(built());

  adapterNames = {"wlan0", "wlan1"};
  load({});
  ASSERT_TRUE(getWifiAdapter(nullptr, &name));
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, "wlan0");
  EXPECT_NE(name, host->adapter(0));  // a copy of its own
  ::operator delete(name);
}

TEST_F(FlatInterfaceTest, GetCurrentNetworkHandsOutACopyOfTheSsidOrNull) {
  load({});
  addRecord(host, "office");
  char unused = 0;
  char* ssid = &unused;

  EXPECT_FALSE(getCurrentNetwork(nullptr, "wlan0", nullptr));

  // No "ssid=" line and no current network.
  script().status({"wpa_state=COMPLETED"});
  EXPECT_FALSE(getCurrentNetwork(nullptr, "wlan0", &ssid));
  EXPECT_EQ(ssid, nullptr);

  script().clearCalls();
  script().status({"bssid=00:11:22:33:44:55", "ssid=office"});
  ASSERT_TRUE(getCurrentNetwork(nullptr, "wlan1", &ssid));
  EXPECT_STREQ(ssid, "office");
  EXPECT_NE(ssid, host->currentNetwork()->getSsid());
  EXPECT_EQ(script().calls("getStatus"), Calls{"getStatus(wlan1, 16)"});
  ::operator delete(ssid);

  // A null adapter asks nothing and hands out nothing.
  ssid = &unused;
  EXPECT_FALSE(getCurrentNetwork(nullptr, nullptr, &ssid));
  EXPECT_EQ(ssid, nullptr);

  // The daemon names a network the database doesn't hold.
  script().status({"ssid=elsewhere"});
  ssid = &unused;
  EXPECT_FALSE(getCurrentNetwork(nullptr, "wlan0", &ssid));
  EXPECT_EQ(ssid, nullptr);
}

TEST_F(FlatInterfaceTest, OperationsPassArgumentsAndResultsThrough) {
  struct Row {
    const char* name;
    const char* operation;  // the daemon result scripted
    std::function<bool()> call;
    Calls daemonCalls;  // with the operation's result true
  };
  const Row rows[] = {
      {"connect", "selectNetwork", [] { return connectToNetwork(nullptr, "wlan1", "office"); },
       {"selectNetwork(wlan1, 4)"}},
      {"disconnect", "disconnectNetwork",
       [] { return disconnectFromNetwork(nullptr, "wlan1", "office"); },
       {"disconnectNetwork(wlan1, 4)"}},
      {"roam", "reconnect", [] { return roamNetworks(nullptr, "wlan1"); },
       {"disconnectNetwork(wlan1, 0)", "setNetworkVariable(wlan1, 4, disabled, 0)", "reconnect(wlan1)"}},
      {"add", "addNetwork", [] { return addWifiNetwork(nullptr, "wlan1", "new"); },
       {"addNetwork(wlan1, new)"}},
      {"remove", "removeNetwork", [] { return removeWifiNetwork(nullptr, "wlan1", "office"); },
       {"removeNetwork(wlan1, 4)"}},
  };
  for (bool result : {false, true}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.name) + (result ? " succeeding" : " failing"));
      load({});
      WifiNetwork* office = addRecord(host, "office");
      office->setNetworkId(4);
      script().result("disconnectNetwork", true).result(row.operation, result);
      EXPECT_EQ(row.call(), result);
      if (result) {
        EXPECT_EQ(script().calls(), row.daemonCalls);
      }
    }
  }

  // Unknown networks: connect fails, disconnect and remove succeed, and
  // none of them asks the daemon.
  load({});
  EXPECT_FALSE(connectToNetwork(nullptr, "wlan0", "nowhere"));
  EXPECT_TRUE(disconnectFromNetwork(nullptr, "wlan0", "nowhere"));
  EXPECT_TRUE(removeWifiNetwork(nullptr, "wlan0", "nowhere"));
  EXPECT_FALSE(connectToNetwork(nullptr, "wlan0", nullptr));
  EXPECT_EQ(script().calls(), Calls{});
}

TEST_F(FlatInterfaceTest, SaveHandsOnTheResultOfTheSave) {
  for (bool accepted : {false, true}) {
    SCOPED_TRACE(accepted);
    load({});
    WifiNetwork* office = addRecord(host, "office");
    office->setPriority(9);
    script().result("saveConfig", accepted);
    EXPECT_EQ(saveWifiHostSettings(nullptr, "ignored"), accepted);
    EXPECT_EQ(script().calls("saveConfig"), Calls{"saveConfig(wlan0)"});
  }
}

TEST_F(FlatInterfaceTest, DaemonStatusAndStopService) {
  load({}, {"wpa_state=ASSOCIATING"});
  EXPECT_EQ(getDaemonStatus(nullptr, "wlan0"), 4u);
  EXPECT_EQ(getDaemonStatus(nullptr, nullptr), 0u);

  // Stopping drops the instance; the next call builds and loads a new one.
  EXPECT_TRUE(stopWifiService(nullptr));
  script().clearCalls();
  script().status({"wpa_state=COMPLETED"});
  EXPECT_EQ(getDaemonStatus(nullptr, "wlan0"), 8u);
  EXPECT_TRUE(built());
}

TEST_F(FlatInterfaceTest, XmlDocumentIsTheHostSettingsDocument) {
  load({});
  WifiNetwork* office = addRecord(host, "office");
  office->setStrength(42);

  EXPECT_FALSE(getWifiHostSettingsXML(nullptr, nullptr, 1));

  StringXWriter summary;
  ASSERT_TRUE(getWifiHostSettingsXML(&summary, nullptr, 0));
  EXPECT_EQ(summary.str(), report_test::writeXml(host, false));
  EXPECT_NE(summary.str().find("<wifiNetwork ssid=\"office\" strength=\"42\" status=\"0\"/>"),
            std::string::npos);

  // Any nonzero flag asks for the full form.
  StringXWriter detailed;
  ASSERT_TRUE(getWifiHostSettingsXML(&detailed, nullptr, 2));
  EXPECT_EQ(detailed.str(), report_test::writeXml(host, true));
  EXPECT_NE(detailed.str().find("<wifiSecuritySupported"), std::string::npos);
}

}  // namespace
