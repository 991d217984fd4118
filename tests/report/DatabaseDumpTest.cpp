#include "tests/daemon/HostFixture.h"
#include "tests/report/ReportSupport.h"

#include <memory>

namespace {

using DatabaseDumpTest = HostFixture;

// The EAP and certificate lines of a full record.
const std::string kEapLines =
    "\tEAP Identity                  : t3\n\tEAP Anonymous Identity        : t4\n"
    "\tEAP Password                  : t5\n\tOuter Private Key Password    : t10\n"
    "\tOuter CA Certificate File     : t6\n\tOuter CA Certificate Path     : t7\n"
    "\tOuter Client Certificate      : t8\n\tOuter Private Key File        : t9\n"
    "\tPhase 1                       : t11\n\tPhase 2                       : t12\n"
    "\tInner Private Key Password    : \n\tInner CA Certificate File     : t13\n"
    "\tInner CA Certificate Path     : t14\n\tInner Client Certificate      : t15\n"
    "\tInner Private Key File        : t16\n";

// A full record, and one with only its mode, a second WEP key and a
// protocol bit no word stands for.
TEST_F(DatabaseDumpTest, RecordsAndStateLineForLine) {
  load({});
  WifiNetwork* zero = report_test::addRecord(host, "zero");
  zero->setMode(NETWORK_MODE_MANAGED);
  zero->setWepKey(1, "w1");  // no WEP lines without a first key
  zero->setProtocol(4);
  report_test::addFullRecord(host, "full");
  // The last lines: the current network and the stored state, which the
  // dump does not ask for again.
  script().status({"ssid=zero", "wpa_state=4WAY_HANDSHAKE"});
  host->getDaemonStatus("wlan0");
  script().clearCalls();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
  host->dumpTo(file.get());
  std::rewind(file.get());
  std::string dump;
  for (int c; (c = std::fgetc(file.get())) != EOF;) dump += static_cast<char>(c);
  EXPECT_EQ(dump,
            "Network Database: \n\tNetwork SSID    : full\n\tNetwork BSSID   : t1\n\tChannel         : 11\n"
            "\tStrength        : -3\n\tSSID Broadcast  : yes\n\tPriority        : -1\n\tNetwork Mode    : ADHOC\n"
            "\tProtocol        : WPA RSN\n\tKeyManagement   : NONE WPA_EAP WPA_PSK WPA_NONE IEEE8021X\n"
            "\tPairwise        : TKIP CCMP NONE\n\tGroup           : TKIP WEP104 WEP40\n"
            "\tEAP Modes       : TLS PEAP TTLS MD5 LEAP MSCHAPV2 GTC OTP PSK FAST PAX\n\tAUTH_ALG        : LEAP\n"
            "\tPre Shared Key  : t2\n\tWEP Index       : 3\n\tWEP Key 0       : w0\n\tWEP Key 3       : w3\n" +
                kEapLines +
                "\n\tNetwork SSID    : zero\n\tNetwork BSSID   : \n\tChannel         : 0\n\tStrength        : 0\n"
                "\tSSID Broadcast  : no\n\tPriority        : 0\n\tNetwork Mode    : MANAGED\n\tProtocol        :\n"
                "\tKeyManagement   : UNKNOWN\n\tPairwise        : UNKNOWN\n\tGroup           : UNKNOWN\n"
                "\tEAP Modes       : UNKNOWN\n\tAUTH_ALG        : UNKNOWN\n\tPre Shared Key  : \n" +
                std::regex_replace(kEapLines, std::regex("t[0-9]+\n"), "\n") +
                "\nCurrently associated with: zero\nCurrent WPA_STATUS        : 4-WAY HANDSHAKE\n");
  EXPECT_EQ(script().calls(), Calls{});
}

}  // namespace
