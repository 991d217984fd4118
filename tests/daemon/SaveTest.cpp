#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/daemon/HostFixture.h"

namespace {

using Writes = std::vector<std::pair<std::string, std::string>>;

// The calls that write these variables of one network through wlan0; a
// "bssid" write is followed by the same arguments to setNetworkBssid.
Calls writes(int networkId, const Writes& variables) {
  Calls calls;
  for (const auto& [name, value] : variables) {
    const std::string arguments = "(wlan0, " + std::to_string(networkId) + ", " + name + ", " + value + ")";
    calls.push_back("setNetworkVariable" + arguments);
    if (name == "bssid") calls.push_back("setNetworkBssid" + arguments);
  }
  return calls;
}

Calls operator+(Calls first, const Calls& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

const Calls kStored{"saveConfig(wlan0)", "reloadConfig(wlan0)"};
const char* const kAbsent = "\"\"";

class SaveTest : public HostFixture {
 protected:
  // lab (1) before office (0) in the list; every record as the load left it:
  // failed queries give key management 6, pairwise 6, group 30, protocol 3,
  // BSSID "00:00:00:00:00:00" and mode 2.
  void SetUp() override {
    HostFixture::SetUp();
    loadTwo();
  }

  void loadTwo() {
    load({"0\toffice\tany", "1\tlab\tany"});
    script().result("saveConfig", true).result("removeNetwork", true).result("addNetwork", true);
  }
};

TEST_F(SaveTest, NothingChangedMeansNoDaemonCall) {
  EXPECT_TRUE(host->save());
  EXPECT_EQ(script().calls(), Calls{});

  WifiHostSettings::destroyInstance();
  script().reset();
  host = WifiHostSettings::getInstance(nullptr);
  script().clearCalls();
  EXPECT_TRUE(host->save());
  EXPECT_EQ(script().calls(), Calls{});
}

// One change to office at a time: what is written, and whether a change is
// left behind afterwards.
TEST_F(SaveTest, EachRowWritesAndClearsByItsRule) {
  using Change = std::function<void(WifiNetwork&)>;
  struct Row {
    const char* name;
    Change change;
    Writes written;
    bool left = false;
  };
  std::vector<Row> rows = {
      {"ssid", [](WifiNetwork& n) { n.setSsid("renamed"); }, {{"ssid", "renamed"}}},
      {"null ssid", [](WifiNetwork& n) { n.setSsid(nullptr); }, {}, true},
      {"bssid any", [](WifiNetwork& n) { n.setBssid("any"); }, {{"bssid", "00:00:00:00:00:00"}}},
      {"bssid", [](WifiNetwork& n) { n.setBssid("aa:bb:cc:dd:ee:ff"); }, {{"bssid", "aa:bb:cc:dd:ee:ff"}}},
      {"null bssid", [](WifiNetwork& n) { n.setBssid(nullptr); }, {{"bssid", "00:00:00:00:00:00"}}},
      {"broadcast", [](WifiNetwork& n) { n.setSsidBroadcasted(true); }, {{"scan_ssid", "0"}}},
      {"hidden", [](WifiNetwork& n) { n.setSsidBroadcasted(false); }, {{"scan_ssid", "1"}}},
      {"key management 6", [](WifiNetwork& n) { n.setKeyManagementChanged(true); }, {}},
      {"key management 0", [](WifiNetwork& n) { n.setKeyManagement(0); }, {}, true},
      {"priority", [](WifiNetwork& n) { n.setPriority(-1); }, {{"priority", "-1"}}},
      {"mode", [](WifiNetwork& n) { n.setMode(1); }, {{"mode", "1"}}},
      {"auth 4", [](WifiNetwork& n) { n.setAuthentication(4); }, {}},
      {"auth 0", [](WifiNetwork& n) { n.setAuthenticationChanged(true); }, {}, true},
      {"pairwise 8", [](WifiNetwork& n) { n.setPairwise(8); }, {}},
      {"pairwise 6", [](WifiNetwork& n) { n.setPairwiseChanged(true); }, {}},
      {"group 1", [](WifiNetwork& n) { n.setGroup(1); }, {}},
      {"group 0", [](WifiNetwork& n) { n.setGroup(0); }, {}, true},
      {"eap 3", [](WifiNetwork& n) { n.setEapMethod(3); }, {}},
      {"proto 3", [](WifiNetwork& n) { n.setProtocolChanged(true); }, {}},
      {"wep index 0", [](WifiNetwork& n) { n.setWepIndexChanged(true); }, {{"wep_tx_keyidx", "0"}}},
      {"wep key", [](WifiNetwork& n) { n.setWepKey(1, "abc"); }, {{"wep_key1", "abc"}}},
      {"wep key *", [](WifiNetwork& n) { n.setWepKey(2, "*"); }, {}},
      {"null wep key", [](WifiNetwork& n) { n.setWepKeyChanged(true, 3); }, {{"wep_key3", kAbsent}}},
      {"psk", [](WifiNetwork& n) { n.setPreSharedKey("plain secret"); }, {{"psk", "plain secret"}}},
      {"psk *", [](WifiNetwork& n) { n.setPreSharedKey("*"); }, {}},
      {"null psk", [](WifiNetwork& n) { n.setPreSharedKeyChanged(true); }, {{"psk", kAbsent}}},
      {"empty psk",
       [](WifiNetwork& n) {
         n.setPreSharedKey("old");
         n.clearChanges();
         n.setPreSharedKey("");
       },
       {{"psk", ""}}},
      {"empty identity",
       [](WifiNetwork& n) {
         n.setEapIdentity("old");
         n.clearChanges();
         n.setEapIdentity("");
       },
       {{"identity", ""}}},
      {"identity *", [](WifiNetwork& n) { n.setEapIdentity("*"); }, {{"identity", "*"}}},
      {"null identity", [](WifiNetwork& n) { n.setEapIdentityChanged(true); }, {{"identity", kAbsent}}},
      {"password *", [](WifiNetwork& n) { n.setEapPassword("*"); }, {}},
      {"key password *", [](WifiNetwork& n) { n.setPrivateKeyPassword("*"); }, {}},
      {"inner key password *", [](WifiNetwork& n) { n.setPrivateKeyPassword2("*"); }, {}},
      {"inner ca file *", [](WifiNetwork& n) { n.setCaCertificateFile2("*"); }, {{"ca_cert2", "*"}}},
      {"channel", [](WifiNetwork& n) { n.setChannel(3); }, {}, true},
  };
  const std::pair<uint32_t, const char*> authWords[] = {{1, "OPEN"}, {2, "SHARED"}, {3, "LEAP"}};
  for (const auto& [value, word] : authWords) {
    rows.push_back({word, [v = value](WifiNetwork& n) { n.setAuthentication(v); }, {{"auth_alg", word}}});
  }
  const std::pair<uint32_t, const char*> keyWords[] = {
      {1, "NONE"}, {2, "WPA-PSK"}, {4, "WPA-EAP"}, {8, "IEEE8021X"}, {16, "WPA-NONE"}};
  for (const auto& [value, word] : keyWords) {
    rows.push_back({word, [v = value](WifiNetwork& n) { n.setKeyManagement(v); }, {{"key_mgmt", word}}});
  }
  const std::pair<uint32_t, const char*> pairwiseWords[] = {{4, "CCMP"}, {2, "TKIP"}, {1, "NONE"}};
  for (const auto& [value, word] : pairwiseWords) {
    rows.push_back({word, [v = value](WifiNetwork& n) { n.setPairwise(v); }, {{"pairwise", word}}});
  }
  const std::pair<uint32_t, const char*> groupWords[] = {{4, "CCMP"}, {2, "TKIP"}, {16, "WEP40"}, {8, "WEP104"}};
  for (const auto& [value, word] : groupWords) {
    rows.push_back({word, [v = value](WifiNetwork& n) { n.setGroup(v); }, {{"group", word}}});
  }
  const std::pair<uint32_t, const char*> eapWords[] = {
      {1, "TLS"}, {2, "PEAP"}, {4, "TTLS"}, {8, "MD5"}, {16, "LEAP"}, {32, "MSCHAPV2"},
      {64, "GTC"}, {128, "OTP"}, {256, "PSK"}, {512, "PAX"}, {1024, "FAST"}};
  for (const auto& [value, word] : eapWords) {
    rows.push_back({word, [v = value](WifiNetwork& n) { n.setEapMethod(v); }, {{"eap", word}}});
  }
  const std::pair<uint32_t, const char*> protoWords[] = {{1, "WPA"}, {2, "RSN"}};
  for (const auto& [value, word] : protoWords) {
    rows.push_back({word, [v = value](WifiNetwork& n) { n.setProtocol(v); }, {{"proto", word}}});
  }

  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    loadTwo();
    WifiNetwork* office = find("office");
    row.change(*office);
    ASSERT_TRUE(office->hasChanges());
    EXPECT_TRUE(host->save());
    EXPECT_EQ(script().calls(), writes(0, row.written) + kStored);
    EXPECT_EQ(office->hasChanges(), row.left);
    EXPECT_TRUE(host->networkDatabase()->isUnchanged());
  }
}

TEST_F(SaveTest, EveryFlagWritesTheRowsInOrder) {
  WifiNetwork* n = find("office");
  n->setBssid("aa:bb:cc:dd:ee:ff");
  n->setSsidBroadcasted(true);
  n->setKeyManagement(2);
  n->setPriority(7);
  n->setMode(1);
  n->setAuthentication(2);
  n->setPairwise(4);
  n->setGroup(8);
  n->setEapMethod(4);
  n->setProtocol(1);
  n->setWepIndex(3);
  for (uint32_t i = 0; i < 4; ++i) n->setWepKey(i, ("k" + std::to_string(i)).c_str());
  const std::pair<WifiNetwork::TextField, const char*> texts[] = {
      {WifiNetwork::TEXT_EapIdentity, "id"},          {WifiNetwork::TEXT_EapAnonymousIdentity, "anon"},
      {WifiNetwork::TEXT_EapPassword, "pw"},          {WifiNetwork::TEXT_PreSharedKey, "psk"},
      {WifiNetwork::TEXT_CaCertificateFile, "ca"},    {WifiNetwork::TEXT_CaCertificateDir, "cadir"},
      {WifiNetwork::TEXT_ClientCertificate, "cc"},    {WifiNetwork::TEXT_PrivateKeyFile, "pk"},
      {WifiNetwork::TEXT_PrivateKeyPassword, "pkpw"}, {WifiNetwork::TEXT_Phase1, "p1"},
      {WifiNetwork::TEXT_Phase2, "p2"},               {WifiNetwork::TEXT_CaCertificateFile2, "ca2"},
      {WifiNetwork::TEXT_CaCertificateDir2, "cadir2"}, {WifiNetwork::TEXT_ClientCertificate2, "cc2"},
      {WifiNetwork::TEXT_PrivateKeyFile2, "pk2"},     {WifiNetwork::TEXT_PrivateKeyPassword2, "pkpw2"},
  };
  for (const auto& [field, value] : texts) n->setText(field, value);
  for (int flag = 0; flag < WifiNetwork::CHANGE_COUNT; ++flag) {
    n->setChanged(static_cast<WifiNetwork::Change>(flag), true);
  }

  EXPECT_TRUE(host->save());
  const Writes all = {
      {"ssid", "office"},      {"bssid", "aa:bb:cc:dd:ee:ff"}, {"scan_ssid", "0"},
      {"key_mgmt", "WPA-PSK"}, {"priority", "7"},              {"mode", "1"},
      {"auth_alg", "SHARED"},  {"pairwise", "CCMP"},           {"group", "WEP104"},
      {"eap", "TTLS"},         {"proto", "WPA"},               {"wep_tx_keyidx", "3"},
      {"wep_key0", "k0"},      {"wep_key1", "k1"},             {"wep_key2", "k2"},
      {"wep_key3", "k3"},      {"identity", "id"},             {"anonymous_identity", "anon"},
      {"password", "pw"},      {"psk", "psk"},                 {"ca_cert", "ca"},
      {"ca_path", "cadir"},    {"client_cert", "cc"},          {"private_key", "pk"},
      {"private_key_passwd", "pkpw"}, {"phase1", "p1"},        {"phase2", "p2"},
      {"ca_cert2", "ca2"},     {"ca_path2", "cadir2"},         {"client_cert2", "cc2"},
      {"private_key2", "pk2"}, {"private_key_passwd2", "pkpw2"},
  };
  EXPECT_EQ(script().calls(), writes(0, all) + kStored);

  // Only the channel, which has no variable, keeps its flag.
  for (int flag = 0; flag < WifiNetwork::CHANGE_COUNT; ++flag) {
    EXPECT_EQ(n->isChanged(static_cast<WifiNetwork::Change>(flag)), flag == WifiNetwork::CHANGED_Channel)
        << "flag " << flag;
  }
}

TEST_F(SaveTest, NetworksAreWrittenOneAfterTheOtherInListOrder) {
  find("office")->setPriority(5);
  find("office")->setPhase2("auth=MSCHAPV2");
  find("lab")->setEapIdentity("me");
  EXPECT_TRUE(host->save());
  EXPECT_EQ(script().calls(), writes(1, {{"identity", "me"}}) +
                                  writes(0, {{"priority", "5"}, {"phase2", "auth=MSCHAPV2"}}) + kStored);
}

TEST_F(SaveTest, MembershipChangesAloneStillStoreTheConfiguration) {
  EXPECT_TRUE(host->removeNetwork("wlan0", "lab"));
  script().clearCalls();
  EXPECT_TRUE(host->save());
  EXPECT_EQ(script().calls(), kStored);
  EXPECT_TRUE(host->networkDatabase()->isUnchanged());

  // An added network brings its SSID along.
  script().nextNetworkId(9);
  EXPECT_TRUE(host->addNetwork("wlan0", "new"));
  script().clearCalls();
  EXPECT_TRUE(host->save());
  EXPECT_EQ(script().calls(), writes(9, {{"ssid", "new"}}) + kStored);
  EXPECT_TRUE(hostLockFree());
}

TEST_F(SaveTest, TheLastAdapterDecides) {
  adapterNames = {"wlan0", "wlan1"};
  struct Row {
    bool first;
    bool last;
  };
  for (const Row& row : {Row{false, true}, Row{true, false}}) {
    SCOPED_TRACE(row.last);
    loadTwo();
    script().saveConfigFor("wlan0", row.first).saveConfigFor("wlan1", row.last);
    find("office")->setPriority(5);
    host->removeNetwork("wlan0", "lab");
    script().clearCalls();

    EXPECT_EQ(host->save(), row.last);
    Calls expected = writes(0, {{"priority", "5"}}) + Calls{"saveConfig(wlan0)", "saveConfig(wlan1)"};
    if (row.last) expected = expected + Calls{"reloadConfig(wlan0)", "reloadConfig(wlan1)"};
    EXPECT_EQ(script().calls(), expected);
    EXPECT_EQ(host->networkDatabase()->isUnchanged(), row.last);
    EXPECT_FALSE(find("office")->hasChanges());

    // After a failure the next save stores again without rewriting.
    script().clearCalls();
    EXPECT_EQ(host->save(), row.last);
    EXPECT_EQ(script().calls(), (row.last ? Calls{} : Calls{"saveConfig(wlan0)", "saveConfig(wlan1)"}));
  }
}

TEST_F(SaveTest, AChangedChannelStoresEveryTime) {
  find("office")->setChannel(11);
  for (int round = 0; round < 2; ++round) {
    script().clearCalls();
    EXPECT_TRUE(host->save());
    EXPECT_EQ(script().calls(), kStored);
    EXPECT_TRUE(find("office")->isChannelChanged());
  }
}

}  // namespace
