#include "platform/PlatformUtil.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/WinKernel.h"
#include "winkernel/KernelSupport.h"

namespace {

using std::chrono::milliseconds;

class PlatformUtilTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string space = "pu-" + std::to_string(getpid()) + "-" + info->name();
    setenv(winkernel::kNamespaceVariable, space.c_str(), 1);
  }
};

TEST_F(PlatformUtilTest, MutexIsReentrantForTheHoldingThread) {
  PlatformUtil::MutexHandle mutex = nullptr;
  PlatformUtil::createMutex(&mutex);
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

TEST_F(PlatformUtilTest, DestroyGivesBackEveryLevelTheCallerHolds) {
  // An unnamed mutex destroyed while held three levels deep.
  PlatformUtil::MutexHandle mutex = nullptr;
  PlatformUtil::createMutex(&mutex);
  HANDLE kept = mutex;
  PlatformUtil::lockMutex(&mutex);
  PlatformUtil::lockMutex(&mutex);
  PlatformUtil::lockMutex(&mutex);
  PlatformUtil::destroyMutex(&mutex);
  EXPECT_EQ(mutex, nullptr);
  EXPECT_EQ(WaitForSingleObject(kept, 0), WAIT_FAILED) << "the handle is closed";

  // A named mutex: another handle of it becomes free to take, not abandoned.
  PlatformUtil::MutexHandle named = CreateMutexA(nullptr, FALSE, "guard");
  ASSERT_NE(named, nullptr);
  HANDLE other = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "guard");
  ASSERT_NE(other, nullptr);
  PlatformUtil::lockMutex(&named);
  PlatformUtil::lockMutex(&named);
  PlatformUtil::destroyMutex(&named);
  EXPECT_EQ(named, nullptr);
  DWORD taken = WAIT_FAILED;
  std::thread([&] {
    taken = WaitForSingleObject(other, 1000);
    ReleaseMutex(other);
  }).join();
  EXPECT_EQ(taken, WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(other));

  // Destroying one held by another thread leaves that thread alone.
  PlatformUtil::MutexHandle foreign = nullptr;
  PlatformUtil::createMutex(&foreign);
  std::atomic<int> stage{0};
  std::thread holder([&] {
    PlatformUtil::lockMutex(&foreign);
    stage = 1;
    while (stage.load() != 2) {
      std::this_thread::sleep_for(milliseconds(1));
    }
  });
  while (stage.load() != 1) {
    std::this_thread::sleep_for(milliseconds(1));
  }
  PlatformUtil::destroyMutex(&foreign);
  EXPECT_EQ(foreign, nullptr);
  stage = 2;
  holder.join();
}

TEST_F(PlatformUtilTest, NullHandlesAreIgnored) {
  PlatformUtil::createMutex(nullptr);
  PlatformUtil::lockMutex(nullptr);
  PlatformUtil::unlockMutex(nullptr);
  PlatformUtil::destroyMutex(nullptr);
  PlatformUtil::MutexHandle none = nullptr;
  PlatformUtil::lockMutex(&none);
  PlatformUtil::unlockMutex(&none);
  PlatformUtil::destroyMutex(&none);
  EXPECT_EQ(none, nullptr);
  // A handle that is not a mutex is refused by the kernel calls, not followed.
  int bogus = 0;
  PlatformUtil::MutexHandle wrong = &bogus;
  PlatformUtil::lockMutex(&wrong);
  PlatformUtil::unlockMutex(&wrong);
  PlatformUtil::destroyMutex(&wrong);
  EXPECT_EQ(wrong, nullptr);
  EXPECT_EQ(bogus, 0);
}

struct ThreadProbe {
  void* argument = nullptr;
  char name[16] = {};
  std::atomic<int> runs{0};
};

uint32_t probe(void* argument) {
  auto* self = static_cast<ThreadProbe*>(argument);
  self->argument = argument;
  pthread_getname_np(pthread_self(), self->name, sizeof self->name);
  self->runs.fetch_add(1);
  return 7;
}

TEST_F(PlatformUtilTest, CreatedThreadRunsNamedAndCanBeWaitedFor) {
  ThreadProbe seen;
  PlatformUtil::ThreadHandle thread =
      PlatformUtil::createThread(probe, &seen, "tWifiRefreshWatchdog");
  ASSERT_NE(thread, INVALID_HANDLE_VALUE);
  ASSERT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(seen.runs.load(), 1);
  EXPECT_EQ(seen.argument, &seen);
  EXPECT_STREQ(seen.name, "tWifiRefreshWat");
  EXPECT_TRUE(CloseHandle(thread));

  EXPECT_EQ(PlatformUtil::createThread(nullptr, &seen, "none"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(seen.runs.load(), 1);
}

}  // namespace
