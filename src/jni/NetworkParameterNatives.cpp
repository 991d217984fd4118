// The natives that read or change one parameter of one network. Each shape
// (number, text, secret) is written once below; the natives themselves are
// listed in NetworkParameterNatives.def, one line each.
#include <cstdint>

#include "jni/BWifiPlatformService.h"
#include "jni/JavaFrame.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"
#include "platform/Crypt.h"
#include "platform/JniSupport.h"

namespace {

using jni::FALSE_RESULT;
using jni::NetworkFrame;

// Conversions of a setter's Java argument.
jint asIs(jint value) { return value; }
// The unsigned 8 bits of a Java byte: (byte) 300 arrives as 44, (byte) 200
// as 200.
uint8_t lowByte(jbyte value) { return static_cast<uint8_t>(value); }
// True only for exactly 1.
bool isOne(jbyte value) { return static_cast<uint8_t>(value) == 1; }

// The parameter type of a record setter.
template <typename Setter>
struct SetterValue;
template <typename T>
struct SetterValue<bool (WifiNetwork::*)(T)> {
  using type = T;
};

template <typename Result, auto Getter>
Result getNumber(JNIEnv* env, jstring adapter, jstring ssid, Result failure) {
  return jni::guarded(failure, [&] {
    NetworkFrame frame(env, adapter, ssid);
    return frame.onNetwork(failure, [](WifiNetwork& network) {
      return static_cast<Result>((network.*Getter)());
    });
  });
}

template <auto Setter, typename Value>
jboolean setNumber(JNIEnv* env, jstring adapter, jstring ssid, Value value) {
  using Stored = typename SetterValue<decltype(Setter)>::type;
  return jni::guarded(FALSE_RESULT, [&] {
    NetworkFrame frame(env, adapter, ssid);
    return frame.onNetwork(FALSE_RESULT, [&](WifiNetwork& network) {
      return jni::toJava((network.*Setter)(static_cast<Stored>(value)));
    });
  });
}

jstring getText(JNIEnv* env, jstring adapter, jstring ssid, WifiNetwork::TextField field) {
  return jni::guarded<jstring>(nullptr, [&] {
    NetworkFrame frame(env, adapter, ssid);
    return frame.onNetwork<jstring>(nullptr, [&](WifiNetwork& network) {
      return jni::newString(env, network.getText(field));
    });
  });
}

jboolean setText(JNIEnv* env, jstring adapter, jstring ssid, jstring value,
                 WifiNetwork::TextField field) {
  return jni::guarded(FALSE_RESULT, [&] {
    NetworkFrame frame(env, adapter, ssid);
    JNIString text(env, value);
    return frame.onNetwork(FALSE_RESULT, [&](WifiNetwork& network) {
      return jni::toJava(network.setText(field, text.c_str()));
    });
  });
}

// The stored plain text leaves only encrypted; the cipher text is released
// after the lock.
jstring getSecret(JNIEnv* env, jstring adapter, jstring ssid, WifiNetwork::TextField field) {
  return jni::guarded<jstring>(nullptr, [&] {
    NetworkFrame frame(env, adapter, ssid);
    text::Owned cipherText;
    return frame.onNetwork<jstring>(nullptr, [&](WifiNetwork& network) -> jstring {
      const char* plainText = network.getText(field);
      if (plainText == nullptr) return nullptr;
      char* encrypted = nullptr;
      int failed = Crypt::encrypt(frame.handler(), plainText, &encrypted);
      cipherText.reset(encrypted);
      if (failed != 0 || encrypted == nullptr) return nullptr;
      return jni::newString(env, encrypted);
    });
  });
}

// The value arrives encrypted and is stored decrypted. An empty value has
// nothing to decrypt and goes to the record as it is; a null one, like cipher
// text that does not decrypt, fails in Crypt and leaves the record alone.
jboolean setSecret(JNIEnv* env, jstring adapter, jstring ssid, jstring value,
                   WifiNetwork::TextField field) {
  return jni::guarded(FALSE_RESULT, [&] {
    NetworkFrame frame(env, adapter, ssid);
    JNIString cipherText(env, value);
    return frame.onNetwork(FALSE_RESULT, [&](WifiNetwork& network) -> jboolean {
      if (cipherText.c_str() != nullptr && *cipherText.c_str() == '\0') {
        return jni::toJava(network.setText(field, cipherText.c_str()));
      }
      char* decrypted = nullptr;
      int failed = Crypt::decrypt(frame.handler(), cipherText.c_str(), &decrypted);
      text::Owned plainText(decrypted);  // wiped and released under the lock
      if (failed != 0 || decrypted == nullptr) return JNI_FALSE;
      return jni::toJava(network.setText(field, decrypted));
    });
  });
}

}  // namespace

#define JNI_NUMBER_GETTER(Native, Result, Getter, Failure)                                   \
  WIRELESS_NATIVE Result JNICALL JNI_NAME(Native)(JNIEnv * env, jclass, jstring adapter,    \
                                                  jstring ssid) {                           \
    return getNumber<Result, &WifiNetwork::Getter>(env, adapter, ssid,                     \
                                                   static_cast<Result>(Failure));           \
  }
