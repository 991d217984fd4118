#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/WifiHostSettings.h"
#include "model/WifiNetwork.h"
#include "platform/ErrorHandler.h"
#include "platform/XWriter.h"
#include "tests/daemon/HostFixture.h"
#include "tests/report/ReportSupport.h"

namespace {

using report_test::addRecord;
using report_test::withSecretsDecrypted;
using report_test::writeXml;
using report_test::xmlProblems;
using report_test::xpathString;

const char kUnloadedDocument[] =
    "<wifiHostSettings adapter=\"Unknown\" wifiEnabled=\"false\" currentDaemonState=\"0\" "
    "currentNetwork=\"\" currentNetworkState=\"0\">\n"
    "  <wifiNetworkDatabase numberNetworks=\"0\">\n"
    "  </wifiNetworkDatabase>\n"
    "</wifiHostSettings>\n";

// The root start tag of a loaded instance on wlan0 with no current network.
const char kLoadedRoot[] =
    "<wifiHostSettings adapter=\"wlan0\" wifiEnabled=\"false\" currentDaemonState=\"0\" "
    "currentNetwork=\"\" currentNetworkState=\"0\">\n";

const char kEmptyEapBlock[] =
    " eap=\"0\" eapIdentity=\"\" eapAnonymousIdentity=\"\" eapPassword=\"\""
    " CACertificateFile=\"\" CACertificateDir=\"\" clientCertificate=\"\" privateKeyFile=\"\""
    " privateKeyPassword=\"\" phase1=\"\" phase2=\"\" CACertificateFile2=\"\""
    " CACertificateDir2=\"\" clientCertificate2=\"\" privateKeyFile2=\"\""
    " privateKeyPassword2=\"\"";

class HostSettingsXmlTest : public HostFixture {
 protected:
  // A loaded instance with an empty database; records are added by hand.
  WifiHostSettings* loadEmpty() { return load({}); }

  // The values every network of the security table shares.
  static void baseValues(WifiNetwork& net) {
    net.setBssid("00:11:22:33:44:55");
    net.setSsidBroadcasted(true);
    net.setMode(NETWORK_MODE_MANAGED);
    net.setChannel(6);
    net.setStrength(57);
    net.setPriority(2);
    net.setStatus(NETWORK_STATUS_ENABLED);
  }

  static std::string networkStart(const char* ssid) {
    return std::string("    <wifiNetwork ssid=\"") + ssid +
           "\" bssid=\"00:11:22:33:44:55\" ssidBroadcasted=\"true\" mode=\"0\" channel=\"6\""
           " strength=\"57\" priority=\"2\" status=\"1\">\n";
  }

  static std::string fullDocument(const std::string& networks, int count) {
    return std::string(kLoadedRoot) + "  <wifiNetworkDatabase numberNetworks=\"" +
           std::to_string(count) + "\">\n" + networks + "  </wifiNetworkDatabase>\n" +
           "</wifiHostSettings>\n";
  }

