// The natives driven through a FakeJniEnv against the scripted daemon: the
// same calls the JVM makes, here also under the sanitizers.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/WifiHostSettings.h"
#include "model/Text.h"
#include "orv/OrvTestClock.h"
#include "platform/Crypt.h"
#include "tests/daemon/DaemonScript.h"
#include "tests/jni/FakeJniEnv.h"
#include "tests/jni/Natives.h"

namespace {

const char* const ADAPTER = "wlan0";

// office (id 0, current) and home (id 1, disabled) on wlan0; every operation
// succeeds.
void scriptTwoNetworks() {
  WifiHostSettings::destroyInstance();
  script()
      .reset()
      .adapters({ADAPTER})
      .networks({"0\toffice\tany\t[CURRENT]", "1\thome\tany\t[DISABLED]"})
      .scanResults({})
      .status({"wpa_state=COMPLETED", "ssid=office"})
      .nextNetworkId(5);
  for (const char* operation : {"scan", "addNetwork", "removeNetwork", "selectNetwork",
                                "disconnectNetwork", "reconnect", "setNetworkVariable",
                                "setNetworkBssid", "saveConfig", "reloadConfig", "isWifiEnabled",
                                "hashCACertificates"}) {
    script().result(operation, true);
  }
  orv_test::setClock(1000000);
}

std::string encrypted(const std::string& plainText) {
  char* cipherText = nullptr;
  EXPECT_EQ(0, Crypt::encrypt(nullptr, plainText.c_str(), &cipherText));
  text::Owned owned(cipherText);
  return cipherText != nullptr ? cipherText : "";
}

std::string decrypted(const std::optional<std::string>& cipherText) {
  if (!cipherText) return "<null>";
  char* plainText = nullptr;
  if (Crypt::decrypt(nullptr, cipherText->c_str(), &plainText) != 0) return "<undecryptable>";
  text::Owned owned(plainText);
  return plainText;
}

class NativesTest : public ::testing::Test {
 protected:
  void SetUp() override { scriptTwoNetworks(); }
  void TearDown() override {
    EXPECT_TRUE(java.errors().empty()) << java.errors().front();
    WifiHostSettings::destroyInstance();
    orv_test::useSystemClock();
    script().reset();
  }

  jstring str(const std::string& text) { return java.string(text); }
  JNIEnv* env() { return java.env(); }

