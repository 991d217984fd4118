// The library with the supplicant backend against a real wpa_supplicant,
// through the C functions, started from networks.conf.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/WifiHostSettings.h"
#include "daemon/WifiDaemon.h"
#include "platform/XWriter.h"
#include "tests/daemon/supplicant/Supplicant.h"
#include "tests/report/ReportSupport.h"
#include "wireless/wireless.h"

namespace {

using namespace supplicant_test;
using namespace std::chrono_literals;
constexpr auto kReplyTimeout = 3s;  // the backend's

// Waits up to 5 s for the supplicant to get where the test expects it.
bool eventually(const std::function<bool()>& reached) {
  for (int i = 0; i < 100 && !reached(); ++i) std::this_thread::sleep_for(50ms);
  return reached();
}

// From the first occurrence of start to the next occurrence of end after it.
std::string section(const std::string& text, const std::string& start, const char* end) {
  size_t at = text.find(start);
  return at == std::string::npos ? "" : text.substr(at, text.find(end, at + 1) - at);
}

// The supplicant's own LIST_NETWORKS or STATUS lines.
std::string shown(bool (WifiDaemon::*ask)(const char*, char**, uint8_t, uint8_t*)) {
  char* lines[32] = {};
  uint8_t count = 0;
  std::string text = (WifiDaemon::getInstance()->*ask)(kAdapter, lines, 32, &count) ? "" : "<failed>";
  for (char* line : lines) text += text::Owned(line) ? std::string(line) + "\n" : "";
  return text;
}

std::string current() {
  char* ssid = nullptr;
  text::Owned held(getCurrentNetwork(nullptr, kAdapter, &ssid) ? ssid : nullptr);
  return held ? held.get() : "<none>";
}

bool load() {
  stopWifiService(nullptr);
  char* adapter = nullptr;
  bool loaded = getWifiAdapter(nullptr, &adapter);
  text::Owned held(adapter);
  return loaded;
}

// One network's part of the database dump, as "label: value" lines.
std::string dumped(const std::string& ssid) {
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  WifiHostSettings::getInstance(nullptr)->dumpTo(out);
  std::fclose(out);
  std::string dump = std::regex_replace(std::string(text, size), std::regex(" +: "), ": ");
  std::free(text);
  return section(dump, "\tNetwork SSID: " + ssid + "\n", "\n\n");
}

class SupplicantTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!inPrivateNetwork()) GTEST_SKIP() << "needs a network of its own: run it through in-private-network";
    start(readFile(NETWORKS_FILE));
  }
  void TearDown() override { stopWifiService(nullptr); }

  // A supplicant on these networks, once its status report holds settled.
  void start(const std::string& networks, const std::string& settled = "\nwpa_state=COMPLETED\n") {
    supplicant.reset();
    supplicant = std::make_unique<Supplicant>(networks);
    ASSERT_TRUE(eventually([&] { return shown(&WifiDaemon::getStatus).find(settled) != std::string::npos; }));
    ASSERT_TRUE(load());
  }

  // The block of the configuration file that holds this ssid line.
  std::string block(const std::string& ssidLine) const {
    std::string config = supplicant->config();
    size_t at = config.find("\t" + ssidLine + "\n");
    return at == std::string::npos ? "" : section(config.substr(config.rfind("network={", at)), "network={", "}");
  }

  std::unique_ptr<Supplicant> supplicant;
};

std::string xml() {
  StringXWriter out;
  EXPECT_TRUE(getWifiHostSettingsXML(&out, nullptr, 1));
  return report_test::withSecretsDecrypted(out.str());
}