  static std::string oneKind(const char* kind, const std::string& configuration) {
    return std::string(
               "      <wifiSecuritySupported numberSupported=\"1\">\n"
               "        <wifiSecurity type=\"") +
           kind +
           "\"/>\n"
           "      </wifiSecuritySupported>\n"
           "      <wifiSecurityConfiguration numberConfigured=\"1\">\n"
           "        <configuration type=\"" +
           kind + "\" supported=\"true\" use=\"true\"" + configuration +
           "/>\n"
           "      </wifiSecurityConfiguration>\n";
  }
};

TEST_F(HostSettingsXmlTest, UnloadedInstanceGivesTheEmptyDocumentInBothForms) {
  WifiHostSettings* settings = WifiHostSettings::recreateInstance(nullptr);
  ASSERT_EQ(settings->networkDatabase(), nullptr);
  script().clearCalls();

  std::string summary = writeXml(settings, false);
  std::string full = writeXml(settings, true);
  EXPECT_EQ(summary, kUnloadedDocument);
  EXPECT_EQ(full, kUnloadedDocument);
  EXPECT_EQ(xmlProblems(summary), "");

  // Without an adapter the state is the stored one: the daemon's status is
  // not asked; whether Wi-Fi is enabled is asked without an adapter.
  EXPECT_EQ(script().calls("getStatus"), Calls{});
  EXPECT_EQ(script().calls("isWifiEnabled"), (Calls{"isWifiEnabled(null)", "isWifiEnabled(null)"}));

  script().result("isWifiEnabled", true);
  std::string enabled = writeXml(settings, false);
  EXPECT_NE(enabled.find(" wifiEnabled=\"true\" "), std::string::npos) << enabled;
}

TEST_F(HostSettingsXmlTest, RootTagCarriesAdapterDaemonStateAndCurrentNetwork) {
  load({"0\toffice\tany\t[CURRENT]"}, {"ssid=office", "wpa_state=COMPLETED"});
  ASSERT_NE(host->currentNetwork(), nullptr);

  std::string document = writeXml(host, false);
  EXPECT_EQ(document.substr(0, document.find('\n') + 1),
            "<wifiHostSettings adapter=\"wlan0\" wifiEnabled=\"false\" currentDaemonState=\"8\" "
            "currentNetwork=\"office\" currentNetworkState=\"3\">\n");
  EXPECT_EQ(script().calls("getStatus"), Calls{"getStatus(wlan0, 16)"});

  // The state is asked afresh for every document.
  script().status({"ssid=office", "wpa_state=SCANNING"});
  document = writeXml(host, false);
  EXPECT_EQ(document.substr(0, document.find('\n') + 1),
            "<wifiHostSettings adapter=\"wlan0\" wifiEnabled=\"false\" currentDaemonState=\"3\" "
            "currentNetwork=\"office\" currentNetworkState=\"4\">\n");
}

TEST_F(HostSettingsXmlTest, SummaryPutsEveryNetworkElementOnOneLine) {
  loadEmpty();
  WifiNetwork* first = addRecord(host, "first");
  WifiNetwork* second = addRecord(host, "second");
  first->setStrength(57);
  first->setStatus(NETWORK_STATUS_ENABLED);
  second->setStrength(80);
  second->setStatus(NETWORK_STATUS_DISABLED);

  std::string document = writeXml(host, false);
  EXPECT_EQ(document, std::string(kLoadedRoot) +
                          "  <wifiNetworkDatabase numberNetworks=\"2\">\n"
                          "    <wifiNetwork ssid=\"second\" strength=\"80\" status=\"5\"/>"
                          "    <wifiNetwork ssid=\"first\" strength=\"57\" status=\"1\"/>"
                          "  </wifiNetworkDatabase>\n"
                          "</wifiHostSettings>\n");
  EXPECT_EQ(xmlProblems(document), "");
}

TEST_F(HostSettingsXmlTest, FullFormClassifiesAndConfiguresEachSecurityKind) {
  struct Row {
    const char* name;
    std::function<void(WifiNetwork&)> setup;
    std::string security;  // from <wifiSecuritySupported to </wifiSecurityConfiguration>
  };
  const Row rows[] = {
      {"WEP without IEEE8021X: no EAP block; index counts from 1",
       [](WifiNetwork& net) {
         net.setProtocol(PROTOCOL_WPA | PROTOCOL_RSN);
         net.setKeyManagement(KEY_MGMT_NONE);
         net.setAuthentication(AUTH_SHARED);
         net.setGroup(CIPHER_WEP104);
         net.setWepKey(0, "0123456789");
         net.setWepKey(2, "abcdef");
         net.setWepIndex(0);
         net.setEapIdentity("unused");
       },
       oneKind("wep",
               " protocol=\"3\" authentication=\"2\" encryption=\"8\" key_mgmt=\"1\""
               " key1=\"0123456789\" key2=\"\" key3=\"abcdef\" key4=\"\" index=\"1\"")},
      {"WEP with IEEE8021X: EAP block after the index",
       [](WifiNetwork& net) {
         net.setProtocol(PROTOCOL_WPA | PROTOCOL_RSN);
         net.setKeyManagement(KEY_MGMT_NONE | KEY_MGMT_IEEE8021X);
         net.setGroup(CIPHER_WEP40);
         net.setWepKey(3, "k3");
         net.setWepIndex(3);
         net.setEapMethod(EAP_PEAP);
         net.setEapIdentity("alice");
         net.setCaCertificateFile("/etc/ca.pem");
         net.setPhase2("auth=MSCHAPV2");
         net.setEapPassword("hunter2");
       },
       oneKind("wep",
               " protocol=\"3\" authentication=\"0\" encryption=\"16\" key_mgmt=\"9\""
               " key1=\"\" key2=\"\" key3=\"\" key4=\"k3\" index=\"4\""
               " eap=\"2\" eapIdentity=\"alice\" eapAnonymousIdentity=\"\" eapPassword=\"hunter2\""
               " CACertificateFile=\"/etc/ca.pem\" CACertificateDir=\"\" clientCertificate=\"\""
               " privateKeyFile=\"\" privateKeyPassword=\"\" phase1=\"\" phase2=\"auth=MSCHAPV2\""
               " CACertificateFile2=\"\" CACertificateDir2=\"\" clientCertificate2=\"\""
               " privateKeyFile2=\"\" privateKeyPassword2=\"\"")},
      {"WPA, key management 6 without pre-shared key: wpa",
       [](WifiNetwork& net) {
         net.setProtocol(PROTOCOL_WPA);
         net.setKeyManagement(KEY_MGMT_WPA_PSK | KEY_MGMT_WPA_EAP);
         net.setPairwise(CIPHER_TKIP);
         net.setGroup(CIPHER_TKIP);
       },
       oneKind("wpa", std::string(" protocol=\"1\" authentication=\"0\" encryption=\"2\""
                                  " key_mgmt=\"6\"") +
                          kEmptyEapBlock)},
      {"WPA, key management 6 with an emptied pre-shared key: wpa",
       [](WifiNetwork& net) {
         net.setProtocol(PROTOCOL_WPA);
         net.setKeyManagement(KEY_MGMT_WPA_PSK | KEY_MGMT_WPA_EAP);
         net.setPreSharedKey("x");
         net.setPreSharedKey("");
       },
       oneKind("wpa", std::string(" protocol=\"1\" authentication=\"0\" encryption=\"0\""
                                  " key_mgmt=\"6\"") +
                          kEmptyEapBlock)},
      {"WPA, key management 6 with a pre-shared key: wpa_psk",
       [](WifiNetwork& net) {
         net.setProtocol(PROTOCOL_WPA);
         net.setKeyManagement(KEY_MGMT_WPA_PSK | KEY_MGMT_WPA_EAP);
         net.setPairwise(CIPHER_CCMP);
         net.setGroup(CIPHER_TKIP);
         net.setPreSharedKey("correct horse");
       },
       oneKind("wpa_psk",
               " protocol=\"1\" authentication=\"0\" encryption=\"6\" key_mgmt=\"6\""
               " psk=\"correct horse\"")},
      {"WPA-PSK without a key: empty psk",
       [](WifiNetwork& net) {
         net.setProtocol(PROTOCOL_WPA);
         net.setKeyManagement(KEY_MGMT_WPA_PSK);
       },
       oneKind("wpa_psk",
               " protocol=\"1\" authentication=\"0\" encryption=\"0\" key_mgmt=\"2\" psk=\"\"")},
      {"RSN with EAP: wpa2, every secret encrypted",
       [](WifiNetwork& net) {
         net.setProtocol(PROTOCOL_RSN);
         net.setKeyManagement(KEY_MGMT_WPA_EAP);
         net.setAuthentication(AUTH_OPEN);
         net.setPairwise(CIPHER_CCMP);
         net.setGroup(CIPHER_CCMP);
         net.setEapMethod(EAP_TLS);
         net.setEapIdentity("bob");
         net.setEapAnonymousIdentity("anonymous");
         net.setEapPassword("p\xC3\xA4ss");
         net.setCaCertificateFile("ca1");
         net.setCaCertificateDir("cadir1");
         net.setClientCertificate("client1");
         net.setPrivateKeyFile("key1");
         net.setPrivateKeyPassword("outer secret");
         net.setPhase1("peaplabel=0");
         net.setPhase2("auth=GTC");
         net.setCaCertificateFile2("ca2");
         net.setCaCertificateDir2("cadir2");
         net.setClientCertificate2("client2");
         net.setPrivateKeyFile2("key2");
         net.setPrivateKeyPassword2("inner secret");
       },
       oneKind("wpa2",
               " protocol=\"2\" authentication=\"1\" encryption=\"4\" key_mgmt=\"4\""
               " eap=\"1\" eapIdentity=\"bob\" eapAnonymousIdentity=\"anonymous\""
               " eapPassword=\"p\xC3\xA4ss\" CACertificateFile=\"ca1\" CACertificateDir=\"cadir1\""
               " clientCertificate=\"client1\" privateKeyFile=\"key1\""
               " privateKeyPassword=\"outer secret\" phase1=\"peaplabel=0\" phase2=\"auth=GTC\""
               " CACertificateFile2=\"ca2\" CACertificateDir2=\"cadir2\""
               " clientCertificate2=\"client2\" privateKeyFile2=\"key2\""
               " privateKeyPassword2=\"inner secret\"")},
      {"RSN-PSK: wpa2_psk has no key_mgmt; pairwise TKIP with group WEP104 is 10",
       [](WifiNetwork& net) {
         net.setProtocol(PROTOCOL_RSN);
         net.setKeyManagement(KEY_MGMT_WPA_PSK);
         net.setPairwise(CIPHER_TKIP);
         net.setGroup(CIPHER_WEP104);
         net.setPreSharedKey("wpa2 key");
       },
       oneKind("wpa2_psk",
               " protocol=\"2\" authentication=\"0\" encryption=\"10\" psk=\"wpa2 key\"")},
      {"open network: none is supported but has no configuration",
       [](WifiNetwork& net) {
         net.setProtocol(PROTOCOL_WPA | PROTOCOL_RSN);
         net.setPairwise(CIPHER_NONE);
         net.setGroup(CIPHER_WEP40);  // NONE is looked at first
       },
       "      <wifiSecuritySupported numberSupported=\"1\">\n"
       "        <wifiSecurity type=\"none\"/>\n"
       "      </wifiSecuritySupported>\n"
       "      <wifiSecurityConfiguration numberConfigured=\"0\"/>\n"},
      {"protocol 3 with TKIP and CCMP only: nothing supported",
       [](WifiNetwork& net) {
         net.setProtocol(PROTOCOL_WPA | PROTOCOL_RSN);
         net.setKeyManagement(KEY_MGMT_WPA_PSK);
         net.setPairwise(CIPHER_TKIP | CIPHER_CCMP);
         net.setGroup(CIPHER_TKIP | CIPHER_CCMP);
         net.setPreSharedKey("unused");
       },
       "      <wifiSecuritySupported numberSupported=\"0\"/>\n"
       "      <wifiSecurityConfiguration numberConfigured=\"0\"/>\n"},
      {"protocol 0: nothing supported",
       [](WifiNetwork& net) { net.setKeyManagement(KEY_MGMT_WPA_PSK); },
       "      <wifiSecuritySupported numberSupported=\"0\"/>\n"
       "      <wifiSecurityConfiguration numberConfigured=\"0\"/>\n"},
      {"WPA with IEEE8021X only: nothing supported",
       [](WifiNetwork& net) {
         net.setProtocol(PROTOCOL_WPA);
         net.setKeyManagement(KEY_MGMT_IEEE8021X);
       },
       "      <wifiSecuritySupported numberSupported=\"0\"/>\n"
       "      <wifiSecurityConfiguration numberConfigured=\"0\"/>\n"},
  };

  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    loadEmpty();
    WifiNetwork* net = addRecord(host, "net");
    ASSERT_NE(net, nullptr);
    baseValues(*net);
    row.setup(*net);

    std::string document = writeXml(host, true);
    EXPECT_EQ(xmlProblems(document), "");
    EXPECT_EQ(withSecretsDecrypted(document),
              fullDocument(networkStart("net") + row.security + "    </wifiNetwork>\n", 1));
  }
}

