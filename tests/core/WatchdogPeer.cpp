// A second process for the watchdog tests. It makes and starts a watchdog,
// prints one line "attached=A creator=C count=N", waits for its standard
// input to end (or a line on it), destroys the watchdog, prints "destroyed"
// and exits with 0. A line "hold" first takes "wifiMutex" and prints
// "holding" (for tests that kill it there).

#include <cstdio>
#include <cstring>

#include "core/WifiRefreshWatchdog.h"

int main() {
  auto* watchdog = new WifiRefreshWatchdog();
  watchdog->init();
  watchdog->start();
  std::printf("attached=%d creator=%d count=%u\n", watchdog->isAttached() ? 1 : 0,
              watchdog->isCreator() ? 1 : 0, watchdog->attachCount());
  std::fflush(stdout);
  char line[64];
  while (std::fgets(line, sizeof line, stdin) != nullptr && std::strcmp(line, "hold\n") == 0) {
    WaitForSingleObject(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "wifiMutex"), INFINITE);
    std::printf("holding\n");
    std::fflush(stdout);
  }
  delete watchdog;
  std::printf("destroyed\n");
  return 0;
}
