#pragma once

// Tables of the 74 natives of BWifiPlatformService, for calling them from
// C++ tests with a FakeJniEnv.

#include <jni.h>

#include <functional>
#include <string>
#include <vector>

#include "jni/BWifiPlatformService.h"
#include "model/WifiNetwork.h"

namespace natives {

// Calls one native with these strings wherever it takes an adapter, an SSID
// and a text value (any may be null), and fixed numbers elsewhere.
struct Call {
  std::string name;
  bool returnsArray;
  std::function<void(JNIEnv*, jstring adapter, jstring ssid, jstring value)> invoke;
};

// All 74, in no particular order.
const std::vector<Call>& all();

// The per-network natives of the list, with what they touch. Numbers go
// through jint both ways (a Java byte value is its low 8 bits).
struct NumberGetter {
  std::string native;
  std::string parameter;  // the record accessor without "get"
  std::function<jint(JNIEnv*, jstring, jstring)> get;
};
struct NumberSetter {
  std::string native;
  std::string parameter;  // the record accessor without "set"
  std::function<jboolean(JNIEnv*, jstring, jstring, jint)> set;
};
struct TextGetter {
  std::string native;
  WifiNetwork::TextField field;
  bool secret;
  std::function<jstring(JNIEnv*, jstring, jstring)> get;
};
struct TextSetter {
  std::string native;
  WifiNetwork::TextField field;
  bool secret;
  std::function<jboolean(JNIEnv*, jstring, jstring, jstring)> set;
};

const std::vector<NumberGetter>& numberGetters();
const std::vector<NumberSetter>& numberSetters();
const std::vector<TextGetter>& textGetters();
const std::vector<TextSetter>& textSetters();

}  // namespace natives
