#include <windows.h>

#include "platform/PlatformUtil.h"

// Mutexes and threads on Windows: kernel mutexes (re-entrant for their
// owner, and the same calls drive the named ones from CreateMutexA and
// OpenMutexA) and native threads named for debuggers.

void PlatformUtil::createMutex(MutexHandle* mutex) {
  if (mutex == nullptr) return;
  *mutex = CreateMutexA(nullptr, FALSE, nullptr);
}

void PlatformUtil::lockMutex(MutexHandle* mutex) {
  if (mutex == nullptr || *mutex == nullptr) return;
  // A mutex whose owner ended while holding it is ours all the same
  // (WAIT_ABANDONED).
  WaitForSingleObject(*mutex, INFINITE);
}

void PlatformUtil::unlockMutex(MutexHandle* mutex) {
  if (mutex == nullptr || *mutex == nullptr) return;
  ReleaseMutex(*mutex);
}

void PlatformUtil::destroyMutex(MutexHandle* mutex) {
  if (mutex == nullptr || *mutex == nullptr) return;
  // Give back every level the calling thread still holds; ReleaseMutex
  // fails as soon as the thread no longer owns it.
  while (ReleaseMutex(*mutex)) {
  }
  CloseHandle(*mutex);
  *mutex = nullptr;
}

namespace {

struct ThreadStart {
  PlatformUtil::ThreadEntry entry;
  void* argument;
};

DWORD WINAPI runThread(void* start) {
  ThreadStart copy = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  return copy.entry(copy.argument);
}

// SetThreadDescription exists from Windows 10 1607 on; older systems (and
// wine) may lack it, so it is looked up rather than linked.
void nameThread(HANDLE thread, const char* name) {
  using Describe = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto describe = kernel != nullptr ? reinterpret_cast<Describe>(reinterpret_cast<void*>(
                                          GetProcAddress(kernel, "SetThreadDescription")))
                                    : nullptr;
  if (describe == nullptr || name == nullptr) return;
  wchar_t wide[64] = {};
  for (size_t i = 0; i + 1 < sizeof wide / sizeof wide[0] && name[i] != '\0'; ++i) {
    wide[i] = static_cast<unsigned char>(name[i]);
  }
  describe(thread, wide);
}

}  // namespace

PlatformUtil::ThreadHandle PlatformUtil::createThread(ThreadEntry entry, void* argument,
                                                      const char* name) {
  auto* start = new ThreadStart{entry, argument};
  HANDLE thread = CreateThread(nullptr, 0, &runThread, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    return INVALID_HANDLE_VALUE;
  }
  nameThread(thread, name);
  return thread;
}
