// Natives of com.quorvel.platwifi.testing.DaemonScriptBridge: lets the Java
// tests script the test backend, read its call log, fix the runtime clock,
// use Crypt and register the natives of BWifiPlatformService by their C
// types. Linked only into the test build of the library.
#include <jni.h>

#include <string>
#include <type_traits>
#include <vector>

#include "jni/BWifiPlatformService.h"
#include "jni/JavaFrame.h"
#include "model/Text.h"
#include "orv/OrvTestClock.h"
#include "platform/Crypt.h"
#include "platform/JniSupport.h"
#include "tests/daemon/DaemonScript.h"

#define BRIDGE(Result, Name) \
  extern "C" JNIEXPORT Result JNICALL Java_com_quorvel_platwifi_testing_DaemonScriptBridge_##Name

namespace {

std::string toUtf8(JNIEnv* env, jstring value) {
  JNIString text(env, value);
  return text.c_str() != nullptr ? text.c_str() : "";
}

std::vector<std::string> toLines(JNIEnv* env, jobjectArray array) {
  std::vector<std::string> lines;
  for (jsize i = 0; i < env->GetArrayLength(array); ++i) {
    auto element = static_cast<jstring>(env->GetObjectArrayElement(array, i));
    lines.push_back(toUtf8(env, element));
    env->DeleteLocalRef(element);
  }
  return lines;
}

// Crypt with a handler that raises IllegalStateException; null on failure.
jstring crypt(JNIEnv* env, jstring input, int (*call)(ErrorHandler*, const char*, char**)) {
  jni::JavaExceptionHandlerHolder holder(env);
  JNIString text(env, input);
  char* output = nullptr;
  int failed = call(holder.handler(), text.c_str(), &output);
  text::Owned owned(output);
  return failed == 0 ? jni::newString(env, output) : nullptr;
}

// The JNI descriptor of a native's C type: the natives take and give booleans,
// bytes, ints, strings and arrays of strings.
template <typename T>
const char* const code = std::is_same_v<T, jboolean> ? "Z" : std::is_same_v<T, jbyte> ? "B" : std::is_same_v<T, jint> ? "I"
                         : std::is_same_v<T, jstring> ? "Ljava/lang/String;" : "[Ljava/lang/String;";

template <typename Result, typename... Arguments>
JNINativeMethod native(const char* name, Result (*function)(JNIEnv*, jclass, Arguments...)) {
  static const std::string descriptor = "(" + (std::string() + ... + code<Arguments>) + ")" + code<Result>;
  return {const_cast<char*>(name), const_cast<char*>(descriptor.c_str()), reinterpret_cast<void*>(function)};
}

}  // namespace

// Forgets every answer and call and goes back to the system clock.
BRIDGE(void, reset)(JNIEnv*, jclass) { script().reset(); orv_test::useSystemClock(); }

#define LINES(Name) \
  BRIDGE(void, Name)(JNIEnv * env, jclass, jobjectArray lines) { script().Name(toLines(env, lines)); }
LINES(adapters) LINES(networks) LINES(scanResults) LINES(status)

BRIDGE(void, result)(JNIEnv* env, jclass, jstring name, jboolean value) { script().result(toUtf8(env, name), value); }

// Every recorded call, a line each.
BRIDGE(jstring, calls)(JNIEnv* env, jclass) {
  std::string log;
  for (const std::string& call : script().calls()) log += call + "\n";
  return jni::newString(env, log.c_str());
}

BRIDGE(jstring, encrypt)(JNIEnv* env, jclass, jstring text) { return crypt(env, text, &Crypt::encrypt); }
BRIDGE(jstring, decrypt)(JNIEnv* env, jclass, jstring text) { return crypt(env, text, &Crypt::decrypt); }
BRIDGE(void, setClock)(JNIEnv*, jclass, jlong millis) { orv_test::setClock(static_cast<uint64_t>(millis)); }

// RegisterNatives finds a method by name and descriptor, so it refuses (with
// NoSuchMethodError) a C function whose types the Java declaration does not match.
BRIDGE(jint, registerNatives)(JNIEnv* env, jclass, jclass service) {
  std::vector<JNINativeMethod> natives;
#define JNI_ENTRY(Native) natives.push_back(native(#Native, &JNI_NAME(Native)));
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
  jint count = static_cast<jint>(natives.size());
  return env->RegisterNatives(service, natives.data(), count) == 0 ? count : 0;
}
