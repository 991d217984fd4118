// Sixteen threads drive the natives at once, each with its own FakeJniEnv,
// in the mix the Java stress test uses: the native side of that test, run
// where ThreadSanitizer can watch it. Each thread owns one network that
// only it touches, so every result on it is known in advance.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/WifiHostSettings.h"
#include "model/Text.h"
#include "orv/OrvTestClock.h"
#include "platform/Crypt.h"
#include "tests/daemon/DaemonScript.h"
#include "tests/jni/FakeJniEnv.h"
#include "tests/jni/Natives.h"

namespace {

constexpr int THREADS = 16;
constexpr auto RUN_TIME = std::chrono::seconds(2);
const char* const ADAPTER = "wlan0";
const std::vector<std::string> SHARED = {"s0", "s1", "s2", "s3"};

std::string encrypted(const std::string& plainText) {
  char* cipherText = nullptr;
  if (Crypt::encrypt(nullptr, plainText.c_str(), &cipherText) != 0) return "";
  text::Owned owned(cipherText);
  return cipherText;
}

class Worker {
 public:
  Worker(int id, std::chrono::steady_clock::time_point deadline)
      : id_(id), deadline_(deadline), random_(static_cast<unsigned>(id)),
        cipherText_(encrypted("secret " + std::to_string(id))), name_("own" + std::to_string(id)) {}

  void run() {
    int step = 0;
    while (std::chrono::steady_clock::now() < deadline_ && failures_.empty()) {
      // A fresh environment now and then, as local references go when a
      // native returns.
      if (step % 200 == 0) java_ = std::make_unique<FakeJniEnv>();
      one(static_cast<int>(random_() % 13), step++);
      if (!java_->errors().empty()) fail(java_->errors().front());
      ++calls_;
    }
  }

  const std::vector<std::string>& failures() const { return failures_; }
  long calls() const { return calls_; }
  const std::string& name() const { return name_; }
  bool present() const { return present_; }
  const std::string& identity() const { return identity_; }
  int priority() const { return priority_; }

 private:
  void check(bool condition, const std::string& what) {
    if (!condition) fail(name_ + ": " + what);
  }
  void fail(const std::string& what) {
    if (failures_.size() < 5) failures_.push_back(what);
  }
  jstring str(const std::string& text) { return java_->string(text); }
  JNIEnv* env() { return java_->env(); }

  void one(int operation, int step) {
    const std::string& shared = SHARED[random_() % SHARED.size()];
    switch (operation) {
      case 0: {
        check(JNI_NAME(addNetwork0)(env(), nullptr, str(ADAPTER), str(name_)) == !present_, "add");
        if (!present_) {
          present_ = true;
          identity_.clear();
          priority_ = 0;
          keySet_ = false;
        }
        break;
      }
      case 1:
        check(JNI_NAME(removeNetwork0)(env(), nullptr, str(ADAPTER), str(name_)), "remove");
        present_ = false;
        break;
      case 2: {
        std::string next = "id " + std::to_string(id_) + " " + std::to_string(step);
        check(JNI_NAME(setEAPIdentity0)(env(), nullptr, str(ADAPTER), str(name_), str(next)) == present_,
              "identity");
        if (present_) identity_ = next;
        break;
      }
      case 3: {
        int next = (priority_ + 1 + static_cast<int>(random_() % 3)) & 0xFF;
        bool changed = present_ && next != priority_;
        check(JNI_NAME(setPriority0)(env(), nullptr, str(ADAPTER), str(name_), static_cast<jbyte>(next)) ==
                  changed,
              "priority");
        if (present_) priority_ = next;
        break;
      }
      case 4:
        check(JNI_NAME(setPreSharedKey0)(env(), nullptr, str(ADAPTER), str(name_), str(cipherText_)) ==
                  (present_ && !keySet_),
              "key");
        if (present_) keySet_ = true;
        break;
      case 5: {
        std::optional<std::string> identity =
            java_->text(JNI_NAME(getEAPIdentity0)(env(), nullptr, str(ADAPTER), str(name_)));
        check(present_ && !identity_.empty() ? identity == identity_ : !identity.has_value(), "read identity");
        check(JNI_NAME(getPriority0)(env(), nullptr, str(ADAPTER), str(name_)) == (present_ ? priority_ : 0),
              "read priority");
        bool hasKey = JNI_NAME(getPreSharedKey0)(env(), nullptr, str(ADAPTER), str(name_)) != nullptr;
        check(hasKey == (present_ && keySet_), "read key");
        break;
      }
      case 6:
        JNI_NAME(setEAPIdentity0)(env(), nullptr, str(ADAPTER), str(shared), str(name_));
        check(JNI_NAME(setWepKey0)(env(), nullptr, str(ADAPTER), str(shared), id_ % 4, str("key")),
              "shared wep key");
        JNI_NAME(setPriority0)(env(), nullptr, str(ADAPTER), str(shared), static_cast<jbyte>(random_()));
        JNI_NAME(setEncryption0)(env(), nullptr, str(ADAPTER), str(shared), 1 << (random_() % 5));
        break;
      case 7: {
        std::optional<std::vector<std::string>> keys =
            java_->texts(JNI_NAME(getWepKeys0)(env(), nullptr, str(ADAPTER), str(shared)));
        check(keys && keys->size() == 4, "shared wep keys");
        JNI_NAME(getEAPIdentity0)(env(), nullptr, str(ADAPTER), str(shared));
        JNI_NAME(getSupportedEncrytptionMethods0)(env(), nullptr, str(ADAPTER), str(shared));
        break;
      }
      case 8: {
        std::optional<std::vector<std::string>> ssids =
            java_->texts(JNI_NAME(getNetworkDatabaseSsids0)(env(), nullptr, str(ADAPTER)));
        check(ssids.has_value(), "ssids");
        if (!ssids) break;
        std::set<std::string> distinct(ssids->begin(), ssids->end());
        check(distinct.size() == ssids->size(), "duplicate ssids");
        for (const std::string& name : SHARED) check(distinct.count(name) == 1, "shared " + name + " listed");
        check((distinct.count(name_) == 1) == present_, "own network listed");
        break;
      }
      case 9:
        check(JNI_NAME(saveHostSettings0)(env(), nullptr), "save");
        break;
      case 10:
        JNI_NAME(getNetworkStatus0)(env(), nullptr, str(ADAPTER), str(shared));
        JNI_NAME(getCurrentNetwork0)(env(), nullptr, str(ADAPTER));
        JNI_NAME(getDaemonStatus0)(env(), nullptr, str(ADAPTER));
        if (id_ == 0) orv_test::advanceClock(5000);
        break;
      case 11:
        // Moves the current network around; removing it must forget it.
        check(JNI_NAME(connectToNetwork0)(env(), nullptr, str(ADAPTER), str(name_)) == present_, "connect");
        JNI_NAME(getCurrentNetwork0)(env(), nullptr, str(ADAPTER));
        check(JNI_NAME(disconnectFromNetwork0)(env(), nullptr, str(ADAPTER), str(shared)), "disconnect");
        break;
      default: {
        std::string other = name_.back() == 'x' ? "own" + std::to_string(id_) : name_ + "x";
        check(JNI_NAME(setSsid0)(env(), nullptr, str(ADAPTER), str(name_), str(other)) == present_, "rename");
        if (present_) name_ = other;
        if (id_ == 0 && step % 64 == 0) script().clearCalls();
        break;
      }
    }
  }

