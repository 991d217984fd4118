#pragma once

// The natives of com.quorvel.platwifi.BWifiPlatformService. The files that
// define them include this, so the compiler holds every definition to the
// declaration here.

#include <jni.h>

#define JNI_NAME(Native) Java_com_quorvel_platwifi_BWifiPlatformService_##Native

extern "C" {

#define JNI_NUMBER_GETTER(Native, Result, Getter, Failure) \
  JNIEXPORT Result JNICALL JNI_NAME(Native)(JNIEnv*, jclass, jstring, jstring);
#define JNI_NUMBER_SETTER(Native, Value, Setter, Convert) \
  JNIEXPORT jboolean JNICALL JNI_NAME(Native)(JNIEnv*, jclass, jstring, jstring, Value);
#define JNI_TEXT_GETTER(Native, Field) \
  JNIEXPORT jstring JNICALL JNI_NAME(Native)(JNIEnv*, jclass, jstring, jstring);
#define JNI_TEXT_SETTER(Native, Field) \
  JNIEXPORT jboolean JNICALL JNI_NAME(Native)(JNIEnv*, jclass, jstring, jstring, jstring);
#define JNI_SECRET_GETTER(Native, Field) JNI_TEXT_GETTER(Native, Field)
#define JNI_SECRET_SETTER(Native, Field) JNI_TEXT_SETTER(Native, Field)
#include "jni/NetworkParameterNatives.def"

JNIEXPORT jint JNICALL JNI_NAME(getSupportedEncrytptionMethods0)(JNIEnv*, jclass, jstring, jstring);
JNIEXPORT jboolean JNICALL JNI_NAME(setEncryption0)(JNIEnv*, jclass, jstring, jstring, jint);
JNIEXPORT jobjectArray JNICALL JNI_NAME(getWepKeys0)(JNIEnv*, jclass, jstring, jstring);
JNIEXPORT jboolean JNICALL JNI_NAME(setWepKey0)(JNIEnv*, jclass, jstring, jstring, jint, jstring);

JNIEXPORT jobjectArray JNICALL JNI_NAME(discoverNetworks0)(JNIEnv*, jclass, jstring);
JNIEXPORT jboolean JNICALL JNI_NAME(isWifiEnabled0)(JNIEnv*, jclass, jstring);
JNIEXPORT jboolean JNICALL JNI_NAME(hashCACertificates0)(JNIEnv*, jclass);
JNIEXPORT jobjectArray JNICALL JNI_NAME(getWifiAdapters0)(JNIEnv*, jclass);
JNIEXPORT jobjectArray JNICALL JNI_NAME(getNetworkDatabaseSsids0)(JNIEnv*, jclass, jstring);
JNIEXPORT jboolean JNICALL JNI_NAME(addNetwork0)(JNIEnv*, jclass, jstring, jstring);
JNIEXPORT jboolean JNICALL JNI_NAME(removeNetwork0)(JNIEnv*, jclass, jstring, jstring);
JNIEXPORT jboolean JNICALL JNI_NAME(connectToNetwork0)(JNIEnv*, jclass, jstring, jstring);
JNIEXPORT jboolean JNICALL JNI_NAME(disconnectFromNetwork0)(JNIEnv*, jclass, jstring, jstring);
JNIEXPORT jboolean JNICALL JNI_NAME(roamNetworks0)(JNIEnv*, jclass, jstring);
JNIEXPORT jboolean JNICALL JNI_NAME(saveHostSettings0)(JNIEnv*, jclass);
JNIEXPORT jint JNICALL JNI_NAME(getDaemonStatus0)(JNIEnv*, jclass, jstring);
JNIEXPORT jint JNICALL JNI_NAME(getNetworkStatus0)(JNIEnv*, jclass, jstring, jstring);
JNIEXPORT jstring JNICALL JNI_NAME(getCurrentNetwork0)(JNIEnv*, jclass, jstring);
JNIEXPORT jboolean JNICALL JNI_NAME(unloadWifiSettings0)(JNIEnv*, jclass);

}  // extern "C"
