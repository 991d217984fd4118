// A second process for the watchdog tests, in the kernel namespace it
// inherits: makes and starts a watchdog and prints "attached=A creator=C
// count=N". As "die" it then takes "wifiMutex" and kills itself. Otherwise it
// waits until it can take the mutex "go" (held by the test until then),
// destroys the watchdog, lets "go" go and exits with 0.

#include <csignal>
#include <cstdio>
#include <cstring>

#include "core/WifiRefreshWatchdog.h"

int main(int argc, char** argv) {
  auto* watchdog = new WifiRefreshWatchdog();
  watchdog->init();
  watchdog->start();
  std::printf("attached=%d creator=%d count=%u\n", watchdog->isAttached() ? 1 : 0, watchdog->isCreator() ? 1 : 0,
              watchdog->attachCount());
  std::fflush(stdout);
  const bool die = argc == 2 && std::strcmp(argv[1], "die") == 0;
  HANDLE mutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, die ? "wifiMutex" : "go");
  if (mutex == nullptr || WaitForSingleObject(mutex, INFINITE) != WAIT_OBJECT_0) return 1;
  if (die) {
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), 9);
#else
    raise(SIGKILL);
#endif
  }
  delete watchdog;
  return ReleaseMutex(mutex) && CloseHandle(mutex) ? 0 : 1;
}
