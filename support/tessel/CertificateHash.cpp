#include "platform/CertificateHash.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
struct CertificateFree {
  void operator()(X509* certificate) const { X509_free(certificate); }
};

}  // namespace

bool CertificateHash::subjectHash(const char* path, uint32_t* hash) {
  if (path == nullptr || hash == nullptr) return false;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "re"));
  if (!file) return false;
  std::unique_ptr<X509, CertificateFree> certificate(PEM_read_X509(file.get(), nullptr, nullptr, nullptr));
  std::unique_ptr<X509, CertificateFree> another;
  if (certificate) another.reset(PEM_read_X509(file.get(), nullptr, nullptr, nullptr));
  // Reading up to the end of the file leaves an error behind.
  ERR_clear_error();
  if (!certificate || another) return false;
  *hash = static_cast<uint32_t>(X509_subject_name_hash(certificate.get()));
  return true;
}
