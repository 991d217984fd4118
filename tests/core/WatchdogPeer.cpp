// A second process for the watchdog tests, in the kernel namespace it
// inherits. It prints its process id, then as "watch" makes and starts a
// watchdog and prints "attached=A creator=C count=N"; as "hold" it takes
// "wifiMutex" and prints "holding". Once it can take the mutex named by its
// second argument (held by the test until then) it destroys the watchdog
// and exits with 0.

#include <cstdio>
#include <cstring>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "core/WifiRefreshWatchdog.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  std::printf("%d\n", static_cast<int>(getpid()));
  WifiRefreshWatchdog* watchdog = nullptr;
  if (std::strcmp(argv[1], "hold") == 0) {
    HANDLE guard = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "wifiMutex");
    bool held = guard != nullptr && WaitForSingleObject(guard, INFINITE) == WAIT_OBJECT_0;
    std::printf(held ? "holding\n" : "not held\n");
  } else {
    watchdog = new WifiRefreshWatchdog();
    watchdog->init();
    watchdog->start();
    std::printf("attached=%d creator=%d count=%u\n", watchdog->isAttached() ? 1 : 0, watchdog->isCreator() ? 1 : 0,
                watchdog->attachCount());
  }
  std::fflush(stdout);
  HANDLE go = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, argv[2]);
  if (go == nullptr || WaitForSingleObject(go, INFINITE) != WAIT_OBJECT_0) return 1;
  delete watchdog;
  return ReleaseMutex(go) && CloseHandle(go) ? 0 : 1;
}
