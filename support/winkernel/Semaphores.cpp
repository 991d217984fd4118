// Unnamed counting semaphores: CreateSemaphoreA, ReleaseSemaphore and their
// waits. A successful wait takes one from the count.

#include <condition_variable>
#include <cstdint>

#include "KernelObject.h"

namespace winkernel {

namespace {

class Semaphore final : public Object {
 public:
  Semaphore(LONG initial, LONG maximum)
      : Object(Kind::Semaphore), count_(initial), maximum_(maximum) {}

  DWORD wait(DWORD milliseconds) override {
    std::unique_lock<std::mutex> lock(lock_);
    if (!waitUntilReady(posted_, lock, milliseconds, [this] { return count_ > 0; })) {
      return WAIT_TIMEOUT;
    }
    --count_;
    return WAIT_OBJECT_0;
  }

  bool release(LONG releaseCount, LONG* previous) {
    std::lock_guard<std::mutex> guard(lock_);
    if (static_cast<int64_t>(count_) + releaseCount > maximum_) {
      setLastError(ERROR_TOO_MANY_POSTS);
      return false;
    }
    if (previous != nullptr) {
      *previous = count_;
    }
    count_ += releaseCount;
    if (releaseCount == 1) {
      posted_.notify_one();
    } else {
      posted_.notify_all();
    }
    return true;
  }

 private:
  std::mutex lock_;
  std::condition_variable posted_;
  LONG count_;
  const LONG maximum_;
};

}  // namespace

}  // namespace winkernel

extern "C" {

HANDLE CreateSemaphoreA(LPSECURITY_ATTRIBUTES /*attributes*/, LONG initialCount,
                        LONG maximumCount, LPCSTR name) {
  if (name != nullptr && *name != '\0') {
    winkernel::setLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
    winkernel::setLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HANDLE handle =
      winkernel::publish(std::make_shared<winkernel::Semaphore>(initialCount, maximumCount));
  winkernel::setLastError(ERROR_SUCCESS);
  return handle;
}

BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LPLONG previousCount) {
  auto object = winkernel::lookupAs<winkernel::Semaphore>(semaphore, winkernel::Kind::Semaphore);
  if (object == nullptr) {
    return FALSE;
  }
  if (releaseCount <= 0) {
    winkernel::setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return object->release(releaseCount, previousCount) ? TRUE : FALSE;
}

}  // extern "C"