TEST_F(HostSettingsXmlTest, FullFormListsNetworksNewestFirst) {
  loadEmpty();
  WifiNetwork* older = addRecord(host, "older");
  WifiNetwork* newer = addRecord(host, "newer");
  baseValues(*older);
  baseValues(*newer);
  newer->setSsidBroadcasted(false);
  newer->setMode(NETWORK_MODE_ADHOC);
  newer->setChannel(11);
  newer->setStrength(100);
  newer->setPriority(-1);
  newer->setStatus(NETWORK_STATUS_CONNECTING);
  newer->setBssid("aa:bb:cc:dd:ee:ff");

  const std::string nothing =
      "      <wifiSecuritySupported numberSupported=\"0\"/>\n"
      "      <wifiSecurityConfiguration numberConfigured=\"0\"/>\n"
      "    </wifiNetwork>\n";
  EXPECT_EQ(writeXml(host, true),
            fullDocument("    <wifiNetwork ssid=\"newer\" bssid=\"aa:bb:cc:dd:ee:ff\""
                         " ssidBroadcasted=\"false\" mode=\"1\" channel=\"11\" strength=\"100\""
                         " priority=\"4294967295\" status=\"4\">\n" +
                             nothing + networkStart("older") + nothing,
                         2));
}

TEST_F(HostSettingsXmlTest, AwkwardTextsStayWellFormedAndReadBack) {
  const std::string awkward[] = {
      "quote\" less< amp& gt> apos'",
      "caf\xC3\xA9 \xE2\x98\x95",  // UTF-8
      "tab\there",
      "&amp;lt;",
  };
  for (const std::string& ssid : awkward) {
    SCOPED_TRACE(ssid);
    loadEmpty();
    WifiNetwork* net = addRecord(host, ssid.c_str());
    ASSERT_NE(net, nullptr);
    net->setProtocol(PROTOCOL_RSN);
    net->setKeyManagement(KEY_MGMT_WPA_EAP);
    net->setEapIdentity(ssid.c_str());
    net->setEapPassword(ssid.c_str());

    for (bool detailed : {false, true}) {
      std::string document = writeXml(host, detailed);
      ASSERT_EQ(xmlProblems(document), "") << document;
      EXPECT_EQ(xpathString(document, "/wifiHostSettings/wifiNetworkDatabase/wifiNetwork/@ssid"),
                ssid);
      if (detailed) {
        EXPECT_EQ(xpathString(document, "//configuration/@eapIdentity"), ssid);
        EXPECT_EQ(report_test::decrypt(xpathString(document, "//configuration/@eapPassword")),
                  ssid);
      }
    }
  }
}

