// The natives that act on the daemon, on the database as a whole or on the
// host settings instance.
#include <cstdint>

#include "daemon/WifiDaemon.h"
#include "jni/BWifiPlatformService.h"
#include "jni/JavaFrame.h"
#include "model/WifiNetwork.h"
#include "platform/JniSupport.h"

using jni::FALSE_RESULT;
using jni::JavaExceptionHandlerHolder;

namespace {

constexpr uint8_t ADAPTER_CAPACITY = 2;
constexpr uint8_t LINE_CAPACITY = 32;

// The instance, then operation(settings) without the lock: the operations
// of these natives lock for themselves.
template <typename Result, typename Operation>
Result withInstance(ErrorHandler* handler, Result failure, Operation&& operation) {
  WifiHostSettings* settings = WifiHostSettings::getInstance(handler);
  return settings != nullptr ? operation(*settings) : failure;
}

// The natives that take (adapter, ssid) and return the operation's success.
template <bool (WifiHostSettings::*Operation)(const char*, const char*)>
jboolean onNamedNetwork(JNIEnv* env, jstring adapter, jstring ssid) {
  return jni::guarded(FALSE_RESULT, [&] {
    JavaExceptionHandlerHolder holder(env);
    JNIString adapterName(env, adapter);
    JNIString ssidName(env, ssid);
    return withInstance(holder.handler(), FALSE_RESULT, [&](WifiHostSettings& settings) {
      return jni::toJava((settings.*Operation)(adapterName.c_str(), ssidName.c_str()));
    });
  });
}

}  // namespace

WIRELESS_NATIVE jobjectArray JNICALL JNI_NAME(discoverNetworks0)(JNIEnv* env, jclass,
                                                                 jstring adapter) {
  return jni::guarded<jobjectArray>(nullptr, [&]() -> jobjectArray {
    JavaExceptionHandlerHolder holder(env);
    JNIString adapterName(env, adapter);
    WifiDaemon* daemon = WifiDaemon::getInstance();
    if (daemon == nullptr) return nullptr;
    LineArray lines(LINE_CAPACITY);
    if (!daemon->scan(adapterName.c_str())) return nullptr;
    if (!daemon->getScanLines(adapterName.c_str(), lines.entries(), lines.capacity(),
                              lines.count())) {
      return nullptr;
    }
    return jni::toJavaArray(env, lines);
  });
}

// The one native that looks at its argument: a null adapter reaches the
// daemon as a null name.
WIRELESS_NATIVE jboolean JNICALL JNI_NAME(isWifiEnabled0)(JNIEnv* env, jclass, jstring adapter) {
  return jni::guarded(FALSE_RESULT, [&] {
    JavaExceptionHandlerHolder holder(env);
    auto ask = [](const char* name) {
      WifiDaemon* daemon = WifiDaemon::getInstance();
      return daemon != nullptr ? jni::toJava(daemon->isWifiEnabled(name)) : FALSE_RESULT;
    };
    if (adapter == nullptr) return ask(nullptr);
    JNIString adapterName(env, adapter);
    return ask(adapterName.c_str());
  });
}

WIRELESS_NATIVE jboolean JNICALL JNI_NAME(hashCACertificates0)(JNIEnv* env, jclass) {
  return jni::guarded(FALSE_RESULT, [&] {
    JavaExceptionHandlerHolder holder(env);
    WifiDaemon* daemon = WifiDaemon::getInstance();
    return daemon != nullptr ? jni::toJava(daemon->hashCACertificates()) : FALSE_RESULT;
  });
}

WIRELESS_NATIVE jobjectArray JNICALL JNI_NAME(getWifiAdapters0)(JNIEnv* env, jclass) {
  return jni::guarded<jobjectArray>(nullptr, [&] {
    JavaExceptionHandlerHolder holder(env);
    return withInstance<jobjectArray>(
        holder.handler(), nullptr, [&](WifiHostSettings& settings) -> jobjectArray {
          LineArray names(ADAPTER_CAPACITY);
          if (!settings.getAdapters(names.entries(), names.capacity(), names.count())) {
            return nullptr;
          }
          return jni::toJavaArray(env, names);
        });
  });
}

WIRELESS_NATIVE jobjectArray JNICALL JNI_NAME(getNetworkDatabaseSsids0)(JNIEnv* env, jclass,
                                                                        jstring adapter) {
  return jni::guarded<jobjectArray>(nullptr, [&] {
    JavaExceptionHandlerHolder holder(env);
    JNIString adapterName(env, adapter);
    return withInstance<jobjectArray>(
        holder.handler(), nullptr, [&](WifiHostSettings& settings) -> jobjectArray {
          LineArray ssids(LINE_CAPACITY);
          if (!settings.getNetworkSsids(adapterName.c_str(), ssids.entries(), ssids.capacity(),
                                        ssids.count())) {
            return nullptr;
          }
          return jni::toJavaArray(env, ssids);
        });
  });
}

