#pragma once

#include "platform/PlatformUtil.h"

// Holds a PlatformUtil mutex for the scope.
class ScopedMutex {
 public:
  explicit ScopedMutex(PlatformUtil::MutexHandle* mutex) : mutex_(mutex) {
    PlatformUtil::lockMutex(mutex_);
  }
  ~ScopedMutex() { PlatformUtil::unlockMutex(mutex_); }
  ScopedMutex(const ScopedMutex&) = delete;
  ScopedMutex& operator=(const ScopedMutex&) = delete;

 private:
  PlatformUtil::MutexHandle* mutex_;
};

// Holds anything with lock() and unlock() for the scope: the database lock,
// or the host settings lock.
template <typename Lockable>
class ScopedLock {
 public:
  explicit ScopedLock(Lockable& lockable) : lockable_(lockable) { lockable_.lock(); }
  ~ScopedLock() { lockable_.unlock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  Lockable& lockable_;
};
