// A second process for the watchdog tests. It makes and starts a watchdog,
// prints one line "attached=A creator=C count=N", waits for its standard
// input to end (or a line on it), destroys the watchdog, prints "destroyed"
// and exits with 0. With the argument "hold" it takes "wifiMutex" instead,
// prints "holding" and waits, holding it, to be killed.

#include <cstdio>
#include <cstring>

#include "core/WifiRefreshWatchdog.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "hold") == 0) {
    HANDLE guard = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "wifiMutex");
    bool held = guard != nullptr && WaitForSingleObject(guard, INFINITE) == WAIT_OBJECT_0;
    std::printf(held ? "holding\n" : "not held\n");
    std::fflush(stdout);
    char line[64];
    (void)!std::fgets(line, sizeof line, stdin);
    return 1;
  }
  auto* watchdog = new WifiRefreshWatchdog();
  watchdog->init();
  watchdog->start();
  std::printf("attached=%d creator=%d count=%u\n", watchdog->isAttached() ? 1 : 0,
              watchdog->isCreator() ? 1 : 0, watchdog->attachCount());
  std::fflush(stdout);
  char line[64];
  (void)!std::fgets(line, sizeof line, stdin);
  delete watchdog;
  std::printf("destroyed\n");
  return 0;
}