#define JNI_NUMBER_SETTER(Native, Value, Setter, Convert)                                    \
  WIRELESS_NATIVE jboolean JNICALL JNI_NAME(Native)(JNIEnv * env, jclass, jstring adapter,  \
                                                    jstring ssid, Value value) {            \
    return setNumber<&WifiNetwork::Setter>(env, adapter, ssid, Convert(value));            \
  }
#define JNI_TEXT_GETTER(Native, Field)                                                       \
  WIRELESS_NATIVE jstring JNICALL JNI_NAME(Native)(JNIEnv * env, jclass, jstring adapter,   \
                                                   jstring ssid) {                          \
    return getText(env, adapter, ssid, WifiNetwork::TEXT_##Field);                          \
  }
#define JNI_TEXT_SETTER(Native, Field)                                                       \
  WIRELESS_NATIVE jboolean JNICALL JNI_NAME(Native)(JNIEnv * env, jclass, jstring adapter,  \
                                                    jstring ssid, jstring value) {          \
    return setText(env, adapter, ssid, value, WifiNetwork::TEXT_##Field);                   \
  }
#define JNI_SECRET_GETTER(Native, Field)                                                     \
  WIRELESS_NATIVE jstring JNICALL JNI_NAME(Native)(JNIEnv * env, jclass, jstring adapter,   \
                                                   jstring ssid) {                          \
    return getSecret(env, adapter, ssid, WifiNetwork::TEXT_##Field);                        \
  }
#define JNI_SECRET_SETTER(Native, Field)                                                     \
  WIRELESS_NATIVE jboolean JNICALL JNI_NAME(Native)(JNIEnv * env, jclass, jstring adapter,  \
                                                    jstring ssid, jstring value) {          \
    return setSecret(env, adapter, ssid, value, WifiNetwork::TEXT_##Field);                 \
  }
#include "jni/NetworkParameterNatives.def"

// The OR of the pairwise and group ciphers.
WIRELESS_NATIVE jint JNICALL JNI_NAME(getSupportedEncrytptionMethods0)(JNIEnv* env, jclass,
                                                                       jstring adapter,
                                                                       jstring ssid) {
  return jni::guarded<jint>(0, [&] {
    NetworkFrame frame(env, adapter, ssid);
    return frame.onNetwork<jint>(0, [](WifiNetwork& network) {
      return static_cast<jint>(network.getPairwise() | network.getGroup());
    });
  });
}

// 6 sets CCMP pairwise and TKIP group; any other value sets both ciphers,
// except that a WEP value leaves the pairwise cipher alone and NONE leaves
// the group cipher alone. The result is the last setter's.
WIRELESS_NATIVE jboolean JNICALL JNI_NAME(setEncryption0)(JNIEnv* env, jclass, jstring adapter,
                                                          jstring ssid, jint ciphers) {
  return jni::guarded(FALSE_RESULT, [&] {
    NetworkFrame frame(env, adapter, ssid);
    return frame.onNetwork(FALSE_RESULT, [&](WifiNetwork& network) {
      bool both = ciphers == static_cast<jint>(CIPHER_CCMP | CIPHER_TKIP);
      uint32_t pairwise = both ? CIPHER_CCMP : static_cast<uint32_t>(ciphers);
      uint32_t group = both ? CIPHER_TKIP : static_cast<uint32_t>(ciphers);
      bool result = pairwise == CIPHER_WEP40 || pairwise == CIPHER_WEP104 ||
                    network.setPairwise(pairwise);
      if (result && group != CIPHER_NONE) result = network.setGroup(group);
      return jni::toJava(result);
    });
  });
}

// Always four slots, "" for every key that is not set; the array is made
// before the instance is asked for.
WIRELESS_NATIVE jobjectArray JNICALL JNI_NAME(getWepKeys0)(JNIEnv* env, jclass, jstring adapter,
                                                           jstring ssid) {
  return jni::guarded<jobjectArray>(nullptr, [&]() -> jobjectArray {
    NetworkFrame frame(env, adapter, ssid);
    jobjectArray keys = jni::newStringArray(env, WEP_KEY_COUNT);
    if (keys == nullptr) return nullptr;
    frame.onNetwork(false, [&](WifiNetwork& network) {
      for (uint32_t index = 0; index < WEP_KEY_COUNT; ++index) {
        if (!jni::setStringElement(env, keys, static_cast<jsize>(index), network.getWepKey(index))) {
          return false;
        }
      }
      return true;
    });
    return keys;
  });
}

WIRELESS_NATIVE jboolean JNICALL JNI_NAME(setWepKey0)(JNIEnv* env, jclass, jstring adapter,
                                                      jstring ssid, jint index, jstring key) {
  return jni::guarded(FALSE_RESULT, [&] {
    NetworkFrame frame(env, adapter, ssid);
    JNIString keyText(env, key);
    return frame.onNetwork(FALSE_RESULT, [&](WifiNetwork& network) {
      return jni::toJava(network.setWepKey(static_cast<uint32_t>(index), keyText.c_str()));
    });
  });
}
