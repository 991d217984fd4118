#include <tuple>

#include "tests/daemon/HostFixture.h"

namespace {

// The variables in the order the load asks for them (the WEP ones only for
// key management NONE or IEEE8021X).
const char* const kVariables[] = {
    "disabled", "bssid", "mode", "priority", "key_mgmt", "psk", "pairwise", "group", "proto", "eap", "auth_alg",
    "wep_tx_keyidx", "wep_key0", "wep_key1", "wep_key2", "wep_key3", "scan_ssid", "identity", "anonymous_identity",
    "password", "private_key_passwd", "ca_cert", "ca_path", "client_cert", "private_key", "phase1", "phase2",
    "private_key_passwd2", "ca_cert2", "ca_path2", "client_cert2", "private_key2"};

using LoadTest = HostFixture;

// Network 0 answers the "name=value" entries of a row (split at ';') and
// each text variable its own name; the record then holds every
// "Field=value" entry of the expected text.
TEST_F(LoadTest, EachVariableQueryAndItsFailureValue) {
  const std::pair<const char*, const char*> rows[] = {
      {"", "Status=1;Bssid=\"00:00:00:00:00:00\";Mode=2;Priority=0;KeyManagement=6;Pairwise=6;Group=30;Protocol=3;"
           "EapMethod=0;Authentication=0;WepIndex=0;SsidBroadcasted=0;EapIdentity=\"identity\";Phase1=\"phase1\";"
           "EapAnonymousIdentity=\"anonymous_identity\";EapPassword=\"password\";CaCertificateDir=\"ca_path\";"
           "PrivateKeyPassword=\"private_key_passwd\";CaCertificateFile=\"ca_cert\";Phase2=\"phase2\";"
           "ClientCertificate=\"client_cert\";PrivateKeyFile=\"private_key\";CaCertificateFile2=\"ca_cert2\";"
           "PrivateKeyPassword2=\"private_key_passwd2\";CaCertificateDir2=\"ca_path2\";"
           "ClientCertificate2=\"client_cert2\";PrivateKeyFile2=\"private_key2\""},
      // WEP: an index above 3 is refused, the keys still read; no index skips the keys.
      {"key_mgmt=NONE;wep_tx_keyidx=2;wep_key0=k0;wep_key3=k3", "WepIndex=2;WepKey0=\"k0\";WepKey3=\"k3\""},
      {"key_mgmt=IEEE8021X;wep_tx_keyidx=3;wep_key3=k3", "WepIndex=3;WepKey3=\"k3\""},
      {"key_mgmt=NONE;wep_tx_keyidx=9;wep_key0=k0", "WepIndex=0;WepKey0=\"k0\""},
      {"key_mgmt=NONE;wep_key0=k0", "WepKey0=<null>"},
      {"key_mgmt=WPA-NONE;wep_tx_keyidx=2;wep_key0=k0", "WepIndex=0;WepKey0=<null>"},
      {"disabled=1;bssid=aa:bb;mode=0;priority=-3;psk=secret;scan_ssid=0",
       "Status=5;Bssid=\"aa:bb\";Mode=0;Priority=-3;PreSharedKey=\"secret\";SsidBroadcasted=1"},
      // One word decides key management, eap and auth_alg, tested in a fixed
      // order; every cipher or protocol word found adds its bit.
      {"key_mgmt=WPA-NONE;eap=TTLS;auth_alg=SHARED OPEN;pairwise=CCMP TKIP NONE;proto=RSN;scan_ssid=00",
       "KeyManagement=16;EapMethod=4;Authentication=1;Pairwise=7;Protocol=2;SsidBroadcasted=0"},
      {"key_mgmt=WPA-PSK WPA-EAP;eap=PEAP TLS;auth_alg=LEAP SHARED;group=TKIP CCMP WEP104 WEP40",
       "KeyManagement=4;EapMethod=1;Authentication=2;Group=30"},
      {"key_mgmt=IEEE8021X;eap=MD5 PEAP;auth_alg=", "KeyManagement=8;EapMethod=2;Authentication=4"},
      {"key_mgmt=NONE", "KeyManagement=1;PreSharedKey=<null>"},
  };
  for (const auto& [answers, expected] : rows) {
    SCOPED_TRACE(answers);
    script().reset();
    for (size_t i = 17; i < std::size(kVariables); ++i) script().variable(0, kVariables[i], kVariables[i]);
    forEachEntry(answers, [](const std::string& name, const std::string& value) { script().variable(0, name, value); });
    load({"0\tnet\t11:22:33:44:55:66"});
    ASSERT_TRUE(find("net") != nullptr && !find("net")->hasChanges());
    Fields fields = fieldsOf(*find("net"));
    forEachEntry(expected, [&](const std::string& f, const std::string& value) { EXPECT_EQ(fields[f], value) << f; });
  }
}

// describe() and the daemon state after loading a list and a status report
// (lines split at '|').
TEST_F(LoadTest, ListLinesAndStatusReport) {
  const std::string ssid(251, 'x'), two = "0\toffice\tany\t[CURRENT]|1\tlab\tany";
  std::vector<std::tuple<std::string, std::string, std::string>> rows = {
      // An empty SSID column, or one holding ':' or "any", is the BSSID; the
      // header line and short lines add nothing.
      {"0\toffice\tany\t[CURRENT]|300\tbig\t11:22:33:44:55:66|4\tmy:net\tany", "wpa_state=SCANNING",
       "SSID N/A/4/1; big/44/1; office/0/4* 3"},
      {"3\t\tany\t[DISABLED]|11\tboth\tany\t[DISABLED][CURRENT]", "wpa_state=SCANNING", "both/11/5; SSID N/A/3/5 3"},
      {"network id / ssid / bssid / flags|6\tlonely|0\ta\tany|<null line>|1\tb\tany", "", "b/1/1; a/0/1 0"},
      // The working copy keeps 255 characters: the third field's first
      // character is the 255th of this line, one more x pushes it out.
      {"9\t" + ssid + "\tany|8\t" + ssid + "x\tany", "", ssid + "/9/1 0"},
      // A second record with an SSID already loaded is refused; it can't be
      // left behind as the current network.
      {"1\tdup\tany|2\tdup\tany\t[CURRENT]", "wpa_state=SCANNING", "dup/1/1 3"},
      {"1\tdup\tany\t[CURRENT]|2\tdup\tany", "wpa_state=SCANNING", "dup/1/4* 3"},
      // The status report settles the current network: its SSID, not its
      // BSSID, id or key management; an unknown SSID drops it.
      {two, "bssid=aa:bb|ssid=lab|wpa_state=COMPLETED|id=0 wpa_state=INACTIVE|key_mgmt=wpa_state=IDLE",
       "lab/1/3*; office/0/1 8"},
      {two, "bssid=lab|wpa_state=SCANNING|wpa_state=COMPLETED", "lab/1/1; office/0/3* 8"},
      {two, "ssid=ghost|wpa_state=COMPLETED", "lab/1/1; office/0/1 8"},
  };
  // The state words are tested in a fixed order; a state up to idle drops
  // the current network, one before COMPLETED makes it connecting.
  const std::pair<const char*, uint32_t> states[] = {
      {"", 0}, {"INACTIVE", 2}, {"SCANNING", 3}, {"ASSOCIATING", 4}, {"ASSOCIATED", 5}, {"4WAY_HANDSHAKE", 6},
      {"GROUP_HANDSHAKE", 7}, {"DISCONNECTED", 1}, {"INTERFACE_DISABLED", 0}, {"COMPLETED SCANNING", 3},
      {"ASSOCIATED ASSOCIATING", 4}, {"DISCONNECTED GROUP_HANDSHAKE", 7}};
  for (const auto& [word, state] : states) {
    rows.push_back({two, std::string("wpa_state=") + word,
                    (state <= 2 ? "lab/1/1; office/0/1 " : "lab/1/1; office/0/4* ") + std::to_string(state)});
  }
  for (const auto& [list, status, expected] : rows) {
    load(split(list), split(status));
    EXPECT_EQ(describe() + " " + std::to_string(host->daemonState()), expected) << list << " " << status;
  }
}

// Merged the same way by the load and the refresh.
TEST_F(LoadTest, ScanResultsMergeIntoMatchingRecords) {
  const std::pair<std::string, std::string> rows[] = {  // the scan line, then office's bssid channel strength mode
      {"aa:bb:cc:dd:ee:ff\t2437\t189\t[WPA2-PSK-CCMP][ESS]\toffice", "\"aa:bb:cc:dd:ee:ff\" 6 57 0"},
      {"aa:bb:cc:dd:ee:ff\t2412\t185\t[IBSS]\toffice", "\"aa:bb:cc:dd:ee:ff\" 1 50 1"},
      {"aa:bb:cc:dd:ee:ff\t2462\t100\t[ESS]\toffice", "\"aa:bb:cc:dd:ee:ff\" 11 0 0"},
      {"aa:bb:cc:dd:ee:ff\t2467\t250\t[ESS]\toffice", "\"aa:bb:cc:dd:ee:ff\" 6 100 0"},  // an unknown frequency
      {"no-colon\t2412\t200\t[ESS]\toffice-guest", "\"00:00:00:00:00:00\" 1 80 0"},
      {"aa:bb:cc:dd:ee:ff\t2412\t200\t[ESS]\tlab", "\"00:00:00:00:00:00\" 0 0 2"},  // no match
      {"office:1\t2417", "\"office:1\" 2 0 2"},                                       // no level
  };
  for (const auto& [scan, expected] : rows) {
    load({"0\toffice\tany"}, {}, {scan});
    Fields n = fieldsOf(*find("office"));
    EXPECT_EQ(n["Bssid"] + " " + n["Channel"] + " " + n["Strength"] + " " + n["Mode"], expected) << scan;
  }
  // The load clears the flags before the merge: what the merge changed stays
  // flagged. One line updates every record whose SSID it holds; of two lines
  // for one record the later wins.
  script().variable(0, "bssid", "aa:bb").variable(0, "mode", "0");
  load({"0\toffice\tany", "1\tlab\tany", "2\tlaboratory\tany"}, {},
       {"aa:bb\t2412\t200\t[ESS]\toffice", "11:22\t2437\t200\t[IBSS]\tlaboratory", "22:22\t2462\t200\t[ESS]\tlab"});
  const WifiNetwork *office = find("office"), *lab = find("lab"), *laboratory = find("laboratory");
  EXPECT_TRUE(office->isChannelChanged() && !office->isBssidChanged() && !office->isModeChanged());
  EXPECT_TRUE(lab->isBssidChanged() && lab->isModeChanged() && lab->isChannelChanged());
  EXPECT_EQ(laboratory->getChannel() * 100 + lab->getChannel(), 611);
}

// The daemon is asked in a fixed order through the first adapter; a failure
// (or no adapter at all) stops the load there and leaves an unloaded instance.
// None is left with a current network (no state in the status report).
TEST_F(LoadTest, AsksInOrderAndStopsAtTheFirstFailure) {
  Calls order{"getAdapters(2)", "listNetworks(wlan0, 32)"};
  for (const char* name : kVariables) order.push_back(std::string("getNetworkVariable(wlan0, 7, ") + name + ")");
  order.insert(order.end(), {"getScanLines(wlan0, 32)", "getStatus(wlan0, 16)"});
  const std::tuple<size_t, const char*, const char*> rows[] = {  // the calls made, what fails, describe()
      {order.size(), "", "office/7/1"}, {1, "getAdapters", "<unloaded>"}, {1, "", "<unloaded>"},
      {2, "listNetworks", "<unloaded>"}, {order.size() - 1, "getScanLines", "<unloaded>"},
      {order.size(), "getStatus", "<unloaded>"}};
  for (const auto& [asked, failing, expected] : rows) {
    script().reset().adapters(asked == 1 ? Calls{} : Calls{"wlan0", "wlan1"}).networks({"7\toffice\tany\t[CURRENT]"});
    script().scanResults({}).status({}).variable(7, "key_mgmt", "NONE").variable(7, "wep_tx_keyidx", "1").fail(failing);
    host = WifiHostSettings::recreateInstance(nullptr);
    EXPECT_EQ(script().calls(), Calls(order.begin(), order.begin() + static_cast<long>(asked))) << failing;
    EXPECT_EQ(describe() + (host->currentNetwork() != nullptr ? " and a current network" : ""), expected);
  }
  // An empty list asks for no scan results (none are scripted).
  script().reset().adapters({"wlan0"}).networks({}).status({});
  host = WifiHostSettings::recreateInstance(nullptr);
  EXPECT_EQ(describe(), "");
}

}  // namespace
