#pragma once

// What Crypt needs from the host it runs on: random bytes, AES-256-GCM, the
// wiping of key material, and the key file. CryptPosix.cpp provides them
// with OpenSSL and POSIX files, CryptWindows.cpp with CNG and Win32 files;
// the text form around them is the same on both (Crypt.cpp).

#include <cstddef>
#include <string>

namespace crypt_host {

constexpr size_t kKeyLength = 32;
constexpr size_t kNonceLength = 12;
constexpr size_t kTagLength = 16;

bool randomBytes(unsigned char* out, size_t length);
// Clears memory in a way the compiler does not drop.
void wipe(void* data, size_t length);

// AES-256-GCM of `length` bytes from `in` into `out` (the same length), with
// `aad` authenticated too. seal writes the tag; open checks it and fails on
// any mismatch.
bool seal(const unsigned char* key, const unsigned char* nonce, const unsigned char* aad,
          size_t aadLength, const unsigned char* in, size_t length, unsigned char* out,
          unsigned char* tag);
bool open(const unsigned char* key, const unsigned char* nonce, const unsigned char* aad,
          size_t aadLength, const unsigned char* in, size_t length, unsigned char* out,
          const unsigned char* tag);

// The key file used when neither Crypt::setKeyFile nor the environment
// names one.
const char* defaultKeyFile();
// Reads the 32-byte key from path, refusing a file that is not a plain file
// of that size or that others may read. Sets missing when there is none.
bool readKeyFile(const std::string& path, unsigned char* key, bool& missing, std::string& error);
// Makes path hold a new random key unless another process was first; either
// way the caller then reads whatever path holds.
bool createKeyFile(const std::string& path, std::string& error);

}  // namespace crypt_host
