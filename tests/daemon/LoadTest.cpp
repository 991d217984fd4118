#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/daemon/HostFixture.h"

namespace {

using Variables = std::vector<std::pair<std::string, std::string>>;

class LoadTest : public HostFixture {
 protected:
  // A fresh script answering these variables for every network, then a load.
  WifiHostSettings* loadWith(std::vector<std::string> networks, const Variables& variables,
                           std::vector<std::string> status = {}, std::vector<std::string> scan = {}) {
    script().reset();
    for (const auto& [name, value] : variables) {
      for (uint8_t id : {0, 7}) script().variable(id, name, value);
    }
    return load(std::move(networks), std::move(status), std::move(scan));
  }

  // The only record, which must exist.
  WifiNetwork& only() const {
    WifiNetworkDatabase* database = host->networkDatabase();
    EXPECT_NE(database, nullptr);
    EXPECT_EQ(database->count(), 1u);
    return *database->first();
  }
};

std::string text(const char* value) { return value != nullptr ? value : "<null>"; }

TEST_F(LoadTest, AsksTheDaemonInOrderThroughTheFirstAdapter) {
  script().adapters({"wlan0", "wlan1"}).networks({"7\toffice\tany"}).scanResults({}).status({});
  script().variable(7, "key_mgmt", "NONE").variable(7, "wep_tx_keyidx", "1");
  host = WifiHostSettings::recreateInstance(nullptr);

  Calls expected{"getAdapters(2)", "listNetworks(wlan0, 32)"};
  for (const char* name :
       {"disabled", "bssid", "mode", "priority", "key_mgmt", "psk", "pairwise", "group", "proto", "eap",
        "auth_alg", "wep_tx_keyidx", "wep_key0", "wep_key1", "wep_key2", "wep_key3", "scan_ssid",
        "identity", "anonymous_identity", "password", "private_key_passwd", "ca_cert", "ca_path",
        "client_cert", "private_key", "phase1", "phase2", "private_key_passwd2", "ca_cert2",
        "ca_path2", "client_cert2", "private_key2"}) {
    expected.push_back(std::string("getNetworkVariable(wlan0, 7, ") + name + ")");
  }
  expected.push_back("getScanLines(wlan0, 32)");
  expected.push_back("getStatus(wlan0, 16)");
  EXPECT_EQ(script().calls(), expected);

  // A freshly loaded database and record carry no changes.
  EXPECT_TRUE(host->networkDatabase()->isUnchanged());
  EXPECT_FALSE(only().hasChanges());
}

TEST_F(LoadTest, AnEmptyListAsksForNoScanResultsButNeedsTheStatus) {
  script().adapters({"wlan0"}).networks({}).status({"wpa_state=INACTIVE"});
  host = WifiHostSettings::recreateInstance(nullptr);
  EXPECT_EQ(script().calls(), (Calls{"getAdapters(2)", "listNetworks(wlan0, 32)", "getStatus(wlan0, 16)"}));
  ASSERT_NE(host->networkDatabase(), nullptr);
  EXPECT_EQ(host->networkDatabase()->count(), 0u);
  EXPECT_EQ(host->daemonState(), 2u);

  script().failStatus();
  host = WifiHostSettings::recreateInstance(nullptr);
  EXPECT_EQ(host->networkDatabase(), nullptr);
}

// One row per answer of each variable query; a null answer is a failed query.
TEST_F(LoadTest, EachVariableQueryAndItsFailureValue) {
  using Reader = std::function<std::string(const WifiNetwork&)>;
  auto number = [](auto get) { return Reader([get](const WifiNetwork& n) { return std::to_string((n.*get)()); }); };
  auto texts = [](WifiNetwork::TextField field) {
    return Reader([field](const WifiNetwork& n) { return text(n.getText(field)); });
  };
  const Reader status = number(&WifiNetwork::getStatus);
  const Reader bssid = texts(WifiNetwork::TEXT_Bssid);
  const Reader mode = number(&WifiNetwork::getMode);
  const Reader priority = number(&WifiNetwork::getPriority);
  const Reader keyMgmt = number(&WifiNetwork::getKeyManagement);
  const Reader pairwise = number(&WifiNetwork::getPairwise);
  const Reader group = number(&WifiNetwork::getGroup);
  const Reader proto = number(&WifiNetwork::getProtocol);
  const Reader eap = number(&WifiNetwork::getEapMethod);
  const Reader auth = number(&WifiNetwork::getAuthentication);
  const Reader broadcast = [](const WifiNetwork& n) { return n.getSsidBroadcasted() ? "yes" : "no"; };

  struct Row {
    const char* variable;
    const char* answer;
    Reader read;
    std::string expected;
  };
  std::vector<Row> rows = {
      {"disabled", "1", status, "5"},
      {"disabled", "0", status, "1"},
      {"disabled", nullptr, status, "1"},
      {"bssid", "aa:bb:cc:dd:ee:ff", bssid, "aa:bb:cc:dd:ee:ff"},
      {"bssid", nullptr, bssid, "00:00:00:00:00:00"},  // overrides the list's BSSID
      {"mode", "1", mode, "1"},
      {"mode", "0", mode, "0"},
      {"mode", "257", mode, "1"},
      {"mode", nullptr, mode, "2"},
      {"priority", "-3", priority, "-3"},
      {"priority", "12", priority, "12"},
      {"priority", nullptr, priority, "0"},
      {"key_mgmt", "WPA-NONE", keyMgmt, "16"},
      {"key_mgmt", "NONE", keyMgmt, "1"},
      {"key_mgmt", "WPA-PSK", keyMgmt, "2"},
      {"key_mgmt", "WPA-PSK WPA-EAP", keyMgmt, "4"},
      {"key_mgmt", "WPA-PSK NONE", keyMgmt, "1"},
      {"key_mgmt", "IEEE8021X", keyMgmt, "8"},
      {"key_mgmt", "OTHER", keyMgmt, "0"},
      {"key_mgmt", nullptr, keyMgmt, "6"},
      {"psk", "secret phrase", texts(WifiNetwork::TEXT_PreSharedKey), "secret phrase"},
      {"psk", nullptr, texts(WifiNetwork::TEXT_PreSharedKey), "<null>"},
      {"pairwise", "CCMP TKIP", pairwise, "6"},
      {"pairwise", "NONE", pairwise, "1"},
      {"pairwise", "TKIP", pairwise, "2"},
      {"pairwise", "", pairwise, "0"},
      {"pairwise", nullptr, pairwise, "6"},
      {"group", "CCMP", group, "4"},
      {"group", "TKIP WEP104 WEP40", group, "26"},
      {"group", "WEP40", group, "16"},
      {"group", nullptr, group, "30"},
      {"proto", "WPA RSN", proto, "3"},
      {"proto", "RSN", proto, "2"},
      {"proto", "WPA", proto, "1"},
      {"proto", nullptr, proto, "3"},
      {"eap", "PEAP TTLS", eap, "4"},
      {"eap", "TTLS", eap, "4"},
      {"eap", "TLS", eap, "1"},
      {"eap", "MD5 TLS", eap, "1"},
      {"eap", "PEAP", eap, "2"},
      {"eap", "LEAP", eap, "16"},
      {"eap", "MD5", eap, "8"},
      {"eap", "MSCHAPV2", eap, "32"},
      {"eap", "GTC", eap, "64"},
      {"eap", "OTP", eap, "128"},
      {"eap", "PSK", eap, "256"},
      {"eap", "PAX", eap, "512"},
      {"eap", "FAST", eap, "1024"},
      {"eap", "OTHER", eap, "0"},
      {"eap", nullptr, eap, "0"},
      {"auth_alg", "OPEN SHARED", auth, "1"},
      {"auth_alg", "SHARED OPEN", auth, "1"},
      {"auth_alg", "SHARED", auth, "2"},
      {"auth_alg", "LEAP", auth, "3"},
      {"auth_alg", "", auth, "4"},
      {"auth_alg", "OTHER", auth, "4"},
      {"auth_alg", nullptr, auth, "0"},
      {"scan_ssid", "0", broadcast, "yes"},
      {"scan_ssid", "1", broadcast, "no"},
      {"scan_ssid", "00", broadcast, "no"},
      {"scan_ssid", nullptr, broadcast, "no"},
  };
  const std::pair<const char*, WifiNetwork::TextField> textVariables[] = {
      {"identity", WifiNetwork::TEXT_EapIdentity},
      {"anonymous_identity", WifiNetwork::TEXT_EapAnonymousIdentity},
      {"password", WifiNetwork::TEXT_EapPassword},
      {"private_key_passwd", WifiNetwork::TEXT_PrivateKeyPassword},
      {"ca_cert", WifiNetwork::TEXT_CaCertificateFile},
      {"ca_path", WifiNetwork::TEXT_CaCertificateDir},
      {"client_cert", WifiNetwork::TEXT_ClientCertificate},
      {"private_key", WifiNetwork::TEXT_PrivateKeyFile},
      {"phase1", WifiNetwork::TEXT_Phase1},
      {"phase2", WifiNetwork::TEXT_Phase2},
      {"private_key_passwd2", WifiNetwork::TEXT_PrivateKeyPassword2},
      {"ca_cert2", WifiNetwork::TEXT_CaCertificateFile2},
      {"ca_path2", WifiNetwork::TEXT_CaCertificateDir2},
      {"client_cert2", WifiNetwork::TEXT_ClientCertificate2},
      {"private_key2", WifiNetwork::TEXT_PrivateKeyFile2},
  };
  for (const auto& [variable, field] : textVariables) {
    rows.push_back({variable, "value of a text", texts(field), "value of a text"});
    rows.push_back({variable, nullptr, texts(field), "<null>"});
  }

  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.variable) + " = " + text(row.answer));
    Variables variables;
    if (row.answer != nullptr) variables.push_back({row.variable, row.answer});
    loadWith({"0\tnet\t11:22:33:44:55:66"}, variables);
    const WifiNetwork& network = only();
    EXPECT_EQ(row.read(network), row.expected);
    EXPECT_FALSE(network.hasChanges());
  }
}

