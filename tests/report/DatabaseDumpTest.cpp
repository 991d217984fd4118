#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/WifiHostSettings.h"
#include "model/WifiNetwork.h"
#include "tests/daemon/HostFixture.h"
#include "tests/report/ReportSupport.h"

namespace {

using report_test::addRecord;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start) + "<no line break>");
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

class DatabaseDumpTest : public HostFixture {
 protected:
  static std::string dumpOf(WifiHostSettings* settings) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    if (file == nullptr) return "";
    settings->dumpTo(file);
    std::rewind(file);
    std::string text;
    char buffer[1024];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    std::fclose(file);
    return text;
  }

  // The one network block of a dump (the lines between "Network Database: "
  // and the closing empty line).
  static std::vector<std::string> blockOf(const std::string& dump) {
    std::vector<std::string> lines = linesOf(dump);
    std::vector<std::string> block;
    for (size_t i = 1; i < lines.size() && !lines[i].empty(); ++i) block.push_back(lines[i]);
    return block;
  }

  // The block line that starts with label, or "<missing>".
  static std::string lineOf(const std::string& dump, const std::string& label) {
    for (const std::string& line : linesOf(dump)) {
      if (line.compare(0, label.size(), label) == 0) return line;
    }
    return "<missing>";
  }

  WifiNetwork* loadWithOne(const char* ssid) {
    load({});
    return addRecord(host, ssid);
  }
};

TEST_F(DatabaseDumpTest, UnloadedInstancePrintsHeaderAndUnknownState) {
  WifiHostSettings* settings = WifiHostSettings::recreateInstance(nullptr);
  ASSERT_EQ(settings->networkDatabase(), nullptr);
  EXPECT_EQ(linesOf(dumpOf(settings)),
            (std::vector<std::string>{"Network Database: ", "Current WPA_STATUS        : UNKNOWN"}));
}

TEST_F(DatabaseDumpTest, RecordWithNothingSetPrintsEveryLineAsTheTableGivesIt) {
  WifiNetwork* net = loadWithOne("zero");
  net->setMode(NETWORK_MODE_MANAGED);

  std::string dump = dumpOf(host);
  EXPECT_EQ(linesOf(dump), (std::vector<std::string>{
                               "Network Database: ",
                               "\tNetwork SSID    : zero",
                               "\tNetwork BSSID   : ",
                               "\tChannel         : 0",
                               "\tStrength        : 0",
                               "\tSSID Broadcast  : no",
                               "\tPriority        : 0",
                               "\tNetwork Mode    : MANAGED",
                               "\tProtocol        : UNKNOWN",
                               "\tKeyManagement   : UNKNOWN",
                               "\tPairwise        : UNKNOWN",
                               "\tGroup           : UNKNOWN",
                               "\tEAP Modes       : UNKNOWN",
                               "\tAUTH_ALG        : UNKNOWN",
                               "\tPre Shared Key  : ",
                               "\tEAP Identity                  : ",
                               "\tEAP Anonymous Identity        : ",
                               "\tEAP Password                  : ",
                               "\tOuter Private Key Password    : ",
                               "\tOuter CA Certificate File     : ",
                               "\tOuter CA Certificate Path     : ",
                               "\tOuter Client Certificate      : ",
                               "\tOuter Private Key File        : ",
                               "\tPhase 1                       : ",
                               "\tPhase 2                       : ",
                               "\tInner Private Key Password    : ",
                               "\tInner CA Certificate File     : ",
                               "\tInner CA Certificate Path     : ",
                               "\tInner Client Certificate      : ",
                               "\tInner Private Key File        : ",
                               "",
                               "Current WPA_STATUS        : UNKNOWN",
                           }));
}

