#include "platform/PlatformUtil.h"

#include <atomic>
#include <cstdint>
#include <new>
#include <thread>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/WinKernel.h"
#include "winkernel/KernelSupport.h"

// The mutexes createMutex makes are process-local: a futex word with an
// owner and a depth, taken and released without the kernel handle table.
// Their handles carry a set low bit, which no kernel handle has (a kernel
// handle is the address of its object), so the same calls still drive the
// named mutexes that CreateMutexA/OpenMutexA give.
//
// Like the kernel mutexes they replace, they are no pthread mutexes: the
// instance destructor takes its own mutex before the database's, against
// the usual order, which is safe only because nothing else runs then, and a
// lock-order checker would flag it on every teardown.

namespace {

void futexWait(std::atomic<uint32_t>* word, uint32_t expected) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAIT_PRIVATE, expected, nullptr,
          nullptr, 0);
}

void futexWakeOne(std::atomic<uint32_t>* word) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

struct LocalMutex {
  static constexpr uint32_t kFree = 0;
  static constexpr uint32_t kHeld = 1;
  static constexpr uint32_t kHeldWithWaiters = 2;

  std::atomic<uint32_t> state{kFree};
  // Read by other threads only to learn that they are not the owner.
  std::atomic<std::thread::id> owner{};
  uint32_t depth = 0;

  void lock() {
    std::thread::id self = std::this_thread::get_id();
    if (owner.load(std::memory_order_relaxed) != self) {
      uint32_t seen = kFree;
      if (!state.compare_exchange_strong(seen, kHeld, std::memory_order_acquire)) {
        // Contended: mark the waiters and sleep until a release wakes us.
        if (seen != kHeldWithWaiters) seen = state.exchange(kHeldWithWaiters, std::memory_order_acquire);
        while (seen != kFree) {
          futexWait(&state, kHeldWithWaiters);
          seen = state.exchange(kHeldWithWaiters, std::memory_order_acquire);
        }
      }
      owner.store(self, std::memory_order_relaxed);
    }
    ++depth;
  }

  // False when the calling thread does not hold it, as ReleaseMutex.
  bool unlock() {
    if (owner.load(std::memory_order_relaxed) != std::this_thread::get_id()) return false;
    if (--depth == 0) {
      owner.store(std::thread::id(), std::memory_order_relaxed);
      if (state.exchange(kFree, std::memory_order_release) == kHeldWithWaiters) futexWakeOne(&state);
    }
    return true;
  }
};

constexpr uintptr_t kLocalTag = 1;

LocalMutex* localMutex(PlatformUtil::MutexHandle handle) {
  auto bits = reinterpret_cast<uintptr_t>(handle);
  return (bits & kLocalTag) != 0 ? reinterpret_cast<LocalMutex*>(bits & ~kLocalTag) : nullptr;
}

}  // namespace

void PlatformUtil::createMutex(MutexHandle* mutex) {
  if (mutex == nullptr) {
    return;
  }
  auto* local = new (std::nothrow) LocalMutex();
  *mutex = local != nullptr ? reinterpret_cast<MutexHandle>(reinterpret_cast<uintptr_t>(local) | kLocalTag)
                            : nullptr;
}

void PlatformUtil::lockMutex(MutexHandle* mutex) {
  if (mutex == nullptr || *mutex == nullptr) {
    return;
  }
  if (LocalMutex* local = localMutex(*mutex)) {
    local->lock();
    return;
  }
  // A mutex whose owner ended while holding it is ours all the same
  // (WAIT_ABANDONED).
  WaitForSingleObject(*mutex, INFINITE);
}

void PlatformUtil::unlockMutex(MutexHandle* mutex) {
  if (mutex == nullptr || *mutex == nullptr) {
    return;
  }
  if (LocalMutex* local = localMutex(*mutex)) {
    local->unlock();
    return;
  }
  ReleaseMutex(*mutex);
}

void PlatformUtil::destroyMutex(MutexHandle* mutex) {
  if (mutex == nullptr || *mutex == nullptr) {
    return;
  }
  // Give back every level the calling thread still holds; a release fails
  // as soon as the thread no longer owns the mutex.
  if (LocalMutex* local = localMutex(*mutex)) {
    while (local->unlock()) {
    }
    delete local;
  } else {
    while (ReleaseMutex(*mutex) != FALSE) {
    }
    CloseHandle(*mutex);
  }
  *mutex = nullptr;
}

PlatformUtil::ThreadHandle PlatformUtil::createThread(ThreadEntry entry, void* argument,
                                                      const char* name) {
  return winkernel::createThread(entry, argument, name);
}
