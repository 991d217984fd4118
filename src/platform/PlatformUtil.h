#pragma once

#include <cstdint>

// Mutexes and threads of the platform support library. A mutex handle is
// pointer-sized: the holding thread may take it again without blocking.
// createMutex makes process-local mutexes; the named cross-process mutexes
// that CreateMutexA/OpenMutexA give are driven by the same calls.
class PlatformUtil {
 public:
  using MutexHandle = void*;
  using ThreadHandle = void*;
  using ThreadEntry = uint32_t (*)(void* argument);

  static void createMutex(MutexHandle* mutex);
  static void lockMutex(MutexHandle* mutex);
  static void unlockMutex(MutexHandle* mutex);
  // Destroys the mutex and sets the handle to null. A mutex still held by
  // the calling thread is released first.
  static void destroyMutex(MutexHandle* mutex);

  // Starts a named thread running entry(argument). The handle is a kernel
  // handle: WaitForSingleObject waits for the thread to end and CloseHandle
  // releases it. Returns all ones when no thread could be started.
  static ThreadHandle createThread(ThreadEntry entry, void* argument, const char* name);
};
