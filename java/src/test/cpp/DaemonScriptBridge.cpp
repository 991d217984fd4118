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
  return text.c_str() != nullptr ? text.c_str() : "";
}

std::vector<std::string> toLines(JNIEnv* env, jobjectArray array) {
  std::vector<std::string> lines;
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

// Crypt with a handler that raises IllegalStateException; null on failure.
jstring crypt(JNIEnv* env, jstring input, int (*call)(ErrorHandler*, const char*, char**)) {
  jni::JavaExceptionHandlerHolder holder(env);
  JNIString text(env, input);
  char* output = nullptr;
  int failed = call(holder.handler(), text.c_str(), &output);
  text::Owned owned(output);
  return failed == 0 ? jni::newString(env, output) : nullptr;
}

}  // namespace

// Forgets every answer and call and goes back to the system clock.
BRIDGE(void, reset)(JNIEnv*, jclass) { script().reset(); orv_test::useSystemClock(); }

#define LINES(Name) \
  BRIDGE(void, Name)(JNIEnv * env, jclass, jobjectArray lines) { script().Name(toLines(env, lines)); }
LINES(adapters) LINES(networks) LINES(scanResults) LINES(status)

BRIDGE(void, result)(JNIEnv* env, jclass, jstring name, jboolean value) { script().result(toUtf8(env, name), value); }

BRIDGE(void, nextNetworkId)(JNIEnv*, jclass, jint id) { script().nextNetworkId(static_cast<uint8_t>(id)); }

// Every recorded call, or with an operation name only that operation's.
BRIDGE(jobjectArray, calls)(JNIEnv* env, jclass, jstring operation) {
  return toJava(env, operation == nullptr ? script().calls() : script().calls(toUtf8(env, operation)));
}

BRIDGE(void, clearCalls)(JNIEnv*, jclass) { script().clearCalls(); }

BRIDGE(jstring, encrypt)(JNIEnv* env, jclass, jstring text) { return crypt(env, text, &Crypt::encrypt); }
BRIDGE(jstring, decrypt)(JNIEnv* env, jclass, jstring text) { return crypt(env, text, &Crypt::decrypt); }
BRIDGE(void, setClock)(JNIEnv*, jclass, jlong millis) { orv_test::setClock(static_cast<uint64_t>(millis)); }
BRIDGE(void, advanceClock)(JNIEnv*, jclass, jlong millis) { orv_test::advanceClock(static_cast<uint64_t>(millis)); }