WIRELESS_NATIVE jboolean JNICALL JNI_NAME(addNetwork0)(JNIEnv* env, jclass, jstring adapter,
                                                       jstring ssid) {
  return onNamedNetwork<&WifiHostSettings::addNetwork>(env, adapter, ssid);
}

WIRELESS_NATIVE jboolean JNICALL JNI_NAME(removeNetwork0)(JNIEnv* env, jclass, jstring adapter,
                                                          jstring ssid) {
  return onNamedNetwork<&WifiHostSettings::removeNetwork>(env, adapter, ssid);
}

WIRELESS_NATIVE jboolean JNICALL JNI_NAME(connectToNetwork0)(JNIEnv* env, jclass,
                                                             jstring adapter, jstring ssid) {
  return onNamedNetwork<&WifiHostSettings::connect>(env, adapter, ssid);
}

WIRELESS_NATIVE jboolean JNICALL JNI_NAME(disconnectFromNetwork0)(JNIEnv* env, jclass,
                                                                  jstring adapter, jstring ssid) {
  return onNamedNetwork<&WifiHostSettings::disconnect>(env, adapter, ssid);
}

WIRELESS_NATIVE jboolean JNICALL JNI_NAME(roamNetworks0)(JNIEnv* env, jclass, jstring adapter) {
  return jni::guarded(FALSE_RESULT, [&] {
    JavaExceptionHandlerHolder holder(env);
    JNIString adapterName(env, adapter);
    return withInstance(holder.handler(), FALSE_RESULT, [&](WifiHostSettings& settings) {
      return jni::toJava(settings.roam(adapterName.c_str()));
    });
  });
}

WIRELESS_NATIVE jboolean JNICALL JNI_NAME(saveHostSettings0)(JNIEnv* env, jclass) {
  return jni::guarded(FALSE_RESULT, [&] {
    JavaExceptionHandlerHolder holder(env);
    return withInstance(holder.handler(), FALSE_RESULT, [](WifiHostSettings& settings) {
      return jni::toJava(settings.save());
    });
  });
}

WIRELESS_NATIVE jint JNICALL JNI_NAME(getDaemonStatus0)(JNIEnv* env, jclass, jstring adapter) {
  return jni::guarded<jint>(0, [&] {
    JavaExceptionHandlerHolder holder(env);
    JNIString adapterName(env, adapter);
    return withInstance<jint>(holder.handler(), 0, [&](WifiHostSettings& settings) {
      return static_cast<jint>(settings.getDaemonStatus(adapterName.c_str()));
    });
  });
}

// Refreshes the list (at most once per 5000 ms) and reads the record's
// status under one hold of the lock.
WIRELESS_NATIVE jint JNICALL JNI_NAME(getNetworkStatus0)(JNIEnv* env, jclass, jstring adapter,
                                                         jstring ssid) {
  return jni::guarded<jint>(0, [&] {
    JavaExceptionHandlerHolder holder(env);
    JNIString adapterName(env, adapter);
    JNIString ssidName(env, ssid);
    return jni::underLock<jint>(holder.handler(), 0, [&](WifiHostSettings& settings) {
      settings.refreshNetworkList();
      WifiNetwork* network = settings.findNetwork(adapterName.c_str(), ssidName.c_str());
      return network != nullptr ? static_cast<jint>(network->getStatus()) : 0;
    });
  });
}

WIRELESS_NATIVE jstring JNICALL JNI_NAME(getCurrentNetwork0)(JNIEnv* env, jclass,
                                                             jstring adapter) {
  return jni::guarded<jstring>(nullptr, [&] {
    JavaExceptionHandlerHolder holder(env);
    JNIString adapterName(env, adapter);
    return jni::underLock<jstring>(holder.handler(), nullptr, [&](WifiHostSettings& settings) {
      WifiNetwork* current = settings.getCurrentNetwork(adapterName.c_str());
      return current != nullptr ? jni::newString(env, current->getSsid()) : nullptr;
    });
  });
}

// Destroys the instance without the lock: no other native may be running.
WIRELESS_NATIVE jboolean JNICALL JNI_NAME(unloadWifiSettings0)(JNIEnv* env, jclass) {
  return jni::guarded(FALSE_RESULT, [&] {
    JavaExceptionHandlerHolder holder(env);
    WifiHostSettings::destroyInstance();
    return jni::toJava(true);
  });
}
