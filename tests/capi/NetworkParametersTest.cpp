#include "tests/daemon/HostFixture.h"
#include "tests/report/ReportSupport.h"
#include "wireless/wireless.h"

namespace {

class NetworkParametersTest : public HostFixture {
 protected:
  // A loaded host with one network "office" whose every field a row below
  // sets holds another value, and no change flag raised.
  WifiNetwork* freshOffice() {
    load({});
    WifiNetwork* net = report_test::addRecord(host, "office");
    net->setSsidBroadcasted(true);
    net->setPairwise(CIPHER_TKIP | CIPHER_WEP40);
    net->setGroup(CIPHER_TKIP | CIPHER_WEP40);
    for (uint32_t i = 0; i < WEP_KEY_COUNT; ++i) net->setWepKey(i, "old key");
    for (uint8_t f = WifiNetwork::TEXT_Bssid; f < WifiNetwork::TEXT_FIELD_COUNT; ++f) {
      net->setText(static_cast<WifiNetwork::TextField>(f), "old");
    }
    net->clearChanges();
    return net;
  }

  static bool apply(const char* ssid, std::vector<const char*> keys, std::vector<const char*> values,
                    ErrorHandler* handler = nullptr) {
    return setNetworkParameters(handler, "wlan0", ssid, keys.data(), values.data(),
                                static_cast<uint32_t>(keys.size()));
  }
};

TEST_F(NetworkParametersTest, EachKeyConvertsItsValueAndSetsOnlyItsFields) {
  struct Row {
    const char* key;
    std::string value;  // "@" + text: the encrypted form of text
    Fields changes;     // none: the value is refused and reported to the handler
  };
  const Row rows[] = {
      {"authentication", "3", {{"Authentication", "3"}}},
      {"bssid", "", {{"Bssid", "\"\""}}},  // passed on as it is
      {"channel", "11abc", {{"Channel", "11"}}}, {"clientCertificate", "/c1", {{"ClientCertificate", "\"/c1\""}}},
      {"clientCertificate2", "/c2", {{"ClientCertificate2", "\"/c2\""}}},
      {"CACertificateFile", "/ca1", {{"CaCertificateFile", "\"/ca1\""}}},
      {"CACertificateDir", "/d1", {{"CaCertificateDir", "\"/d1\""}}},
      {"CACertificateFile2", "/ca2", {{"CaCertificateFile2", "\"/ca2\""}}},
      {"CACertificateDir2", "/d2", {{"CaCertificateDir2", "\"/d2\""}}},
      {"eapIdentity", "alice", {{"EapIdentity", "\"alice\""}}},
      {"eapAnonymousIdentity", "anon", {{"EapAnonymousIdentity", "\"anon\""}}},
      {"eapPassword", "@eap secret", {{"EapPassword", "\"eap secret\""}}}, {"eap", "2", {{"EapMethod", "2"}}},
      {"encryption", "6", {{"Pairwise", "4"}, {"Group", "2"}}}, {"encryption", "16", {{"Group", "16"}}},
      {"encryption", "1", {{"Pairwise", "1"}}}, {"encryption", "10", {{"Pairwise", "10"}, {"Group", "10"}}},
      {"encryption", "garbage", {{"Pairwise", "0"}, {"Group", "0"}}}, {"index", "3", {{"WepIndex", "3"}}},
      {"key1", "k1", {{"WepKey0", "\"k1\""}}}, {"key2", "k2", {{"WepKey1", "\"k2\""}}},
      {"key3", "k3", {{"WepKey2", "\"k3\""}}}, {"key4", "k4", {{"WepKey3", "\"k4\""}}},
      {"key2", "", {{"WepKey1", "<null>"}}}, {"key_mgmt", "4", {{"KeyManagement", "4"}}},
      {"mode", "256", {{"Mode", "0"}}},  // the low 8 bits
      {"phase1", "peaplabel=1", {{"Phase1", "\"peaplabel=1\""}}}, {"phase2", "auth=PAP", {{"Phase2", "\"auth=PAP\""}}},
      {"priority", "-5", {{"Priority", "-5"}}}, {"protocol", "2", {{"Protocol", "2"}}},
      {"psk", "@pre shared", {{"PreSharedKey", "\"pre shared\""}}}, {"psk", "", {{"PreSharedKey", "<null>"}}},
      {"psk", "not encrypted", {}}, {"privateKeyFile", "/k1", {{"PrivateKeyFile", "\"/k1\""}}},
      {"privateKeyFile2", "/k2", {{"PrivateKeyFile2", "\"/k2\""}}},
      {"privateKeyPassword", "@outer", {{"PrivateKeyPassword", "\"outer\""}}},
      {"privateKeyPassword2", "@inner", {{"PrivateKeyPassword2", "\"inner\""}}},
      {"privateKeyPassword2", "not encrypted", {}}, {"strength", "80", {{"Strength", "80"}}},
      {"status", "5", {{"Status", "5"}}}, {"ssidBroadcasted", "TRUE", {{"SsidBroadcasted", "0"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.key) + "=" + row.value);
    WifiNetwork* net = freshOffice();
    Fields expected = fieldsOf(*net);
    for (const auto& [field, value] : row.changes) {
      ASSERT_NE(expected[field], value) << "the row would pass without the call";
      expected[field] = value;
    }
    std::string value = row.value[0] == '@' ? report_test::crypt(true, row.value.substr(1)) : row.value;
    report_test::CountingHandler handler;
    ASSERT_TRUE(apply("office", {row.key}, {value.c_str()}, &handler));
    EXPECT_EQ(fieldsOf(*net), expected);
    EXPECT_EQ(handler.reports > 0, row.changes.empty());  // the handler reaches Crypt
  }
}

TEST_F(NetworkParametersTest, SkippedKeysNullValuesAndUnknownNetworks) {
  WifiNetwork* net = freshOffice();
  Fields before = fieldsOf(*net);
  EXPECT_TRUE(apply("office", {"unknown", "", "Channel", "PSK", "ssid", "SSID", nullptr, "channel ", "encryptio"},
                    {"9", "9", "9", "9", "renamed", "renamed", "9", "9", "9"}));
  EXPECT_EQ(fieldsOf(*net), before);
  EXPECT_FALSE(net->hasChanges());

  // Later keys still apply after skipped ones and raise the flags a save
  // looks for.
  net->setSsidBroadcasted(false);
  EXPECT_TRUE(apply("office", {"nope", "priority", "ssidBroadcasted"}, {"1", "42", "true"}));
  EXPECT_TRUE(net->getPriority() == 42 && net->isPriorityChanged() && net->getSsidBroadcasted());
  ASSERT_TRUE(apply("office", {"bssid", "channel", "psk", "encryption"}, {nullptr, nullptr, nullptr, nullptr}));
  EXPECT_EQ(show(net->getBssid()) + show(net->getPreSharedKey()) + std::to_string(net->getChannel()) +
                std::to_string(net->getPairwise() | net->getGroup()), "<null><null>00");

  // Unknown networks are refused and change nothing.
  before = fieldsOf(*net);
  EXPECT_FALSE(apply("elsewhere", {"channel"}, {"9"}) || apply("Office", {"channel"}, {"9"}));
  EXPECT_EQ(fieldsOf(*net), before);
  EXPECT_TRUE(hostLockFree());  // given back on the way out
  script().reset();
  host = WifiHostSettings::recreateInstance(nullptr);  // unloaded: no networks at all
  EXPECT_FALSE(apply("office", {"channel"}, {"9"}));
}

}  // namespace
