#include "SharedRegion.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <new>
#include <thread>
#include <utility>

namespace winkernel {

namespace {

constexpr uint32_t kSharedSeal = 0x57534852u;
constexpr size_t kMaxHostName = 255;
// How long an opener waits for a creator in another process to finish
// initialising, or for a dying object's name to go away.
constexpr std::chrono::seconds kSettleTime(3);
constexpr std::chrono::milliseconds kPollInterval(1);

using RegionKey = std::pair<dev_t, ino_t>;

// Regions mapped in this process, by the identity of their host object.
// Guarded by tableLock(); expired entries are dropped when a region is added.
std::map<RegionKey, std::weak_ptr<SharedRegion>>& regionCache() {
  static auto* cache = new std::map<RegionKey, std::weak_ptr<SharedRegion>>;
  return *cache;
}

std::shared_ptr<SharedRegion> findCached(const RegionKey& key) {
  std::lock_guard<std::mutex> guard(tableLock());
  auto found = regionCache().find(key);
  return found == regionCache().end() ? nullptr : found->second.lock();
}

// Enters `region` unless a live region of the same object got there first,
// and returns the one to use.
std::shared_ptr<SharedRegion> enterCached(std::shared_ptr<SharedRegion> region) {
  std::shared_ptr<SharedRegion> earlier;
  {
    std::lock_guard<std::mutex> guard(tableLock());
    auto& cache = regionCache();
    for (auto entry = cache.begin(); entry != cache.end();) {
      entry = entry->second.expired() ? cache.erase(entry) : std::next(entry);
    }
    RegionKey key(region->device(), region->inode());
    auto found = cache.find(key);
    if (found != cache.end()) {
      earlier = found->second.lock();
    }
    if (earlier == nullptr) {
      cache[key] = region;
    }
  }
  // The duplicate (if any) goes outside the lock.
  return earlier != nullptr ? earlier : region;
}

void appendEscaped(const char* text, std::string* out) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const char* at = text; *at != '\0'; ++at) {
    auto c = static_cast<unsigned char>(*at);
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '_' || c == '-';
    if (plain) {
      out->push_back(static_cast<char>(c));
    } else {
      out->push_back('%');
      out->push_back(kHex[c >> 4]);
      out->push_back(kHex[c & 0x0F]);
    }
  }
}

bool pastDeadline(std::chrono::steady_clock::time_point deadline) {
  return std::chrono::steady_clock::now() >= deadline;
}

std::shared_ptr<SharedRegion> fail(DWORD code) {
  setLastError(code);
  return nullptr;
}

// Gives a fresh shared memory object its length, reads its identity into
// status and maps it; MAP_FAILED (errno set) when any step fails.
void* sizeAndMap(int descriptor, size_t length, struct stat& status) {
  if (ftruncate(descriptor, static_cast<off_t>(length)) != 0 || fstat(descriptor, &status) != 0) {
    return MAP_FAILED;
  }
  return mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
}

// Makes the object behind the freshly and exclusively created `descriptor`.
std::shared_ptr<SharedRegion> initialiseCreated(
    const std::string& hostName, int descriptor, SharedKind kind, uint64_t userSize,
    const std::function<void(void* user)>& initialise) {
  const size_t length = kSharedHeaderSize + static_cast<size_t>(userSize);
  struct stat status {};
  void* base = sizeAndMap(descriptor, length, status);
  if (base == MAP_FAILED) {
    int error = errno;
    shm_unlink(hostName.c_str());
    close(descriptor);
    return fail(errorFromErrno(error));
  }
  auto* header = new (base) SharedHeader();
  header->kind = static_cast<uint32_t>(kind);
  header->userSize = userSize;
  header->references.store(1, std::memory_order_relaxed);
  // Entered before the seal goes up, so that every other thread of this
  // process that opens the object ends up on this very mapping.
  std::shared_ptr<SharedRegion> region = enterCached(std::make_shared<SharedRegion>(
      hostName, descriptor, base, length, status.st_dev, status.st_ino));
  if (initialise) {
    initialise(region->user());
  }
  header->seal.store(kSharedSeal, std::memory_order_release);
  return region;
}

enum class Opened { Yes, Dying, Failed };

