#include "SharedRegion.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <new>
#include <utility>
#include <vector>

namespace winkernel {

namespace {

constexpr size_t kMaxHostName = 255;
// Where shm_open keeps its objects; locked to create, open or remove a name.
constexpr const char* kSharedMemoryDirectory = "/dev/shm";

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

// A process that exits lets go of every object it still holds, as its
// handles go with it; the mappings stay for threads still running.
void releaseNamesAtExit() {
  std::vector<std::shared_ptr<SharedRegion>> held;
  {
    std::lock_guard<std::mutex> guard(tableLock());
    for (auto& entry : regionCache()) {
      if (auto region = entry.second.lock()) held.push_back(std::move(region));
    }
  }
  for (auto& region : held) region->releaseName();
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
  static const bool releasingAtExit = std::atexit(releaseNamesAtExit) == 0;
  (void)releasingAtExit;
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

// The host-wide lock around creating, opening and removing names: an
// exclusive flock on the shared memory directory. Re-entrant for its
// thread, as a region that goes while its thread holds the lock (an open
// that fails) removes its name under it. Without the directory nothing can
// be created anyway, and the calls fail on their own.
class HostNameLock {
 public:
  HostNameLock() {
    if (depth_++ != 0) return;
    descriptor_ = open(kSharedMemoryDirectory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (descriptor_ >= 0 && flock(descriptor_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~HostNameLock() {
    if (--depth_ == 0 && descriptor_ >= 0) close(descriptor_);
  }
  HostNameLock(const HostNameLock&) = delete;
  HostNameLock& operator=(const HostNameLock&) = delete;

 private:
  static thread_local int depth_;
  static thread_local int descriptor_;
};

thread_local int HostNameLock::depth_ = 0;
thread_local int HostNameLock::descriptor_ = -1;

// True when no process but the caller holds the object behind `descriptor`;
// the caller then holds it exclusively.
bool heldByNoOneElse(int descriptor) { return flock(descriptor, LOCK_EX | LOCK_NB) == 0; }

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
  void* base = flock(descriptor, LOCK_SH) == 0 ? sizeAndMap(descriptor, length, status) : MAP_FAILED;
  if (base == MAP_FAILED) {
    int error = errno;
    shm_unlink(hostName.c_str());
    close(descriptor);
    return fail(errorFromErrno(error));
  }
  auto* header = new (base) SharedHeader();
  header->kind = static_cast<uint32_t>(kind);
  header->userSize = userSize;
  std::shared_ptr<SharedRegion> region = enterCached(std::make_shared<SharedRegion>(
      hostName, descriptor, base, length, status.st_dev, status.st_ino));
  if (initialise) {
    initialise(region->user());
  }
  return region;
}

// Opens the live object behind `descriptor` (taken over) and holds it.
std::shared_ptr<SharedRegion> openExisting(const std::string& hostName, int descriptor,
                                           SharedKind kind) {
  struct stat status {};
  if (fstat(descriptor, &status) != 0) {
    int error = errno;
    close(descriptor);
    return fail(errorFromErrno(error));
  }
  std::shared_ptr<SharedRegion> region = findCached(RegionKey(status.st_dev, status.st_ino));
  if (region != nullptr) {
    close(descriptor);
  } else {
    auto length = static_cast<size_t>(status.st_size);
    void* base = length >= kSharedHeaderSize && flock(descriptor, LOCK_SH | LOCK_NB) == 0
                     ? mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0)
                     : MAP_FAILED;
    if (base == MAP_FAILED) {
      close(descriptor);
      return fail(ERROR_INVALID_HANDLE);
    }
    region = enterCached(std::make_shared<SharedRegion>(hostName, descriptor, base, length,
                                                        status.st_dev, status.st_ino));
  }
  SharedHeader* header = region->header();
  if (header->kind != static_cast<uint32_t>(kind) || header->userSize > region->userSize()) {
    return fail(ERROR_INVALID_HANDLE);
  }
  return region;
}

}  // namespace

SharedRegion::SharedRegion(std::string hostName, int descriptor, void* base, size_t length,
                           dev_t device, ino_t inode)
    : hostName_(std::move(hostName)),
      holder_(getpid()),
      descriptor_(descriptor),
      base_(base),
      length_(length),
      device_(device),
      inode_(inode) {}

SharedRegion::~SharedRegion() {
  if (heldLevels.load() == 0) {
    munmap(base_, length_);
  }
  releaseName();
  close(descriptor_);
}

void SharedRegion::releaseName() {
  if (hostName_.empty() || getpid() != holder_) return;
  HostNameLock hostLock;
  if (heldByNoOneElse(descriptor_) && stillNamed()) shm_unlink(hostName_.c_str());
  hostName_.clear();
}

bool SharedRegion::stillNamed() const {
  int named = shm_open(hostName_.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (named < 0) return false;
  struct stat status {};
  bool same = fstat(named, &status) == 0 && status.st_dev == device_ && status.st_ino == inode_;
  close(named);
  return same;
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
  HostNameLock hostLock;
  int descriptor = shm_open(hostName.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (descriptor >= 0 && heldByNoOneElse(descriptor)) {
    // Left behind by processes that ended without closing it: gone, as
    // their handles went with them.
    shm_unlink(hostName.c_str());
    close(descriptor);
    descriptor = -1;
    errno = ENOENT;
  }
  if (descriptor >= 0) {
    *existed = true;
    return openExisting(hostName, descriptor, kind);
  }
  if (errno != ENOENT) {
    return fail(errorFromErrno(errno));
  }
  if (!create) {
    return fail(ERROR_FILE_NOT_FOUND);
  }
  descriptor = shm_open(hostName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (descriptor < 0) {
    return fail(errorFromErrno(errno));
  }
  *existed = false;
  return initialiseCreated(hostName, descriptor, kind, userSize, initialise);
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
  return std::make_shared<SharedRegion>(std::string(), descriptor, base, length, status.st_dev,
                                        status.st_ino);
}

}  // namespace winkernel
