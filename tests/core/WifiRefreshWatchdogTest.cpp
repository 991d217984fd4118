#include "core/WifiRefreshWatchdog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>

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

// What a watchdog shows, begun as the peer prints it; "running=?" when the
// threads of that name do not agree. Its refresh signals are exact only
// while its thread is not running.
std::string state(WifiRefreshWatchdog& watchdog) {
  return "attached=" + std::to_string(watchdog.isAttached()) + " creator=" + std::to_string(watchdog.isCreator()) +
         " count=" + std::to_string(watchdog.attachCount()) + " pending=" + std::to_string(watchdog.pendingRefreshes()) +
         " running=" + (watchdogThreadsAre(watchdog.isRunning()) ? std::to_string(watchdog.isRunning()) : "?");
}

// A result and the last error it left.
std::pair<DWORD, DWORD> withError(DWORD result) { return {result, GetLastError()}; }

// The helper program watchdog_peer as a second process in this process's
// kernel namespace; pclose gives its exit status.
std::FILE* startPeer(const char* mode) { return popen((std::string(WATCHDOG_PEER_PATH " ") + mode).c_str(), "r"); }

// The line the peer prints, without its end.
std::string line(std::FILE* peer) {
  char text[128] = {};
  const std::string read = peer != nullptr && std::fgets(text, sizeof text, peer) != nullptr ? text : "";
  return read.substr(0, read.find_first_of("\r\n"));  // Windows ends lines with \r\n
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
  WifiRefreshWatchdog local;
  EXPECT_TRUE(local.init() && local.init());  // a second init counts nothing
  EXPECT_EQ(state(local), "attached=1 creator=0 count=5 pending=0 running=0");
  EXPECT_TRUE(ReleaseMutex(go));
  for (std::FILE* peer : peers) EXPECT_EQ(pclose(peer), 0) << "destroys its watchdog and exits cleanly";
  EXPECT_TRUE(local.attachCount() == 1u && CloseHandle(go));
}

TEST_F(WifiRefreshWatchdogTest, AfterAKilledProcessTheThreadTakesRefreshSignalsAndTheLastDetacherClosesOnlyItsOwn) {
  // A process killed while attached, and holding the guard, which outlives
  // it here: the next watchdog creates the block afresh.
  HANDLE guard = CreateMutexA(nullptr, FALSE, kGuardName);
  std::FILE* peer = startPeer("die");
  EXPECT_EQ(line(peer), "attached=1 creator=1 count=1");
  EXPECT_NE(pclose(peer), 0);
  EXPECT_EQ(WaitForSingleObject(guard, 5000), WAIT_ABANDONED);
  // Re-entrant, and held until the last level is given back.
  EXPECT_TRUE(WaitForSingleObject(guard, 0) == WAIT_OBJECT_0 && ReleaseMutex(guard) && ReleaseMutex(guard) &&
              !ReleaseMutex(guard));
  auto watchdog = std::make_unique<WifiRefreshWatchdog>();
  EXPECT_TRUE(watchdog->init() && CloseHandle(guard));
  watchdog->stop();  // before start: harmless
  watchdog->signalRefresh();
  watchdog->signalRefresh();  // lost: one is pending at most
  for (int look : {1, 2}) EXPECT_EQ(state(*watchdog), "attached=1 creator=1 count=1 pending=1 running=0") << look;
  // The thread takes the refresh and keeps running; stop returns once it
  // has ended. Started again, it keeps running: the earlier stop signal
  // was used up by the thread it stopped. Destroying the watchdog ends it.
  for (int round : {1, 2}) {
    watchdog->start();
    watchdog->start();  // no second thread
    for (int wait = 0; wait < 2000 && watchdog->pendingRefreshes() != 0; ++wait) std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(state(*watchdog), "attached=1 creator=1 count=1 pending=0 running=1") << round;
    if (round == 2) break;  // left running, in one of its waits, for the destructor
    watchdog->stop();
    EXPECT_EQ(state(*watchdog), "attached=1 creator=1 count=1 pending=0 running=0");
    watchdog->stop();
  }
  // As if another process had made the block, and its semaphore's handle
  // value happened to name an unrelated semaphore here.
  HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName);
  auto* block = static_cast<WifiSharedBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(block, nullptr);
  HANDLE unrelated = CreateSemaphoreA(nullptr, 0, 2, nullptr);
  block->semaphore = unrelated;
  watchdog.reset();
  EXPECT_TRUE(watchdogThreadsAre(0) && block->semaphore == INVALID_HANDLE_VALUE && UnmapViewOfFile(block) &&
              CloseHandle(mapping));

  // The unrelated semaphore still counts up to its maximum, waits on it
  // time out, and once closed its handle is refused, not followed.
  auto before = std::chrono::steady_clock::now();
  EXPECT_TRUE(WaitForSingleObject(unrelated, 50) == WAIT_TIMEOUT && std::chrono::steady_clock::now() - before >= 40ms);
  LONG previous = -1;
  EXPECT_TRUE(ReleaseSemaphore(unrelated, 2, &previous) && previous == 0) << "an unrelated semaphore was closed";
  EXPECT_EQ(withError(ReleaseSemaphore(unrelated, 1, nullptr)), std::make_pair(DWORD{0}, DWORD{ERROR_TOO_MANY_POSTS}));
  for (DWORD expected : {WAIT_OBJECT_0, WAIT_OBJECT_0, DWORD{WAIT_TIMEOUT}}) EXPECT_EQ(WaitForSingleObject(unrelated, 0), expected);
  EXPECT_TRUE(CloseHandle(unrelated));
  EXPECT_EQ(withError(WaitForSingleObject(unrelated, 0)), std::make_pair(DWORD{WAIT_FAILED}, DWORD{ERROR_INVALID_HANDLE}));
  EXPECT_TRUE(!CloseHandle(unrelated) && CreateSemaphoreA(nullptr, 2, 1, nullptr) == nullptr &&
              GetLastError() == ERROR_INVALID_PARAMETER);
}

}  // namespace
