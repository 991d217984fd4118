#include "tests/jni/Natives.h"

namespace natives {

namespace {

constexpr jint NUMBER_ARGUMENT = 1;

std::vector<Call> makeAll() {
  std::vector<Call> calls;
  auto add = [&](const char* name, bool returnsArray,
                 std::function<void(JNIEnv*, jstring, jstring, jstring)> invoke) {
    calls.push_back({name, returnsArray, std::move(invoke)});
  };
#define JNI_NUMBER_GETTER(Native, Result, Getter, Failure) \
  add(#Native, false, [](JNIEnv* e, jstring a, jstring s, jstring) { JNI_NAME(Native)(e, nullptr, a, s); });
#define JNI_NUMBER_SETTER(Native, Value, Setter, Convert)                  \
  add(#Native, false, [](JNIEnv* e, jstring a, jstring s, jstring) {       \
    JNI_NAME(Native)(e, nullptr, a, s, static_cast<Value>(NUMBER_ARGUMENT)); \
  });
#define JNI_TEXT_GETTER(Native, Field) \
  add(#Native, false, [](JNIEnv* e, jstring a, jstring s, jstring) { JNI_NAME(Native)(e, nullptr, a, s); });
#define JNI_TEXT_SETTER(Native, Field) \
  add(#Native, false, [](JNIEnv* e, jstring a, jstring s, jstring v) { JNI_NAME(Native)(e, nullptr, a, s, v); });
#define JNI_SECRET_GETTER(Native, Field) JNI_TEXT_GETTER(Native, Field)
#define JNI_SECRET_SETTER(Native, Field) JNI_TEXT_SETTER(Native, Field)
#include "jni/NetworkParameterNatives.def"

  add("getSupportedEncrytptionMethods0", false, [](JNIEnv* e, jstring a, jstring s, jstring) {
    JNI_NAME(getSupportedEncrytptionMethods0)(e, nullptr, a, s);
  });
  add("setEncryption0", false, [](JNIEnv* e, jstring a, jstring s, jstring) {
    JNI_NAME(setEncryption0)(e, nullptr, a, s, 6);
  });
  add("getWepKeys0", true, [](JNIEnv* e, jstring a, jstring s, jstring) {
    JNI_NAME(getWepKeys0)(e, nullptr, a, s);
  });
  add("setWepKey0", false, [](JNIEnv* e, jstring a, jstring s, jstring v) {
    JNI_NAME(setWepKey0)(e, nullptr, a, s, 1, v);
  });
  add("discoverNetworks0", true, [](JNIEnv* e, jstring a, jstring, jstring) {
    JNI_NAME(discoverNetworks0)(e, nullptr, a);
  });
  add("isWifiEnabled0", false, [](JNIEnv* e, jstring a, jstring, jstring) {
    JNI_NAME(isWifiEnabled0)(e, nullptr, a);
  });
  add("hashCACertificates0", false, [](JNIEnv* e, jstring, jstring, jstring) {
    JNI_NAME(hashCACertificates0)(e, nullptr);
  });
  add("getWifiAdapters0", true, [](JNIEnv* e, jstring, jstring, jstring) {
    JNI_NAME(getWifiAdapters0)(e, nullptr);
  });
  add("getNetworkDatabaseSsids0", true, [](JNIEnv* e, jstring a, jstring, jstring) {
    JNI_NAME(getNetworkDatabaseSsids0)(e, nullptr, a);
  });
  add("addNetwork0", false, [](JNIEnv* e, jstring a, jstring s, jstring) {
    JNI_NAME(addNetwork0)(e, nullptr, a, s);
  });
  add("removeNetwork0", false, [](JNIEnv* e, jstring a, jstring s, jstring) {
    JNI_NAME(removeNetwork0)(e, nullptr, a, s);
  });
  add("connectToNetwork0", false, [](JNIEnv* e, jstring a, jstring s, jstring) {
    JNI_NAME(connectToNetwork0)(e, nullptr, a, s);
  });
  add("disconnectFromNetwork0", false, [](JNIEnv* e, jstring a, jstring s, jstring) {
    JNI_NAME(disconnectFromNetwork0)(e, nullptr, a, s);
  });
  add("roamNetworks0", false, [](JNIEnv* e, jstring a, jstring, jstring) {
    JNI_NAME(roamNetworks0)(e, nullptr, a);
  });
  add("saveHostSettings0", false, [](JNIEnv* e, jstring, jstring, jstring) {
    JNI_NAME(saveHostSettings0)(e, nullptr);
  });
  add("getDaemonStatus0", false, [](JNIEnv* e, jstring a, jstring, jstring) {
    JNI_NAME(getDaemonStatus0)(e, nullptr, a);
  });
  add("getNetworkStatus0", false, [](JNIEnv* e, jstring a, jstring s, jstring) {
    JNI_NAME(getNetworkStatus0)(e, nullptr, a, s);
  });
  add("getCurrentNetwork0", false, [](JNIEnv* e, jstring a, jstring, jstring) {
    JNI_NAME(getCurrentNetwork0)(e, nullptr, a);
  });
  add("unloadWifiSettings0", false, [](JNIEnv* e, jstring, jstring, jstring) {
    JNI_NAME(unloadWifiSettings0)(e, nullptr);
  });
  return calls;
}

// "getKeyManagement" -> "KeyManagement"
std::string parameterOf(const char* accessor) { return std::string(accessor).substr(3); }

}  // namespace

const std::vector<Call>& all() {
  static const std::vector<Call> calls = makeAll();
  return calls;
}

const std::vector<NumberGetter>& numberGetters() {
  static const std::vector<NumberGetter> getters = [] {
    std::vector<NumberGetter> list;
#define JNI_NUMBER_GETTER(Native, Result, Getter, Failure)                                   \
  list.push_back({#Native, parameterOf(#Getter), [](JNIEnv* e, jstring a, jstring s) {      \
                    return static_cast<jint>(JNI_NAME(Native)(e, nullptr, a, s));          \
                  }});
#include "jni/NetworkParameterNatives.def"
    return list;
  }();
  return getters;
}

const std::vector<NumberSetter>& numberSetters() {
  static const std::vector<NumberSetter> setters = [] {
    std::vector<NumberSetter> list;
#define JNI_NUMBER_SETTER(Native, Value, Setter, Convert)                                    \
  list.push_back({#Native, parameterOf(#Setter), [](JNIEnv* e, jstring a, jstring s, jint v) { \
                    return JNI_NAME(Native)(e, nullptr, a, s, static_cast<Value>(v));       \
                  }});
#include "jni/NetworkParameterNatives.def"
    return list;
  }();
  return setters;
}

const std::vector<TextGetter>& textGetters() {
  static const std::vector<TextGetter> getters = [] {
    std::vector<TextGetter> list;
#define JNI_TEXT_GETTER(Native, Field)                                                        \
  list.push_back({#Native, WifiNetwork::TEXT_##Field, false,                                  \
                  [](JNIEnv* e, jstring a, jstring s) { return JNI_NAME(Native)(e, nullptr, a, s); }});
#define JNI_SECRET_GETTER(Native, Field)                                                      \
  list.push_back({#Native, WifiNetwork::TEXT_##Field, true,                                   \
                  [](JNIEnv* e, jstring a, jstring s) { return JNI_NAME(Native)(e, nullptr, a, s); }});
#include "jni/NetworkParameterNatives.def"
    return list;
  }();
  return getters;
}

const std::vector<TextSetter>& textSetters() {
  static const std::vector<TextSetter> setters = [] {
    std::vector<TextSetter> list;
#define JNI_TEXT_SETTER(Native, Field)                                      \
  list.push_back({#Native, WifiNetwork::TEXT_##Field, false,                \
                  [](JNIEnv* e, jstring a, jstring s, jstring v) {          \
                    return JNI_NAME(Native)(e, nullptr, a, s, v);           \
                  }});
#define JNI_SECRET_SETTER(Native, Field)                                    \
  list.push_back({#Native, WifiNetwork::TEXT_##Field, true,                 \
                  [](JNIEnv* e, jstring a, jstring s, jstring v) {          \
                    return JNI_NAME(Native)(e, nullptr, a, s, v);           \
                  }});
#include "jni/NetworkParameterNatives.def"
    return list;
  }();
  return setters;
}

}  // namespace natives
