// Natives of com.quorvel.platwifi.testing.DaemonScriptBridge: lets the Java
// tests script the test backend, read its call log, drive the runtime clock
// and use Crypt. Linked only into the test build of the library.
#include <jni.h>

#include <string>
#include <vector>

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
  return text.c_str() != nullptr ? std::string(text.c_str()) : std::string();
}

std::vector<std::string> toLines(JNIEnv* env, jobjectArray array) {
  std::vector<std::string> lines;
  if (array == nullptr) return lines;
  jsize length = env->GetArrayLength(array);
  for (jsize i = 0; i < length; ++i) {
    auto element = static_cast<jstring>(env->GetObjectArrayElement(array, i));
    lines.push_back(toUtf8(env, element));
    env->DeleteLocalRef(element);
  }
  return lines;
}

jobjectArray toJava(JNIEnv* env, const std::vector<std::string>& lines) {
  jobjectArray array = jni::newStringArray(env, static_cast<jsize>(lines.size()));
  for (size_t i = 0; array != nullptr && i < lines.size(); ++i) {
    if (!jni::setStringElement(env, array, static_cast<jsize>(i), lines[i].c_str())) return nullptr;
  }
  return array;
}

using CryptCall = int (*)(ErrorHandler*, const char*, char**);

// Crypt with a handler that raises IllegalStateException; null on failure.
jstring crypt(JNIEnv* env, jstring input, CryptCall call) {
  jni::JavaExceptionHandlerHolder holder(env);
  JNIString text(env, input);
  char* output = nullptr;
  int failed = call(holder.handler(), text.c_str(), &output);
  text::Owned owned(output);
  return failed == 0 ? jni::newString(env, output) : nullptr;
}

}  // namespace

// Forgets every answer and call and goes back to the system clock.
BRIDGE(void, reset)(JNIEnv*, jclass) {
  script().reset();
  orv_test::useSystemClock();
}

BRIDGE(void, adapters)(JNIEnv* env, jclass, jobjectArray names) {
  script().adapters(toLines(env, names));
}

BRIDGE(void, networks)(JNIEnv* env, jclass, jobjectArray lines) {
  script().networks(toLines(env, lines));
}

BRIDGE(void, scanResults)(JNIEnv* env, jclass, jobjectArray lines) {
  script().scanResults(toLines(env, lines));
}

BRIDGE(void, status)(JNIEnv* env, jclass, jobjectArray lines) {
  script().status(toLines(env, lines));
}

BRIDGE(void, variable)(JNIEnv* env, jclass, jint networkId, jstring name, jstring value) {
  script().variable(static_cast<uint8_t>(networkId), toUtf8(env, name), toUtf8(env, value));
}

BRIDGE(void, result)(JNIEnv* env, jclass, jstring operation, jboolean value) {
  script().result(toUtf8(env, operation), value == JNI_TRUE);
}

BRIDGE(void, nextNetworkId)(JNIEnv*, jclass, jint networkId) {
  script().nextNetworkId(static_cast<uint8_t>(networkId));
}

// Every recorded call, or with an operation name only that operation's.
BRIDGE(jobjectArray, calls)(JNIEnv* env, jclass, jstring operation) {
  if (operation == nullptr) return toJava(env, script().calls());
  return toJava(env, script().calls(toUtf8(env, operation)));
}

BRIDGE(void, clearCalls)(JNIEnv*, jclass) { script().clearCalls(); }

BRIDGE(jstring, encrypt)(JNIEnv* env, jclass, jstring plainText) {
  return crypt(env, plainText, &Crypt::encrypt);
}

BRIDGE(jstring, decrypt)(JNIEnv* env, jclass, jstring cipherText) {
  return crypt(env, cipherText, &Crypt::decrypt);
}

BRIDGE(void, setClock)(JNIEnv*, jclass, jlong millis) {
  orv_test::setClock(static_cast<uint64_t>(millis));
}

BRIDGE(void, advanceClock)(JNIEnv*, jclass, jlong millis) {
  orv_test::advanceClock(static_cast<uint64_t>(millis));
}
