// The library with the supplicant backend against a real wpa_supplicant,
// through the C functions, started from networks.conf.
#include <atomic>
#include <functional>
#include <future>
#include <memory>

#include "daemon/WifiDaemon.h"
#include "tests/daemon/supplicant/Supplicant.h"
#include "tests/report/ReportSupport.h"
#include "wireless/wireless.h"

namespace {

using namespace supplicant_test;
using namespace std::chrono_literals;
constexpr auto kReplyTimeout = 3s;  // the backend's
constexpr auto npos = std::string::npos;
constexpr const char* kSay = "say \"hi\"";

// Waits up to 5 s for the supplicant to get where the test expects it.
bool eventually(const std::function<bool()>& reached) {
  for (int i = 0; i < 100 && !reached(); ++i) std::this_thread::sleep_for(50ms);
  return reached();
}

// The supplicant's own LIST_NETWORKS lines.
std::string listed() {
  char* lines[32] = {};
  uint8_t count = 0;
  std::string text = WifiDaemon::getInstance()->listNetworks(kAdapter, lines, 32, &count) ? "" : "<failed>";
  for (char* line : lines) text += text::Owned(line) ? std::string(line) + "\n" : "";
  return text;
}

std::string current() {
  char* ssid = nullptr;
  text::Owned held(getCurrentNetwork(nullptr, kAdapter, &ssid) ? ssid : nullptr);
  return held ? held.get() : "<none>";
}

// Throws the settings away and loads them again.
bool load() {
  char* adapter = nullptr;
  return stopWifiService(nullptr) && getWifiAdapter(nullptr, &adapter) && text::Owned(adapter);
}

// The detailed document, secrets decrypted.
std::string xml() {
  StringXWriter out;
  return getWifiHostSettingsXML(&out, nullptr, 1) ? report_test::withSecretsDecrypted(out.str()) : "<failed>";
}

// One network's element of the detailed document.
std::string element(const std::string& document, const std::string& ssid) {
  size_t at = document.find("<wifiNetwork ssid=\"" + std::regex_replace(ssid, std::regex("\""), "&quot;") + "\"");
  return at == npos ? "" : document.substr(at, document.find("</wifiNetwork>", at) - at);
}

class SupplicantTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!inPrivateNetwork()) GTEST_SKIP() << "needs a network of its own: run it through in-private-network";
    start(readFile(NETWORKS_FILE));
  }
  void TearDown() override { stopWifiService(nullptr); }

  // A supplicant on these networks, loaded once it answers (and is connected).
  void start(const std::string& networks, bool connected = true) {
    supplicant.reset();
    supplicant = std::make_unique<Supplicant>(networks);
    ASSERT_TRUE(eventually([&] { return load() && (!connected || getDaemonStatus(nullptr, kAdapter) == 8); }));
  }

  // Whether the saved file's block with this ssid line holds the line too.
  bool saved(const std::string& ssidLine, const std::string& line) const {
    return std::regex_search(supplicant->config(), std::regex("\t" + ssidLine + "\n[^}]*\t" + line + "\n"));
  }

  std::unique_ptr<Supplicant> supplicant;
};

