#include "daemon/SupplicantText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace supplicant;

const std::string kHexKey(64, 'a');
const std::string kLongKey(65, 'a');

TEST(SupplicantTextTest, ValuesReadFromGetNetwork) {
  struct Row {
    const char* name;
    std::string reply;
    bool ok;
    std::string value;
  };
  const Row rows[] = {
      {"ssid", "\"office\"", true, "office"},
      {"ssid", "\"say \"hi\"\"", true, "say \"hi\""},
      {"ssid", "436166c3a95c", true, "Caf\xc3\xa9\\"},
      {"ssid", "6100", false, ""},
      {"identity", "\"\"", true, ""},
      {"psk", "*", true, "*"},
      {"password", "*", true, "*"},
      {"priority", "10", true, "10"},
      {"key_mgmt", "WPA-PSK WPA-EAP", true, "WPA-PSK WPA-EAP"},
      {"wep_key1", "0102030405", true, "0102030405"},
      {"wep_key0", "\"abcde\"", true, "abcde"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " " + row.reply);
    std::string value;
    EXPECT_EQ(valueFromDaemon(row.name, row.reply, &value), row.ok);
    EXPECT_EQ(value, row.value);
  }
}

TEST(SupplicantTextTest, ValuesWrittenWithSetNetwork) {
  const struct {
    const char* name;
    const char* value;
    std::string written;
  } rows[] = {
      {"ssid", "office", "\"office\""},
      {"ssid", "say \"hi\"", "7361792022686922"},
      {"ssid", "a\\b", "615c62"},
      {"ssid", "Caf\xc3\xa9", "436166c3a9"},
      {"phase2", nullptr, "\"\""},
      {"identity", "\"\"", "\"\""},
      {"psk", "correct horse", "\"correct horse\""},
      {"psk", kHexKey.c_str(), kHexKey},
      {"psk", kLongKey.c_str(), "\"" + kLongKey + "\""},
      {"psk", "*", "*"},
      {"private_key_passwd", "*", "*"},
      {"password", "p\"w", "702277"},
      {"wep_key0", "0102030405", "0102030405"},
      {"wep_key0", "abcde", "\"abcde\""},
      {"key_mgmt", "WPA-PSK", "WPA-PSK"},
      {"priority", "-1", "-1"},
      {"bssid", "00:00:00:00:00:00", "any"},
      {"bssid", "02:00:00:00:01:00", "02:00:00:00:01:00"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " " + (row.value == nullptr ? "null" : row.value));
    EXPECT_EQ(valueToDaemon(row.name, row.value), row.written);
  }
}

TEST(SupplicantTextTest, LinesAsTheParsersReadThem) {
  const struct {
    std::string (*translate)(const std::string&);
    std::string line;
    std::string read;
  } rows[] = {
      {scanLineFromDaemon, "02:00:00:00:01:00\t2412\t-30\t[ESS]\tnear", "02:00:00:00:01:00\t2412\t226\t[ESS]\tnear"},
      {scanLineFromDaemon, "02:00:00:00:01:00\t2412\t-46\t[ESS]\ta", "02:00:00:00:01:00\t2412\t210\t[ESS]\ta"},
      {scanLineFromDaemon, "02:00:00:00:01:00\t2437\t-70\t[IBSS]\tb", "02:00:00:00:01:00\t2437\t186\t[IBSS]\tb"},
      {scanLineFromDaemon, "02:00:00:00:01:00\t2412\t-96\t[ESS]\tc", "02:00:00:00:01:00\t2412\t160\t[ESS]\tc"},
      {scanLineFromDaemon, "02:00:00:00:01:00\t2412\t-100\t[ESS]\tCaf\\xc3\\xa9 \\\"x\\\"",
       "02:00:00:00:01:00\t2412\t156\t[ESS]\tCaf\xc3\xa9 \"x\""},
      {scanLineFromDaemon, "02:00:00:00:01:00\t2412\t189\t[ESS]\told", "02:00:00:00:01:00\t2412\t189\t[ESS]\told"},
      {statusLineFromDaemon, "ssid=say \\\"hi\\\" \\\\ \\xe2\\x82\\xac", "ssid=say \"hi\" \\ \xe2\x82\xac"},
      {statusLineFromDaemon, "bssid=02:00:00:00:01:00", "bssid=02:00:00:00:01:00"},
      {decodeEscapes, "tab\\x09\\t and \\x7e", "tab\\x09\\t and ~"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(row.translate(row.line), row.read);
  }
}

// An SSID of 32 bytes as the supplicant prints it: 127 characters.
std::string escapedSsid(size_t id) {
  std::string ssid;
  for (int i = 0; i < 31; ++i) ssid += "\\xe9";
  return ssid + static_cast<char>('a' + id % 26);
}

// Answers LIST_NETWORKS [LAST_ID=n] as the supplicant does: a header, then
// lines until its 4096-byte reply is full, the last one possibly cut.
class FakeList {
 public:
  explicit FakeList(int networks) {
    for (int id = 0; id < networks; ++id) {
      lines_.push_back(std::to_string(id) + "\t" + escapedSsid(id) + "\tany\t[DISABLED]\n");
    }
  }
  bool operator()(const std::string& command, std::string* reply) {
    ++requests;
    size_t after = command.find("LAST_ID=");
    size_t first = after == std::string::npos ? 0 : std::atoi(command.c_str() + after + 8) + 1;
    *reply = "network id / ssid / bssid / flags\n";
    for (size_t id = first; id < lines_.size(); ++id) *reply += lines_[id];
    if (reply->size() > 4095) reply->resize(4095);
    return !fail;
  }
  int requests = 0;
  bool fail = false;

 private:
  std::vector<std::string> lines_;
};

TEST(SupplicantTextTest, NetworkListLongerThanOneReplyIsReadWhole) {
  for (uint8_t maxCount : {32, 20}) {
    FakeList supplicant(32);
    std::vector<std::string> lines;
    ASSERT_TRUE(readNetworkList(std::ref(supplicant), maxCount, &lines));
    ASSERT_EQ(lines.size(), maxCount);
    EXPECT_EQ(supplicant.requests, maxCount == 32 ? 2 : 1);
    for (size_t id = 0; id < lines.size(); ++id) {
      EXPECT_EQ(lines[id], std::to_string(id) + "\t" + std::string(31, '\xe9') + static_cast<char>('a' + id % 26) +
                               "\tany\t[DISABLED]");
    }
  }
  FakeList small(3);
  std::vector<std::string> lines;
  EXPECT_TRUE(readNetworkList(std::ref(small), 32, &lines));
  EXPECT_EQ(lines.size(), 3u);
  EXPECT_EQ(small.requests, 1);
  small.fail = true;
  EXPECT_FALSE(readNetworkList(std::ref(small), 32, &lines));
}

}  // namespace
