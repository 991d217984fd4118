#include "platform/Orv.h"

#include <atomic>
#include <chrono>

#include "orv/OrvTestClock.h"

namespace {

// All ones while the system clock is in use; otherwise the time set by hand.
constexpr uint64_t kSystemClock = ~static_cast<uint64_t>(0);
std::atomic<uint64_t> manualMillis{kSystemClock};

}  // namespace

Orv* Orv::getInstance() {
  static Orv instance;
  return &instance;
}

uint64_t Orv::currentTimeMillis() const {
  uint64_t manual = manualMillis.load(std::memory_order_acquire);
  if (manual != kSystemClock) return manual;
  auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count());
}

namespace orv_test {

void setClock(uint64_t millis) { manualMillis.store(millis, std::memory_order_release); }

void advanceClock(uint64_t millis) { manualMillis.fetch_add(millis, std::memory_order_acq_rel); }

void useSystemClock() { manualMillis.store(kSystemClock, std::memory_order_release); }

}  // namespace orv_test
