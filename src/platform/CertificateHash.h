#pragma once

#include <cstdint>

// Certificate names of the platform support library.
class CertificateHash {
 public:
  // The hash of the subject name of the certificate in a PEM file, the one
  // that names its link "<hash>.0" in a CA directory. False when the file
  // can't be read or holds no certificate or more than one (a bundle).
  static bool subjectHash(const char* path, uint32_t* hash);
};
