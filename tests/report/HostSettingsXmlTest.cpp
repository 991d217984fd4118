#include "tests/daemon/HostFixture.h"
#include "tests/report/ReportSupport.h"

#include <tuple>

namespace {

using namespace report_test;

using HostSettingsXmlTest = HostFixture;

TEST_F(HostSettingsXmlTest, SummaryCarriesTheStateAndPutsNetworksOnOneLine) {
  // Unloaded: the empty document in both forms; the daemon's status is not
  // asked without an adapter, whether Wi-Fi is enabled is.
  WifiHostSettings* unloaded = WifiHostSettings::recreateInstance(nullptr);
  script().clearCalls();
  EXPECT_EQ(writeXml(unloaded, false) + writeXml(unloaded, true), std::string(kUnloadedDocument) + kUnloadedDocument);
  EXPECT_EQ(script().calls(), (Calls{"isWifiEnabled(null)", "isWifiEnabled(null)"}));

  script().result("isWifiEnabled", true);
  load({"0\toffice\tany\t[CURRENT]"}, {"ssid=office", "wpa_state=COMPLETED"});
  addRecord(host, "lab");
  EXPECT_EQ(writeXml(host, false),
            "<wifiHostSettings adapter=\"wlan0\" wifiEnabled=\"true\" currentDaemonState=\"8\" currentNetwork=\"office\" "
            "currentNetworkState=\"3\">\n  <wifiNetworkDatabase numberNetworks=\"2\">\n    <wifiNetwork ssid=\"lab\" "
            "strength=\"0\" status=\"0\"/>    <wifiNetwork ssid=\"office\" strength=\"0\" status=\"3\"/>"
            "  </wifiNetworkDatabase>\n</wifiHostSettings>\n");
  EXPECT_EQ(script().calls("getStatus"), Calls{"getStatus(wlan0, 16)"});  // asked afresh
}

TEST_F(HostSettingsXmlTest, FullFormClassifiesEachSecurityKindAndEncryptsItsSecrets) {
  // Every record is full but for the pre-shared key where a row says so;
  // only what its kind uses may show.
  const std::string wepKeys = " key1=\"w0\" key2=\"\" key3=\"\" key4=\"w3\" index=\"4\"";
  const std::string eap =
      " eap=\"2047\" eapIdentity=\"t3\" eapAnonymousIdentity=\"t4\" eapPassword=\"t5\" CACertificateFile=\"t6\""
      " CACertificateDir=\"t7\" clientCertificate=\"t8\" privateKeyFile=\"t9\" privateKeyPassword=\"t10\" phase1=\"t11\""
      " phase2=\"t12\" CACertificateFile2=\"t13\" CACertificateDir2=\"t14\" clientCertificate2=\"t15\""
      " privateKeyFile2=\"t16\" privateKeyPassword2=\"\"";
  // Protocol, key management, pairwise and group ciphers, whether a
  // pre-shared key is set, the kind supported (none: empty) and the
  // attributes its configuration has after "authentication" (none: not
  // configured), for:
  // WEP without IEEE8021X: no EAP block, the index counted from 1; WEP with
  // IEEE8021X: the EAP block last; key management 6 without a pre-shared key
  // (wpa) and with one (wpa_psk); RSN-PSK: no key_mgmt, pairwise TKIP with
  // group WEP104 is 10; an open network: supported, not configured;
  // protocol 3 with TKIP and CCMP only: nothing; RSN with EAP (wpa2).
  const std::tuple<uint32_t, uint32_t, uint32_t, uint32_t, bool, std::string, std::string> rows[] = {
      {3, KEY_MGMT_NONE, 0, CIPHER_WEP104, true, "wep", " encryption=\"8\" key_mgmt=\"1\"" + wepKeys},
      {3, KEY_MGMT_NONE | KEY_MGMT_IEEE8021X, 0, CIPHER_WEP40, false, "wep", " encryption=\"16\" key_mgmt=\"9\"" + wepKeys + eap},
      {1, 6, CIPHER_TKIP, CIPHER_TKIP, false, "wpa", " encryption=\"2\" key_mgmt=\"6\"" + eap},
      {1, 6, CIPHER_CCMP, CIPHER_TKIP, true, "wpa_psk", " encryption=\"6\" key_mgmt=\"6\" psk=\"t2\""},
      {2, KEY_MGMT_WPA_PSK, CIPHER_TKIP, CIPHER_WEP104, true, "wpa2_psk", " encryption=\"10\" psk=\"t2\""},
      {3, 0, CIPHER_NONE, CIPHER_WEP40, false, "none", ""},
      {3, KEY_MGMT_WPA_PSK, CIPHER_TKIP | CIPHER_CCMP, CIPHER_TKIP | CIPHER_CCMP, true, "", ""},
      {2, KEY_MGMT_WPA_EAP, CIPHER_CCMP, CIPHER_CCMP, true, "wpa2", " encryption=\"4\" key_mgmt=\"4\"" + eap},
  };
  NullExceptionHandler handler;
  for (const auto& [protocol, keyManagement, pairwise, group, psk, kind, configuration] : rows) {
    load({});
    WifiNetwork* net = addFullRecord(host, "net");
    if (!psk) net->setPreSharedKey("");  // empty counts as none
    net->setProtocol(protocol);
    net->setKeyManagement(keyManagement);
    net->setPairwise(pairwise);
    net->setGroup(group);
    const std::string supported =
        kind.empty() ? "0\"/>\n" : "1\">\n        <wifiSecurity type=\"" + kind + "\"/>\n      </wifiSecuritySupported>\n";
    const std::string configured =
        configuration.empty() ? "0\"/>\n"
                              : "1\">\n        <configuration type=\"" + kind + "\" supported=\"true\" use=\"true\" protocol=\"" +
                                    std::to_string(protocol) + "\" authentication=\"3\"" + configuration +
                                    "/>\n      </wifiSecurityConfiguration>\n";
    EXPECT_EQ(withSecretsDecrypted(writeXml(host, true, &handler)),
              "<wifiHostSettings adapter=\"wlan0\" wifiEnabled=\"false\" currentDaemonState=\"0\" currentNetwork=\"\" "
              "currentNetworkState=\"0\">\n  <wifiNetworkDatabase numberNetworks=\"1\">\n    <wifiNetwork ssid=\"net\" "
              "bssid=\"t1\" ssidBroadcasted=\"true\" mode=\"1\" channel=\"11\" strength=\"4294967293\" priority=\"4294967295\" "
              "status=\"0\">\n      <wifiSecuritySupported numberSupported=\"" + supported +
                  "      <wifiSecurityConfiguration numberConfigured=\"" + configured +
                  "    </wifiNetwork>\n  </wifiNetworkDatabase>\n</wifiHostSettings>\n");
    EXPECT_EQ(handler.savedError(), nullptr);  // a null secret is not handed to Crypt
  }
  // With a key file that can't be made, the secrets of the last row are
  // written empty and the failure reaches the handler given.
  Crypt::setKeyFile("/proc/wireless-no-such-dir/crypt.key");
  std::string document = writeXml(host, true, &handler);
  Crypt::setKeyFile(nullptr);
  EXPECT_TRUE(handler.savedError() != nullptr && document.find(" eapPassword=\"\" ") != std::string::npos) << document;
}

}  // namespace
