// Natives of com.quorvel.platwifi.bench.BoundaryBench that do the least a
// product native must: the floors the boundary benchmark measures against.
// Linked only into the benchmark build of the library.
#include <jni.h>

#include <string>
#include <vector>

#include "platform/JniSupport.h"

#define FLOOR(Result, Name) \
  extern "C" JNIEXPORT Result JNICALL Java_com_quorvel_platwifi_bench_BoundaryBench_##Name

namespace {

// The SSIDs the benchmark database holds, newest first as the database
// lists them.
const std::vector<std::string>& benchSsids() {
  static const std::vector<std::string> ssids = [] {
    std::vector<std::string> names;
    for (int id = 31; id >= 0; --id) names.push_back("network-" + std::to_string(id));
    return names;
  }();
  return ssids;
}

}  // namespace

// Converts its two string arguments and nothing else.
FLOOR(jint, convertStrings0)(JNIEnv* env, jclass, jstring adapter, jstring ssid) {
  JNIString adapterName(env, adapter);
  JNIString ssidName(env, ssid);
  return adapterName.c_str() != nullptr && ssidName.c_str() != nullptr ? ssidName.c_str()[0] : 0;
}

// The JNI calls of a 32-name String array result, and nothing else: one
// FindClass, the "" of every slot, the array, then one string per name.
FLOOR(jobjectArray, stringArray0)(JNIEnv* env, jclass, jstring adapter) {
  JNIString adapterName(env, adapter);
  const std::vector<std::string>& ssids = benchSsids();
  jclass stringClass = env->FindClass("java/lang/String");
  if (stringClass == nullptr) return nullptr;
  jstring empty = env->NewStringUTF("");
  if (empty == nullptr) return nullptr;
  jobjectArray array = env->NewObjectArray(static_cast<jsize>(ssids.size()), stringClass, empty);
  for (jsize i = 0; array != nullptr && i < static_cast<jsize>(ssids.size()); ++i) {
    jstring element = env->NewStringUTF(ssids[static_cast<size_t>(i)].c_str());
    if (element == nullptr) return nullptr;
    env->SetObjectArrayElement(array, i, element);
  }
  return array;
}
