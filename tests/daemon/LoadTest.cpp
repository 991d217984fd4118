#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>

#include "tests/daemon/HostFixture.h"

namespace {

using Variables = std::vector<std::pair<std::string, std::string>>;

// The variables in the order the load asks for them (the WEP ones only for
// key management NONE or IEEE8021X).
const char* const kVariables[] = {
    "disabled", "bssid", "mode", "priority", "key_mgmt", "psk", "pairwise", "group", "proto", "eap", "auth_alg",
    "wep_tx_keyidx", "wep_key0", "wep_key1", "wep_key2", "wep_key3", "scan_ssid", "identity", "anonymous_identity",
    "password", "private_key_passwd", "ca_cert", "ca_path", "client_cert", "private_key", "phase1", "phase2",
    "private_key_passwd2", "ca_cert2", "ca_path2", "client_cert2", "private_key2"};

class LoadTest : public HostFixture {
 protected:
  // A fresh script answering these variables for network 0, then a load.
  void loadWith(Calls networks, const Variables& variables, Calls status = {}, Calls scan = {}) {
    script().reset();
    for (const auto& [name, value] : variables) script().variable(0, name, value);
    load(std::move(networks), std::move(status), std::move(scan));
  }
};

// "a=1;b=2" as pairs.
Variables pairs(const std::string& text) {
  Variables result;
  for (size_t at = 0, end; at < text.size(); at = end + 1) {
    end = std::min(text.find(';', at), text.size());
    const size_t equals = text.find('=', at);
    result.push_back({text.substr(at, equals - at), text.substr(equals + 1, end - equals - 1)});
  }
  return result;
}

TEST_F(LoadTest, EachVariableQueryAndItsFailureValue) {
  std::vector<std::pair<std::string, std::string>> rows = {  // the answers, then what the record holds
      {"", "Status=1;Bssid=\"00:00:00:00:00:00\";Mode=2;Priority=0;KeyManagement=6;PreSharedKey=<null>;Pairwise=6;"
           "Group=30;Protocol=3;EapMethod=0;Authentication=0;WepIndex=0;SsidBroadcasted=0"},
      // WEP: an index above 3 is refused, the keys still read; no index skips the keys.
      {"key_mgmt=NONE;wep_tx_keyidx=2;wep_key0=k0;wep_key3=k3", "WepIndex=2;WepKey0=\"k0\";WepKey3=\"k3\""},
      {"key_mgmt=IEEE8021X;wep_tx_keyidx=3;wep_key3=k3", "WepIndex=3;WepKey3=\"k3\""},
      {"key_mgmt=NONE;wep_tx_keyidx=9;wep_key0=k0", "WepIndex=0;WepKey0=\"k0\""},
      {"key_mgmt=NONE;wep_key0=k0", "WepKey0=<null>"},
      {"key_mgmt=WPA-NONE;wep_tx_keyidx=2;wep_key0=k0", "WepIndex=0;WepKey0=<null>"},
      {"disabled=1", "Status=5"}, {"bssid=aa:bb", "Bssid=\"aa:bb\""}, {"mode=0", "Mode=0"},
      {"priority=-3", "Priority=-3"}, {"psk=secret", "PreSharedKey=\"secret\""}, {"scan_ssid=0", "SsidBroadcasted=1"},
      {"scan_ssid=00", "SsidBroadcasted=0"},
      // One word decides key management, eap and auth_alg, tested in a fixed order.
      {"key_mgmt=WPA-NONE", "KeyManagement=16"}, {"key_mgmt=NONE", "KeyManagement=1"},
      {"key_mgmt=WPA-PSK WPA-EAP", "KeyManagement=4"}, {"key_mgmt=IEEE8021X", "KeyManagement=8"},
      {"eap=TTLS", "EapMethod=4"}, {"eap=PEAP TLS", "EapMethod=1"}, {"eap=MD5 PEAP", "EapMethod=2"},
      {"auth_alg=SHARED OPEN", "Authentication=1"}, {"auth_alg=LEAP SHARED", "Authentication=2"},
      {"auth_alg=", "Authentication=4"},
      // Every word found adds its bit.
      {"pairwise=CCMP TKIP NONE", "Pairwise=7"}, {"group=TKIP CCMP WEP104 WEP40", "Group=30"}, {"proto=RSN", "Protocol=2"},
      {"", ""}};
  // The text variables from "identity" on, each answered with the name of the field it fills.
  const char* const texts[] = {"EapIdentity", "EapAnonymousIdentity", "EapPassword", "PrivateKeyPassword",
                               "CaCertificateFile", "CaCertificateDir", "ClientCertificate", "PrivateKeyFile", "Phase1",
                               "Phase2", "PrivateKeyPassword2", "CaCertificateFile2", "CaCertificateDir2",
                               "ClientCertificate2", "PrivateKeyFile2"};
  for (size_t i = 0; i < std::size(texts); ++i) {
    rows.back().first += std::string(i == 0 ? "" : ";") + kVariables[17 + i] + "=" + texts[i];
    rows.back().second += std::string(i == 0 ? "" : ";") + texts[i] + "=\"" + texts[i] + "\"";
  }
  for (const auto& [answers, expected] : rows) {
    SCOPED_TRACE(answers);
    loadWith({"0\tnet\t11:22:33:44:55:66"}, pairs(answers));
    ASSERT_EQ(host->networkDatabase()->count(), 1u);
    EXPECT_FALSE(host->networkDatabase()->first()->hasChanges());
    Fields fields = fieldsOf(*host->networkDatabase()->first());
    for (const auto& [name, value] : pairs(expected)) EXPECT_EQ(fields[name], value) << name;
  }
}

TEST_F(LoadTest, ListLines) {
  const std::string longSsid(251, 'x');
  // An empty SSID column, or one holding ':' or "any", is the BSSID; the
  // header line and short lines add nothing.
  const std::pair<Calls, std::string> rows[] = {  // the list, then describe()
      {{"0\toffice\tany\t[CURRENT]"}, "office/0/4*"}, {{"300\tbig\t11:22:33:44:55:66"}, "big/44/1"},
      {{"3\t\tany\t[DISABLED]"}, "SSID N/A/3/5"},    {{"4\tmy:net\tany"}, "SSID N/A/4/1"},
      {{"11\tboth\tany\t[DISABLED][CURRENT]"}, "both/11/5"}, {{"network id / ssid / bssid / flags", "6\tlonely"}, ""},
      {{"0\ta\tany", DaemonScript::kNullLine, "1\tb\tany", "2\tc\tany"}, "c/2/1; b/1/1; a/0/1"},
      // The working copy keeps 255 characters: the third field's first
      // character is the 255th of this line, one more x pushes it out.
      {{"9\t" + longSsid + "\tany"}, longSsid + "/9/1"}, {{"9\t" + longSsid + "x\tany"}, ""},
      // A second record with an SSID already loaded is refused; it can't be
      // left behind as the current network.
      {{"1\tdup\tany", "2\tdup\tany\t[CURRENT]"}, "dup/1/1"}, {{"1\tdup\tany\t[CURRENT]", "2\tdup\tany"}, "dup/1/4*"},
  };
  for (const auto& [lines, expected] : rows) {
    SCOPED_TRACE(lines.back());
    loadWith(lines, {}, {"wpa_state=SCANNING"});
    EXPECT_EQ(describe(), expected);
  }
}

// Merged the same way by the load and the refresh.
TEST_F(LoadTest, ScanResultsMergeIntoMatchingRecords) {
  const std::pair<std::string, std::string> rows[] = {  // the scan line, then office's bssid channel strength mode
      {"aa:bb:cc:dd:ee:ff\t2437\t189\t[WPA2-PSK-CCMP][ESS]\toffice", "\"aa:bb:cc:dd:ee:ff\" 6 57 0"},
      {"aa:bb:cc:dd:ee:ff\t2412\t185\t[IBSS]\toffice", "\"aa:bb:cc:dd:ee:ff\" 1 50 1"},
      {"aa:bb:cc:dd:ee:ff\t2462\t100\t[ESS]\toffice", "\"aa:bb:cc:dd:ee:ff\" 11 0 0"},
      {"aa:bb:cc:dd:ee:ff\t2467\t210\t[ESS]\toffice", "\"aa:bb:cc:dd:ee:ff\" 6 100 0"},  // an unknown frequency
      {"no-colon\t2412\t200\t[ESS]\toffice-guest", "\"00:00:00:00:00:00\" 1 80 0"},
      {"aa:bb:cc:dd:ee:ff\t2412\t200\t[ESS]\tlab", "\"00:00:00:00:00:00\" 0 0 2"},  // no match
      {"office:1\t2417", "\"office:1\" 2 0 2"},                                       // no level
  };
  for (const auto& [scan, expected] : rows) {
    SCOPED_TRACE(scan);
    loadWith({"0\toffice\tany"}, {}, {}, {scan});
    Fields n = fieldsOf(*find("office"));
    EXPECT_EQ(n["Bssid"] + " " + n["Channel"] + " " + n["Strength"] + " " + n["Mode"], expected);
  }

  // The load clears the flags before the merge: what the merge changed stays
  // flagged. One line updates every record whose SSID it holds; of two lines
  // for one record the later wins.
  loadWith({"0\toffice\tany", "1\tlab\tany", "2\tlaboratory\tany"}, {{"bssid", "aa:bb"}, {"mode", "0"}}, {},
           {"aa:bb\t2412\t200\t[ESS]\toffice", "11:22\t2437\t200\t[IBSS]\tlaboratory", "22:22\t2462\t200\t[ESS]\tlab"});
  const WifiNetwork *office = find("office"), *lab = find("lab"), *laboratory = find("laboratory");
  EXPECT_TRUE(office->isChannelChanged() && !office->isBssidChanged() && !office->isModeChanged());
  EXPECT_TRUE(lab->isBssidChanged() && lab->isModeChanged() && lab->isChannelChanged());
  EXPECT_EQ(laboratory->getChannel() * 100 + lab->getChannel(), 611);
}

// The state words are tested in a fixed order; a state up to idle drops the
// current network, one before COMPLETED makes it connecting.
TEST_F(LoadTest, StatusReportSettlesTheCurrentNetwork) {
  const std::string dropped = "lab/1/1; office/0/1", connecting = "lab/1/1; office/0/4*";
  const std::tuple<Calls, std::string, uint32_t> rows[] = {  // the report, then describe() and the daemon state
      {{"bssid=aa:bb", "ssid=lab", "id=0", "key_mgmt=WPA-PSK", "wpa_state=COMPLETED"}, "lab/1/3*; office/0/1", 8},
      {{"bssid=lab", "wpa_state=COMPLETED"}, "lab/1/1; office/0/3*", 8},
      {{"ssid=ghost", "wpa_state=COMPLETED"}, dropped, 8},
      {{"wpa_state=SCANNING", "wpa_state=COMPLETED"}, "lab/1/1; office/0/3*", 8},
      {{}, dropped, 0},
      {{"wpa_state=INACTIVE"}, dropped, 2},       {{"wpa_state=SCANNING"}, connecting, 3},
      {{"wpa_state=ASSOCIATING"}, connecting, 4}, {{"wpa_state=ASSOCIATED"}, connecting, 5},
      {{"wpa_state=4WAY_HANDSHAKE"}, connecting, 6}, {{"wpa_state=GROUP_HANDSHAKE"}, connecting, 7},
      {{"wpa_state=DISCONNECTED"}, dropped, 1},   {{"wpa_state=INTERFACE_DISABLED"}, dropped, 0},
      {{"wpa_state=COMPLETED SCANNING"}, connecting, 3}, {{"wpa_state=ASSOCIATED ASSOCIATING"}, connecting, 4},
      {{"wpa_state=DISCONNECTED GROUP_HANDSHAKE"}, connecting, 7},
  };
  for (const auto& [status, expected, state] : rows) {
    SCOPED_TRACE(status.empty() ? "no status" : status.back());
    loadWith({"0\toffice\tany\t[CURRENT]", "1\tlab\tany"}, {}, status);
    EXPECT_EQ(describe(), expected);
    EXPECT_EQ(host->daemonState(), state);
  }
}

// The daemon is asked in a fixed order through the first adapter; a failure
// stops the load there and leaves an unloaded instance.
TEST_F(LoadTest, AsksInOrderAndStopsAtTheFirstFailure) {
  Calls order{"getAdapters(2)", "listNetworks(wlan0, 32)"};
  for (const char* name : kVariables) order.push_back(std::string("getNetworkVariable(wlan0, 7, ") + name + ")");
  order.insert(order.end(), {"getScanLines(wlan0, 32)", "getStatus(wlan0, 16)"});
  const std::tuple<size_t, const char*, const char*> rows[] = {  // the calls made, what fails, describe()
      {order.size(), "", "office/7/1"}, {1, "getAdapters", "<unloaded>"}, {2, "listNetworks", "<unloaded>"},
      {order.size() - 1, "getScanLines", "<unloaded>"}, {order.size(), "getStatus", "<unloaded>"},
  };
  for (const auto& [asked, failing, expected] : rows) {
    SCOPED_TRACE(asked);
    script().reset().adapters({"wlan0", "wlan1"}).networks({"7\toffice\tany\t[CURRENT]"}).scanResults({}).status({});
    script().variable(7, "key_mgmt", "NONE").variable(7, "wep_tx_keyidx", "1").fail(failing);
    if (asked == 1) script().adapters({});  // none: as good as a failure
    host = WifiHostSettings::recreateInstance(nullptr);
    EXPECT_EQ(script().calls(), Calls(order.begin(), order.begin() + static_cast<long>(asked)));
    EXPECT_EQ(describe(), expected);
    EXPECT_EQ(host->currentNetwork(), nullptr);
  }
  // An empty list asks for no scan results (none are scripted).
  script().reset().adapters({"wlan0"}).networks({}).status({});
  host = WifiHostSettings::recreateInstance(nullptr);
  EXPECT_EQ(describe(), "");
}

}  // namespace
