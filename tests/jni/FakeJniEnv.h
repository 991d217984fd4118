#pragma once

// A JNIEnv without a virtual machine, for driving the natives from C++
// tests (and under the sanitizers, which a JVM does not tolerate). It knows
// the JNI functions the natives and the platform helpers use; any other
// function aborts the process naming its table slot.
//
// It is as strict as the JVM's checked mode where that matters here:
// NewStringUTF takes only modified UTF-8 (a 4-byte sequence is an error),
// and a JNI call made while an exception is pending is an error. Errors are
// collected in errors(). Objects live until the FakeJniEnv goes, like local
// references until a native returns. One FakeJniEnv per thread.

#include <jni.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class FakeJniEnv {
 public:
  FakeJniEnv();
  ~FakeJniEnv();
  FakeJniEnv(const FakeJniEnv&) = delete;
  FakeJniEnv& operator=(const FakeJniEnv&) = delete;

  JNIEnv* env() { return &slot_.env; }

  // A Java string holding text (standard UTF-8).
  jstring string(const std::string& text);
  // The text of a Java string as standard UTF-8; nullopt for null.
  std::optional<std::string> text(jobject string) const;
  // The elements of a String array; nullopt for a null array.
  std::optional<std::vector<std::string>> texts(jobjectArray array) const;

  // JNI functions called since the last clearLog, by name, with counts.
  const std::map<std::string, int>& calls() const { return calls_; }
  // Class names passed to FindClass since the last clearLog, in order.
  const std::vector<std::string>& foundClasses() const { return foundClasses_; }
  // Misuse seen since construction.
  const std::vector<std::string>& errors() const { return errors_; }
  void clearLog();

  // "class: message" of the pending exception, if any; clearing it is what
  // the JVM does when the native returns to Java.
  const std::optional<std::string>& pendingException() const { return pending_; }
  void clearException() { pending_.reset(); }

 private:
  struct Object;
  struct StringObject;
  struct ClassObject;
  struct ArrayObject;

  static FakeJniEnv& of(JNIEnv* env);
  void enter(const char* function, bool allowedWhilePending = false);
  template <typename T, typename... Args>
  T* make(Args&&... args);

  static jclass JNICALL findClass(JNIEnv* env, const char* name);
  static jint JNICALL throwNew(JNIEnv* env, jclass type, const char* message);
  static jboolean JNICALL exceptionCheck(JNIEnv* env);
  static void JNICALL deleteLocalRef(JNIEnv* env, jobject object);
  static jstring JNICALL newStringUTF(JNIEnv* env, const char* bytes);
  static jsize JNICALL getStringLength(JNIEnv* env, jstring string);
  static void JNICALL getStringRegion(JNIEnv* env, jstring string, jsize start, jsize length,
                                      jchar* buffer);
  static jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize length, jclass type,
                                             jobject initial);
  static void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index,
                                            jobject value);

  // The JNIEnv handed out, with the way back to its FakeJniEnv.
  struct EnvSlot {
    JNIEnv env;
    FakeJniEnv* owner;
  };

  EnvSlot slot_;
  JNINativeInterface_ table_;
  std::vector<std::unique_ptr<Object>> objects_;
  std::map<std::string, int> calls_;
  std::vector<std::string> foundClasses_;
  std::vector<std::string> errors_;
  std::optional<std::string> pending_;
};
