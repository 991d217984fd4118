#include "platform/Crypt.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "platform/ErrorHandler.h"

// Text form of an encrypted secret: standard base64 (with padding) of
//   version (1 byte, 1) | nonce (12 bytes) | cipher text | tag (16 bytes)
// made with AES-256-GCM under a fresh random nonce, the version byte
// authenticated as additional data. The 32-byte key lives in a file that is
// created on first use and then held in memory for the life of the process.

namespace {

constexpr unsigned char kVersion = 1;
constexpr size_t kKeyLength = 32;
constexpr size_t kNonceLength = 12;
constexpr size_t kTagLength = 16;
constexpr size_t kOverhead = 1 + kNonceLength + kTagLength;
// Longest plain text accepted; keeps every length an OpenSSL int.
constexpr size_t kMaxPlainLength = (INT_MAX / 4) - kOverhead;

constexpr const char* kDefaultKeyFile = "/var/lib/tessel/crypt.key";
constexpr const char* kKeyFileVariable = "TESSEL_CRYPT_KEY_FILE";

// ---- key file -------------------------------------------------------------

struct KeyCache {
  std::mutex mutex;
  bool hasOverride = false;
  std::string overridePath;
  bool loaded = false;
  std::string loadedPath;
  unsigned char key[kKeyLength] = {};