class CountingHandler : public ErrorHandler {
 public:
  void throwError(MessageBundle*) override { ++reports; }
  int reports = 0;
};

TEST_F(HostSettingsXmlTest, HandlerReachesEncryptionAndNullSecretsAreNotEncrypted) {
  loadEmpty();
  WifiNetwork* net = addRecord(host, "net");
  net->setProtocol(PROTOCOL_WPA);
  net->setKeyManagement(KEY_MGMT_WPA_PSK);
  net->setPreSharedKey("k");

  // A key file that can't be made: encryption fails and reports through the
  // handler it is given; the attribute is then empty.
  Crypt::setKeyFile("/proc/wireless-no-such-dir/crypt.key");
  CountingHandler handler;
  StringXWriter out;
  EXPECT_TRUE(host->writeXml(&out, &handler, true));
  Crypt::setKeyFile(nullptr);
  EXPECT_GT(handler.reports, 0);
  EXPECT_NE(out.str().find(" key_mgmt=\"2\" psk=\"\"/>\n"), std::string::npos) << out.str();

  // A null secret is written empty without asking Crypt (which would report
  // again with the broken key file).
  net->setPreSharedKey(nullptr);
  Crypt::setKeyFile("/proc/wireless-no-such-dir/crypt.key");
  CountingHandler quiet;
  StringXWriter again;
  EXPECT_TRUE(host->writeXml(&again, &quiet, true));
  Crypt::setKeyFile(nullptr);
  EXPECT_EQ(quiet.reports, 0);
  EXPECT_NE(again.str().find(" psk=\"\"/>\n"), std::string::npos);
}

}  // namespace