TEST_F(DatabaseDumpTest, EveryFieldLandsOnItsOwnLineSecretsInPlainText) {
  WifiNetwork* net = loadWithOne("full");
  net->setBssid("00:11:22:33:44:55");
  net->setChannel(11);
  net->setStrength(-3);
  net->setSsidBroadcasted(true);
  net->setPriority(7);
  net->setMode(NETWORK_MODE_ADHOC);
  net->setPreSharedKey("psk plain");
  net->setWepKey(0, "wep0");
  net->setWepKey(1, "wep1");
  net->setWepKey(3, "wep3");
  net->setWepIndex(3);
  const char* texts[] = {"identity", "anonymous", "eap pw", "outer pw", "ca", "capath",
                         "client",   "keyfile",   "p1",     "p2",       "inner pw", "ca2",
                         "capath2",  "client2",   "keyfile2"};
  net->setEapIdentity(texts[0]);
  net->setEapAnonymousIdentity(texts[1]);
  net->setEapPassword(texts[2]);
  net->setPrivateKeyPassword(texts[3]);
  net->setCaCertificateFile(texts[4]);
  net->setCaCertificateDir(texts[5]);
  net->setClientCertificate(texts[6]);
  net->setPrivateKeyFile(texts[7]);
  net->setPhase1(texts[8]);
  net->setPhase2(texts[9]);
  net->setPrivateKeyPassword2(texts[10]);
  net->setCaCertificateFile2(texts[11]);
  net->setCaCertificateDir2(texts[12]);
  net->setClientCertificate2(texts[13]);
  net->setPrivateKeyFile2(texts[14]);

  std::vector<std::string> block = blockOf(dumpOf(host));
  std::vector<std::string> expected = {
      "\tNetwork SSID    : full",
      "\tNetwork BSSID   : 00:11:22:33:44:55",
      "\tChannel         : 11",
      "\tStrength        : -3",
      "\tSSID Broadcast  : yes",
      "\tPriority        : 7",
      "\tNetwork Mode    : ADHOC",
      "\tProtocol        : UNKNOWN",
      "\tKeyManagement   : UNKNOWN",
      "\tPairwise        : UNKNOWN",
      "\tGroup           : UNKNOWN",
      "\tEAP Modes       : UNKNOWN",
      "\tAUTH_ALG        : UNKNOWN",
      "\tPre Shared Key  : psk plain",
      "\tWEP Index       : 3",
      "\tWEP Key 0       : wep0",
      "\tWEP Key 1       : wep1",
      "\tWEP Key 3       : wep3",
      "\tEAP Identity                  : identity",
      "\tEAP Anonymous Identity        : anonymous",
      "\tEAP Password                  : eap pw",
      "\tOuter Private Key Password    : outer pw",
      "\tOuter CA Certificate File     : ca",
      "\tOuter CA Certificate Path     : capath",
      "\tOuter Client Certificate      : client",
      "\tOuter Private Key File        : keyfile",
      "\tPhase 1                       : p1",
      "\tPhase 2                       : p2",
      "\tInner Private Key Password    : inner pw",
      "\tInner CA Certificate File     : ca2",
      "\tInner CA Certificate Path     : capath2",
      "\tInner Client Certificate      : client2",
      "\tInner Private Key File        : keyfile2",
  };
  EXPECT_EQ(block, expected);
}

TEST_F(DatabaseDumpTest, WepLinesNeedTheFirstKey) {
  WifiNetwork* net = loadWithOne("wep");
  net->setWepKey(1, "one");
  net->setWepKey(2, "two");
  net->setWepKey(3, "three");
  net->setWepIndex(2);
  std::string dump = dumpOf(host);
  EXPECT_EQ(dump.find("WEP"), std::string::npos) << dump;
}

