#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <cstring>
#include <string>

#include "tessel/CryptHost.h"

// Crypt's host on POSIX: OpenSSL for the cipher and the random bytes, and a
// key file that only its owner may read, created with mode 0600.

namespace crypt_host {

namespace {

struct CipherContext {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  ~CipherContext() { EVP_CIPHER_CTX_free(ctx); }
};

// OpenSSL counts in int.
bool fitsInt(size_t length) { return length <= static_cast<size_t>(INT_MAX); }

}  // namespace

bool randomBytes(unsigned char* out, size_t length) {
  return fitsInt(length) && RAND_bytes(out, static_cast<int>(length)) == 1;
}

void wipe(void* data, size_t length) { OPENSSL_cleanse(data, length); }

bool seal(const unsigned char* key, const unsigned char* nonce, const unsigned char* aad,
          size_t aadLength, const unsigned char* in, size_t length, unsigned char* out,
          unsigned char* tag) {
  CipherContext context;
  int outLength = 0;
  int finalLength = 0;
  return context.ctx != nullptr && fitsInt(aadLength) && fitsInt(length) &&
         EVP_EncryptInit_ex(context.ctx, EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
         EVP_CIPHER_CTX_ctrl(context.ctx, EVP_CTRL_GCM_SET_IVLEN, kNonceLength, nullptr) == 1 &&
         EVP_EncryptInit_ex(context.ctx, nullptr, nullptr, key, nonce) == 1 &&
         EVP_EncryptUpdate(context.ctx, nullptr, &outLength, aad, static_cast<int>(aadLength)) == 1 &&
         EVP_EncryptUpdate(context.ctx, out, &outLength, in, static_cast<int>(length)) == 1 &&
         static_cast<size_t>(outLength) == length &&
         EVP_EncryptFinal_ex(context.ctx, out + outLength, &finalLength) == 1 && finalLength == 0 &&
         EVP_CIPHER_CTX_ctrl(context.ctx, EVP_CTRL_GCM_GET_TAG, kTagLength, tag) == 1;
}

bool open(const unsigned char* key, const unsigned char* nonce, const unsigned char* aad,
          size_t aadLength, const unsigned char* in, size_t length, unsigned char* out,
          const unsigned char* tag) {
  CipherContext context;
  int outLength = 0;
  int finalLength = 0;
  unsigned char expectedTag[kTagLength];
  std::memcpy(expectedTag, tag, kTagLength);
  return context.ctx != nullptr && fitsInt(aadLength) && fitsInt(length) &&
         EVP_DecryptInit_ex(context.ctx, EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
         EVP_CIPHER_CTX_ctrl(context.ctx, EVP_CTRL_GCM_SET_IVLEN, kNonceLength, nullptr) == 1 &&
         EVP_DecryptInit_ex(context.ctx, nullptr, nullptr, key, nonce) == 1 &&
         EVP_DecryptUpdate(context.ctx, nullptr, &outLength, aad, static_cast<int>(aadLength)) == 1 &&
         EVP_DecryptUpdate(context.ctx, out, &outLength, in, static_cast<int>(length)) == 1 &&
         static_cast<size_t>(outLength) == length &&
         EVP_CIPHER_CTX_ctrl(context.ctx, EVP_CTRL_GCM_SET_TAG, kTagLength, expectedTag) == 1 &&
         EVP_DecryptFinal_ex(context.ctx, out + outLength, &finalLength) == 1 && finalLength == 0;
}

const char* defaultKeyFile() { return "/var/lib/tessel/crypt.key"; }

namespace {

std::string describeErrno(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

// Moves exactly length bytes with read or write, across short transfers and
// interruptions; false on error or early end of file.
template <typename Buffer, typename Transfer>
bool transferFully(int fd, Buffer* buffer, size_t length, Transfer transfer) {
  size_t done = 0;
  while (done < length) {
    ssize_t n = transfer(fd, buffer + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool readFully(int fd, unsigned char* buffer, size_t length) { return transferFully(fd, buffer, length, ::read); }

bool writeFully(int fd, const unsigned char* buffer, size_t length) {
  return transferFully(fd, buffer, length, ::write);
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

}  // namespace

// A new random key is written under a temporary name in the key file's
// directory and linked to path. When another process links its key first,
// its key stands and ours is dropped.
bool createKeyFile(const std::string& path, std::string& error) {
  std::string directory = parentOf(path);
  if (!ensureDirectory(directory, error)) return false;

  unsigned char key[kKeyLength];
  unsigned char tag[8];
  if (!randomBytes(key, sizeof key) || !randomBytes(tag, sizeof tag)) {
    wipe(key, sizeof key);
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
    wipe(key, sizeof key);
    error = describeErrno("cannot create key file " + temporary, openError);
    return false;
  }
  // The process umask may have taken bits from 0600; the owner needs both.
  bool written = ::fchmod(fd, 0600) == 0 && writeFully(fd, key, sizeof key) && ::fsync(fd) == 0;
  int writeError = errno;
  wipe(key, sizeof key);
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

// Refuses also a file not owned by the current user, one that group or
// others could read or change, and a symbolic link.
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
    wipe(key, kKeyLength);
    error = "cannot read key file " + path;
  } else {
    ok = true;
  }
  ::close(fd);
  return ok;
}

}  // namespace crypt_host
