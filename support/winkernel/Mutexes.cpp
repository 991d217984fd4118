// Mutexes: CreateMutexA, OpenMutexA and ReleaseMutex, and their waits.
//
// Both kinds are owned by a thread and re-entrant for it: every successful
// wait by the owner adds a level and every ReleaseMutex takes one off.
// An unnamed mutex lives in this process. A named one is a robust,
// recursive, process-shared mutex in host shared memory: when its owner dies
// while holding it, the next wait gets it with WAIT_ABANDONED, as on Windows.

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <thread>
#include <unordered_map>

#include "KernelObject.h"
#include "SharedRegion.h"

namespace winkernel {

namespace {

constexpr uint32_t kMaxLevels = 0x7FFFFFFFu;

// Levels of named mutexes the calling thread holds, by the mutex's address
// in this process. ReleaseMutex answers a thread that holds none itself
// instead of asking the host mutex, so that a release by a thread that is
// not the owner is a plain failure. The address stays valid while a level is
// held: the mapping of a held mutex is never unmapped.
thread_local std::unordered_map<const void*, uint32_t> namedLevels;

// The only thread of a child made by fork() is a copy of the forking thread,
// but it owns none of the forking thread's mutexes.
void forgetLevelsInChild() { namedLevels.clear(); }
[[maybe_unused]] const int forkHandlers = pthread_atfork(nullptr, nullptr, forgetLevelsInChild);

class LocalMutex final : public Object {
 public:
  LocalMutex() : Object(Kind::LocalMutex) {}

  DWORD wait(DWORD milliseconds) override {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> lock(lock_);
    if (levels_ != 0 && owner_ == self) {
      if (levels_ == kMaxLevels) {
        setLastError(ERROR_MUTANT_LIMIT_EXCEEDED);
        return WAIT_FAILED;
      }
      ++levels_;
      return WAIT_OBJECT_0;
    }
    if (!waitUntilReady(released_, lock, milliseconds, [this] { return levels_ == 0; })) {
      return WAIT_TIMEOUT;
    }
    owner_ = self;
    levels_ = 1;
    return WAIT_OBJECT_0;
  }

  bool release() {
    std::lock_guard<std::mutex> guard(lock_);
    if (levels_ == 0 || owner_ != std::this_thread::get_id()) {
      setLastError(ERROR_NOT_OWNER);
      return false;
    }
    if (--levels_ == 0) {
      owner_ = std::thread::id();
      released_.notify_one();
    }
    return true;
  }

