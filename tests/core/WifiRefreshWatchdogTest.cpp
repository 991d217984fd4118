#include "core/WifiRefreshWatchdog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "platform/WinKernel.h"
#include "winkernel/KernelSupport.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace {

using namespace std::chrono_literals;

const char kBlockName[] = "/wifi_shmem";
const char kGuardName[] = "wifiMutex";

#ifdef _WIN32
// Windows keeps thread names out of reach of a portable check: not counted.
bool watchdogThreadsAre(int) { return true; }
#else
bool watchdogThreadsAre(int expected) {
  int found = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");  // empty for a thread that ended meanwhile
    found += std::string(std::istreambuf_iterator<char>(comm), {}) == "tWifiRefreshWat\n";
  }
  return found == expected;
}
#endif

// The helper program watchdog_peer as a second process in this process's
// kernel namespace; pclose gives its exit status.
std::FILE* startPeer(const char* mode) { return popen((std::string(WATCHDOG_PEER_PATH " ") + mode).c_str(), "r"); }

// The line the peer prints, without its end.
std::string line(std::FILE* peer) {
  char text[128] = {};
  if (peer == nullptr || std::fgets(text, sizeof text, peer) == nullptr) return "";
  text[std::strcspn(text, "\r\n")] = '\0';  // Windows ends lines with \r\n
  return text;
}

class WifiRefreshWatchdogTest : public ::testing::Test {
 protected:
  // A namespace of its own for each test, inherited by its peers.
  void SetUp() override {
    space_ = "wd-" + std::to_string(getpid()) + "-" + testing::UnitTest::GetInstance()->current_test_info()->name();
    static std::string variable;
    variable = std::string(winkernel::kNamespaceVariable) + "=" + space_;
    putenv(variable.data());
  }
  // Whatever a test did, the watchdogs it destroyed took the block and the
  // guard with them, and no process left a file of them behind.
  void TearDown() override {
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName), nullptr);
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kGuardName), nullptr);
#ifndef _WIN32
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
      EXPECT_EQ(entry.path().filename().string().find(space_), std::string::npos) << entry.path();
    }
#endif
  }
  std::string space_;
};

TEST_F(WifiRefreshWatchdogTest, ProcessesStartingTogetherMakeOneBlockWhichTheLastWatchdogRemoves) {
  // Exactly one peer creates the block; the others, and the watchdog here,
  // open it. The creator may leave before the others, and the last watchdog
  // removes a block another process made.
  HANDLE go = CreateMutexA(nullptr, TRUE, "go");
  std::FILE* peers[] = {startPeer("watch"), startPeer("watch"), startPeer("watch"), startPeer("watch")};
  std::multiset<std::string> seen;
  for (std::FILE* peer : peers) seen.insert(line(peer).substr(0, 20));
  EXPECT_EQ(seen, (std::multiset<std::string>{"attached=1 creator=0", "attached=1 creator=0", "attached=1 creator=0",
                                              "attached=1 creator=1"}));
  auto local = std::make_unique<WifiRefreshWatchdog>();
  EXPECT_TRUE(local->init() && local->init());  // a second init counts nothing
  EXPECT_TRUE(local->isAttached() && !local->isCreator() && local->attachCount() == 5u);
  EXPECT_TRUE(ReleaseMutex(go));
  for (std::FILE* peer : peers) EXPECT_EQ(pclose(peer), 0) << "destroys its watchdog and exits cleanly";
  EXPECT_TRUE(local->attachCount() == 1u && CloseHandle(go));
}

TEST_F(WifiRefreshWatchdogTest, AfterAKilledProcessTheThreadTakesRefreshSignalsAndTheLastDetacherClosesOnlyItsOwn) {
  // A process killed while attached, and holding the guard, which outlives
  // it here: the next watchdog creates the block afresh.
  HANDLE guard = CreateMutexA(nullptr, FALSE, kGuardName);
  std::FILE* peer = startPeer("die");
  EXPECT_EQ(line(peer), "attached=1 creator=1 count=1");
  EXPECT_NE(pclose(peer), 0);
  EXPECT_EQ(WaitForSingleObject(guard, 5000), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(guard));
  auto watchdog = std::make_unique<WifiRefreshWatchdog>();
  EXPECT_TRUE(watchdog->init());
  EXPECT_TRUE(watchdog->isAttached() && watchdog->isCreator() && watchdog->attachCount() == 1u);
  EXPECT_TRUE(CloseHandle(guard));

  watchdog->stop();  // before start: harmless
  watchdog->signalRefresh();
  watchdog->signalRefresh();
  EXPECT_TRUE(watchdog->pendingRefreshes() == 1u && watchdog->pendingRefreshes() == 1u)
      << "the second signal is lost, and looking does not take the first";
  watchdog->start();
  watchdog->start();  // no second thread
  for (int wait = 0; wait < 2000 && watchdog->pendingRefreshes() != 0; ++wait) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(watchdog->pendingRefreshes() == 0 && watchdog->isRunning() && watchdogThreadsAre(1))
      << "the thread takes the refresh and keeps running";
  watchdog->stop();
  EXPECT_TRUE(!watchdog->isRunning() && watchdogThreadsAre(0)) << "stop returns once the thread has ended";
  watchdog->stop();

  // Started again, the thread keeps running: the earlier stop signal was
  // used up by the thread it stopped. Destroying it ends it.
  watchdog->start();
  std::this_thread::sleep_for(1500ms);
  EXPECT_TRUE(watchdog->isRunning() && watchdogThreadsAre(1));

  // As if another process had made the block, and its semaphore's handle
  // value happened to name an unrelated semaphore here.
  HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName);
  auto* block = static_cast<WifiSharedBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(block, nullptr);
  HANDLE unrelated = CreateSemaphoreA(nullptr, 0, 1, nullptr);
  block->semaphore = unrelated;
  watchdog.reset();
  EXPECT_TRUE(watchdogThreadsAre(0) && block->semaphore == INVALID_HANDLE_VALUE);
  EXPECT_TRUE(ReleaseSemaphore(unrelated, 1, nullptr)) << "an unrelated semaphore was closed";
  EXPECT_TRUE(CloseHandle(unrelated) && UnmapViewOfFile(block) && CloseHandle(mapping));
}

}  // namespace
