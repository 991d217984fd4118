#include "platform/PlatformUtil.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/WinKernel.h"
#include "winkernel/KernelSupport.h"

namespace {

using std::chrono::milliseconds;

// The mutexes the library makes itself, and the named one it is handed by
// the refresh watchdog: both are re-entrant for the holding thread and keep
// out every other thread until the last level is given back.
TEST(PlatformUtilTest, MutexIsReentrantForTheHoldingThreadOnly) {
  static std::string space;
  space = std::string(winkernel::kNamespaceVariable) + "=pu-" + std::to_string(getpid());
  putenv(space.data());
  for (bool named : {false, true}) {
    SCOPED_TRACE(named ? "named" : "unnamed");
    PlatformUtil::MutexHandle mutex = nullptr;
    if (named) {
      mutex = CreateMutexA(nullptr, FALSE, "guard");
    } else {
      PlatformUtil::createMutex(&mutex);
    }
    ASSERT_NE(mutex, nullptr);

    PlatformUtil::lockMutex(&mutex);
    PlatformUtil::lockMutex(&mutex);  // must not block
    std::atomic<bool> acquired{false};
    std::thread other([&] {
      PlatformUtil::lockMutex(&mutex);
      acquired = true;
      PlatformUtil::unlockMutex(&mutex);
    });
    std::this_thread::sleep_for(milliseconds(150));
    EXPECT_FALSE(acquired);
    PlatformUtil::unlockMutex(&mutex);
    std::this_thread::sleep_for(milliseconds(150));
    EXPECT_FALSE(acquired) << "still held once by the first thread";
    PlatformUtil::unlockMutex(&mutex);
    other.join();
    EXPECT_TRUE(acquired);

    PlatformUtil::destroyMutex(&mutex);
    EXPECT_EQ(mutex, nullptr);
  }
}

}  // namespace
