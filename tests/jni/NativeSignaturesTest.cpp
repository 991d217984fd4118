// The C declarations of the natives against the committed list of JNI
// descriptors that the Java class is also tested against: a Java
// declaration that does not match its C function fails one of the two.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <type_traits>

#include "jni/BWifiPlatformService.h"

namespace {

// Every array the natives make holds strings.
template <typename T>
const char* const code = std::is_same_v<T, jboolean> ? "Z" : std::is_same_v<T, jbyte> ? "B"
                         : std::is_same_v<T, jint> ? "I" : std::is_same_v<T, jstring> ? "Ljava/lang/String;"
                         : std::is_same_v<T, jobjectArray> ? "[Ljava/lang/String;" : "?";

template <typename Result, typename... Arguments>
std::string descriptorOf(Result (*)(JNIEnv*, jclass, Arguments...)) {
  return "(" + (std::string() + ... + code<Arguments>) + ")" + code<Result>;
}

TEST(NativeSignatures, MatchTheListTheJavaClassIsHeldTo) {
  std::map<std::string, std::string> declared;
#define JNI_ENTRY(Native) declared[#Native] = descriptorOf(&JNI_NAME(Native));
#define JNI_NUMBER_GETTER(Native, Result, Getter, Failure) JNI_ENTRY(Native)
#define JNI_NUMBER_SETTER(Native, Value, Setter, Convert) JNI_ENTRY(Native)
#define JNI_TEXT_GETTER(Native, Field) JNI_ENTRY(Native)
#define JNI_TEXT_SETTER(Native, Field) JNI_ENTRY(Native)
#define JNI_SECRET_GETTER(Native, Field) JNI_ENTRY(Native)
#define JNI_SECRET_SETTER(Native, Field) JNI_ENTRY(Native)
#include "jni/NetworkParameterNatives.def"
  JNI_ENTRY(getSupportedEncrytptionMethods0) JNI_ENTRY(setEncryption0)
  JNI_ENTRY(getWepKeys0) JNI_ENTRY(setWepKey0)
  JNI_ENTRY(discoverNetworks0) JNI_ENTRY(isWifiEnabled0) JNI_ENTRY(hashCACertificates0)
  JNI_ENTRY(getWifiAdapters0) JNI_ENTRY(getNetworkDatabaseSsids0) JNI_ENTRY(addNetwork0)
  JNI_ENTRY(removeNetwork0) JNI_ENTRY(connectToNetwork0) JNI_ENTRY(disconnectFromNetwork0)
  JNI_ENTRY(roamNetworks0) JNI_ENTRY(saveHostSettings0) JNI_ENTRY(getDaemonStatus0)
  JNI_ENTRY(getNetworkStatus0) JNI_ENTRY(getCurrentNetwork0) JNI_ENTRY(unloadWifiSettings0)
#undef JNI_ENTRY

  std::ifstream file(NATIVE_DESCRIPTORS_FILE);
  ASSERT_TRUE(file) << NATIVE_DESCRIPTORS_FILE;
  std::map<std::string, std::string> listed;
  for (std::string native, descriptor; file >> native && std::getline(file, descriptor);) {
    EXPECT_TRUE(native[0] == '#' || listed.emplace(native, descriptor.substr(1)).second) << native;
  }
  EXPECT_EQ(74u, listed.size());
  EXPECT_EQ(listed, declared);
}

}  // namespace
