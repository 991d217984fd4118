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
#include <vector>

#include "platform/WinKernel.h"
#include "winkernel/KernelSupport.h"

#ifdef _WIN32
#include <process.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace {

const char kBlockName[] = "/wifi_shmem";
const char kGuardName[] = "wifiMutex";

#ifdef _WIN32
// Windows keeps thread names out of reach of a portable check: not counted.
bool watchdogThreadsAre(int) { return true; }
void killProcess(int pid) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
  TerminateProcess(process, 9);
  CloseHandle(process);
}
#else
bool watchdogThreadsAre(int expected) {
  int found = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");  // fails for a thread that ended meanwhile
    std::string name;
    found += std::getline(comm, name) && name == "tWifiRefreshWat";
  }
  return found == expected;
}
void killProcess(int pid) { kill(pid, SIGKILL); }
#endif

// The helper program watchdog_peer as a second process in this process's
// kernel namespace, told to end through a mutex of its own that this
// process holds until then.
struct Peer {
  explicit Peer(const std::string& mode = "watch")
      : name_("peer" + std::to_string(++started_)),
        go_(CreateMutexA(nullptr, TRUE, name_.c_str())),
        output_(popen((WATCHDOG_PEER_PATH " " + mode + " " + name_).c_str(), "r")),
        pid_(std::atoi(line().c_str())) {}
  ~Peer() { finish(); }

  // The next line the peer prints, without its end.
  std::string line() {
    char text[128] = {};
    if (output_ == nullptr || std::fgets(text, sizeof text, output_) == nullptr) return "";
    text[std::strcspn(text, "\r\n")] = '\0';  // Windows ends lines with \r\n
    return text;
  }

  // Ends the peer; true when it destroyed its watchdog and exited cleanly.
  bool finish() {
    if (output_ == nullptr) return false;
    bool released = ReleaseMutex(go_) && line().empty();
    bool exited = pclose(output_) == 0;
    output_ = nullptr;
    return CloseHandle(go_) && released && exited;
  }

  // Ends the peer at once, whatever it holds.
  void kill() {
    killProcess(pid_);
    finish();
  }

  static inline int started_ = 0;
  std::string name_;
  HANDLE go_;
  std::FILE* output_;
  int pid_;
};

class WifiRefreshWatchdogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    space_ = "wd-" + std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
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

  static std::unique_ptr<WifiRefreshWatchdog> make() {
    auto watchdog = std::make_unique<WifiRefreshWatchdog>();
    EXPECT_TRUE(watchdog->init());
    return watchdog;
  }
  // As the peer prints it.
  static std::string state(WifiRefreshWatchdog& w) {
    return "attached=" + std::to_string(w.isAttached()) + " creator=" + std::to_string(w.isCreator()) +
           " count=" + std::to_string(w.attachCount());
  }
};

TEST_F(WifiRefreshWatchdogTest, FirstCreatesOthersOpenAlsoFromAnotherProcessAndTheLastRemoves) {
  auto first = make();
  EXPECT_EQ(state(*first), "attached=1 creator=1 count=1");
  auto second = make();
  EXPECT_TRUE(second->init());  // a second init counts nothing
  EXPECT_EQ(state(*second), "attached=1 creator=0 count=2");
  {
    Peer peer;
    EXPECT_EQ(peer.line(), "attached=1 creator=0 count=3");
    EXPECT_TRUE(peer.finish());
  }
  first.reset();  // the creator may leave before the others
  EXPECT_EQ(state(*second), "attached=1 creator=0 count=1");
  second.reset();
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName), nullptr);

  // Processes starting together: exactly one creates the block, and the
  // last watchdog, here, removes a block another process made.
  std::vector<std::unique_ptr<Peer>> peers(4);
  for (auto& peer : peers) peer = std::make_unique<Peer>();
  std::multiset<std::string> seen;
  for (auto& peer : peers) seen.insert(peer->line().substr(0, 20));
  EXPECT_EQ(seen, (std::multiset<std::string>{"attached=1 creator=0", "attached=1 creator=0", "attached=1 creator=0",
                                              "attached=1 creator=1"}));
  auto local = make();
  EXPECT_EQ(state(*local), "attached=1 creator=0 count=5");
  for (auto& peer : peers) EXPECT_TRUE(peer->finish());
  EXPECT_EQ(local->attachCount(), 1u);
}

TEST_F(WifiRefreshWatchdogTest, AKilledProcessLetsGoOfTheBlockAndTheGuard) {
  {
    Peer alone;  // killed while the only one attached
    EXPECT_EQ(alone.line(), "attached=1 creator=1 count=1");
    alone.kill();
  }
  auto local = make();
  EXPECT_EQ(state(*local), "attached=1 creator=1 count=1") << "the block of the dead process is gone";
  {
    Peer holder("hold");  // killed holding the guard while this process is attached
    ASSERT_EQ(holder.line(), "holding");
    holder.kill();
  }
  HANDLE guard = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kGuardName);
  EXPECT_EQ(WaitForSingleObject(guard, 5000), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(guard) && CloseHandle(guard));
}

TEST_F(WifiRefreshWatchdogTest, ThreadTakesRefreshSignalsStopEndsItAndTheLastDetacherClosesOnlyItsOwn) {
  auto watchdog = make();
  watchdog->stop();  // before start: harmless
  watchdog->signalRefresh();
  watchdog->signalRefresh();
  EXPECT_TRUE(watchdog->pendingRefreshes() == 1u && watchdog->pendingRefreshes() == 1u)
      << "the second signal is lost, and looking does not take the first";
  watchdog->start();
  watchdog->start();  // no second thread
  for (int wait = 0; wait < 2000 && watchdog->pendingRefreshes() != 0; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(watchdog->pendingRefreshes() == 0 && watchdog->isRunning() && watchdogThreadsAre(1))
      << "the thread takes the refresh and keeps running";
  watchdog->stop();
  EXPECT_TRUE(!watchdog->isRunning() && watchdogThreadsAre(0)) << "stop returns once the thread has ended";
  watchdog->stop();

  // Started again, the thread keeps running: the earlier stop signal was
  // used up by the thread it stopped. Destroying it ends it.
  watchdog->start();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_TRUE(watchdog->isRunning() && watchdogThreadsAre(1));

  // As if another process had made the block, and its semaphore's handle
  // value happened to name an unrelated semaphore here.
  HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName);
  auto* block = static_cast<WifiSharedBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(WifiSharedBlock)));
  ASSERT_NE(block, nullptr);
  HANDLE unrelated = CreateSemaphoreA(nullptr, 0, 1, nullptr);
  block->semaphore = unrelated;
  watchdog.reset();
  EXPECT_TRUE(watchdogThreadsAre(0));
  EXPECT_EQ(block->semaphore, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(ReleaseSemaphore(unrelated, 1, nullptr)) << "an unrelated semaphore was closed";
  EXPECT_TRUE(CloseHandle(unrelated) && UnmapViewOfFile(block) && CloseHandle(mapping));
}

}  // namespace
