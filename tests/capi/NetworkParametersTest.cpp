#include "tests/daemon/HostFixture.h"
#include "tests/report/ReportSupport.h"
#include "wireless/wireless.h"

namespace {

bool apply(const char* ssid, std::vector<const char*> keys, std::vector<const char*> values, ErrorHandler* handler = nullptr) {
  return setNetworkParameters(handler, "wlan0", ssid, keys.data(), values.data(), static_cast<uint32_t>(keys.size()));
}

using NetworkParametersTest = HostFixture;

TEST_F(NetworkParametersTest, EachKeyConvertsItsValueAndSetsOnlyItsFields) {
  // A key, its value ("@" + text: the encrypted form of text) and the fields
  // it changes as "Field=value;..." (empty: none; null: none, the value is
  // refused and reported to the handler). Keys are case-sensitive; a null
  // value reads as 0 or no text. Each call starts with "ssid", the lookup
  // key, which is skipped: the key after it still applies.
  const char* const rows[][3] = {
      {"authentication", "1", "Authentication=1"}, {"bssid", "", "Bssid=\"\""} /* passed on as it is */,
      {"bssid", nullptr, "Bssid=<null>"}, {"channel", "12abc", "Channel=12"}, {"channel", nullptr, "Channel=0"},
      {"clientCertificate", "c1", "ClientCertificate=\"c1\""}, {"clientCertificate2", "c2", "ClientCertificate2=\"c2\""},
      {"CACertificateFile", "f1", "CaCertificateFile=\"f1\""}, {"CACertificateDir", "d1", "CaCertificateDir=\"d1\""},
      {"CACertificateFile2", "f2", "CaCertificateFile2=\"f2\""}, {"CACertificateDir2", "d2", "CaCertificateDir2=\"d2\""},
      {"eapIdentity", "i1", "EapIdentity=\"i1\""}, {"eapAnonymousIdentity", "a1", "EapAnonymousIdentity=\"a1\""},
      {"eap", "2", "EapMethod=2"}, {"eapPassword", "@e1", "EapPassword=\"e1\""}, {"encryption", "6", "Pairwise=4;Group=2"},
      {"encryption", "16", "Group=16"}, {"encryption", "1", "Pairwise=1"}, {"encryption", "10", "Pairwise=10;Group=10"},
      {"encryption", "garbage", "Pairwise=0;Group=0"}, {"index", "2", "WepIndex=2"}, {"key1", "k1", "WepKey0=\"k1\""},
      {"key2", "k2", "WepKey1=\"k2\""}, {"key3", "k3", "WepKey2=\"k3\""}, {"key4", "k4", "WepKey3=\"k4\""},
      {"key4", "", "WepKey3=<null>"}, {"key_mgmt", "4", "KeyManagement=4"}, {"mode", "256", "Mode=0"} /* low 8 bits */,
      {"phase1", "p1", "Phase1=\"p1\""}, {"phase2", "p2", "Phase2=\"p2\""}, {"phase2", "", "Phase2=<null>"},
      {"priority", "-5", "Priority=-5"}, {"protocol", "2", "Protocol=2"}, {"psk", "@p", "PreSharedKey=\"p\""},
      {"psk", "", "PreSharedKey=<null>"}, {"psk", nullptr, "PreSharedKey=<null>"}, {"psk", "not encrypted", nullptr},
      {"privateKeyFile", "k1", "PrivateKeyFile=\"k1\""}, {"privateKeyFile2", "k2", "PrivateKeyFile2=\"k2\""},
      {"privateKeyPassword", "@o1", "PrivateKeyPassword=\"o1\""}, {"privateKeyPassword2", "@o2", "PrivateKeyPassword2=\"o2\""},
      {"privateKeyPassword2", "not encrypted", nullptr}, {"strength", "80", "Strength=80"}, {"status", "5", "Status=5"},
      {"ssidBroadcasted", "TRUE", "SsidBroadcasted=0"}, {"ssidBroadcasted", "true", ""}, {nullptr, "9", ""},
      {"chaNnel", "9", ""}, {"channel ", "9", ""}, {"encryptio", "9", ""},
  };
  for (const auto& [key, given, changes] : rows) {
    load({});
    WifiNetwork* net = report_test::addFullRecord(host, "office");
    Fields expected = fieldsOf(*net);
    forEachEntry(changes ? changes : "", [&](const std::string& field, const std::string& value) { expected[field] = value; });
    ASSERT_EQ(expected == fieldsOf(*net), changes == nullptr || *changes == '\0') << key << ": would pass without the call";
    std::string sealed = given != nullptr && given[0] == '@' ? report_test::crypt(true, given + 1) : "";
    NullExceptionHandler handler;
    ASSERT_TRUE(apply("office", {"ssid", key}, {"renamed", sealed.empty() ? given : sealed.c_str()}, &handler)) << key;
    EXPECT_EQ(fieldsOf(*net), expected) << key << "=" << given;
    EXPECT_EQ(handler.savedError() != nullptr, changes == nullptr) << key << "=" << given;  // the handler reaches Crypt
  }
  // Unknown networks are refused and change nothing; the lock is given back.
  EXPECT_FALSE(apply("elsewhere", {"channel"}, {"9"}) || apply("Office", {"channel"}, {"9"}));
  EXPECT_TRUE(hostLockFree() && find("office") != nullptr && find("office")->getChannel() != 9);
}

}  // namespace
