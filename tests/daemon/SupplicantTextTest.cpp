#include "daemon/SupplicantText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace supplicant;

const std::string kHexKey(64, 'a');
const std::string kLongKey(65, 'a');

// A variable, its bare value, the supplicant's form of it, and whether the
// row holds both ways ('='), only for writing ('>') or only for reading ('<').
TEST(SupplicantTextTest, ValuesBetweenBareAndTheSupplicantsForm) {
  const struct {
    const char* name;
    std::string bare;
    std::string daemon;
    char way;
  } rows[] = {
      {"ssid", "office", "\"office\"", '='},
      {"ssid", "say \"hi\"", "7361792022686922", '='},
      {"ssid", "say \"hi\"", "\"say \"hi\"\"", '<'},
      {"ssid", "Caf\xc3\xa9\\", "436166c3a95c", '='},
      {"identity", "", "\"\"", '='},
      {"identity", "\"\"", "\"\"", '>'},
      {"psk", "correct horse", "\"correct horse\"", '='},
      {"psk", kHexKey, kHexKey, '>'},
      {"psk", kLongKey, "\"" + kLongKey + "\"", '>'},
      {"psk", "*", "*", '='},
      {"private_key_passwd", "*", "*", '='},
      {"password", "p\"w", "702277", '='},
      {"wep_key0", "0102030405", "0102030405", '='},
      {"wep_key0", "abcde", "\"abcde\"", '='},
      {"key_mgmt", "WPA-PSK WPA-EAP", "WPA-PSK WPA-EAP", '='},
      {"bssid", "00:00:00:00:00:00", "any", '>'},
      {"bssid", "02:00:00:00:01:00", "02:00:00:00:01:00", '='},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " " + row.bare + " " + row.daemon);
    std::string value = row.bare;
    EXPECT_TRUE(row.way == '>' || valueFromDaemon(row.name, row.daemon, &value));
    EXPECT_EQ(value, row.bare);
    EXPECT_EQ(row.way == '<' ? row.daemon : valueToDaemon(row.name, row.bare.c_str()), row.daemon);
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
}

// LIST_NETWORKS [LAST_ID=n] gives a header and the lines after n until its
// 4096-byte reply is full, the last one cut: 50 networks of 100 bytes.
TEST(SupplicantTextTest, NetworkListLongerThanOneReplyIsReadWholeUpToTheCallersMaximum) {
  auto line = [](int id) { return std::to_string(id) + "\t" + std::string(80, char('a' + id % 26)) + "\tany\t[DISABLED]"; };
  for (auto [maxCount, requests] : {std::pair{50, 2}, {20, 1}}) {
    int asked = 0;
    auto ask = [&](const std::string& command, std::string* reply) {
      size_t after = command.find("LAST_ID=");
      ++asked;
      *reply = "network id / ssid / bssid / flags\n";
      for (int id = after == std::string::npos ? 0 : std::atoi(&command[after + 8]) + 1; id < 50; ++id) {
        *reply += line(id) + "\n";
      }
      reply->resize(std::min<size_t>(reply->size(), 4095));
      return true;
    };
    std::vector<std::string> lines, expected;
    for (int id = 0; id < maxCount; ++id) expected.push_back(line(id));
    EXPECT_TRUE(readNetworkList(ask, static_cast<uint8_t>(maxCount), &lines));
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(asked, requests) << "at most " << maxCount;
  }
}

}  // namespace