TEST_F(LoadTest, WepVariablesAreAskedOnlyForNoneOrIeee8021x) {
  const Variables keys = {{"wep_key0", "k0"}, {"wep_key1", "k1"}, {"wep_key2", "k2"}, {"wep_key3", "k3"}};
  struct Row {
    const char* keyMgmt;     // null: the query fails
    const char* wepIndex;    // null: the query fails
    size_t queries;          // wep_tx_keyidx and wep_key queries made
    uint32_t index;
    const char* key0;
  };
  const Row rows[] = {
      {"NONE", "2", 5, 2, "k0"},
      {"IEEE8021X", "3", 5, 3, "k0"},
      {"NONE", "9", 5, 0, "k0"},          // an index above 3 is refused, the keys still read
      {"NONE", nullptr, 1, 0, nullptr},   // no index: the keys are skipped
      {"WPA-PSK", "2", 0, 0, nullptr},
      {"WPA-NONE", "2", 0, 0, nullptr},
      {nullptr, "2", 0, 0, nullptr},      // failed key_mgmt gives 6: no WEP
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(text(row.keyMgmt)) + " / " + text(row.wepIndex));
    Variables variables = keys;
    if (row.keyMgmt != nullptr) variables.push_back({"key_mgmt", row.keyMgmt});
    if (row.wepIndex != nullptr) variables.push_back({"wep_tx_keyidx", row.wepIndex});
    script().reset();
    for (const auto& [name, value] : variables) script().variable(0, name, value);
    script().adapters({"wlan0"}).networks({"0\tnet\tany"}).scanResults({}).status({});
    host = WifiHostSettings::recreateInstance(nullptr);

    size_t wepQueries = 0;
    for (const std::string& call : script().calls("getNetworkVariable")) {
      if (call.find(", wep_") != std::string::npos) ++wepQueries;
    }
    EXPECT_EQ(wepQueries, row.queries);
    const WifiNetwork& network = only();
    EXPECT_EQ(network.getWepIndex(), row.index);
    EXPECT_EQ(text(network.getWepKey(0)), text(row.key0));
    EXPECT_EQ(text(network.getWepKey(3)), row.key0 != nullptr ? "k3" : "<null>");
    EXPECT_FALSE(network.hasChanges());
  }
}

