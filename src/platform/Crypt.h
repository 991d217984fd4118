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
};
