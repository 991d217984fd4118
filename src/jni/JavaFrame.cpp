#include "jni/JavaFrame.h"

#include <new>

#include "model/Text.h"
#include "platform/JniSupport.h"

namespace jni {

JavaExceptionHandlerHolder::JavaExceptionHandlerHolder(JNIEnv* env)
    : handler_(new (std::nothrow) JavaExceptionHandler(env)) {}

JavaExceptionHandlerHolder::~JavaExceptionHandlerHolder() {
  // ErrorHandler is the virtual base; its destructor is virtual.
  delete static_cast<ErrorHandler*>(handler_);
}

ErrorHandler* JavaExceptionHandlerHolder::handler() const { return handler_; }

jstring newString(JNIEnv* env, const char* text) {
  if (text == nullptr) return nullptr;
  JavaUtf8 converted(text);
  return converted.c_str() != nullptr ? env->NewStringUTF(converted.c_str()) : nullptr;
}

jobjectArray newStringArray(JNIEnv* env, jsize length) {
  jclass stringClass = env->FindClass("java/lang/String");
  if (stringClass == nullptr) return nullptr;
  jstring empty = env->NewStringUTF("");
  if (empty == nullptr) return nullptr;
  return env->NewObjectArray(length, stringClass, empty);
}

bool setStringElement(JNIEnv* env, jobjectArray array, jsize index, const char* text) {
  if (array == nullptr) return false;
  if (text == nullptr) return true;
  jstring element = newString(env, text);
  // A string the virtual machine could not make leaves its exception
  // pending; no JNI call may follow it.
  if (element == nullptr) return false;
  env->SetObjectArrayElement(array, index, element);
  return true;
}

jobjectArray toJavaArray(JNIEnv* env, const LineArray& lines) {
  jsize length = lines.size();
  // Every element stays a local reference until the native returns: room
  // for them beside the array's own three (its class, its filler, itself).
  if (env->EnsureLocalCapacity(length + 3) != 0) return nullptr;
  jobjectArray array = newStringArray(env, length);
  if (array == nullptr) return nullptr;
  for (jsize i = 0; i < length; ++i) {
    if (!setStringElement(env, array, i, lines.line(static_cast<uint8_t>(i)))) break;
  }
  return array;
}

}  // namespace jni
