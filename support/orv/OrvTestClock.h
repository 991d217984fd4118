#pragma once

#include <cstdint>

// For tests only: drives the clock of the runtime stand-in by hand. The
// library itself never includes this.
namespace orv_test {

// From now on the clock reads `millis` until moved again.
void setClock(uint64_t millis);
// Moves a clock set by hand forward.
void advanceClock(uint64_t millis);
// Back to the monotonic system clock.
void useSystemClock();

}  // namespace orv_test