TEST_F(SupplicantTest, LoadChangeSaveAndLoadAgain) {
  std::string document = xml();
  EXPECT_NE(document.find("adapter=\"lo\" wifiEnabled=\"true\" currentDaemonState=\"8\" currentNetwork=\"open\" "
                          "currentNetworkState=\"3\""), std::string::npos) << document;
  for (const char* ssid : {"open", "office", "corp", "wep", "off", "caf\xc3\xa9", "say &quot;hi&quot;"}) {
    EXPECT_NE(document.find("<wifiNetwork ssid=\"" + std::string(ssid) + "\""), std::string::npos) << ssid;
  }
  EXPECT_NE(section(document, "<wifiNetwork ssid=\"off\"", ">").find(" status=\"5\""), std::string::npos);
  EXPECT_NE(document.find(" psk=\"*\""), std::string::npos) << "leaves encrypted";

  // Each row: a field of the network as the dump shows it after the load
  // from networks.conf, a new value, the line the saved file then holds, and
  // the changed field in the dump after a new load (what the supplicant
  // masks reads "*").
  struct Change {
    const char* ssid;
    const char* loaded;
    const char* key;
    std::string value;
    const char* saved;
    const char* reloaded;
  };
  auto secret = [](const char* plain) { return report_test::crypt(true, plain); };
  const Change changes[] = {
      {"office", "Priority: 5", "priority", "9", "priority=9", "Priority: 9"},
      {"office", "Protocol: RSN", "protocol", "1", "proto=WPA", "Protocol: WPA"},
      {"office", "KeyManagement: WPA_PSK", "bssid", "02:00:00:00:00:01", "bssid=02:00:00:00:00:01",
       "Network BSSID: 02:00:00:00:00:01"},
      {"office", "Pre Shared Key: *", "psk", secret("new passphrase"), "psk=\"new passphrase\"", "Pre Shared Key: *"},
      {"corp", "EAP Identity: alice", "eapIdentity", "bob", "identity=\"bob\"", "EAP Identity: bob"},
      {"corp", "EAP Anonymous Identity: anonymous", "eapAnonymousIdentity", "\xc3\xa9t\xc3\xa9",
       "anonymous_identity=c3a974c3a9", "EAP Anonymous Identity: \xc3\xa9t\xc3\xa9"},
      {"corp", "EAP Password: *", "eapPassword", secret("new \"password\""), "password=\"new \"password\"\"",
       "EAP Password: *"},
      {"corp", "Outer CA Certificate File: /etc/wireless/corp-ca.pem", "CACertificateFile", "/etc/new ca.pem",
       "ca_cert=\"/etc/new ca.pem\"", "Outer CA Certificate File: /etc/new ca.pem"},
      {"corp", "Outer CA Certificate Path: /etc/wireless/ca", "CACertificateDir2", "/etc/ca2", "ca_path2=\"/etc/ca2\"",
       "Inner CA Certificate Path: /etc/ca2"},
      {"corp", "Outer Client Certificate: /etc/wireless/alice.pem", "phase2", "auth=GTC", "phase2=\"auth=GTC\"",
       "Phase 2: auth=GTC"},
      {"corp", "EAP Modes: PEAP", "eap", "4", "eap=TTLS", "EAP Modes: TTLS"},
      {"corp", "Outer Private Key Password: *", "privateKeyPassword2", secret("inner"), "private_key2_passwd=\"inner\"",
       "Inner Private Key Password: *"},
      {"wep", "WEP Key 1: *", "key3", "fedcb", "wep_key2=\"fedcb\"", "WEP Key 2: *"},
      {"wep", "AUTH_ALG: SHARED", "authentication", "1", "auth_alg=OPEN", "AUTH_ALG: OPEN"},
      {"caf\xc3\xa9", "SSID Broadcast: no", "priority", "7", "priority=7", "Priority: 7"},
      {"say \"hi\"", "Priority: 2", "ssidBroadcasted", "false", "scan_ssid=1", "SSID Broadcast: no"},
  };
  auto fileSsid = [](std::string ssid) { return ssid == "caf\xc3\xa9" ? "ssid=636166c3a9" : "ssid=\"" + ssid + "\""; };
  for (const Change& change : changes) {
    EXPECT_NE(dumped(change.ssid).find("\t" + std::string(change.loaded) + "\n"), std::string::npos) << change.loaded;
    const char* value = change.value.c_str();
    EXPECT_TRUE(setNetworkParameters(nullptr, kAdapter, change.ssid, &change.key, &value, 1)) << change.ssid;
  }
  ASSERT_TRUE(saveWifiHostSettings(nullptr, kAdapter));
  for (const Change& change : changes) {
    EXPECT_NE(block(fileSsid(change.ssid)).find("\t" + std::string(change.saved) + "\n"), std::string::npos)
        << change.saved << " in\n" << supplicant->config();
  }
  ASSERT_TRUE(load());
  for (const Change& change : changes) {
    EXPECT_NE(dumped(change.ssid).find("\t" + std::string(change.reloaded) + "\n"), std::string::npos)
        << change.reloaded << " in\n" << dumped(change.ssid);
  }
}

