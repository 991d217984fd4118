#include "platform/PlatformUtil.h"

#include "platform/WinKernel.h"
#include "winkernel/KernelSupport.h"

// The mutexes are kernel mutexes: re-entrant for the owning thread, and the
// same calls drive the named ones that CreateMutexA/OpenMutexA give.

void PlatformUtil::createMutex(MutexHandle* mutex) {
  if (mutex == nullptr) {
    return;
  }
  *mutex = CreateMutexA(nullptr, FALSE, nullptr);
}

void PlatformUtil::lockMutex(MutexHandle* mutex) {
  if (mutex == nullptr || *mutex == nullptr) {
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
  ReleaseMutex(*mutex);
}

void PlatformUtil::destroyMutex(MutexHandle* mutex) {
  if (mutex == nullptr || *mutex == nullptr) {
    return;
  }
  // Give back every level the calling thread still holds; ReleaseMutex
  // fails as soon as the thread no longer owns it.
  while (ReleaseMutex(*mutex) != FALSE) {
  }
  CloseHandle(*mutex);
  *mutex = nullptr;
}

PlatformUtil::ThreadHandle PlatformUtil::createThread(ThreadEntry entry, void* argument,
                                                      const char* name) {
  return winkernel::createThread(entry, argument, name);
}
