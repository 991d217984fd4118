// A second process for the watchdog tests. It makes and starts a watchdog,
// prints one line "attached=A creator=C count=N", waits for its standard
// input to end (or a line on it), destroys the watchdog, prints "destroyed"
// and exits with 0.

#include <cstdio>

#include "core/WifiRefreshWatchdog.h"

int main() {
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