  FakeJniEnv java;
};

TEST_F(NativesTest, NumberGettersReadWhatTheirSettersWrote) {
  // Distinct values per parameter, so crossed wiring reads wrong.
  const std::map<std::string, jint> values = {
      {"KeyManagement", 4}, {"Protocol", 2}, {"Authentication", 3}, {"EapMethod", 32},
      {"WepIndex", 1},      {"Strength", 37}, {"Mode", 0},          {"Priority", 7},
      {"SsidBroadcasted", 1}, {"Status", 3}};
  const std::set<std::string> alwaysChanges = {"Strength", "Status", "SsidBroadcasted"};
  for (const natives::NumberSetter& setter : natives::numberSetters()) {
    SCOPED_TRACE(setter.native);
    ASSERT_EQ(1u, values.count(setter.parameter));
    jint value = values.at(setter.parameter);
    EXPECT_EQ(JNI_TRUE, setter.set(env(), str(ADAPTER), str("office"), value));
    EXPECT_EQ(alwaysChanges.count(setter.parameter) ? JNI_TRUE : JNI_FALSE,
              setter.set(env(), str(ADAPTER), str("office"), value));
    EXPECT_EQ(JNI_FALSE, setter.set(env(), str(ADAPTER), str("nowhere"), value));
  }
  size_t paired = 0;
  for (const natives::NumberGetter& getter : natives::numberGetters()) {
    SCOPED_TRACE(getter.native);
    jint failure = getter.parameter == "Mode" ? 2 : 0;
    EXPECT_EQ(failure, getter.get(env(), str(ADAPTER), str("nowhere")));
    if (values.count(getter.parameter) == 0) continue;  // channel: no setter
    ++paired;
    EXPECT_EQ(values.at(getter.parameter), getter.get(env(), str(ADAPTER), str("office")));
  }
  EXPECT_EQ(9u, paired);

  // The 8-bit arguments.
  EXPECT_TRUE(JNI_NAME(setPriority0)(env(), nullptr, str(ADAPTER), str("office"), static_cast<jbyte>(300)));
  EXPECT_EQ(44, JNI_NAME(getPriority0)(env(), nullptr, str(ADAPTER), str("office")));
  EXPECT_TRUE(JNI_NAME(setPriority0)(env(), nullptr, str(ADAPTER), str("office"), static_cast<jbyte>(200)));
  EXPECT_EQ(200, JNI_NAME(getPriority0)(env(), nullptr, str(ADAPTER), str("office")));
  EXPECT_TRUE(JNI_NAME(setNetworkMode0)(env(), nullptr, str(ADAPTER), str("office"), static_cast<jbyte>(-1)));
  EXPECT_EQ(255, JNI_NAME(getNetworkMode0)(env(), nullptr, str(ADAPTER), str("office")));
  EXPECT_TRUE(JNI_NAME(setSsidBroadcasted0)(env(), nullptr, str(ADAPTER), str("office"), 2));
  EXPECT_EQ(JNI_FALSE, JNI_NAME(getSsidBroadcasted0)(env(), nullptr, str(ADAPTER), str("office")));

  // Ciphers: 6 is CCMP pairwise with TKIP group; WEP40 leaves the pairwise
  // cipher; NONE leaves the group.
  WifiHostSettings* settings = WifiHostSettings::getInstance(nullptr);
  auto ciphers = [&] {
    settings->lock();
    WifiNetwork* office = settings->findNetwork(ADAPTER, "office");
    std::pair<uint32_t, uint32_t> both{office->getPairwise(), office->getGroup()};
    settings->unlock();
    return both;
  };
  EXPECT_TRUE(JNI_NAME(setEncryption0)(env(), nullptr, str(ADAPTER), str("office"), 6));
  EXPECT_EQ(std::make_pair(4u, 2u), ciphers());
  EXPECT_FALSE(JNI_NAME(setEncryption0)(env(), nullptr, str(ADAPTER), str("office"), 6));
  EXPECT_TRUE(JNI_NAME(setEncryption0)(env(), nullptr, str(ADAPTER), str("office"), 16));
  EXPECT_EQ(std::make_pair(4u, 16u), ciphers());
  EXPECT_TRUE(JNI_NAME(setEncryption0)(env(), nullptr, str(ADAPTER), str("office"), 1));
  EXPECT_EQ(std::make_pair(1u, 16u), ciphers());
  EXPECT_EQ(17, JNI_NAME(getSupportedEncrytptionMethods0)(env(), nullptr, str(ADAPTER), str("office")));
  // A new pairwise cipher with an unchanged group reports false.
  EXPECT_FALSE(JNI_NAME(setEncryption0)(env(), nullptr, str(ADAPTER), str("office"), 16));
}

TEST_F(NativesTest, TextAndSecretGettersReadWhatTheirSettersWrote) {
  ASSERT_TRUE(JNI_NAME(addNetwork0)(env(), nullptr, str(ADAPTER), str("fresh")));
  std::map<WifiNetwork::TextField, const natives::TextGetter*> getters;
  for (const natives::TextGetter& getter : natives::textGetters()) getters[getter.field] = &getter;
  EXPECT_EQ(17u, getters.size());

  for (const natives::TextSetter& setter : natives::textSetters()) {
    if (setter.field == WifiNetwork::TEXT_Ssid) continue;
    SCOPED_TRACE(setter.native);
    std::string value = "\xC3\xA9t\xC3\xA9 \xF0\x9F\x93\xB6 " + setter.native;
    std::string sent = setter.secret ? encrypted(value) : value;
    EXPECT_EQ(JNI_TRUE, setter.set(env(), str(ADAPTER), str("office"), str(sent)));
    EXPECT_EQ(JNI_FALSE, setter.set(env(), str(ADAPTER), str("office"), str(setter.secret ? encrypted(value) : value)));
    EXPECT_EQ(JNI_FALSE, setter.set(env(), str(ADAPTER), str("nowhere"), str(sent)));
    EXPECT_EQ(JNI_FALSE, setter.set(env(), str(ADAPTER), str("fresh"), str(""))) << "empty on nothing";

    ASSERT_EQ(1u, getters.count(setter.field));
    const natives::TextGetter& getter = *getters.at(setter.field);
    std::optional<std::string> out = java.text(getter.get(env(), str(ADAPTER), str("office")));
    if (setter.secret) {
      EXPECT_NE(value, out.value_or(""));
      EXPECT_EQ(value, decrypted(out));
    } else {
      EXPECT_EQ(value, out);
    }
    EXPECT_EQ(std::nullopt, java.text(getter.get(env(), str(ADAPTER), str("fresh"))));
    EXPECT_EQ(std::nullopt, java.text(getter.get(env(), str(ADAPTER), str("nowhere"))));
  }

  // Cipher text that does not decrypt: false, an IllegalStateException, and
  // the stored secret stays.
  jstring garbage = str("no cipher text");
  java.clearLog();
  EXPECT_FALSE(JNI_NAME(setPreSharedKey0)(env(), nullptr, str(ADAPTER), str("office"), garbage));
  ASSERT_TRUE(java.pendingException().has_value());
  EXPECT_EQ(0u, java.pendingException()->find("java/lang/IllegalStateException"));
  java.clearException();
  EXPECT_EQ("\xC3\xA9t\xC3\xA9 \xF0\x9F\x93\xB6 setPreSharedKey0",
            decrypted(java.text(JNI_NAME(getPreSharedKey0)(env(), nullptr, str(ADAPTER), str("office")))));

  // WEP keys: four slots, only key 2 set.
  EXPECT_TRUE(JNI_NAME(setWepKey0)(env(), nullptr, str(ADAPTER), str("home"), 2, str("k2")));
  EXPECT_FALSE(JNI_NAME(setWepKey0)(env(), nullptr, str(ADAPTER), str("home"), 4, str("k4")));
  EXPECT_EQ((std::vector<std::string>{"", "", "k2", ""}),
            java.texts(JNI_NAME(getWepKeys0)(env(), nullptr, str(ADAPTER), str("home"))));
  EXPECT_EQ((std::vector<std::string>{"", "", "", ""}),
            java.texts(JNI_NAME(getWepKeys0)(env(), nullptr, str(ADAPTER), str("nowhere"))));

  // Renaming.
  EXPECT_TRUE(JNI_NAME(setSsid0)(env(), nullptr, str(ADAPTER), str("home"), str("\xE6\x97\xA5\xE6\x9C\xAC")));
  EXPECT_EQ((std::vector<std::string>{"fresh", "\xE6\x97\xA5\xE6\x9C\xAC", "office"}),
            java.texts(JNI_NAME(getNetworkDatabaseSsids0)(env(), nullptr, str(ADAPTER))));
  EXPECT_EQ((std::vector<std::string>{"", "", "k2", ""}),
            java.texts(JNI_NAME(getWepKeys0)(env(), nullptr, str(ADAPTER), str("\xE6\x97\xA5\xE6\x9C\xAC"))));
}

TEST_F(NativesTest, UseOnlyTheFourJniFunctionsOfTheFrame) {
  // Besides FindClass, NewStringUTF, NewObjectArray and SetObjectArrayElement
  // there are only the string reads of JNIString.
  const std::set<std::string> allowed = {"FindClass", "NewStringUTF", "NewObjectArray",
                                         "SetObjectArrayElement", "GetStringLength",
                                         "GetStringRegion", "ExceptionCheck"};
  EXPECT_TRUE(JNI_NAME(setPreSharedKey0)(env(), nullptr, str(ADAPTER), str("office"), str(encrypted("k"))));
  EXPECT_TRUE(JNI_NAME(setWepKey0)(env(), nullptr, str(ADAPTER), str("office"), 0, str("w")));
  script().scanResults({"line"});
  ASSERT_EQ(74u, natives::all().size());
  std::set<std::string> names;
  for (const natives::Call& call : natives::all()) {
    SCOPED_TRACE(call.name);
    names.insert(call.name);
    java.clearLog();
    // Secret setters take "" undecrypted; setSsid0 keeps the name.
    call.invoke(env(), str(ADAPTER), str("office"), str(call.name == "setSsid0" ? "office" : ""));
    for (const auto& [function, count] : java.calls()) {
      EXPECT_EQ(1u, allowed.count(function)) << function;
    }
    std::vector<std::string> expectedClasses;
    if (call.returnsArray) expectedClasses.push_back("java/lang/String");
    EXPECT_EQ(expectedClasses, java.foundClasses()) << "the class is looked up for every array";
    EXPECT_FALSE(java.pendingException().has_value());
  }
  EXPECT_EQ(74u, names.size());
}

TEST_F(NativesTest, NullStringsNeitherCrashNorLeak) {
  for (int round = 0; round < 2; ++round) {
    for (const natives::Call& call : natives::all()) {
      SCOPED_TRACE(call.name);
      auto invoke = [&](jstring adapter, jstring ssid, jstring value) {
        call.invoke(env(), adapter, ssid, value);
        java.clearException();  // undecryptable "value"
      };
      invoke(nullptr, nullptr, nullptr);
      invoke(str(ADAPTER), nullptr, nullptr);
      invoke(nullptr, str("home"), nullptr);
      invoke(nullptr, str("home"), str("value"));
    }
    scriptTwoNetworks();
  }
}

TEST_F(NativesTest, ServiceNativesPassTheDaemonsAnswersOn) {
  EXPECT_EQ((std::vector<std::string>{"wlan0"}), java.texts(JNI_NAME(getWifiAdapters0)(env(), nullptr)));
  EXPECT_EQ(8, JNI_NAME(getDaemonStatus0)(env(), nullptr, str(ADAPTER)));
  EXPECT_EQ("office", java.text(JNI_NAME(getCurrentNetwork0)(env(), nullptr, str(ADAPTER))));

  script().scanResults({"aa:bb:cc:dd:ee:ff\t2412\t200\t[ESS]\t\xF0\x9F\x93\xB6"});
  EXPECT_EQ((std::vector<std::string>{"aa:bb:cc:dd:ee:ff\t2412\t200\t[ESS]\t\xF0\x9F\x93\xB6"}),
            java.texts(JNI_NAME(discoverNetworks0)(env(), nullptr, str(ADAPTER))));
  script().failScanResults();
  EXPECT_EQ(std::nullopt, java.texts(JNI_NAME(discoverNetworks0)(env(), nullptr, str(ADAPTER))));

  script().clearCalls();
  EXPECT_TRUE(JNI_NAME(isWifiEnabled0)(env(), nullptr, nullptr));
  EXPECT_TRUE(JNI_NAME(isWifiEnabled0)(env(), nullptr, str(ADAPTER)));
  EXPECT_EQ((std::vector<std::string>{"isWifiEnabled(null)", "isWifiEnabled(wlan0)"}), script().calls());

  EXPECT_TRUE(JNI_NAME(addNetwork0)(env(), nullptr, str(ADAPTER), str("caf\xC3\xA9")));
  EXPECT_TRUE(JNI_NAME(removeNetwork0)(env(), nullptr, str(ADAPTER), str("home")));
  EXPECT_EQ((std::vector<std::string>{"caf\xC3\xA9", "office"}),
            java.texts(JNI_NAME(getNetworkDatabaseSsids0)(env(), nullptr, str(ADAPTER))));
  EXPECT_TRUE(JNI_NAME(saveHostSettings0)(env(), nullptr));
  EXPECT_EQ(1u, script().calls("saveConfig").size());

  // The status refresh asks the daemon once per 5000 ms.
  script().clearCalls();
  for (int i = 0; i < 5; ++i) JNI_NAME(getNetworkStatus0)(env(), nullptr, str(ADAPTER), str("office"));
  EXPECT_EQ(0u, script().calls("listNetworks").size());
  orv_test::advanceClock(5000);
  for (int i = 0; i < 5; ++i) JNI_NAME(getNetworkStatus0)(env(), nullptr, str(ADAPTER), str("office"));
  EXPECT_EQ(1u, script().calls("listNetworks").size());

  // A load needs the scan results again.
  script().scanResults({});
  EXPECT_TRUE(JNI_NAME(unloadWifiSettings0)(env(), nullptr));
  EXPECT_TRUE(JNI_NAME(unloadWifiSettings0)(env(), nullptr));
  EXPECT_EQ((std::vector<std::string>{"home", "office"}),
            java.texts(JNI_NAME(getNetworkDatabaseSsids0)(env(), nullptr, str(ADAPTER))))
      << "loaded afresh";
}

}  // namespace
