#include "platform/PlatformUtil.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

#include "platform/WinKernel.h"
#include "winkernel/KernelSupport.h"

namespace {

// The mutexes the library makes itself, and the named one it is handed by
// the refresh watchdog: both are re-entrant for the holding thread and keep
// out every other thread until the last level is given back.
TEST(PlatformUtilTest, MutexIsReentrantForTheHoldingThreadOnly) {
  static std::string space = std::string(winkernel::kNamespaceVariable) + "=pu-" + std::to_string(getpid());
  putenv(space.data());
  for (bool named : {false, true}) {
    PlatformUtil::MutexHandle mutex = named ? CreateMutexA(nullptr, FALSE, "guard") : nullptr;
    if (!named) PlatformUtil::createMutex(&mutex);
    PlatformUtil::lockMutex(&mutex);
    PlatformUtil::lockMutex(&mutex);  // must not block
    std::future<void> other = std::async(std::launch::async, [&] {
      PlatformUtil::lockMutex(&mutex);
      PlatformUtil::unlockMutex(&mutex);
    });
    for (int level = 2; level > 0; --level, PlatformUtil::unlockMutex(&mutex)) {
      EXPECT_EQ(other.wait_for(std::chrono::milliseconds(150)), std::future_status::timeout) << named << level;
    }
    other.get();
    PlatformUtil::destroyMutex(&mutex);
    EXPECT_EQ(mutex, nullptr);
  }
}

}  // namespace
