// The library with the supplicant backend against a real wpa_supplicant,
// started from networks.conf.
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <regex>

#include "daemon/WifiDaemon.h"
#include "tests/daemon/HostFixture.h"
#include "tests/daemon/supplicant/Supplicant.h"

namespace {

using namespace supplicant_test;
using namespace std::chrono_literals;
using N = WifiNetwork;
constexpr auto kReplyTimeout = 3s;  // the backend's
constexpr const char* kSay = "say \"hi\"";

// Waits up to 5 s for the supplicant to get where the test expects it.
bool eventually(const std::function<bool()>& reached) {
  for (int i = 0; i < 100 && !reached(); ++i) std::this_thread::sleep_for(50ms);
  return reached();
}

// Builds the settings afresh from the supplicant; true when they loaded.
bool load() { return WifiHostSettings::recreateInstance(nullptr)->networkDatabase() != nullptr; }
WifiHostSettings* host() { return WifiHostSettings::getInstance(nullptr); }
WifiNetwork* find(const char* ssid) { return host()->findNetwork(nullptr, ssid); }

// A network's status ("-": no such network), then the daemon state and the
// current network as the settings ask for them.
std::string statusOf(const char* ssid) {
  WifiNetwork* network = find(ssid);
  std::string text = network ? std::to_string(network->getStatus()) : "-";
  WifiNetwork* current = host()->getCurrentNetwork(kAdapter);
  return text + " " + std::to_string(host()->getDaemonStatus(kAdapter)) + " " + (current ? current->getSsid() : "-");
}

class SupplicantTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!inPrivateNetwork()) GTEST_SKIP() << "needs a network of its own: run it through in-private-network";
    start(readFile(NETWORKS_FILE));
  }
  void TearDown() override { WifiHostSettings::destroyInstance(); }

  // A supplicant on these networks, loaded once it answers (and is connected).
  void start(const std::string& networks, bool connected = true) {
    supplicant.reset();
    supplicant = std::make_unique<Supplicant>(networks);
    ASSERT_TRUE(eventually([&] { return load() && (!connected || host()->getDaemonStatus(kAdapter) == 8); }));
  }

  // Whether the saved file's block of the network holds the line.
  bool saved(const std::string& ssid, const std::string& line) const {
    return std::regex_search(readFile(kConfigFile), std::regex("\tssid=\"" + ssid + "\"\n[^}]*\t" + line + "\n"));
  }

  std::unique_ptr<Supplicant> supplicant;
};

// Each row: a network, a change, and the line the saved file then holds.
// After a new load the changed networks hold what was set, secrets masked.
TEST_F(SupplicantTest, LoadChangeSaveLoadAgainOperateAndRestart) {
  EXPECT_TRUE(WifiDaemon::getInstance()->isWifiEnabled(kAdapter));
  EXPECT_EQ(statusOf("open") + ", " + statusOf("off"), "3 8 open, 5 8 open");
  const std::tuple<const char*, void (*)(N&), const char*> rows[] = {
      {"office", [](N& n) { n.setPriority(9); }, "priority=9"},
      {"office", [](N& n) { n.setProtocol(PROTOCOL_WPA); }, "proto=WPA"},
      {"office", [](N& n) { n.setBssid("02:00:00:00:00:01"); }, "bssid=02:00:00:00:00:01"},
      {"office", [](N& n) { n.setPreSharedKey("new passphrase"); }, "psk=\"new passphrase\""},
      {"corp", [](N& n) { n.setEapAnonymousIdentity("\xc3\xa9t\xc3\xa9"); }, "anonymous_identity=c3a974c3a9"},
      {"corp", [](N& n) { n.setEapPassword("new \"password\""); }, "password=\"new \"password\"\""},
      {"corp", [](N& n) { n.setPhase2("auth=GTC"); }, "phase2=\"auth=GTC\""},
      {"corp", [](N& n) { n.setPrivateKeyPassword2("inner"); }, "private_key2_passwd=\"inner\""},
      {"wep", [](N& n) { n.setWepKey(2, "fedcb"); }, "wep_key2=\"fedcb\""},
      {kSay, [](N& n) { n.setSsidBroadcasted(false); }, "scan_ssid=1"},
      {kSay, [](N& n) { n.setPriority(4); }, "priority=4"},
  };
  // Removing caf\xc3\xa9 (5) and saving leaves the later networks their
  // identifiers: say "hi" (6) is changed after that save.
  ASSERT_TRUE(host()->removeNetwork(kAdapter, "caf\xc3\xa9") && host()->addNetwork(kAdapter, "added") && host()->save());
  std::map<std::string, Fields> wanted;
  for (const auto& [ssid, change, line] : rows) {
    change(*find(ssid));
    for (auto& [name, value] : wanted[ssid] = fieldsOf(*find(ssid))) {
      if (value != "<null>" && std::regex_match(name, std::regex("PreSharedKey|WepKey.|.*Password.*"))) value = "\"*\"";
    }
  }
  ASSERT_TRUE(host()->save() && load());
  for (const auto& [ssid, change, line] : rows) {
    EXPECT_EQ(fieldsOf(*find(ssid)), wanted[ssid]) << ssid;
    EXPECT_TRUE(saved(ssid, line)) << line << " in\n" << readFile(kConfigFile);
  }
  EXPECT_EQ(readFile(kConfigFile).find("636166c3a9"), std::string::npos);

  // After each operation, what a new load finds: a network's status (one
  // just added is disabled), the daemon state and the current network.
  const std::tuple<std::function<bool()>, const char*, const char*> steps[] = {
      {[] { return host()->connect(kAdapter, kSay); }, kSay, "3 8 say \"hi\""},
      {[] { return host()->disconnect(kAdapter, kSay); }, kSay, "1 1 -"},
      {[] { return host()->roam(kAdapter); }, "off", "1 8 open"},
      {[] { return host()->addNetwork(kAdapter, "new"); }, "new", "5 8 open"},
      {[] { return host()->removeNetwork(kAdapter, "new"); }, "new", "- 8 open"},
  };
  for (const auto& [operation, ssid, expected] : steps) {
    ASSERT_TRUE(operation()) << expected;
    EXPECT_TRUE(eventually([&, ssid = ssid] { return load() && statusOf(ssid) == expected; })) << statusOf(ssid);
  }
  // The added network, saved with nothing but its SSID, outlives a restart.
  supplicant->stop(SIGTERM);
  ASSERT_TRUE(supplicant->start() && load());
  EXPECT_NE(find("added"), nullptr) << readFile(kConfigFile);
}

