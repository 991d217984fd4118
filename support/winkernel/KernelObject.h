#pragma once

// Kernel objects of the stand-in and the process-wide table that turns
// handles into objects. A handle is the address of its object; it is looked
// up in the table before it is used, so a stale, null or made-up handle is
// refused with ERROR_INVALID_HANDLE instead of being followed.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/WinKernel.h"
#include "KernelSupport.h"

namespace winkernel {

enum class Kind : uint32_t {
  LocalMutex = 0x4b4d5458u,
  NamedMutex = 0x4b4e4d58u,
  Semaphore = 0x4b53454du,
  Mapping = 0x4b4d4150u,
  Thread = 0x4b544852u,
};

class Object {
 public:
  explicit Object(Kind kind) : kind_(kind) {}
  virtual ~Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  Kind kind() const { return kind_; }
  bool intact() const { return seal_ == kSeal; }

  // Waits until the object is signalled: WAIT_OBJECT_0, WAIT_ABANDONED,
  // WAIT_TIMEOUT, or WAIT_FAILED with the thread's error set. Objects that
  // cannot be waited on fail with ERROR_INVALID_HANDLE.
  virtual DWORD wait(DWORD milliseconds);

 private:
  static constexpr uint32_t kSeal = 0x57494e4bu;
  uint32_t seal_ = kSeal;
  Kind kind_;
};

void setLastError(DWORD code);

// The lock of every process-wide table of the stand-in (handles, views,
// shared regions). It is held across fork() so that a child never inherits
// it in a locked state.
std::mutex& tableLock();

// Enters the object in the handle table and returns its handle.
HANDLE publish(const std::shared_ptr<Object>& object);

// The live object behind `handle`, or null with ERROR_INVALID_HANDLE.
std::shared_ptr<Object> lookup(HANDLE handle);

// The live object behind `handle` when it is of `kind`, or null with
// ERROR_INVALID_HANDLE.
template <typename T>
std::shared_ptr<T> lookupAs(HANDLE handle, Kind kind) {
  std::shared_ptr<Object> object = lookup(handle);
  if (object == nullptr) {
    return nullptr;
  }
  if (object->kind() != kind) {
    setLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return std::static_pointer_cast<T>(object);
}

// Waits on `ready` under `lock` for `milliseconds` (INFINITE for no limit).
// True when `ready` holds at the end.
template <typename Condition, typename Lock, typename Predicate>
bool waitUntilReady(Condition& condition, Lock& lock, DWORD milliseconds, Predicate ready) {
  if (milliseconds == INFINITE) {
    condition.wait(lock, ready);
    return true;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  return condition.wait_until(lock, deadline, ready);
}

}  // namespace winkernel
