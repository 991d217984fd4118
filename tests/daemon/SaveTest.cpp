#include <tuple>

#include "tests/daemon/HostFixture.h"

namespace {

const Calls kStored{"saveConfig(wlan0)", "reloadConfig(wlan0)"};

// The calls that write the "variable=value;..." entries of one network
// through wlan0, then the calls that follow; a "bssid" write is repeated to
// setNetworkBssid.
Calls writes(int networkId, const std::string& variables, const Calls& then = kStored) {
  Calls calls;
  forEachEntry(variables, [&](const std::string& name, const std::string& value) {
    const std::string arguments = "(wlan0, " + std::to_string(networkId) + ", " + name + ", " + value + ")";
    calls.push_back("setNetworkVariable" + arguments);
    if (name == "bssid") calls.push_back("setNetworkBssid" + arguments);
  });
  calls.insert(calls.end(), then.begin(), then.end());
  return calls;
}

class SaveTest : public HostFixture {
 protected:
  // lab (1) before office (0) in the list, as the load left them: failed
  // queries give key management 6, pairwise 6, group 30 and protocol 3.
  void SetUp() override {
    HostFixture::SetUp();
    load({"0\toffice\tany", "1\tlab\tany"});
    script().result("saveConfig", true).result("removeNetwork", true);
  }
};

// One change to office at a time: what is written, and whether a change is
// left behind afterwards.
TEST_F(SaveTest, EachRowWritesAndClearsByItsRule) {
  using N = WifiNetwork;
  const std::tuple<void (*)(N&), const char*, bool> rows[] = {  // the change, the writes, whether a change is left
      {[](N& n) { n.setSsid(nullptr); }, "", true}, {[](N& n) { n.setBssid("any"); }, "bssid=00:00:00:00:00:00", false},
      {[](N& n) { n.setSsidBroadcasted(true); }, "scan_ssid=0", false},
      // Enumerated values write the word of a single value only: several
      // bits, or a value without a word, write nothing and clear the flag;
      // 0 writes nothing and keeps it.
      {[](N& n) { n.setKeyManagementChanged(true); }, "", false}, {[](N& n) { n.setKeyManagement(0); }, "", true},
      {[](N& n) { n.setAuthentication(AUTH_AUTO); }, "", false},
      // A hidden secret ("*") is not written; a cleared one is.
      {[](N& n) { n.setWepKey(2, "*"); }, "", false}, {[](N& n) { n.setPreSharedKey("*"); }, "", false},
      {[](N& n) { n.setPreSharedKeyChanged(true); }, "psk=\"\"", false},
      {[](N& n) { n.setPreSharedKey("x"), n.clearChanges(), n.setPreSharedKey(""); }, "psk=", false},
      {[](N& n) { n.setEapPassword("*"); }, "", false}, {[](N& n) { n.setPrivateKeyPassword2("*"); }, "", false},
      {[](N& n) { n.setChannel(3); }, "", true},  // no variable: stored every time
  };
  for (const auto& [change, written, left] : rows) {
    SetUp();
    WifiNetwork* office = find("office");
    change(*office);
    ASSERT_TRUE(office->hasChanges() && host->save());
    EXPECT_EQ(std::make_pair(script().calls(), office->hasChanges()), std::make_pair(writes(0, written), left));
  }
}

// Every flag of office raised, with one word for each enumerated row and a
// value of its own for each text, and one change to lab: lab's row, then all
// of office's in order (lab comes first in the list). Only the channel, which
// has no variable, keeps its flag.
TEST_F(SaveTest, EveryRowInOrderThenTheNextNetwork) {
  WifiNetwork* n = find("office");
  ASSERT_TRUE(n->setKeyManagement(KEY_MGMT_WPA_PSK) && n->setAuthentication(AUTH_SHARED) && n->setPairwise(CIPHER_CCMP));
  ASSERT_TRUE(n->setGroup(CIPHER_WEP104) && n->setEapMethod(EAP_TTLS) && n->setProtocol(1) && n->setWepKey(1, "k1"));
  ASSERT_TRUE(n->setPriority(-5) && find("lab")->setEapIdentity("me"));
  for (int field = WifiNetwork::TEXT_PreSharedKey; field < WifiNetwork::TEXT_FIELD_COUNT; ++field) {
    n->setText(static_cast<WifiNetwork::TextField>(field), std::to_string(field).c_str());
  }
  for (int f = 0; f < WifiNetwork::CHANGE_COUNT; ++f) n->setChanged(static_cast<WifiNetwork::Change>(f), true);
  EXPECT_TRUE(host->save());
  EXPECT_EQ(script().calls(),
            writes(1, "identity=me",
                   writes(0, "ssid=office;bssid=00:00:00:00:00:00;scan_ssid=1;key_mgmt=WPA-PSK;priority=-5;mode=2;"
                             "auth_alg=SHARED;pairwise=CCMP;group=WEP104;eap=TTLS;proto=WPA;wep_tx_keyidx=0;"
                             "wep_key0=\"\";wep_key1=k1;wep_key2=\"\";wep_key3=\"\";identity=3;anonymous_identity=4;"
                             "password=5;psk=2;ca_cert=6;ca_path=7;client_cert=8;private_key=9;private_key_passwd=10;"
                             "phase1=11;phase2=12;ca_cert2=13;ca_path2=14;client_cert2=15;private_key2=16;"
                             "private_key_passwd2=17")));
  EXPECT_TRUE(hostLockFree());
  EXPECT_TRUE(n->isChannelChanged() && n->setChannelChanged(false) && !n->hasChanges());
}

// The last adapter's saveConfig decides; after a failure the next save
// stores again without rewriting, after a success it asks nothing.
TEST_F(SaveTest, TheLastAdapterDecides) {
  adapterNames = {"wlan0", "wlan1"};
  const std::string stored = "saveConfig(wlan0)|saveConfig(wlan1)|";
  for (bool last : {true, false}) {
    SetUp();
    script().result("saveConfig(wlan0)", !last).result("saveConfig(wlan1)", last);
    find("office")->setPriority(5);
    host->removeNetwork("wlan0", "lab");
    script().clearCalls();
    EXPECT_EQ(host->save(), last);
    EXPECT_EQ(host->save(), last);
    EXPECT_EQ(script().calls(),
              writes(0, "priority=5", split(stored + (last ? "reloadConfig(wlan0)|reloadConfig(wlan1)" : stored))));
  }
}

}  // namespace
