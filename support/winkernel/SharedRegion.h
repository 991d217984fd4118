#pragma once

// Named kernel objects live in host shared memory: a 64-byte header followed
// by the object's own bytes (a mutex, or the bytes of a file mapping).
//
// As on Windows, an object lives as long as some process has a handle (or a
// view) on it, however that process ends. Every process that has the object
// open holds a shared flock on it through its one mapping, and the kernel
// drops that lock when the process ends, killed or not. The process whose
// last handle goes removes the name when no other process holds a lock; an
// object nobody holds any longer was left by processes that died, and the
// next one to open the name removes it (and creates it afresh when asked to).
//
// Creating, opening and removing a name happen under one host-wide lock, so
// they never interleave between processes, and an object is initialised
// before anyone else can open it.
//
// Within a process, every handle on one object shares a single mapping of
// it (a SharedRegion), so a mutex in it has one address per process.

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "KernelObject.h"

namespace winkernel {

enum class SharedKind : uint32_t { Mutex = 1, Mapping = 2 };

constexpr size_t kSharedHeaderSize = 64;

struct SharedHeader {
  uint32_t kind;      // SharedKind
  uint32_t padding;
  uint64_t userSize;  // bytes after the header
};
static_assert(sizeof(SharedHeader) <= kSharedHeaderSize, "the header fits its slot");

class SharedRegion {
 public:
  SharedRegion(std::string hostName, int descriptor, void* base, size_t length, dev_t device,
               ino_t inode);
  ~SharedRegion();
  SharedRegion(const SharedRegion&) = delete;
  SharedRegion& operator=(const SharedRegion&) = delete;

  SharedHeader* header() const { return static_cast<SharedHeader*>(base_); }
  void* user() const { return static_cast<char*>(base_) + kSharedHeaderSize; }
  // From the local mapping, not from the header another process could write.
  uint64_t userSize() const { return length_ - kSharedHeaderSize; }
  int descriptor() const { return descriptor_; }
  size_t length() const { return length_; }
  dev_t device() const { return device_; }
  ino_t inode() const { return inode_; }

  // Lets go of the name: the last holder on the host removes it. Once only,
  // from the process that opened the object.
  void releaseName();

  // Mutex levels held, through this mapping, by threads of this process.
  // While any are held the mapping is kept when the region goes, because
  // the owning thread's list of held robust mutexes points into it.
  std::atomic<int64_t> heldLevels{0};

 private:
  bool stillNamed() const;

  std::string hostName_;  // empty for an unnamed object
  pid_t holder_;          // a child inherits the lock but doesn't own the name
  int descriptor_;
  void* base_;
  size_t length_;
  dev_t device_;
  ino_t inode_;
};

// Opens the object `name` of `kind`, or with `create` creates it when it
// does not exist (with `userSize` zero bytes after the header, then
// `initialise` on them, before anyone else can open it). On success
// `*existed` tells whether it was opened rather than created, and this
// process holds the object until the region goes. On failure returns null
// with the thread's error set: ERROR_FILE_NOT_FOUND when it does not exist
// and `create` is false, ERROR_INVALID_HANDLE when the name belongs to
// another kind of object.
std::shared_ptr<SharedRegion> openShared(const char* name, SharedKind kind, uint64_t userSize,
                                         bool create,
                                         const std::function<void(void* user)>& initialise,
                                         bool* existed);

// A region of `userSize` zero bytes with no name, for unnamed mappings.
std::shared_ptr<SharedRegion> createUnnamedShared(uint64_t userSize);

// Maps a host error number to the Windows error code closest to it.
DWORD errorFromErrno(int error);

}  // namespace winkernel
