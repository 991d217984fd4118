// The natives from sixteen threads at once without a virtual machine, so
// that ThreadSanitizer can watch the frame's locking (it is unreliable
// inside a JVM).
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <future>
#include <string>
#include <vector>

#include "jni/BWifiPlatformService.h"
#include "model/Text.h"
#include "platform/Crypt.h"
#include "tests/daemon/HostFixture.h"

namespace {

// The JNIEnv of one thread, with the JNI functions the natives use when
// nothing fails; any other is null and crashes the test. Strings are ASCII
// and live, like arrays, until the Env goes.
struct Env : JNIEnv {
  Env() {
    table.GetStringLength = [](JNIEnv*, jstring s) { return static_cast<jsize>(text(s).size()); };
    table.GetStringRegion = [](JNIEnv*, jstring s, jsize from, jsize n, jchar* out) {
      std::copy_n(text(s).begin() + from, n, out);
    };
    table.ExceptionCheck = [](JNIEnv*) -> jboolean { return JNI_FALSE; };
    table.NewStringUTF = [](JNIEnv* env, const char* utf) { return static_cast<Env*>(env)->string(utf); };
    table.EnsureLocalCapacity = [](JNIEnv*, jint) -> jint { return JNI_OK; };
    table.FindClass = [](JNIEnv* env, const char*) { return reinterpret_cast<jclass>(env); };
    table.NewObjectArray = [](JNIEnv* env, jsize n, jclass, jobject initial) {
      return reinterpret_cast<jobjectArray>(&static_cast<Env*>(env)->arrays.emplace_back(n, initial));
    };
    table.SetObjectArrayElement = [](JNIEnv*, jobjectArray a, jsize i, jobject value) { texts(a).at(i) = value; };
    functions = &table;
  }
  jstring string(const std::string& ascii) { return reinterpret_cast<jstring>(&strings.emplace_back(ascii)); }
  static std::string text(jobject s) { return s != nullptr ? *reinterpret_cast<std::string*>(s) : ""; }
  static std::vector<jobject>& texts(jobjectArray a) { return *reinterpret_cast<std::vector<jobject>*>(a); }

  JNINativeInterface_ table{};
  std::deque<std::string> strings;
  std::deque<std::vector<jobject>> arrays;
};

#define CALL(Native, ...) JNI_NAME(Native)(&java, nullptr, __VA_ARGS__)

// One thread's cycles on a network of its own and the four shared ones;
// returns those that went wrong.
std::vector<int> work(int id) {
  Env java;
  char* encrypted = nullptr;
  Crypt::encrypt(nullptr, "secret", &encrypted);
  text::Owned owned(encrypted);
  std::vector<int> failed;
  const std::string ownName = "own" + std::to_string(id);
  jstring a = java.string("wlan0"), own = java.string(ownName), renamed = java.string(ownName + "x");
  jstring cipherText = java.string(encrypted != nullptr ? encrypted : ""), gone = java.string("gone");
  for (int cycle = 0; cycle < 200; ++cycle) {
    jstring shared = java.string("s" + std::to_string(cycle % 4)), identity = java.string(std::to_string(cycle));
    bool ok = CALL(addNetwork0, a, own) && CALL(setEAPIdentity0, a, own, identity) &&
              CALL(setPriority0, a, own, static_cast<jbyte>(cycle + 1)) && CALL(setPreSharedKey0, a, own, cipherText);
    CALL(setEncryption0, a, shared, 1 << (cycle % 5));
    ok &= CALL(setWepKey0, a, shared, id % 4, own) && Env::texts(CALL(getWepKeys0, a, shared)).size() == 4 &&
          JNI_NAME(saveHostSettings0)(&java, nullptr);
    CALL(getNetworkStatus0, a, shared);  // refreshes the list when the clock has moved on
    CALL(getDaemonStatus0, a);
    if (id == 0) orv_test::advanceClock(5000);
    if (cycle % 16 == id % 16) CALL(roamNetworks0, a);
    ok &= Env::text(CALL(getEAPIdentity0, a, own)) == std::to_string(cycle) &&
          CALL(getPriority0, a, own) == cycle + 1 && CALL(getPreSharedKey0, a, own) != nullptr;
    // Moves the current network around; removing it must forget it.
    ok &= CALL(setSsid0, a, own, renamed) && CALL(connectToNetwork0, a, renamed);
    CALL(getCurrentNetwork0, a);
    ok &= CALL(disconnectFromNetwork0, a, shared) && CALL(removeNetwork0, a, renamed) &&
          !CALL(setEAPIdentity0, a, renamed, gone) && !CALL(setEAPIdentity0, a, own, gone);
    if (!ok) failed.push_back(cycle);
  }
  return failed;
}

using NativeStress = HostFixture;

TEST_F(NativeStress, SixteenThreadsKeepTheDatabaseConsistent) {
  for (const char* operation : {"addNetwork", "removeNetwork", "setNetworkVariable", "saveConfig", "reloadConfig",
                                "selectNetwork", "disconnectNetwork", "reconnect"}) script().result(operation, true);
  load({"0\ts0\tany\t[CURRENT]", "1\ts1\tany", "2\ts2\tany", "3\ts3\tany"}, {"wpa_state=COMPLETED", "ssid=s0"});
  script().nextNetworkId(9);
  std::vector<std::future<std::vector<int>>> threads;
  for (int id = 0; id < 16; ++id) threads.push_back(std::async(std::launch::async, work, id));
  for (int id = 0; id < 16; ++id) EXPECT_EQ(std::vector<int>(), threads[id].get()) << "thread " << id;

  Env java;
  std::vector<std::string> ssids;
  for (jobject s : Env::texts(CALL(getNetworkDatabaseSsids0, java.string("wlan0")))) ssids.push_back(Env::text(s));
  EXPECT_EQ((std::vector<std::string>{"s3", "s2", "s1", "s0"}), ssids);
}

}  // namespace
