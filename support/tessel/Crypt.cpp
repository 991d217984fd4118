#include "platform/Crypt.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "platform/ErrorHandler.h"
#include "tessel/CryptHost.h"
#include "tessel/CryptTesting.h"

// Text form of an encrypted secret: standard base64 (with padding) of
//   version (1 byte, 1) | nonce (12 bytes) | cipher text | tag (16 bytes)
// made with AES-256-GCM under a fresh random nonce, the version byte
// authenticated as additional data. The 32-byte key lives in a file that is
// created on first use and then held in memory for the life of the process.
// The cipher, the random bytes and the key file come from the host
// (CryptHost.h), so that every host reads what any other wrote.

namespace {

using crypt_host::kKeyLength;
using crypt_host::kNonceLength;
using crypt_host::kTagLength;
constexpr unsigned char kVersion = 1;
constexpr size_t kOverhead = 1 + kNonceLength + kTagLength;
// Longest plain text accepted; keeps every length an int.
constexpr size_t kMaxPlainLength = (INT_MAX / 4) - kOverhead;

constexpr const char* kKeyFileVariable = "TESSEL_CRYPT_KEY_FILE";

// The nonce tests fixed, if any (CryptTesting.h).
std::mutex fixedNonceMutex;
bool nonceFixed = false;
unsigned char fixedNonce[kNonceLength];

bool makeNonce(unsigned char* nonce) {
  {
    std::lock_guard<std::mutex> lock(fixedNonceMutex);
    if (nonceFixed) {
      std::memcpy(nonce, fixedNonce, kNonceLength);
      return true;
    }
  }
  return crypt_host::randomBytes(nonce, kNonceLength);
}

// ---- key ------------------------------------------------------------------

struct KeyCache {
  std::mutex mutex;
  bool hasOverride = false;
  std::string overridePath;
  bool loaded = false;
  std::string loadedPath;
  unsigned char key[kKeyLength] = {};

