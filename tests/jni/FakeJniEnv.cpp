#include "tests/jni/FakeJniEnv.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>

struct FakeJniEnv::Object {
  virtual ~Object() = default;
};
struct FakeJniEnv::StringObject : Object {
  explicit StringObject(std::u16string text) : units(std::move(text)) {}
  std::u16string units;
};
struct FakeJniEnv::ClassObject : Object {
  explicit ClassObject(std::string className) : name(std::move(className)) {}
  std::string name;
};
struct FakeJniEnv::ArrayObject : Object {
  ArrayObject(std::string type, std::vector<Object*> items)
      : elementClass(std::move(type)), elements(std::move(items)) {}
  std::string elementClass;
  std::vector<Object*> elements;
};

namespace {

// ---- the table slots nobody should call ---------------------------------

template <size_t Slot>
void unexpectedJniCall() {
  std::fprintf(stderr, "FakeJniEnv: unexpected JNI function in table slot %zu\n", Slot);
  std::abort();
}

template <size_t... Slots>
void fillWithTraps(JNINativeInterface_& table, std::index_sequence<Slots...>) {
  auto* slots = reinterpret_cast<unsigned char*>(&table);
  ((void)[&] {
    void (*trap)() = &unexpectedJniCall<Slots>;
    std::memcpy(slots + Slots * sizeof trap, &trap, sizeof trap);
  }(),
   ...);
}

constexpr size_t SLOT_COUNT = sizeof(JNINativeInterface_) / sizeof(void (*)());

// ---- text ------------------------------------------------------------------

void appendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Standard UTF-8 (well formed, as the tests write it) to UTF-16.
std::u16string utf16Of(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    auto byte = static_cast<unsigned char>(text[i]);
    char32_t code = byte;
    size_t length = 1;
    if (byte >= 0xF0) {
      code = byte & 0x07;
      length = 4;
    } else if (byte >= 0xE0) {
      code = byte & 0x0F;
      length = 3;
    } else if (byte >= 0xC0) {
      code = byte & 0x1F;
      length = 2;
    }
    for (size_t k = 1; k < length && i + k < text.size(); ++k) {
      code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    i += length;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 | (code >> 10));
      out += static_cast<char16_t>(0xDC00 | (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

// Modified UTF-8 to UTF-16; false for anything else (a 4-byte sequence, a
// stray or missing continuation byte).
bool decodeModifiedUtf8(const char* bytes, std::u16string& out) {
  auto p = reinterpret_cast<const unsigned char*>(bytes);
  auto continuation = [](unsigned char byte) { return (byte & 0xC0) == 0x80; };
  while (*p != '\0') {
    if (p[0] < 0x80) {
      out += static_cast<char16_t>(*p++);
    } else if ((p[0] & 0xE0) == 0xC0 && continuation(p[1])) {
      out += static_cast<char16_t>(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
      p += 2;
    } else if ((p[0] & 0xF0) == 0xE0 && continuation(p[1]) && continuation(p[2])) {
      out += static_cast<char16_t>(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
      p += 3;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

FakeJniEnv::FakeJniEnv() : slot_(), table_() {
  fillWithTraps(table_, std::make_index_sequence<SLOT_COUNT>());
  table_.FindClass = &findClass;
  table_.ThrowNew = &throwNew;
  table_.ExceptionCheck = &exceptionCheck;
  table_.DeleteLocalRef = &deleteLocalRef;
  table_.NewStringUTF = &newStringUTF;
  table_.GetStringLength = &getStringLength;
  table_.GetStringRegion = &getStringRegion;
  table_.NewObjectArray = &newObjectArray;
  table_.SetObjectArrayElement = &setObjectArrayElement;
  slot_.env.functions = &table_;
  slot_.owner = this;
}

FakeJniEnv::~FakeJniEnv() = default;

FakeJniEnv& FakeJniEnv::of(JNIEnv* env) {
  static_assert(std::is_standard_layout_v<EnvSlot>, "env is the first member of EnvSlot");
  return *reinterpret_cast<EnvSlot*>(env)->owner;
}

template <typename T, typename... Args>
T* FakeJniEnv::make(Args&&... args) {
  auto object = std::make_unique<T>(std::forward<Args>(args)...);
  T* raw = object.get();
  objects_.push_back(std::move(object));
  return raw;
}

void FakeJniEnv::enter(const char* function, bool allowedWhilePending) {
  ++calls_[function];
  if (pending_ && !allowedWhilePending) {
    errors_.push_back(std::string(function) + " called with an exception pending");
  }
}

void FakeJniEnv::clearLog() {
  calls_.clear();
  foundClasses_.clear();
}

jstring FakeJniEnv::string(const std::string& text) {
  return reinterpret_cast<jstring>(static_cast<Object*>(make<StringObject>(utf16Of(text))));
}

std::optional<std::string> FakeJniEnv::text(jobject string) const {
  if (string == nullptr) return std::nullopt;
  auto* object = dynamic_cast<StringObject*>(reinterpret_cast<Object*>(string));
  if (object == nullptr) return std::string("<not a string>");
  std::string out;
  const std::u16string& units = object->units;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t code = units[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size()) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    appendUtf8(out, code);
  }
  return out;
}

std::optional<std::vector<std::string>> FakeJniEnv::texts(jobjectArray array) const {
  if (array == nullptr) return std::nullopt;
  auto* object = dynamic_cast<ArrayObject*>(reinterpret_cast<Object*>(array));
  if (object == nullptr) return std::vector<std::string>{"<not an array>"};
  std::vector<std::string> out;
  for (Object* element : object->elements) {
    out.push_back(text(reinterpret_cast<jobject>(element)).value_or("<null>"));
  }
  return out;
}

jclass JNICALL FakeJniEnv::findClass(JNIEnv* env, const char* name) {
  FakeJniEnv& self = of(env);
  self.enter("FindClass");
  self.foundClasses_.push_back(name != nullptr ? name : "<null>");
  return reinterpret_cast<jclass>(static_cast<Object*>(self.make<ClassObject>(name)));
}

jint JNICALL FakeJniEnv::throwNew(JNIEnv* env, jclass type, const char* message) {
  FakeJniEnv& self = of(env);
  self.enter("ThrowNew");
  auto* object = dynamic_cast<ClassObject*>(reinterpret_cast<Object*>(type));
  if (object == nullptr) {
    self.errors_.push_back("ThrowNew without a class");
    return -1;
  }
  self.pending_ = object->name + ": " + (message != nullptr ? message : "<null>");
  return 0;
}

jboolean JNICALL FakeJniEnv::exceptionCheck(JNIEnv* env) {
  FakeJniEnv& self = of(env);
  self.enter("ExceptionCheck", true);
  return self.pending_ ? JNI_TRUE : JNI_FALSE;
}

void JNICALL FakeJniEnv::deleteLocalRef(JNIEnv* env, jobject) {
  of(env).enter("DeleteLocalRef", true);
}

jstring JNICALL FakeJniEnv::newStringUTF(JNIEnv* env, const char* bytes) {
  FakeJniEnv& self = of(env);
  self.enter("NewStringUTF");
  if (bytes == nullptr) {
    self.errors_.push_back("NewStringUTF with null");
    return nullptr;
  }
  std::u16string units;
  if (!decodeModifiedUtf8(bytes, units)) {
    self.errors_.push_back(std::string("NewStringUTF with bytes that are not modified UTF-8: ") +
                           bytes);
  }
  return reinterpret_cast<jstring>(static_cast<Object*>(self.make<StringObject>(units)));
}

jsize JNICALL FakeJniEnv::getStringLength(JNIEnv* env, jstring string) {
  FakeJniEnv& self = of(env);
  self.enter("GetStringLength");
  auto* object = dynamic_cast<StringObject*>(reinterpret_cast<Object*>(string));
  if (object == nullptr) {
    self.errors_.push_back("GetStringLength without a string");
    return 0;
  }
  return static_cast<jsize>(object->units.size());
}

void JNICALL FakeJniEnv::getStringRegion(JNIEnv* env, jstring string, jsize start, jsize length,
                                         jchar* buffer) {
  FakeJniEnv& self = of(env);
  self.enter("GetStringRegion");
  auto* object = dynamic_cast<StringObject*>(reinterpret_cast<Object*>(string));
  if (object == nullptr || start < 0 || length < 0 ||
      static_cast<size_t>(start) + static_cast<size_t>(length) > object->units.size()) {
    self.errors_.push_back("GetStringRegion out of bounds");
    return;
  }
  for (jsize i = 0; i < length; ++i) buffer[i] = object->units[static_cast<size_t>(start + i)];
}

jobjectArray JNICALL FakeJniEnv::newObjectArray(JNIEnv* env, jsize length, jclass type,
                                                jobject initial) {
  FakeJniEnv& self = of(env);
  self.enter("NewObjectArray");
  auto* elementClass = dynamic_cast<ClassObject*>(reinterpret_cast<Object*>(type));
  if (elementClass == nullptr || length < 0) {
    self.errors_.push_back("NewObjectArray without a class or with a negative length");
    return nullptr;
  }
  std::vector<Object*> elements(static_cast<size_t>(length), reinterpret_cast<Object*>(initial));
  return reinterpret_cast<jobjectArray>(
      static_cast<Object*>(self.make<ArrayObject>(elementClass->name, std::move(elements))));
}

void JNICALL FakeJniEnv::setObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index,
                                               jobject value) {
  FakeJniEnv& self = of(env);
  self.enter("SetObjectArrayElement");
  auto* object = dynamic_cast<ArrayObject*>(reinterpret_cast<Object*>(array));
  if (object == nullptr || index < 0 || static_cast<size_t>(index) >= object->elements.size()) {
    self.errors_.push_back("SetObjectArrayElement out of bounds");
    return;
  }
  object->elements[static_cast<size_t>(index)] = reinterpret_cast<Object*>(value);
}
