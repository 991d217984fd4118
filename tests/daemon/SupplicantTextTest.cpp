#include "daemon/SupplicantText.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace supplicant;

const std::string kHexKey(64, 'a');
const std::string kLongKey(65, 'a');

// A variable, its bare value, the supplicant's form of it, and whether the
// row holds both ways ('='), only for writing ('>') or only for reading ('<').
TEST(SupplicantTextTest, ValuesBetweenBareAndTheSupplicantsForm) {
  const std::tuple<const char*, std::string, std::string, char> rows[] = {
      {"ssid", "office", "\"office\"", '='}, {"ssid", "say \"hi\"", "7361792022686922", '='},
      {"ssid", "say \"hi\"", "\"say \"hi\"\"", '<'}, {"ssid", "Caf\xc3\xa9\\", "436166c3a95c", '='},
      {"identity", "", "\"\"", '='}, {"identity", "\"\"", "\"\"", '>'},
      {"psk", "correct horse", "\"correct horse\"", '='}, {"psk", kHexKey, kHexKey, '>'},
      {"psk", kLongKey, "\"" + kLongKey + "\"", '>'}, {"psk", "*", "*", '='}, {"private_key_passwd", "*", "*", '='},
      {"password", "p\"w", "702277", '='}, {"wep_key0", "0102030405", "0102030405", '='},
      {"wep_key0", "abcde", "\"abcde\"", '='}, {"key_mgmt", "WPA-PSK WPA-EAP", "WPA-PSK WPA-EAP", '='},
      {"bssid", "00:00:00:00:00:00", "any", '>'}, {"bssid", "02:00:00:00:01:00", "02:00:00:00:01:00", '='},
  };
  for (const auto& [name, bare, daemon, way] : rows) {
    SCOPED_TRACE(std::string(name) + " " + bare + " " + daemon);
    std::string value = bare;
    EXPECT_TRUE(way == '>' || valueFromDaemon(name, daemon, &value));
    EXPECT_EQ(value, bare);
    EXPECT_EQ(way == '<' ? daemon : valueToDaemon(name, bare.c_str()), daemon);
  }
  EXPECT_EQ(valueToDaemon("phase2", nullptr), "\"\"");
  std::string value;
  EXPECT_FALSE(valueFromDaemon("ssid", "6100", &value)) << "a NUL byte";
}

TEST(SupplicantTextTest, LinesAsTheParsersReadThem) {
  // Levels in dBm (and one already on the parsers' scale) as the parsers read them.
  for (auto [level, read] : {std::pair{"-30", "226"}, {"-46", "210"}, {"-70", "186"}, {"-96", "160"},
                             {"-100", "156"}, {"189", "189"}}) {
    EXPECT_EQ(scanLineFromDaemon(std::string("02:00:00:00:01:00\t2412\t") + level + "\t[ESS]\tCaf\\xc3\\xa9 \\\"x\\\""),
              std::string("02:00:00:00:01:00\t2412\t") + read + "\t[ESS]\tCaf\xc3\xa9 \"x\"");
  }
  EXPECT_EQ(statusLineFromDaemon("ssid=say \\\"hi\\\" \\\\ \\xe2\\x82\\xac"), "ssid=say \"hi\" \\ \xe2\x82\xac");
  EXPECT_EQ(statusLineFromDaemon("bssid=02:00:00:00:01:00"), "bssid=02:00:00:00:01:00");
  EXPECT_EQ(decodeEscapes("tab\\x09\\t and \\x7e"), "tab\\x09\\t and ~");
  // The network list skips its header and stops at the caller's maximum,
  // whatever the reply holds.
  auto ask = [](const std::string&, std::string* reply) {
    *reply = "network id / ssid / bssid / flags\n0\ta\tany\t\n1\tb\tany\t\n";
    return true;
  };
  std::vector<std::string> lines;
  EXPECT_TRUE(readNetworkList(ask, 1, &lines));
  EXPECT_EQ(lines, std::vector<std::string>{"0\ta\tany\t"});
}

}  // namespace