  void drop() {
    crypt_host::wipe(key, sizeof key);
    loaded = false;
    loadedPath.clear();
  }
  ~KeyCache() { crypt_host::wipe(key, sizeof key); }
};

KeyCache& keyCache() {
  static KeyCache cache;
  return cache;
}

std::string currentKeyPath(const KeyCache& cache) {
  if (cache.hasOverride) return cache.overridePath;
  const char* fromEnvironment = std::getenv(kKeyFileVariable);
  if (fromEnvironment != nullptr && fromEnvironment[0] != '\0') return fromEnvironment;
  return crypt_host::defaultKeyFile();
}

// Copies the process key into key, loading or creating the key file first
// when needed.
bool obtainKey(unsigned char* key, std::string& error) {
  KeyCache& cache = keyCache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  std::string path = currentKeyPath(cache);
  if (!cache.loaded || cache.loadedPath != path) {
    cache.drop();
    bool missing = false;
    if (!crypt_host::readKeyFile(path, cache.key, missing, error)) {
      if (!missing) return false;
      if (!crypt_host::createKeyFile(path, error)) return false;
      if (!crypt_host::readKeyFile(path, cache.key, missing, error)) {
        if (missing) error = "key file " + path + " vanished after creation";
        return false;
      }
    }
    cache.loaded = true;
    cache.loadedPath = path;
  }
  std::memcpy(key, cache.key, kKeyLength);
  return true;
}

// Holds a copy of the key and wipes it when leaving scope.
struct KeyCopy {
  unsigned char bytes[kKeyLength];
  ~KeyCopy() { crypt_host::wipe(bytes, sizeof bytes); }
};

// ---- base64 -------------------------------------------------------------

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::string base64Encode(const unsigned char* data, size_t length) {
  std::string out;
  out.reserve((length + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    uint32_t v = (uint32_t{data[i]} << 16) | (uint32_t{data[i + 1]} << 8) | data[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (length - i == 1) {
    uint32_t v = uint32_t{data[i]} << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (length - i == 2) {
    uint32_t v = (uint32_t{data[i]} << 16) | (uint32_t{data[i + 1]} << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

// Strict decoding: whole groups of four, padding only at the end, no other
// characters, and unused bits zero, so that each blob has exactly one text.
bool base64Decode(const char* text, size_t length, std::string& out) {
  if (length % 4 != 0) return false;
  out.clear();
  out.reserve(length / 4 * 3);
  for (size_t i = 0; i < length; i += 4) {
    bool last = i + 4 == length;
    int padding = 0;
    if (last && text[i + 3] == '=') padding = text[i + 2] == '=' ? 2 : 1;
    int values[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4 - padding; ++k) {
      values[k] = base64Value(static_cast<unsigned char>(text[i + k]));
      if (values[k] < 0) return false;
    }
    uint32_t v = (uint32_t(values[0]) << 18) | (uint32_t(values[1]) << 12) |
                 (uint32_t(values[2]) << 6) | uint32_t(values[3]);
    out += static_cast<char>((v >> 16) & 0xFF);
    if (padding == 2) {
      if ((v & 0xFFFF) != 0) return false;
    } else {
      out += static_cast<char>((v >> 8) & 0xFF);
      if (padding == 1) {
        if ((v & 0xFF) != 0) return false;
      } else {
        out += static_cast<char>(v & 0xFF);
      }
    }
  }
  return true;
}

// ---- operations -----------------------------------------------------------

int fail(ErrorHandler* handler, const std::string& message) {
  if (handler != nullptr) handler->error(("Crypt: " + message).c_str());
  return 1;
}

}  // namespace

int Crypt::encrypt(ErrorHandler* handler, const char* plainText, char** cipherText) {
  if (cipherText == nullptr) return fail(handler, "encrypt: no place for the result");
  *cipherText = nullptr;
  if (plainText == nullptr) return fail(handler, "encrypt: no text to encrypt");
  size_t plainLength = std::strlen(plainText);
  if (plainLength > kMaxPlainLength) return fail(handler, "encrypt: text too long");

  KeyCopy key;
  std::string error;
  if (!obtainKey(key.bytes, error)) return fail(handler, "encrypt: " + error);

  std::string blob(kOverhead + plainLength, '\0');
  unsigned char* bytes = reinterpret_cast<unsigned char*>(&blob[0]);
  unsigned char* nonce = bytes + 1;
  unsigned char* body = nonce + kNonceLength;
  unsigned char* tag = body + plainLength;
  bytes[0] = kVersion;
  if (!makeNonce(nonce)) return fail(handler, "encrypt: no random bytes for a nonce");
  if (!crypt_host::seal(key.bytes, nonce, bytes, 1, reinterpret_cast<const unsigned char*>(plainText),
                        plainLength, body, tag)) {
    return fail(handler, "encrypt: cipher failure");
  }

  std::string text = base64Encode(bytes, blob.size());
  char* out = static_cast<char*>(::operator new(text.size() + 1, std::nothrow));
  if (out == nullptr) return fail(handler, "encrypt: out of memory");
  std::memcpy(out, text.c_str(), text.size() + 1);
  *cipherText = out;
  return 0;
}

int Crypt::decrypt(ErrorHandler* handler, const char* cipherText, char** plainText) {
  if (plainText == nullptr) return fail(handler, "decrypt: no place for the result");
  *plainText = nullptr;
  if (cipherText == nullptr) return fail(handler, "decrypt: no text to decrypt");

  size_t textLength = std::strlen(cipherText);
  if (textLength > kMaxPlainLength * 2) return fail(handler, "decrypt: text too long");
  std::string blob;
  if (!base64Decode(cipherText, textLength, blob)) return fail(handler, "decrypt: text is not in encrypted form");
  if (blob.size() < kOverhead) return fail(handler, "decrypt: text is too short");
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(blob.data());
  if (bytes[0] != kVersion) return fail(handler, "decrypt: unknown format version");
  const unsigned char* nonce = bytes + 1;
  const unsigned char* body = nonce + kNonceLength;
  size_t bodyLength = blob.size() - kOverhead;
  const unsigned char* tag = body + bodyLength;

  KeyCopy key;
  std::string error;
  if (!obtainKey(key.bytes, error)) return fail(handler, "decrypt: " + error);

  unsigned char* out = static_cast<unsigned char*>(::operator new(bodyLength + 1, std::nothrow));
  if (out == nullptr) return fail(handler, "decrypt: out of memory");

  bool ok = crypt_host::open(key.bytes, nonce, bytes, 1, body, bodyLength, out, tag);
  // A text never holds a NUL, so a plain text with one can't be ours.
  if (ok && std::memchr(out, '\0', bodyLength) != nullptr) ok = false;
  if (!ok) {
    crypt_host::wipe(out, bodyLength + 1);
    ::operator delete(out);
    return fail(handler, "decrypt: text was altered or made with another key");
  }
  out[bodyLength] = '\0';
  *plainText = reinterpret_cast<char*>(out);
  return 0;
}

void Crypt::setKeyFile(const char* path) {
  KeyCache& cache = keyCache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  cache.hasOverride = path != nullptr;
  cache.overridePath = path != nullptr ? path : "";
  cache.drop();
}

void crypt_testing::fixNonce(const unsigned char* nonce) {
  std::lock_guard<std::mutex> lock(fixedNonceMutex);
  nonceFixed = nonce != nullptr;
  if (nonceFixed) std::memcpy(fixedNonce, nonce, kNonceLength);
}