  int id_;
  std::chrono::steady_clock::time_point deadline_;
  std::minstd_rand random_;
  std::string cipherText_;
  std::unique_ptr<FakeJniEnv> java_;
  std::vector<std::string> failures_;
  long calls_ = 0;
  std::string name_;
  bool present_ = false;
  std::string identity_;
  int priority_ = 0;
  bool keySet_ = false;
};

TEST(NativeStress, SixteenThreadsKeepTheDatabaseConsistent) {
  WifiHostSettings::destroyInstance();
  script()
      .reset()
      .adapters({ADAPTER})
      .networks({"0\ts0\tany\t[CURRENT]", "1\ts1\tany\t", "2\ts2\tany\t", "3\ts3\tany\t[DISABLED]"})
      .scanResults({"aa:bb:cc:dd:ee:ff\t2412\t200\t[WPA2-PSK]\ts1"})
      .status({"wpa_state=COMPLETED", "ssid=s0"})
      .nextNetworkId(9);
  for (const char* operation : {"addNetwork", "removeNetwork", "setNetworkVariable", "setNetworkBssid",
                                "saveConfig", "reloadConfig", "selectNetwork", "disconnectNetwork",
                                "reconnect"}) {
    script().result(operation, true);
  }
  orv_test::setClock(1000000);
  FakeJniEnv java;
  ASSERT_EQ((std::vector<std::string>{"s3", "s2", "s1", "s0"}),
            java.texts(JNI_NAME(getNetworkDatabaseSsids0)(java.env(), nullptr, java.string(ADAPTER))));

  auto deadline = std::chrono::steady_clock::now() + RUN_TIME;
  std::vector<std::unique_ptr<Worker>> workers;
  for (int i = 0; i < THREADS; ++i) workers.push_back(std::make_unique<Worker>(i, deadline));
  std::vector<std::thread> threads;
  for (auto& worker : workers) threads.emplace_back([&worker] { worker->run(); });
  for (std::thread& thread : threads) thread.join();

  std::set<std::string> expected(SHARED.begin(), SHARED.end());
  long calls = 0;
  for (const auto& worker : workers) {
    for (const std::string& failure : worker->failures()) ADD_FAILURE() << failure;
    calls += worker->calls();
    if (!worker->present()) continue;
    expected.insert(worker->name());
    jstring name = java.string(worker->name());
    std::optional<std::string> identity =
        java.text(JNI_NAME(getEAPIdentity0)(java.env(), nullptr, java.string(ADAPTER), name));
    EXPECT_EQ(worker->identity().empty() ? std::nullopt : std::optional<std::string>(worker->identity()),
              identity);
    EXPECT_EQ(worker->priority(), JNI_NAME(getPriority0)(java.env(), nullptr, java.string(ADAPTER), name));
  }
  std::optional<std::vector<std::string>> ssids =
      java.texts(JNI_NAME(getNetworkDatabaseSsids0)(java.env(), nullptr, java.string(ADAPTER)));
  ASSERT_TRUE(ssids.has_value());
  EXPECT_EQ(ssids->size(), expected.size());
  EXPECT_EQ(expected, std::set<std::string>(ssids->begin(), ssids->end()));
  EXPECT_TRUE(JNI_NAME(saveHostSettings0)(java.env(), nullptr));
  EXPECT_GT(calls, THREADS * 10L);
  EXPECT_TRUE(java.errors().empty());

  WifiHostSettings::destroyInstance();
  orv_test::useSystemClock();
  script().reset();
}

}  // namespace
