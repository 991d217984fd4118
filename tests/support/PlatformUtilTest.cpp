#include "platform/PlatformUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace {

// The mutexes the library makes itself are re-entrant for the holding
// thread and keep out every other thread until the last level is given
// back. (Named ones are the kernel's: the refresh watchdog's tests.)
TEST(PlatformUtilTest, MutexIsReentrantForTheHoldingThreadOnly) {
  PlatformUtil::MutexHandle mutex = nullptr;
  PlatformUtil::createMutex(&mutex);
  PlatformUtil::lockMutex(&mutex);
  PlatformUtil::lockMutex(&mutex);  // must not block
  std::future<void> other = std::async(std::launch::async, [&] {
    PlatformUtil::lockMutex(&mutex);
    PlatformUtil::unlockMutex(&mutex);
  });
  for (int level = 2; level > 0; --level, PlatformUtil::unlockMutex(&mutex)) {
    EXPECT_EQ(other.wait_for(std::chrono::milliseconds(150)), std::future_status::timeout) << level;
  }
  other.get();
  PlatformUtil::destroyMutex(&mutex);
  EXPECT_EQ(mutex, nullptr);
}

}  // namespace
