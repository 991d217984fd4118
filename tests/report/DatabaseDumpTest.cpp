#include <cstdio>
#include <tuple>

#include "tests/daemon/HostFixture.h"
#include "tests/report/ReportSupport.h"

namespace {

using Lines = std::vector<std::string>;

Lines dumpOf(WifiHostSettings* settings) {
  std::FILE* file = std::tmpfile();
  settings->dumpTo(file);
  std::rewind(file);
  Lines lines;
  for (char line[256]; std::fgets(line, sizeof line, file) != nullptr;) {
    lines.emplace_back(line);
    std::string& last = lines.back();
    if (last.back() == '\n') last.pop_back();
    else last += "<no line break>";
  }
  std::fclose(file);
  return lines;
}

// The dump of a record "zero" with nothing set but the mode.
const Lines kZeroRecord = {
    "Network Database: ", "\tNetwork SSID    : zero", "\tNetwork BSSID   : ", "\tChannel         : 0",
    "\tStrength        : 0", "\tSSID Broadcast  : no", "\tPriority        : 0", "\tNetwork Mode    : MANAGED",
    "\tProtocol        : UNKNOWN", "\tKeyManagement   : UNKNOWN", "\tPairwise        : UNKNOWN",
    "\tGroup           : UNKNOWN", "\tEAP Modes       : UNKNOWN", "\tAUTH_ALG        : UNKNOWN", "\tPre Shared Key  : ",
    "\tEAP Identity                  : ", "\tEAP Anonymous Identity        : ", "\tEAP Password                  : ",
    "\tOuter Private Key Password    : ", "\tOuter CA Certificate File     : ", "\tOuter CA Certificate Path     : ",
    "\tOuter Client Certificate      : ", "\tOuter Private Key File        : ", "\tPhase 1                       : ",
    "\tPhase 2                       : ", "\tInner Private Key Password    : ", "\tInner CA Certificate File     : ",
    "\tInner CA Certificate Path     : ", "\tInner Client Certificate      : ", "\tInner Private Key File        : ",
    "", "Current WPA_STATUS        : UNKNOWN",
};

using DatabaseDumpTest = HostFixture;

TEST_F(DatabaseDumpTest, RecordsAndStateLineForLine) {
  load({});
  WifiNetwork* net = report_test::addRecord(host, "zero");
  net->setMode(NETWORK_MODE_MANAGED);
  EXPECT_EQ(dumpOf(host), kZeroRecord);

  net->setChannel(11);
  net->setStrength(-3);
  net->setSsidBroadcasted(true);
  net->setPriority(7);
  net->setMode(NETWORK_MODE_ADHOC);
  net->setProtocol(3);
  net->setKeyManagement(31);
  net->setPairwise(7);
  net->setGroup(27);
  net->setEapMethod(2047);
  net->setAuthentication(3);
  for (uint8_t f = WifiNetwork::TEXT_Bssid; f < WifiNetwork::TEXT_FIELD_COUNT; ++f) {
    net->setText(static_cast<WifiNetwork::TextField>(f), ("t" + std::to_string(f)).c_str());
  }
  net->setWepKey(1, "w1");
  net->setWepKey(3, "w3");
  net->setWepIndex(3);
  const Lines values = {
      "\tChannel         : 11", "\tStrength        : -3", "\tSSID Broadcast  : yes", "\tPriority        : 7",
      "\tNetwork Mode    : ADHOC", "\tProtocol        : WPA RSN",
      "\tKeyManagement   : NONE WPA_EAP WPA_PSK WPA_NONE IEEE8021X", "\tPairwise        : TKIP CCMP NONE",
      "\tGroup           : TKIP WEP104 WEP40",
      "\tEAP Modes       : TLS PEAP TTLS MD5 LEAP MSCHAPV2 GTC OTP PSK FAST PAX", "\tAUTH_ALG        : LEAP",
  };
  // Text field i holds "t<i>"; from the pre-shared key on the dump prints
  // them in this order.
  const int order[] = {2, 3, 4, 5, 10, 6, 7, 8, 9, 11, 12, 17, 13, 14, 15, 16};
  Lines expected = kZeroRecord;
  expected[2] += "t1";
  std::copy(values.begin(), values.end(), expected.begin() + 3);
  for (size_t i = 0; i < 16; ++i) expected[14 + i] += "t" + std::to_string(order[i]);
  EXPECT_EQ(dumpOf(host), expected);

  net->setWepKey(0, "w0");
  expected.insert(expected.begin() + 15, {"\tWEP Index       : 3", "\tWEP Key 0       : w0",
                                          "\tWEP Key 1       : w1", "\tWEP Key 3       : w3"});
  EXPECT_EQ(dumpOf(host), expected);
  // Bits no word stands for print nothing.
  net->setProtocol(4);
  EXPECT_EQ(dumpOf(host)[8], "\tProtocol        :");

  // The last two lines follow the stored state, which states 0 to 2 end
  // with the current network.
  for (auto [state, current, status] : {std::tuple{"4WAY_HANDSHAKE", "Currently associated with: zero", "4-WAY HANDSHAKE"},
                                        {"GROUP_HANDSHAKE", "Currently associated with: zero", "GROUP HANDSHAKE"},
                                        {"INACTIVE", "", "IDLE"}}) {
    script().status({"ssid=zero", std::string("wpa_state=") + state});
    host->getDaemonStatus("wlan0");
    script().clearCalls();
    Lines lines = dumpOf(host);
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()), (Lines{current, std::string("Current WPA_STATUS        : ") + status}));
    EXPECT_EQ(script().calls(), Calls{});  // the stored state, not asked again
  }
}

}  // namespace