TEST_F(SupplicantTest, OperationsReachTheirNetworksAcrossRemoveSaveAndRestart) {
  // Removing corp (2) and saving leaves the later networks their identifiers.
  const char* key = "priority";
  const char* value = "4";
  ASSERT_TRUE(removeWifiNetwork(nullptr, kAdapter, "corp") && addWifiNetwork(nullptr, kAdapter, "added") &&
              saveWifiHostSettings(nullptr, kAdapter));
  ASSERT_TRUE(setNetworkParameters(nullptr, kAdapter, "say \"hi\"", &key, &value, 1) &&
              saveWifiHostSettings(nullptr, kAdapter));
  EXPECT_NE(block("ssid=\"say \"hi\"\"").find("\tpriority=4\n"), std::string::npos) << supplicant->config();
  EXPECT_EQ(block("ssid=\"corp\""), "");

  // What the supplicant lists (a line, or '!' and a text it lacks) and
  // reports after each operation, and the status functions with it.
  struct Step {
    std::function<bool()> operation;
    const char* listed;
    uint32_t state;
    const char* current;
  };
  const Step steps[] = {
      {[] { return connectToNetwork(nullptr, kAdapter, "say \"hi\""); }, "6\tsay \"hi\"\tany\t[CURRENT]\n", 8,
       "say \"hi\""},
      {[] { return disconnectFromNetwork(nullptr, kAdapter, "say \"hi\""); }, "6\tsay \"hi\"\tany\t\n", 1, "<none>"},
      {[] { return roamNetworks(nullptr, kAdapter); }, "!DISABLED", 8, "open"},
      {[] { return addWifiNetwork(nullptr, kAdapter, "new"); }, "8\tnew\tany\t", 8, "open"},
      {[] { return removeWifiNetwork(nullptr, kAdapter, "new"); }, "!new", 8, "open"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.listed);
    ASSERT_TRUE(step.operation());
    std::string listed = shown(&WifiDaemon::listNetworks);
    EXPECT_EQ(listed.find(step.listed + (*step.listed == '!')) == std::string::npos, *step.listed == '!') << listed;
    EXPECT_TRUE(eventually([&] { return getDaemonStatus(nullptr, kAdapter) == step.state && current() == step.current; }))
        << current() << "\n" << shown(&WifiDaemon::getStatus);
  }

  // The added network, saved with nothing but its SSID, outlives a restart.
  supplicant->stop(SIGTERM);
  ASSERT_TRUE(supplicant->start());
  ASSERT_TRUE(load());
  EXPECT_NE(xml().find("<wifiNetwork ssid=\"added\""), std::string::npos) << supplicant->config();
}

TEST_F(SupplicantTest, KilledInTheMiddleOfALoadFailsInTimeAndARestartRecovers) {
  start(manyNetworks(32), "\nwpa_state=");
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
  EXPECT_NE(xml().find("numberNetworks=\"32\""), std::string::npos);
}

TEST_F(SupplicantTest, ThreadsGetTheRepliesToTheirOwnRequests) {
  static const char* const variables[][3] = {
      {"1", "priority", "5"}, {"2", "identity", "alice"}, {"2", "eap", "PEAP"}, {"3", "wep_tx_keyidx", "1"},
      {"4", "disabled", "1"}, {"5", "ssid", "caf\xc3\xa9"}, {"6", "ssid", "say \"hi\""}, {"0", "key_mgmt", "NONE"},
  };
  // Each kind of request, and whether its answer is the right one.
  static const std::function<bool(size_t)> requests[] = {
      [](size_t) { return getDaemonStatus(nullptr, kAdapter) == 8 && current() == "open"; },
      [](size_t i) {
        const char* const* variable = variables[i % std::size(variables)];
        char value[128] = {};
        return WifiDaemon::getInstance()->getNetworkVariable(kAdapter, static_cast<uint8_t>(std::atoi(variable[0])),
                                                             variable[1], value, 128) &&
               std::string(value) == variable[2];
      },
      [](size_t) {
        char** lines = nullptr;
        uint8_t count = 0;
        bool scanned = discoverNetworks(nullptr, kAdapter, &lines, 32, &count);
        ::operator delete(lines);  // no access point on the loopback interface
        return !scanned || count == 0;
      },
      [](size_t) { return shown(&WifiDaemon::listNetworks).find("6\tsay \"hi\"\tany\t\n") != std::string::npos; },
  };
  std::atomic<int> answered[std::size(requests)] = {};
  std::atomic<int> wrong{0};
  auto end = std::chrono::steady_clock::now() + 10s;
  std::vector<std::thread> threads;
  for (size_t t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (size_t i = t; std::chrono::steady_clock::now() < end; ++i) {
        wrong += requests[i % std::size(requests)](i / std::size(requests)) ? 0 : 1;
        ++answered[i % std::size(requests)];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
  for (const auto& count : answered) EXPECT_GT(count, 10);
}

}  // namespace