// Opens the object behind `descriptor` (taken over) once its creator has
// finished with it, and takes a count on it.
Opened openExisting(const std::string& hostName, int descriptor, SharedKind kind,
                    std::chrono::steady_clock::time_point deadline,
                    std::shared_ptr<SharedRegion>* opened) {
  struct stat status {};
  for (;;) {
    if (fstat(descriptor, &status) != 0) {
      int error = errno;
      close(descriptor);
      setLastError(errorFromErrno(error));
      return Opened::Failed;
    }
    if (status.st_size >= static_cast<off_t>(kSharedHeaderSize)) {
      break;
    }
    if (pastDeadline(deadline)) {
      close(descriptor);
      setLastError(ERROR_TIMEOUT);
      return Opened::Failed;
    }
    std::this_thread::sleep_for(kPollInterval);
  }

  std::shared_ptr<SharedRegion> region = findCached(RegionKey(status.st_dev, status.st_ino));
  if (region != nullptr) {
    close(descriptor);
  } else {
    auto length = static_cast<size_t>(status.st_size);
    void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    if (base == MAP_FAILED) {
      int error = errno;
      close(descriptor);
      setLastError(errorFromErrno(error));
      return Opened::Failed;
    }
    region = std::make_shared<SharedRegion>(hostName, descriptor, base, length, status.st_dev,
                                            status.st_ino);
  }

  SharedHeader* header = region->header();
  while (header->seal.load(std::memory_order_acquire) != kSharedSeal) {
    if (pastDeadline(deadline)) {
      setLastError(ERROR_TIMEOUT);
      return Opened::Failed;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  if (header->kind != static_cast<uint32_t>(kind) ||
      header->userSize > region->length() - kSharedHeaderSize) {
    setLastError(ERROR_INVALID_HANDLE);
    return Opened::Failed;
  }
  if (!region->addReference()) {
    return Opened::Dying;
  }
  *opened = enterCached(std::move(region));
  return Opened::Yes;
}

}  // namespace

SharedRegion::SharedRegion(std::string hostName, int descriptor, void* base, size_t length,
                           dev_t device, ino_t inode)
    : hostName_(std::move(hostName)),
      descriptor_(descriptor),
      base_(base),
      length_(length),
      device_(device),
      inode_(inode) {}

SharedRegion::~SharedRegion() {
  if (heldLevels.load() == 0) {
    munmap(base_, length_);
  }
  close(descriptor_);
}

bool SharedRegion::addReference() {
  std::atomic<uint32_t>& references = header()->references;
  uint32_t count = references.load(std::memory_order_acquire);
  while (count != 0 && count != UINT32_MAX) {
    if (references.compare_exchange_weak(count, count + 1, std::memory_order_acq_rel)) {
      return true;
    }
  }
  return false;
}

void SharedRegion::releaseReference() {
  std::atomic<uint32_t>& references = header()->references;
  uint32_t count = references.load(std::memory_order_acquire);
  while (count != 0) {
    if (references.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel)) {
      if (count == 1 && !hostName_.empty()) {
        shm_unlink(hostName_.c_str());
      }
      return;
    }
  }
}

bool hostObjectName(const char* name, std::string* hostName) {
  if (name == nullptr || hostName == nullptr) {
    return false;
  }
  std::string result = "/winkernel.";
  const char* space = std::getenv(kNamespaceVariable);
  if (space != nullptr && *space != '\0') {
    appendEscaped(space, &result);
    result.push_back('.');
  }
  appendEscaped(name, &result);
  if (result.size() > kMaxHostName) {
    return false;
  }
  *hostName = std::move(result);
  return true;
}

DWORD errorFromErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ENOMEM:
    case ENOSPC:
    case EFBIG:
    case EMFILE:
    case ENFILE:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_GEN_FAILURE;
  }
}

std::shared_ptr<SharedRegion> openShared(const char* name, SharedKind kind, uint64_t userSize,
                                         bool create,
                                         const std::function<void(void* user)>& initialise,
                                         bool* existed) {
  std::string hostName;
  if (name == nullptr || *name == '\0') {
    return fail(ERROR_INVALID_PARAMETER);
  }
  if (!hostObjectName(name, &hostName)) {
    return fail(ERROR_FILENAME_EXCED_RANGE);
  }
  if (create && userSize > static_cast<uint64_t>(PTRDIFF_MAX) - kSharedHeaderSize) {
    return fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  const auto deadline = std::chrono::steady_clock::now() + kSettleTime;
  for (;;) {
    if (create) {
      int descriptor =
          shm_open(hostName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
      if (descriptor >= 0) {
        std::shared_ptr<SharedRegion> region =
            initialiseCreated(hostName, descriptor, kind, userSize, initialise);
        if (region != nullptr) {
          *existed = false;
        }
        return region;
      }
      if (errno != EEXIST) {
        return fail(errorFromErrno(errno));
      }
    }
    int descriptor = shm_open(hostName.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (descriptor < 0) {
      if (errno != ENOENT) {
        return fail(errorFromErrno(errno));
      }
      if (!create) {
        return fail(ERROR_FILE_NOT_FOUND);
      }
      // Removed between the two calls: create it after all.
    } else {
      std::shared_ptr<SharedRegion> region;
      switch (openExisting(hostName, descriptor, kind, deadline, &region)) {
        case Opened::Yes:
          *existed = true;
          return region;
        case Opened::Failed:
          return nullptr;
        case Opened::Dying:
          if (!create) {
            return fail(ERROR_FILE_NOT_FOUND);
          }
          // Its last handle is closing: wait for the name to go, then create.
          std::this_thread::sleep_for(kPollInterval);
          break;
      }
    }
    if (pastDeadline(deadline)) {
      return fail(ERROR_TIMEOUT);
    }
  }
}

std::shared_ptr<SharedRegion> createUnnamedShared(uint64_t userSize) {
  if (userSize > static_cast<uint64_t>(PTRDIFF_MAX) - kSharedHeaderSize) {
    return fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  int descriptor = memfd_create("winkernel-mapping", MFD_CLOEXEC);
  if (descriptor < 0) {
    return fail(errorFromErrno(errno));
  }
  const size_t length = kSharedHeaderSize + static_cast<size_t>(userSize);
  struct stat status {};
  void* base = sizeAndMap(descriptor, length, status);
  if (base == MAP_FAILED) {
    int error = errno;
    close(descriptor);
    return fail(errorFromErrno(error));
  }
  auto* header = new (base) SharedHeader();
  header->kind = static_cast<uint32_t>(SharedKind::Mapping);
  header->userSize = userSize;
  header->references.store(1, std::memory_order_relaxed);
  header->seal.store(kSharedSeal, std::memory_order_release);
  return std::make_shared<SharedRegion>(std::string(), descriptor, base, length, status.st_dev,
                                        status.st_ino);
}

}  // namespace winkernel
