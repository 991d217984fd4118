// A second process for the watchdog tests. It makes and starts a watchdog,
// prints one line "attached=A creator=C count=N", waits for a line (or the
// end) on its standard input, destroys the watchdog, prints "destroyed" and
// exits with 0.

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
  if (std::fgets(line, sizeof line, stdin) == nullptr) {
    // The test went away: clean up all the same.
  }
  delete watchdog;
  std::printf("destroyed\n");
  std::fflush(stdout);
  return 0;
}
