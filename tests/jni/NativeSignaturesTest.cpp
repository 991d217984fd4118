// The C declarations of the natives against the committed list of JNI
// descriptors that the Java class is also tested against: a Java
// declaration that does not match its C function fails one of the two.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "jni/BWifiPlatformService.h"

namespace {

template <typename T>
struct JavaType;
template <>
struct JavaType<jboolean> {
  static constexpr const char* code = "Z";
};
template <>
struct JavaType<jbyte> {
  static constexpr const char* code = "B";
};
template <>
struct JavaType<jint> {
  static constexpr const char* code = "I";
};
template <>
struct JavaType<jstring> {
  static constexpr const char* code = "Ljava/lang/String;";
};
template <>
struct JavaType<jobjectArray> {
  // Every array the natives make holds strings.
  static constexpr const char* code = "[Ljava/lang/String;";
};

template <typename Result, typename... Arguments>
std::string descriptorOf(Result (*)(JNIEnv*, jclass, Arguments...)) {
  std::string descriptor = "(";
  ((descriptor += JavaType<Arguments>::code), ...);
  return descriptor + ")" + JavaType<Result>::code;
}

std::map<std::string, std::string> declared() {
  std::map<std::string, std::string> natives;
#define JNI_ENTRY(Native) natives[#Native] = descriptorOf(&JNI_NAME(Native));
#define JNI_NUMBER_GETTER(Native, Result, Getter, Failure) JNI_ENTRY(Native)
#define JNI_NUMBER_SETTER(Native, Value, Setter, Convert) JNI_ENTRY(Native)
#define JNI_TEXT_GETTER(Native, Field) JNI_ENTRY(Native)
#define JNI_TEXT_SETTER(Native, Field) JNI_ENTRY(Native)
#define JNI_SECRET_GETTER(Native, Field) JNI_ENTRY(Native)
#define JNI_SECRET_SETTER(Native, Field) JNI_ENTRY(Native)
#include "jni/NetworkParameterNatives.def"
  JNI_ENTRY(getSupportedEncrytptionMethods0)
  JNI_ENTRY(setEncryption0)
  JNI_ENTRY(getWepKeys0)
  JNI_ENTRY(setWepKey0)
  JNI_ENTRY(discoverNetworks0)
  JNI_ENTRY(isWifiEnabled0)
  JNI_ENTRY(hashCACertificates0)
  JNI_ENTRY(getWifiAdapters0)
  JNI_ENTRY(getNetworkDatabaseSsids0)
  JNI_ENTRY(addNetwork0)
  JNI_ENTRY(removeNetwork0)
  JNI_ENTRY(connectToNetwork0)
  JNI_ENTRY(disconnectFromNetwork0)
  JNI_ENTRY(roamNetworks0)
  JNI_ENTRY(saveHostSettings0)
  JNI_ENTRY(getDaemonStatus0)
  JNI_ENTRY(getNetworkStatus0)
  JNI_ENTRY(getCurrentNetwork0)
  JNI_ENTRY(unloadWifiSettings0)
#undef JNI_ENTRY
  return natives;
}

TEST(NativeSignatures, MatchTheListTheJavaClassIsHeldTo) {
  std::ifstream file(NATIVE_DESCRIPTORS_FILE);
  ASSERT_TRUE(file) << NATIVE_DESCRIPTORS_FILE;
  std::map<std::string, std::string> listed;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t space = line.find(' ');
    ASSERT_NE(std::string::npos, space) << line;
    EXPECT_TRUE(listed.emplace(line.substr(0, space), line.substr(space + 1)).second) << line;
  }
  EXPECT_EQ(74u, listed.size());
  std::map<std::string, std::string> fromC = declared();
  EXPECT_EQ(listed.size(), fromC.size());
  for (const auto& [native, descriptor] : listed) {
    EXPECT_EQ(descriptor, fromC[native]) << native;
  }
}

}  // namespace