TEST_F(SupplicantTest, LoadChangeSaveAndLoadAgain) {
  std::string document = xml();
  EXPECT_NE(document.find("adapter=\"lo\" wifiEnabled=\"true\" currentDaemonState=\"8\" currentNetwork=\"open\" "
                          "currentNetworkState=\"3\""), npos) << document;
  EXPECT_NE(element(document, "off").find(" status=\"5\""), npos) << document;

  // Each row: a network, a key, its value as loaded from networks.conf, a
  // new value (secrets in plain text) and the line the saved file then holds.
  // After a new load the key reads the new value, or "*" where the supplicant
  // masks it (the document shows no WEP keys for "wep": no loaded value).
  const char* const changes[][5] = {
      {"office", "priority", "5", "9", "priority=9"},
      {"office", "protocol", "2", "1", "proto=WPA"},
      {"office", "bssid", "00:00:00:00:00:00", "02:00:00:00:00:01", "bssid=02:00:00:00:00:01"},
      {"office", "psk", "*", "new passphrase", "psk=\"new passphrase\""},
      {"corp", "eapIdentity", "alice", "bob", "identity=\"bob\""},
      {"corp", "eapAnonymousIdentity", "anonymous", "\xc3\xa9t\xc3\xa9", "anonymous_identity=c3a974c3a9"},
      {"corp", "eapPassword", "*", "new \"password\"", "password=\"new \"password\"\""},
      {"corp", "CACertificateFile", "/etc/wireless/corp-ca.pem", "/etc/new ca.pem", "ca_cert=\"/etc/new ca.pem\""},
      {"corp", "CACertificateDir2", "", "/etc/ca2", "ca_path2=\"/etc/ca2\""},
      {"corp", "phase2", "auth=MSCHAPV2", "auth=GTC", "phase2=\"auth=GTC\""},
      {"corp", "eap", "2", "4", "eap=TTLS"},
      {"corp", "privateKeyPassword2", "", "inner", "private_key2_passwd=\"inner\""},
      {"wep", "key3", nullptr, "fedcb", "wep_key2=\"fedcb\""},
      {"wep", "authentication", nullptr, "1", "auth_alg=OPEN"},
      {"caf\xc3\xa9", "priority", "0", "7", "priority=7"},
      {"say \"hi\"", "ssidBroadcasted", "true", "false", "scan_ssid=1"},
  };
  auto isSecret = [](const char* key) { return std::regex_match(key, std::regex("psk|.*Password.*")); };
  auto holds = [](const std::string& in, const char* ssid, const char* key, const std::string& value) {
    return element(in, ssid).find(" " + std::string(key) + "=\"" + value + "\"") != npos;
  };
  for (const auto& [ssid, key, loaded, value, line] : changes) {
    EXPECT_TRUE(!loaded || holds(document, ssid, key, loaded)) << key << " in\n" << document;
    std::string set = isSecret(key) ? report_test::crypt(true, value) : value;
    const char* setValue = set.c_str();
    EXPECT_TRUE(setNetworkParameters(nullptr, kAdapter, ssid, &key, &setValue, 1)) << ssid;
  }
  ASSERT_TRUE(saveWifiHostSettings(nullptr, kAdapter) && load());
  document = xml();
  for (const auto& [ssid, key, loaded, value, line] : changes) {
    std::string ssidLine = std::string(ssid) == "caf\xc3\xa9" ? "ssid=636166c3a9" : "ssid=\"" + std::string(ssid) + "\"";
    EXPECT_TRUE(saved(ssidLine, line)) << line << " in\n" << supplicant->config();
    EXPECT_TRUE(!loaded || holds(document, ssid, key, isSecret(key) ? "*" : value)) << key << " in\n" << document;
  }
}

TEST_F(SupplicantTest, OperationsReachTheirNetworksAcrossRemoveSaveAndRestart) {
  // Removing corp (2) and saving leaves the later networks their identifiers.
  const char *key = "priority", *value = "4";
  ASSERT_TRUE(removeWifiNetwork(nullptr, kAdapter, "corp") && addWifiNetwork(nullptr, kAdapter, "added") &&
              saveWifiHostSettings(nullptr, kAdapter) && setNetworkParameters(nullptr, kAdapter, kSay, &key, &value, 1) &&
              saveWifiHostSettings(nullptr, kAdapter));
  EXPECT_TRUE(saved("ssid=\"say \"hi\"\"", "priority=4")) << supplicant->config();
  EXPECT_EQ(supplicant->config().find("\tssid=\"corp\"\n"), npos);

  // What the supplicant lists (a line, or '!' and a text it lacks) and
  // reports after each operation, and the status functions with it.
  const struct {
    std::function<bool()> operation;
    const char* listed;
    uint32_t state;
    const char* current;
  } steps[] = {
      {[] { return connectToNetwork(nullptr, kAdapter, kSay); }, "6\tsay \"hi\"\tany\t[CURRENT]\n", 8, kSay},
      {[] { return disconnectFromNetwork(nullptr, kAdapter, kSay); }, "6\tsay \"hi\"\tany\t\n", 1, "<none>"},
      {[] { return roamNetworks(nullptr, kAdapter); }, "!DISABLED", 8, "open"},
      {[] { return addWifiNetwork(nullptr, kAdapter, "new"); }, "8\tnew\tany\t", 8, "open"},
      {[] { return removeWifiNetwork(nullptr, kAdapter, "new"); }, "!new", 8, "open"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.listed);
    ASSERT_TRUE(step.operation());
    EXPECT_EQ(listed().find(step.listed + (*step.listed == '!')) == npos, *step.listed == '!') << listed();
    EXPECT_TRUE(eventually([&] { return getDaemonStatus(nullptr, kAdapter) == step.state && current() == step.current; }))
        << current();
  }

  // The added network, saved with nothing but its SSID, outlives a restart.
  supplicant->stop(SIGTERM);
  ASSERT_TRUE(supplicant->start() && load());
  EXPECT_NE(element(xml(), "added"), "") << supplicant->config();
}

