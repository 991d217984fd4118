#pragma once

class ErrorHandler;

// Encryption of secrets that leave the library. Both calls take the address
// of an output pointer the caller set to null, return 0 on success and then
// leave a newly allocated text there, which the caller releases with the
// global operator delete. On failure they return non-zero, leave the output
// null and report once through the handler when it is not null.
class Crypt {
 public:
  static int encrypt(ErrorHandler* handler, const char* plainText, char** cipherText);
  static int decrypt(ErrorHandler* handler, const char* cipherText, char** plainText);

  // Chooses the key file: path, or with null the default (the environment
  // variable TESSEL_CRYPT_KEY_FILE, else /var/lib/tessel/crypt.key). Drops
  // the key held in memory, so the next call reads or creates the file.
  static void setKeyFile(const char* path);
};