TEST_F(SupplicantTest, UnansweredRequestsFailInTimeAndARestartRecovers) {
  // 33 networks named "\xc3\xa9" 15 times and two digits, which the supplicant
  // lists escaped: the list takes more than one reply, and the load keeps 32.
  std::string networks, name;
  for (int i = 0; i < 15; ++i) name += "\xc3\xa9";
  for (int i = 10; i < 43; ++i) networks += "network={\n\tssid=\"" + name + std::to_string(i) + "\"\n\tkey_mgmt=NONE\n}\n";
  start(networks, false);
  // A supplicant that has stopped answering: the load fails after one
  // time-out, and tearing it down waits up to a second for the watchdog thread.
  supplicant->signal(SIGSTOP);
  auto began = std::chrono::steady_clock::now();
  EXPECT_FALSE(load());
  EXPECT_LT(std::chrono::steady_clock::now() - began, kReplyTimeout + 2s);
  supplicant->stop(SIGKILL);
  ASSERT_TRUE(supplicant->start());
  ASSERT_TRUE(eventually(load)) << "after a restart";
  EXPECT_EQ(host()->networkDatabase()->count(), 32u);
  for (int i = 10; i < 42; ++i) EXPECT_NE(find((name + std::to_string(i)).c_str()), nullptr) << i;
}

// Threads read variables (a network, a variable, its value) at once; every
// answer must be the one its request asked for.
TEST_F(SupplicantTest, ThreadsGetTheRepliesToTheirOwnRequests) {
  const std::tuple<uint8_t, const char*, std::string> variables[] = {
      {1, "priority", "5"}, {2, "identity", "alice"}, {2, "eap", "PEAP"}, {3, "wep_tx_keyidx", "1"},
      {4, "disabled", "1"}, {5, "ssid", "caf\xc3\xa9"}, {6, "ssid", "say \"hi\""}, {0, "key_mgmt", "NONE"},
  };
  std::atomic<int> rounds{0}, wrong{0};
  auto end = std::chrono::steady_clock::now() + 10s;
  auto reads = [&](size_t i) {
    for (char value[128]; std::chrono::steady_clock::now() < end; ++i, ++rounds) {
      const auto& [id, name, expected] = variables[i % std::size(variables)];
      wrong += !WifiDaemon::getInstance()->getNetworkVariable(kAdapter, id, name, value, 128) || value != expected;
    }
  };
  std::vector<std::future<void>> threads;
  for (size_t t = 0; t < 8; ++t) threads.push_back(std::async(std::launch::async, reads, t));
  threads.clear();
  EXPECT_TRUE(wrong == 0 && rounds > 80) << wrong << " wrong answers in " << rounds;
}

}  // namespace