TEST_F(SupplicantTest, KilledInTheMiddleOfALoadFailsInTimeAndARestartRecovers) {
  // 32 networks named "\xc3\xa9" 15 times and two digits, which the supplicant
  // lists escaped: the list takes more than one reply.
  std::string networks, accents;
  for (int i = 0; i < 15; ++i) accents += "c3a9";
  for (int i = 10; i < 42; ++i) {
    networks += "network={\n\tssid=" + accents + "3" + std::to_string(i / 10) + "3" + std::to_string(i % 10) + "\n\tkey_mgmt=NONE\n}\n";
  }
  start(networks, false);
  auto began = std::chrono::steady_clock::now();
  ASSERT_TRUE(load());
  auto whole = std::chrono::steady_clock::now() - began;
  bool failed = false;
  // Earlier and earlier until the kill lands inside a load.
  for (int share = 3; share < 100 && !failed; share *= 3) {
    std::future<bool> loading = std::async(std::launch::async, load);
    std::this_thread::sleep_for(whole / share);
    supplicant->stop(SIGKILL);
    auto killed = std::chrono::steady_clock::now();
    // One request waits out the time-out; tearing the failed load down waits
    // up to a second for the watchdog thread.
    ASSERT_EQ(loading.wait_for(kReplyTimeout + 4s), std::future_status::ready) << "the load hangs";
    failed = !loading.get();
    EXPECT_LT(std::chrono::steady_clock::now() - killed, kReplyTimeout + 2s);
    ASSERT_TRUE(supplicant->start());
  }
  EXPECT_TRUE(failed) << "every load finished before the kill";
  ASSERT_TRUE(eventually(load)) << "after a restart";
  std::string document = xml(), last = "<wifiNetwork ssid=\"";
  for (int i = 0; i < 15; ++i) last += "\xc3\xa9";
  EXPECT_NE(document.find("numberNetworks=\"32\""), npos);
  for (int i = 10; i < 42; ++i) EXPECT_NE(document.find(last + std::to_string(i) + "\""), npos) << i << document;
}

// Each thread mixes status queries, variable reads (a network, a variable,
// its value) and discovery; every answer must be the one its request asked.
TEST_F(SupplicantTest, ThreadsGetTheRepliesToTheirOwnRequests) {
  static const char* const variables[][3] = {
      {"1", "priority", "5"}, {"2", "identity", "alice"}, {"2", "eap", "PEAP"}, {"3", "wep_tx_keyidx", "1"},
      {"4", "disabled", "1"}, {"5", "ssid", "caf\xc3\xa9"}, {"6", "ssid", "say \"hi\""}, {"0", "key_mgmt", "NONE"},
  };
  std::atomic<int> rounds{0};
  std::atomic<int> wrong{0};
  auto end = std::chrono::steady_clock::now() + 10s;
  std::vector<std::thread> threads;
  for (size_t t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (size_t i = t; std::chrono::steady_clock::now() < end; ++i, ++rounds) {
        const char* const* variable = variables[i % std::size(variables)];
        char value[128] = {}, **lines = nullptr;
        uint8_t count = 0;
        bool scanned = discoverNetworks(nullptr, kAdapter, &lines, 32, &count);
        ::operator delete(lines);  // no access point on the loopback interface
        wrong += getDaemonStatus(nullptr, kAdapter) != 8 || current() != "open" || (scanned && count != 0) ||
                 !WifiDaemon::getInstance()->getNetworkVariable(kAdapter, static_cast<uint8_t>(std::atoi(variable[0])),
                                                                variable[1], value, 128) ||
                 std::string(value) != variable[2];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(rounds, 80);
}

}  // namespace