  void drop() {
    OPENSSL_cleanse(key, sizeof key);
    loaded = false;
    loadedPath.clear();
  }
  ~KeyCache() { OPENSSL_cleanse(key, sizeof key); }
};

KeyCache& keyCache() {
  static KeyCache cache;
  return cache;
}

std::string describeErrno(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

// Reads exactly length bytes; false on error or early end of file.
bool readFully(int fd, unsigned char* buffer, size_t length) {
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::read(fd, buffer + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool writeFully(int fd, const unsigned char* buffer, size_t length) {
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::write(fd, buffer + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string parentOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Creates the key file's directory (one level, owner only) when it is
// missing.
bool ensureDirectory(const std::string& directory, std::string& error) {
  struct stat st;
  if (::stat(directory.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    error = "key directory " + directory + " is not a directory";
    return false;
  }
  int statError = errno;
  if (statError != ENOENT) {
    error = describeErrno("key directory " + directory, statError);
    return false;
  }
  if (::mkdir(directory.c_str(), 0700) != 0) {
    int mkdirError = errno;
    if (mkdirError != EEXIST) {
      error = describeErrno("cannot create key directory " + directory, mkdirError);
      return false;
    }
  }
  return true;
}

// Writes a new random key under a temporary name in the key file's
// directory and links it to path. When another process links its key
// first, its key stands and ours is dropped; either way the caller then
// reads whatever path holds.
bool createKeyFile(const std::string& path, std::string& error) {
  std::string directory = parentOf(path);
  if (!ensureDirectory(directory, error)) return false;

  unsigned char key[kKeyLength];
  unsigned char tag[8];
  if (RAND_bytes(key, sizeof key) != 1 || RAND_bytes(tag, sizeof tag) != 1) {
    OPENSSL_cleanse(key, sizeof key);
    error = "no random bytes for a new key";
    return false;
  }
  std::string temporary = path + ".tmp." + std::to_string(::getpid()) + ".";
  static const char hex[] = "0123456789abcdef";
  for (unsigned char b : tag) {
    temporary += hex[b >> 4];
    temporary += hex[b & 0xF];
  }

  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    int openError = errno;
    OPENSSL_cleanse(key, sizeof key);
    error = describeErrno("cannot create key file " + temporary, openError);
    return false;
  }
  // The process umask may have taken bits from 0600; the owner needs both.
  bool written = ::fchmod(fd, 0600) == 0 && writeFully(fd, key, sizeof key) && ::fsync(fd) == 0;
  int writeError = errno;
  OPENSSL_cleanse(key, sizeof key);
  if (::close(fd) != 0 && written) {
    written = false;
    writeError = errno;
  }
  if (!written) {
    ::unlink(temporary.c_str());
    error = describeErrno("cannot write key file " + temporary, writeError);
    return false;
  }

  bool linked = ::link(temporary.c_str(), path.c_str()) == 0;
  int linkError = errno;
  ::unlink(temporary.c_str());
  if (!linked && linkError != EEXIST) {
    error = describeErrno("cannot create key file " + path, linkError);
    return false;
  }
  if (linked) {
    int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
      ::fsync(dirFd);
      ::close(dirFd);
    }
  }
  return true;
}

// Reads the key from path into key, refusing a file that someone other than
// its owner could read or change, or that isn't a plain 32-byte file.
// Sets missing when the file does not exist.
bool readKeyFile(const std::string& path, unsigned char* key, bool& missing, std::string& error) {
  missing = false;
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    int openError = errno;
    if (openError == ENOENT) {
      missing = true;
    } else if (openError == ELOOP) {
      error = "key file " + path + " is a symbolic link";
    } else {
      error = describeErrno("cannot open key file " + path, openError);
    }
    return false;
  }
  struct stat st;
  bool ok = false;
  if (::fstat(fd, &st) != 0) {
    int statError = errno;
    error = describeErrno("cannot inspect key file " + path, statError);
  } else if (!S_ISREG(st.st_mode)) {
    error = "key file " + path + " is not a regular file";
  } else if (st.st_uid != ::geteuid()) {
    error = "key file " + path + " is not owned by the current user";
  } else if ((st.st_mode & 077) != 0) {
    error = "key file " + path + " is accessible to group or others";
  } else if (st.st_size != static_cast<off_t>(kKeyLength)) {
    error = "key file " + path + " does not hold a 32-byte key";
  } else if (!readFully(fd, key, kKeyLength)) {
    OPENSSL_cleanse(key, kKeyLength);
    error = "cannot read key file " + path;
  } else {
    ok = true;
  }
  ::close(fd);
  return ok;
}

std::string currentKeyPath(const KeyCache& cache) {
  if (cache.hasOverride) return cache.overridePath;
  const char* fromEnvironment = std::getenv(kKeyFileVariable);
  if (fromEnvironment != nullptr && fromEnvironment[0] != '\0') return fromEnvironment;
  return kDefaultKeyFile;
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
    if (!readKeyFile(path, cache.key, missing, error)) {
      if (!missing) return false;
      if (!createKeyFile(path, error)) return false;
      if (!readKeyFile(path, cache.key, missing, error)) {
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
  ~KeyCopy() { OPENSSL_cleanse(bytes, sizeof bytes); }
};

struct CipherContext {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  ~CipherContext() { EVP_CIPHER_CTX_free(ctx); }
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
  if (RAND_bytes(nonce, kNonceLength) != 1) return fail(handler, "encrypt: no random bytes for a nonce");

  CipherContext context;
  int outLength = 0;
  int finalLength = 0;
  if (context.ctx == nullptr ||
      EVP_EncryptInit_ex(context.ctx, EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
      EVP_CIPHER_CTX_ctrl(context.ctx, EVP_CTRL_GCM_SET_IVLEN, kNonceLength, nullptr) != 1 ||
      EVP_EncryptInit_ex(context.ctx, nullptr, nullptr, key.bytes, nonce) != 1 ||
      EVP_EncryptUpdate(context.ctx, nullptr, &outLength, bytes, 1) != 1 ||
      EVP_EncryptUpdate(context.ctx, body, &outLength,
                        reinterpret_cast<const unsigned char*>(plainText),
                        static_cast<int>(plainLength)) != 1 ||
      static_cast<size_t>(outLength) != plainLength ||
      EVP_EncryptFinal_ex(context.ctx, body + outLength, &finalLength) != 1 || finalLength != 0 ||
      EVP_CIPHER_CTX_ctrl(context.ctx, EVP_CTRL_GCM_GET_TAG, kTagLength, tag) != 1) {
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

  CipherContext context;
  int outLength = 0;
  int finalLength = 0;
  unsigned char expectedTag[kTagLength];
  std::memcpy(expectedTag, tag, kTagLength);
  bool ok = context.ctx != nullptr &&
            EVP_DecryptInit_ex(context.ctx, EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
            EVP_CIPHER_CTX_ctrl(context.ctx, EVP_CTRL_GCM_SET_IVLEN, kNonceLength, nullptr) == 1 &&
            EVP_DecryptInit_ex(context.ctx, nullptr, nullptr, key.bytes, nonce) == 1 &&
            EVP_DecryptUpdate(context.ctx, nullptr, &outLength, bytes, 1) == 1 &&
            EVP_DecryptUpdate(context.ctx, out, &outLength, body, static_cast<int>(bodyLength)) == 1 &&
            static_cast<size_t>(outLength) == bodyLength &&
            EVP_CIPHER_CTX_ctrl(context.ctx, EVP_CTRL_GCM_SET_TAG, kTagLength, expectedTag) == 1 &&
            EVP_DecryptFinal_ex(context.ctx, out + outLength, &finalLength) == 1 && finalLength == 0;
  // A text never holds a NUL, so a plain text with one can't be ours.
  if (ok && std::memchr(out, '\0', bodyLength) != nullptr) ok = false;
  if (!ok) {
    OPENSSL_cleanse(out, bodyLength + 1);
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