TEST_F(LoadTest, ListLines) {
  const std::string longSsid(251, 'x');
  struct Row {
    std::string line;
    std::string expected;  // describe() after the load
  };
  const Row rows[] = {
      {"0\toffice\tany\t[CURRENT]", "office/0/4*"},
      {"3\t\tany\t[DISABLED]", "SSID N/A/3/5"},
      {"7\tlab\t11:22:33:44:55:66", "lab/7/1"},
      {"300\tbig\tany", "big/44/1"},
      {"4\tmy:net\tany", "SSID N/A/4/1"},      // a ':' makes the field the BSSID
      {"5\tany\t00:11:22:33:44:55", "SSID N/A/5/1"},
      {"10\t\t\tlab2\tany", "lab2/10/1"},      // a run of TABs is one separator
      {"11\tboth\tany\t[DISABLED][CURRENT]", "both/11/5"},
      {"12\tlate\tany\t\t[CURRENT]", "late/12/4*"},
      {"8\tcaf\xc3\xa9 \xe2\x98\x95\tany", "caf\xc3\xa9 \xe2\x98\x95/8/1"},
      {"9\tna\xefve\tany\t[DISABLED]", "na\xefve/9/5"},
      {"network id / ssid / bssid / flags", ""},
      {"6\tlonely", ""},
      {"6", ""},
      {"", ""},
      {"\t\t", ""},
      // The working copy keeps 255 characters: the third field's first
      // character is the 255th of this line, one more x pushes it out.
      {"9\t" + longSsid + "\tany", longSsid + "/9/1"},
      {"9\t" + longSsid + "x\tany", ""},
      // Flags are looked for in the whole line, beyond the cut.
      {"9\tfar\tany\t" + std::string(300, ' ') + "[DISABLED]", "far/9/5"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    loadWith({row.line}, {}, {"wpa_state=SCANNING"});
    EXPECT_EQ(describe(), row.expected);
    if (host->networkDatabase() != nullptr && host->networkDatabase()->first() != nullptr) {
      EXPECT_STREQ(host->networkDatabase()->first()->getBssid(), "00:00:00:00:00:00");
    }
  }

  // Lines come out newest first.
  loadWith({"0\ta\tany", "1\tb\tany", "2\tc\tany"}, {});
  EXPECT_EQ(describe(), "c/2/1; b/1/1; a/0/1");
}

TEST_F(LoadTest, NullLinesArePassedOver) {
  const std::string none = DaemonScript::kNullLine;
  loadWith({none, "0\toffice\tany\t[CURRENT]", none}, {}, {none, "wpa_state=COMPLETED", none},
         {none, "aa:bb:cc:dd:ee:ff\t2412\t200\t[ESS]\toffice"});
  EXPECT_EQ(describe(), "office/0/3*");
  EXPECT_EQ(find("office")->getChannel(), 1);
}

TEST_F(LoadTest, DuplicateSsidsAreRefusedWithoutLeakOrDanglingCurrent) {
  loadWith({"1\tdup\tany", "2\tdup\tany\t[CURRENT]"}, {}, {"wpa_state=SCANNING"});
  EXPECT_EQ(host->networkDatabase()->count(), 1u);
  EXPECT_EQ(find("dup")->getNetworkId(), 1);
  if (host->currentNetwork() != nullptr) {
    EXPECT_EQ(host->currentNetwork(), find("dup"));
    EXPECT_EQ(host->currentNetwork()->getStatus(), NETWORK_STATUS_CONNECTING);
  }

  loadWith({"1\tdup\tany\t[CURRENT]", "2\tdup\tany"}, {}, {"wpa_state=COMPLETED"});
  EXPECT_EQ(describe(), "dup/1/3*");

  loadWith({"3\t\tany\t[DISABLED]", "4\t\tany\t[DISABLED]"}, {});
  EXPECT_EQ(describe(), "SSID N/A/3/5");
}

TEST_F(LoadTest, ScanResultsMergeIntoMatchingRecords) {
  struct Row {
    std::vector<std::string> scan;
    std::string expected;  // bssid channel strength mode of "office"
  };
  std::vector<Row> rows = {
      {{"aa:bb:cc:dd:ee:ff\t2437\t189\t[WPA2-PSK-CCMP][ESS]\toffice"}, "aa:bb:cc:dd:ee:ff 6 57 0"},
      {{"aa:bb:cc:dd:ee:ff\t2412\t185\t[IBSS]\toffice"}, "aa:bb:cc:dd:ee:ff 1 50 1"},
      {{"aa:bb:cc:dd:ee:ff\t2462\t210\t[ESS]\toffice"}, "aa:bb:cc:dd:ee:ff 11 100 0"},
      {{"aa:bb:cc:dd:ee:ff\t2462\t255\t[ESS]\toffice"}, "aa:bb:cc:dd:ee:ff 11 100 0"},
      {{"aa:bb:cc:dd:ee:ff\t2412\t160\t[ESS]\toffice"}, "aa:bb:cc:dd:ee:ff 1 0 0"},
      {{"aa:bb:cc:dd:ee:ff\t2412\t90\t[ESS]\toffice"}, "aa:bb:cc:dd:ee:ff 1 0 0"},
      {{"aa:bb:cc:dd:ee:ff\t2412\t-5\t[ESS]\toffice"}, "aa:bb:cc:dd:ee:ff 1 0 0"},
      {{"aa:bb:cc:dd:ee:ff\t2412\t161\t[ESS]\toffice"}, "aa:bb:cc:dd:ee:ff 1 2 0"},
      {{"aa:bb:cc:dd:ee:ff\t2467\t200\t[ESS]\toffice"}, "aa:bb:cc:dd:ee:ff 6 80 0"},   // channel 12
      {{"aa:bb:cc:dd:ee:ff\t5180\t200\t[ESS]\toffice"}, "aa:bb:cc:dd:ee:ff 6 80 0"},   // 5 GHz
      {{"no-colon\t2412\t200\t[ESS]\toffice"}, "00:00:00:00:00:00 1 80 0"},
      {{"aa:bb:cc:dd:ee:ff\t2412\t200\t[ESS]\toffice-guest"}, "aa:bb:cc:dd:ee:ff 1 80 0"},
      {{"aa:bb:cc:dd:ee:ff\t2412\t200\t[ESS]\tlab"}, "00:00:00:00:00:00 0 0 2"},       // no match
      {{"office"}, "00:00:00:00:00:00 0 0 2"},                                       // one field only
      {{"office:1\t2417"}, "office:1 2 0 2"},                                        // no level
      {{"office:1\t2417\t200"}, "office:1 2 80 2"},                                  // no flags
      {{"aa:bb:cc:dd:ee:01\t2412\t200\t[ESS]\toffice", "aa:bb:cc:dd:ee:02\t2422\t170\t[IBSS]\toffice"},
       "aa:bb:cc:dd:ee:02 3 20 1"},                                                  // the later line wins
      {{"aa:bb:cc:dd:ee:ff\t2412\t200\t[ESS]" + std::string(300, 'x') + "\toffice"},
       "aa:bb:cc:dd:ee:ff 1 80 0"},                                                  // cut working copy
  };
  const int frequencies[] = {2412, 2417, 2422, 2427, 2432, 2437, 2442, 2447, 2452, 2457, 2462};
  for (int channel = 1; channel <= 11; ++channel) {
    rows.push_back({{"aa:bb:cc:dd:ee:ff\t" + std::to_string(frequencies[channel - 1]) + "\t210\t\toffice"},
                    "aa:bb:cc:dd:ee:ff " + std::to_string(channel) + " 100 0"});
  }
  for (const Row& row : rows) {
    SCOPED_TRACE(row.scan.front());
    loadWith({"0\toffice\tany"}, {}, {}, row.scan);
    const WifiNetwork& n = only();
    EXPECT_EQ(text(n.getBssid()) + " " + std::to_string(n.getChannel()) + " " +
                  std::to_string(n.getStrength()) + " " + std::to_string(n.getMode()),
              row.expected);
  }
}

TEST_F(LoadTest, OneScanLineUpdatesEveryRecordWhoseSsidItHolds) {
  loadWith({"0\tlab\tany", "1\tlaboratory\tany", "2\toffice\tany"}, {}, {},
         {"aa:bb:cc:dd:ee:ff\t2437\t200\t[ESS]\tlaboratory"});
  EXPECT_EQ(find("lab")->getChannel(), 6);
  EXPECT_EQ(find("laboratory")->getChannel(), 6);
  EXPECT_EQ(find("office")->getChannel(), 0);
}

TEST_F(LoadTest, ScanMergeRaisesFlagsAfterTheLoadClearedThem) {
  loadWith({"0\toffice\tany", "7\tlab\tany"}, {{"bssid", "aa:bb:cc:dd:ee:ff"}, {"mode", "0"}}, {},
         {"aa:bb:cc:dd:ee:ff\t2412\t200\t[ESS]\toffice", "11:22:33:44:55:66\t2412\t200\t[IBSS]\tlab"});
  WifiNetwork* office = find("office");  // same BSSID and mode as loaded: only the channel moved
  EXPECT_TRUE(office->hasChanges());
  EXPECT_TRUE(office->isChannelChanged());
  EXPECT_FALSE(office->isBssidChanged());
  EXPECT_FALSE(office->isModeChanged());
  WifiNetwork* lab = find("lab");
  EXPECT_TRUE(lab->isBssidChanged());
  EXPECT_TRUE(lab->isChannelChanged());
  EXPECT_TRUE(lab->isModeChanged());
  EXPECT_TRUE(host->networkDatabase()->isUnchanged());
}

TEST_F(LoadTest, StatusReportSettlesTheCurrentNetwork) {
  struct Row {
    std::vector<std::string> networks;
    std::vector<std::string> status;
    Variables variables;
    std::string expected;  // describe()
    uint32_t state;
  };
  const std::vector<std::string> officeCurrent = {"0\toffice\tany\t[CURRENT]", "1\tlab\tany"};
  const Row rows[] = {
      {{"0\toffice\tany", "1\tlab\tany\t[CURRENT]"},
       {"bssid=aa:bb:cc:dd:ee:ff", "ssid=office", "id=0", "key_mgmt=WPA-PSK", "wpa_state=COMPLETED"},
       {}, "lab/1/1; office/0/3*", 8},
      {officeCurrent, {"wpa_state=DISCONNECTED"}, {}, "lab/1/1; office/0/1", 1},
      {officeCurrent, {"bssid=lab", "wpa_state=COMPLETED"}, {}, "lab/1/1; office/0/3*", 8},
      {officeCurrent, {"ssid=ghost", "wpa_state=COMPLETED"}, {}, "lab/1/1; office/0/1", 8},
      {{"0\toffice\tany", "1\tlab\tany"}, {"ssid=lab", "wpa_state=ASSOCIATED"}, {}, "lab/1/4*; office/0/1", 5},
      {{"0\tx=y\tany"}, {"ssid=x=y", "wpa_state=COMPLETED"}, {}, "x=y/0/3*", 8},
      {officeCurrent, {}, {}, "lab/1/1; office/0/1", 0},
      {officeCurrent, {"wpa_state=SCANNING", "wpa_state=COMPLETED"}, {}, "lab/1/1; office/0/3*", 8},
      // "disabled" on the current line: 5 until the state settles it.
      {{"0\toffice\tany\t[CURRENT]"}, {"wpa_state=INACTIVE"}, {{"disabled", "1"}}, "office/0/5", 2},
      {{"0\toffice\tany\t[CURRENT]"}, {"wpa_state=SCANNING"}, {{"disabled", "1"}}, "office/0/4*", 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected);
    loadWith(row.networks, row.variables, row.status);
    EXPECT_EQ(describe(), row.expected);
    EXPECT_EQ(host->daemonState(), row.state);
  }
}

TEST_F(LoadTest, StateWordsAreTestedInTheirOrder) {
  struct Row {
    const char* line;
    uint32_t state;
    int32_t status;  // of the current network afterwards; 1 when dropped
  };
  const Row rows[] = {
      {"wpa_state=INACTIVE", 2, 1},        {"wpa_state=SCANNING", 3, 4},
      {"wpa_state=COMPLETED", 8, 3},       {"wpa_state=4WAY_HANDSHAKE", 6, 4},
      {"wpa_state=GROUP_HANDSHAKE", 7, 4}, {"wpa_state=ASSOCIATING", 4, 4},
      {"wpa_state=ASSOCIATED", 5, 4},      {"wpa_state=DISCONNECTED", 1, 1},
      {"wpa_state=INTERFACE_DISABLED", 0, 1},
      {"wpa_state=COMPLETED SCANNING", 3, 4},
      {"wpa_state=ASSOCIATED ASSOCIATING", 4, 4},
      {"wpa_state=DISCONNECTED GROUP_HANDSHAKE", 7, 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    loadWith({"0\toffice\tany\t[CURRENT]"}, {}, {row.line});
    EXPECT_EQ(host->daemonState(), row.state);
    EXPECT_EQ(find("office")->getStatus(), row.status);
    EXPECT_EQ(host->currentNetwork() != nullptr, row.state > 2);
  }
}

}  // namespace