TEST_F(DatabaseDumpTest, WordsFollowTheirTablesOrder) {
  struct Row {
    std::function<void(WifiNetwork&)> set;
    const char* line;
  };
  const Row rows[] = {
      {[](WifiNetwork& n) { n.setMode(NETWORK_MODE_UNKNOWN); }, "\tNetwork Mode    : UNKNOWN"},
      {[](WifiNetwork& n) { n.setMode(7); }, "\tNetwork Mode    : UNKNOWN"},
      {[](WifiNetwork& n) { n.setMode(NETWORK_MODE_ADHOC); }, "\tNetwork Mode    : ADHOC"},
      {[](WifiNetwork& n) { n.setProtocol(3); }, "\tProtocol        : WPA RSN"},
      {[](WifiNetwork& n) { n.setProtocol(2); }, "\tProtocol        : RSN"},
      {[](WifiNetwork& n) { n.setProtocol(4); }, "\tProtocol        :"},
      {[](WifiNetwork& n) { n.setKeyManagement(6); }, "\tKeyManagement   : WPA_EAP WPA_PSK"},
      {[](WifiNetwork& n) { n.setKeyManagement(31); },
       "\tKeyManagement   : NONE WPA_EAP WPA_PSK WPA_NONE IEEE8021X"},
      {[](WifiNetwork& n) { n.setPairwise(7); }, "\tPairwise        : TKIP CCMP NONE"},
      {[](WifiNetwork& n) { n.setPairwise(8); }, "\tPairwise        :"},
      {[](WifiNetwork& n) { n.setGroup(31); }, "\tGroup           : TKIP CCMP WEP104 WEP40"},
      {[](WifiNetwork& n) { n.setGroup(16); }, "\tGroup           : WEP40"},
      {[](WifiNetwork& n) { n.setEapMethod(2047); },
       "\tEAP Modes       : TLS PEAP TTLS MD5 LEAP MSCHAPV2 GTC OTP PSK FAST PAX"},
      {[](WifiNetwork& n) { n.setEapMethod(EAP_PAX | EAP_FAST); }, "\tEAP Modes       : FAST PAX"},
      {[](WifiNetwork& n) { n.setAuthentication(1); }, "\tAUTH_ALG        : OPEN"},
      {[](WifiNetwork& n) { n.setAuthentication(2); }, "\tAUTH_ALG        : SHARED"},
      {[](WifiNetwork& n) { n.setAuthentication(3); }, "\tAUTH_ALG        : LEAP"},
      {[](WifiNetwork& n) { n.setAuthentication(4); }, "\tAUTH_ALG        : AUTO"},
      {[](WifiNetwork& n) { n.setAuthentication(5); }, "\tAUTH_ALG        :"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    WifiNetwork* net = loadWithOne("words");
    row.set(*net);
    std::string line = row.line;
    std::string label = line.substr(0, line.find(':') + 1);
    EXPECT_EQ(lineOf(dumpOf(host), label), line);
  }
}

TEST_F(DatabaseDumpTest, CurrentNetworkAndStateWordsComeFromTheStoredState) {
  struct Row {
    const char* reported;
    const char* word;
    bool current;  // states 0 to 2 drop the current network
  };
  const Row rows[] = {
      {"INACTIVE", " IDLE", false},
      {"SCANNING", " SCANNING", true},
      {"COMPLETED", " COMPLETED", true},
      {"4WAY_HANDSHAKE", " 4-WAY HANDSHAKE", true},
      {"GROUP_HANDSHAKE", " GROUP HANDSHAKE", true},
      {"ASSOCIATING", " ASSOCIATING", true},
      {"ASSOCIATED", " ASSOCIATED", true},
      {"DISCONNECTED", " DISCONNECTED", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reported);
    loadWithOne("office");
    script().status({"ssid=office", std::string("wpa_state=") + row.reported});
    host->getDaemonStatus("wlan0");
    script().clearCalls();

    std::vector<std::string> lines = linesOf(dumpOf(host));
    ASSERT_GE(lines.size(), 2u);
    // The dump prints the stored state and does not ask the daemon.
    EXPECT_EQ(script().calls("getStatus"), Calls{});
    EXPECT_EQ(lines.back(), std::string("Current WPA_STATUS        :") + row.word);
    EXPECT_EQ(lines[lines.size() - 2], row.current ? "Currently associated with: office" : "");
  }
}

}  // namespace
