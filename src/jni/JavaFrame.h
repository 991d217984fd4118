#pragma once

// The frame every native of BWifiPlatformService is built on: a per-call
// error handler, the Java string conversions, the temporary C-string arrays
// of the copy-out natives, and the host settings lock around record access.
//
// The natives use four JNI functions and no others: FindClass, NewStringUTF,
// NewObjectArray and SetObjectArrayElement. They make local references only
// and leave them to the virtual machine.

#include <jni.h>

#include <cstdint>
#include <utility>

#include "core/ScopedLock.h"
#include "core/WifiHostSettings.h"
#include "daemon/DaemonText.h"
#include "model/WifiNetwork.h"
#include "platform/JniSupport.h"

// Every exported native is declared with this: C linkage, default
// visibility (the rest of the library is hidden).
#define WIRELESS_NATIVE extern "C" JNIEXPORT

namespace jni {

// Owns the JavaExceptionHandler of one native call: made first, destroyed
// last. handler() is null when none could be allocated; getInstance then
// falls back to its own handler.
class JavaExceptionHandlerHolder {
 public:
  explicit JavaExceptionHandlerHolder(JNIEnv* env);
  ~JavaExceptionHandlerHolder();
  JavaExceptionHandlerHolder(const JavaExceptionHandlerHolder&) = delete;
  JavaExceptionHandlerHolder& operator=(const JavaExceptionHandlerHolder&) = delete;

  ErrorHandler* handler() const;

 private:
  JavaExceptionHandler* handler_;
};

// The Java string of a text (see JavaUtf8), or null for a null text.
jstring newString(JNIEnv* env, const char* text);

// A String array of length slots, each holding "" (FindClass of
// "java/lang/String" on every call). Null when the virtual machine could
// not make it; its exception is then pending.
jobjectArray newStringArray(JNIEnv* env, jsize length);
// Stores the Java string of text at index; a null text leaves the slot "".
// False when the string could not be made (its exception is pending, and
// the caller makes no further JNI call).
bool setStringElement(JNIEnv* env, jobjectArray array, jsize index, const char* text);

// The String array of a filled line array's first count entries (never
// more than its capacity); null entries stay "".
jobjectArray toJavaArray(JNIEnv* env, const LineArray& lines);

// Runs body and turns a C++ exception into the native's failure result: no
// exception may cross into the virtual machine.
template <typename Result, typename Body>
Result guarded(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// The failure result of the jboolean natives, typed (JNI_FALSE is an int).
constexpr jboolean FALSE_RESULT = JNI_FALSE;

inline jboolean toJava(bool value) { return value ? JNI_TRUE : JNI_FALSE; }

// The instance (created and loaded on first use), then body(settings) under
// the host settings lock; failure without an instance.
template <typename Result, typename Body>
Result underLock(ErrorHandler* handler, Result failure, Body&& body) {
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  if (settings == nullptr) return failure;
  ScopedLock<WifiHostSettings> held(*settings);
  return body(*settings);
}

// underLock, then the record with this SSID: body(network) while the lock
// is held, or failure when the SSID is not in the database.
template <typename Result, typename Body>
Result onNetwork(ErrorHandler* handler, const char* adapter, const char* ssid, Result failure,
                 Body&& body) {
  return underLock(handler, failure, [&](WifiHostSettings& settings) -> Result {
    WifiNetwork* network = settings.findNetwork(adapter, ssid);
    return network != nullptr ? body(*network) : failure;
  });
}

// The start of every per-network native: the handler holder, then the
// adapter and SSID conversions, in that order (and destroyed in reverse).
// A native with a text value converts it after constructing the frame.
class NetworkFrame {
 public:
  NetworkFrame(JNIEnv* env, jstring adapter, jstring ssid)
      : holder_(env), adapter_(env, adapter), ssid_(env, ssid) {}

  ErrorHandler* handler() const { return holder_.handler(); }

  // jni::onNetwork with this call's handler, adapter and SSID.
  template <typename Result, typename Body>
  Result onNetwork(Result failure, Body&& body) {
    return jni::onNetwork(holder_.handler(), adapter_.c_str(), ssid_.c_str(), failure,
                          std::forward<Body>(body));
  }

 private:
  JavaExceptionHandlerHolder holder_;
  JNIString adapter_;
  JNIString ssid_;
};

}  // namespace jni