 private:
  std::mutex lock_;
  std::condition_variable released_;
  std::thread::id owner_;
  uint32_t levels_ = 0;
};

#if defined(__SANITIZE_THREAD__)
#define WINKERNEL_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define WINKERNEL_THREAD_SANITIZER 1
#endif
#endif

// pthread_mutex_lock with a time limit.
int timedLock(pthread_mutex_t* mutex, DWORD milliseconds) {
#ifdef WINKERNEL_THREAD_SANITIZER
  // ThreadSanitizer does not record a timed lock that comes back with
  // EOWNERDEAD as taken, and then reports its release; a try-lock it does
  // record, so under it the wait tries again and again until the deadline.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    int result = pthread_mutex_trylock(mutex);
    if (result != EBUSY || std::chrono::steady_clock::now() >= deadline) {
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
#else
  timespec deadline{};
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += static_cast<time_t>(milliseconds / 1000);
  deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  return pthread_mutex_timedlock(mutex, &deadline);
#endif
}

class NamedMutex final : public Object {
 public:
  explicit NamedMutex(std::shared_ptr<SharedRegion> region)
      : Object(Kind::NamedMutex), region_(std::move(region)) {}

  DWORD wait(DWORD milliseconds) override {
    pthread_mutex_t* mutex = native();
    int result;
    if (milliseconds == INFINITE) {
      result = pthread_mutex_lock(mutex);
    } else if (milliseconds == 0) {
      result = pthread_mutex_trylock(mutex);
    } else {
      result = timedLock(mutex, milliseconds);
    }
    switch (result) {
      case 0:
        taken();
        return WAIT_OBJECT_0;
      case EOWNERDEAD:
        // The owner died holding it: it is ours now, at one level, and
        // usable again. Levels a dead thread of this process held are gone.
        pthread_mutex_consistent(mutex);
        namedLevels[mutex] = 1;
        region_->heldLevels.store(1);
        return WAIT_ABANDONED;
      case EBUSY:
      case ETIMEDOUT:
        return WAIT_TIMEOUT;
      case EAGAIN:
        setLastError(ERROR_MUTANT_LIMIT_EXCEEDED);
        return WAIT_FAILED;
      default:
        setLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
  }

  bool release() {
    auto held = namedLevels.find(native());
    if (held == namedLevels.end() || pthread_mutex_unlock(native()) != 0) {
      setLastError(ERROR_NOT_OWNER);
      return false;
    }
    if (--held->second == 0) {
      namedLevels.erase(held);
    }
    region_->heldLevels.fetch_sub(1);
    return true;
  }

  // Counts a level the calling thread has just taken.
  void taken() {
    ++namedLevels[native()];
    region_->heldLevels.fetch_add(1);
  }

 private:
  pthread_mutex_t* native() const { return static_cast<pthread_mutex_t*>(region_->user()); }

  std::shared_ptr<SharedRegion> region_;
};

void initialiseNamedMutex(void* memory) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(static_cast<pthread_mutex_t*>(memory), &attributes);
  pthread_mutexattr_destroy(&attributes);
}

HANDLE openNamedMutex(const char* name, bool create, bool initialOwner) {
  bool existed = false;
  bool owned = false;
  std::shared_ptr<SharedRegion> region = openShared(
      name, SharedKind::Mutex, sizeof(pthread_mutex_t), create,
      [&](void* memory) {
        initialiseNamedMutex(memory);
        // Taken before anyone else can open it.
        if (initialOwner && pthread_mutex_lock(static_cast<pthread_mutex_t*>(memory)) == 0) {
          owned = true;
        }
      },
      &existed);
  if (region == nullptr) {
    return nullptr;
  }
  auto mutex = std::make_shared<NamedMutex>(std::move(region));
  if (owned) {
    mutex->taken();
  }
  HANDLE handle = publish(mutex);
  // Only a create tells whether the mutex was there already.
  setLastError(create && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

}  // namespace

}  // namespace winkernel

using winkernel::Kind;
using winkernel::setLastError;

extern "C" {

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES /*attributes*/, BOOL initialOwner, LPCSTR name) {
  if (name != nullptr && *name != '\0') {
    return winkernel::openNamedMutex(name, true, initialOwner != FALSE);
  }
  auto mutex = std::make_shared<winkernel::LocalMutex>();
  if (initialOwner != FALSE) {
    mutex->wait(0);
  }
  HANDLE handle = winkernel::publish(mutex);
  setLastError(ERROR_SUCCESS);
  return handle;
}

HANDLE OpenMutexA(DWORD /*desiredAccess*/, BOOL /*inheritHandle*/, LPCSTR name) {
  if (name == nullptr || *name == '\0') {
    setLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return winkernel::openNamedMutex(name, false, false);
}

BOOL ReleaseMutex(HANDLE mutex) {
  std::shared_ptr<winkernel::Object> object = winkernel::lookup(mutex);
  if (object == nullptr) {
    return FALSE;
  }
  switch (object->kind()) {
    case Kind::LocalMutex:
      return static_cast<winkernel::LocalMutex&>(*object).release() ? TRUE : FALSE;
    case Kind::NamedMutex:
      return static_cast<winkernel::NamedMutex&>(*object).release() ? TRUE : FALSE;
    default:
      setLastError(ERROR_INVALID_HANDLE);
      return FALSE;
  }
}

}  // extern "C"
