#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <string>

#include "tessel/CryptHost.h"

// Crypt's host on Windows: CNG (BCrypt) for AES-256-GCM and the random
// bytes, and the key file through Win32 file calls. The file holds the same
// 32 raw bytes as on POSIX hosts, so that either reads what the other wrote.

namespace crypt_host {

namespace {

bool succeeded(NTSTATUS status) { return status >= 0; }

// An AES key object in GCM mode, released with its provider.
class GcmKey {
 public:
  explicit GcmKey(const unsigned char* key) {
    if (!succeeded(BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_AES_ALGORITHM, nullptr, 0))) {
      algorithm_ = nullptr;
      return;
    }
    static wchar_t gcm[] = BCRYPT_CHAIN_MODE_GCM;
    if (!succeeded(BCryptSetProperty(algorithm_, BCRYPT_CHAINING_MODE,
                                     reinterpret_cast<PUCHAR>(gcm), sizeof gcm, 0)) ||
        !succeeded(BCryptGenerateSymmetricKey(algorithm_, &key_, nullptr, 0,
                                              const_cast<PUCHAR>(key), kKeyLength, 0))) {
      key_ = nullptr;
    }
  }
  ~GcmKey() {
    if (key_ != nullptr) BCryptDestroyKey(key_);
    if (algorithm_ != nullptr) BCryptCloseAlgorithmProvider(algorithm_, 0);
  }
  GcmKey(const GcmKey&) = delete;
  GcmKey& operator=(const GcmKey&) = delete;

  BCRYPT_KEY_HANDLE handle() const { return key_; }

 private:
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
  BCRYPT_KEY_HANDLE key_ = nullptr;
};

BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO modeInfo(const unsigned char* nonce, const unsigned char* aad,
                                               size_t aadLength, const unsigned char* tag) {
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
  BCRYPT_INIT_AUTH_MODE_INFO(info);
  info.pbNonce = const_cast<PUCHAR>(nonce);
  info.cbNonce = kNonceLength;
  info.pbAuthData = const_cast<PUCHAR>(aad);
  info.cbAuthData = static_cast<ULONG>(aadLength);
  info.pbTag = const_cast<PUCHAR>(tag);
  info.cbTag = kTagLength;
  return info;
}

bool fitsUlong(size_t length) { return length <= 0xFFFFFFFFu; }

// BCryptEncrypt (which writes the tag) or BCryptDecrypt (which checks it)
// over the whole text at once.
bool runGcm(decltype(&BCryptEncrypt) cipher, const unsigned char* key, const unsigned char* nonce,
            const unsigned char* aad, size_t aadLength, const unsigned char* in, size_t length,
            unsigned char* out, const unsigned char* tag) {
  GcmKey gcm(key);
  if (gcm.handle() == nullptr || !fitsUlong(aadLength) || !fitsUlong(length)) return false;
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = modeInfo(nonce, aad, aadLength, tag);
  ULONG written = 0;
  return succeeded(cipher(gcm.handle(), const_cast<PUCHAR>(in), static_cast<ULONG>(length), &info,
                          nullptr, 0, out, static_cast<ULONG>(length), &written, 0)) &&
         written == length;
}

std::string describeError(const std::string& what) {
  return what + ": error " + std::to_string(GetLastError());
}

// A Win32 file handle, closed on leaving scope.
struct File {
  HANDLE handle;
  ~File() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

std::string parentOf(const std::string& path) {
  size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? "." : path.substr(0, separator);
}

}  // namespace

bool randomBytes(unsigned char* out, size_t length) {
  return fitsUlong(length) &&
         succeeded(BCryptGenRandom(nullptr, out, static_cast<ULONG>(length),
                                   BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

void wipe(void* data, size_t length) { SecureZeroMemory(data, length); }

bool seal(const unsigned char* key, const unsigned char* nonce, const unsigned char* aad,
          size_t aadLength, const unsigned char* in, size_t length, unsigned char* out,
          unsigned char* tag) {
  return runGcm(BCryptEncrypt, key, nonce, aad, aadLength, in, length, out, tag);
}

bool open(const unsigned char* key, const unsigned char* nonce, const unsigned char* aad,
          size_t aadLength, const unsigned char* in, size_t length, unsigned char* out,
          const unsigned char* tag) {
  return runGcm(BCryptDecrypt, key, nonce, aad, aadLength, in, length, out, tag);
}

const char* defaultKeyFile() { return "C:\\ProgramData\\tessel\\crypt.key"; }

// The key file's directory inherits the access rules of its parent (on a
// standard system, C:\ProgramData lets only administrators and the system
// change it). A reparse point (a link) is refused.
bool readKeyFile(const std::string& path, unsigned char* key, bool& missing, std::string& error) {
  missing = false;
  File file{CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE) {
    DWORD openError = GetLastError();
    // Without its directory the file is missing too, as ENOENT says on POSIX.
    missing = openError == ERROR_FILE_NOT_FOUND || openError == ERROR_PATH_NOT_FOUND;
    if (!missing) error = describeError("cannot open key file " + path);
    return false;
  }
  BY_HANDLE_FILE_INFORMATION information;
  DWORD read = 0;
  if (!GetFileInformationByHandle(file.handle, &information)) {
    error = describeError("cannot inspect key file " + path);
  } else if ((information.dwFileAttributes &
              (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    error = "key file " + path + " is not a regular file";
  } else if (information.nFileSizeHigh != 0 || information.nFileSizeLow != kKeyLength) {
    error = "key file " + path + " does not hold a 32-byte key";
  } else if (!ReadFile(file.handle, key, kKeyLength, &read, nullptr) || read != kKeyLength) {
    wipe(key, kKeyLength);
    error = "cannot read key file " + path;
  } else {
    return true;
  }
  return false;
}

// A new random key is written under a temporary name beside path and moved
// to path; the move fails when another process was first, and its key
// stands.
bool createKeyFile(const std::string& path, std::string& error) {
  std::string directory = parentOf(path);
  if (!CreateDirectoryA(directory.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    error = describeError("cannot create key directory " + directory);
    return false;
  }
  unsigned char key[kKeyLength];
  if (!randomBytes(key, sizeof key)) {
    error = "no random bytes for a new key";
    return false;
  }
  std::string temporary = path + ".tmp." + std::to_string(GetCurrentProcessId()) + "." +
                          std::to_string(GetCurrentThreadId());
  bool written = false;
  {
    File file{CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr)};
    DWORD count = 0;
    written = file.handle != INVALID_HANDLE_VALUE &&
              WriteFile(file.handle, key, sizeof key, &count, nullptr) && count == sizeof key &&
              FlushFileBuffers(file.handle);
  }
  wipe(key, sizeof key);
  if (!written) {
    error = describeError("cannot write key file " + temporary);
    DeleteFileA(temporary.c_str());
    return false;
  }
  bool moved = MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
  DWORD moveError = GetLastError();
  DeleteFileA(temporary.c_str());
  if (!moved && moveError != ERROR_ALREADY_EXISTS && moveError != ERROR_FILE_EXISTS) {
    error = "cannot create key file " + path + ": error " + std::to_string(moveError);
    return false;
  }
  return true;
}

}  // namespace crypt_host
