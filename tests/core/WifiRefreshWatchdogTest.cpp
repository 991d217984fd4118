#include "core/WifiRefreshWatchdog.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/WinKernel.h"
#include "winkernel/KernelSupport.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

const char kBlockName[] = "/wifi_shmem";
const char kGuardName[] = "wifiMutex";

// Threads of this process named as the watchdog thread (cut to the host's
// 15 characters).
int watchdogThreads() {
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return -1;
  int found = 0;
  while (dirent* task = readdir(tasks)) {
    std::string path = std::string("/proc/self/task/") + task->d_name + "/comm";
    std::FILE* comm = task->d_name[0] != '.' ? std::fopen(path.c_str(), "r") : nullptr;
    if (comm == nullptr) continue;  // not a thread, or ended meanwhile
    char name[32] = {};
    found += std::fgets(name, sizeof name, comm) != nullptr &&
             std::strcmp(name, "tWifiRefreshWat\n") == 0;
    std::fclose(comm);
  }
  closedir(tasks);
  return found;
}

// Waits up to 20 seconds for `done`.
template <typename Condition>
bool eventually(Condition done) {
  auto deadline = steady_clock::now() + std::chrono::seconds(20);
  while (!done() && steady_clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(10));
  }
  return done();
}

// The helper program watchdog_peer as a second process, in this process's
// kernel namespace. It reports "attached=A creator=C count=N" once its
// watchdog is up, and destroys it when its standard input ends.
class Peer {
 public:
  Peer() {
    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0 || (pid_ = fork()) < 0) {
      return;
    }
    if (pid_ == 0) {
      dup2(input[0], STDIN_FILENO);
      dup2(output[1], STDOUT_FILENO);
      execl(WATCHDOG_PEER_PATH, "watchdog_peer", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(input[0]);
    close(output[1]);
    input_ = input[1];
    output_ = fdopen(output[0], "r");
  }
  ~Peer() { finish(); }

  void send(const char* line) { (void)!write(input_, line, std::strlen(line)); }

  // Ends the peer at once, as SIGKILL ends a process: no cleanup at all.
  void kill() {
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    close(input_);
    input_ = -1;
    std::fclose(output_);
  }

  // The next line the peer prints, without its end.
  std::string line() {
    char text[128] = {};
    if (output_ == nullptr || std::fgets(text, sizeof text, output_) == nullptr) return "";
    text[std::strcspn(text, "\n")] = '\0';
    return text;
  }

  // Ends the peer; true when it destroyed its watchdog and exited cleanly.
  bool finish() {
    if (input_ < 0) return false;
    close(input_);
    input_ = -1;
    bool destroyed = line() == "destroyed";
    std::fclose(output_);
    int status = -1;
    waitpid(pid_, &status, 0);
    return destroyed && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  std::FILE* output_ = nullptr;
};

class WifiRefreshWatchdogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    space_ = "wd-" + std::to_string(getpid()) + "-" + info->name();
    setenv(winkernel::kNamespaceVariable, space_.c_str(), 1);
  }
  // Whatever a test did, the watchdogs it destroyed took the block and the
  // guard with them, and no process left a file of them behind.
  void TearDown() override {
    expectBlockGone();
    DIR* shared = opendir("/dev/shm");
    ASSERT_NE(shared, nullptr);
    while (dirent* entry = readdir(shared)) {
      EXPECT_EQ(std::strstr(entry->d_name, space_.c_str()), nullptr) << entry->d_name;
    }
    closedir(shared);
  }
  std::string space_;

  static std::unique_ptr<WifiRefreshWatchdog> make() {
    auto watchdog = std::make_unique<WifiRefreshWatchdog>();
    EXPECT_TRUE(watchdog->init());
    return watchdog;
  }
  static void expectBlockGone() {
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName), nullptr);
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kGuardName), nullptr);
  }
};

TEST_F(WifiRefreshWatchdogTest, FirstCreatesOthersOpenAlsoFromAnotherProcessAndTheLastRemoves) {
  auto first = make();
  EXPECT_TRUE(first->isAttached());
  EXPECT_TRUE(first->isCreator());
  EXPECT_EQ(first->attachCount(), 1u);
  auto second = make();
  EXPECT_FALSE(second->isCreator());
  EXPECT_EQ(second->attachCount(), 2u);
  EXPECT_TRUE(second->init());
  EXPECT_EQ(first->attachCount(), 2u) << "a second init counts nothing";

  {
    Peer peer;
    EXPECT_EQ(peer.line(), "attached=1 creator=0 count=3");
    EXPECT_EQ(first->attachCount(), 3u);
    EXPECT_TRUE(peer.finish());
  }
  EXPECT_EQ(first->attachCount(), 2u);
  first.reset();  // the creator may leave before the others
  EXPECT_EQ(second->attachCount(), 1u);
  second.reset();
  expectBlockGone();

  // Processes starting together: exactly one creates the block, and the
  // last watchdog, here, removes a block another process made.
  std::vector<std::unique_ptr<Peer>> peers(4);
  for (auto& peer : peers) peer = std::make_unique<Peer>();
  int creators = 0;
  for (auto& peer : peers) {
    int attached = 0;
    int creator = 0;
    ASSERT_EQ(std::sscanf(peer->line().c_str(), "attached=%d creator=%d", &attached, &creator), 2);
    EXPECT_EQ(attached, 1);
    creators += creator;
  }
  EXPECT_EQ(creators, 1);
  auto local = make();
  EXPECT_FALSE(local->isCreator());
  EXPECT_EQ(local->attachCount(), 5u);
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
  EXPECT_TRUE(local->isCreator()) << "the block of the dead process is gone";
  EXPECT_EQ(local->attachCount(), 1u);
  {
    Peer holder;  // killed holding the guard while this process is attached
    EXPECT_EQ(holder.line(), "attached=1 creator=0 count=2");
    holder.send("hold\n");
    EXPECT_EQ(holder.line(), "holding");
    holder.kill();
  }
  HANDLE guard = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kGuardName);
  EXPECT_EQ(WaitForSingleObject(guard, 5000), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(guard));
  EXPECT_TRUE(CloseHandle(guard));
}

TEST_F(WifiRefreshWatchdogTest, LastDetacherClosesOnlyABlockSemaphoreItsProcessMade) {
  auto watchdog = make();
  HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName);
  ASSERT_NE(mapping, nullptr);
  auto* block = static_cast<WifiSharedBlock*>(
      MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(WifiSharedBlock)));
  ASSERT_NE(block, nullptr);
  // As if another process had made the block, and its handle value happened
  // to name an unrelated semaphore here.
  HANDLE unrelated = CreateSemaphoreA(nullptr, 0, 1, nullptr);
  block->semaphore = unrelated;
  watchdog.reset();
  EXPECT_EQ(block->semaphore, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(ReleaseSemaphore(unrelated, 1, nullptr)) << "an unrelated semaphore was closed";
  EXPECT_TRUE(CloseHandle(unrelated));
  EXPECT_TRUE(UnmapViewOfFile(block));
  EXPECT_TRUE(CloseHandle(mapping));
}

TEST_F(WifiRefreshWatchdogTest, StopIsHarmlessAnyTimeAndEndsTheThreadBeforeItReturns) {
  auto watchdog = make();
  watchdog->stop();  // before start
  watchdog->stop();
  EXPECT_FALSE(watchdog->isRunning());
  EXPECT_EQ(watchdogThreads(), 0);

  watchdog->start();
  watchdog->start();  // no second thread
  EXPECT_TRUE(watchdog->isRunning());
  EXPECT_TRUE(eventually([] { return watchdogThreads() == 1; }));
  auto before = steady_clock::now();
  watchdog->stop();
  EXPECT_LT(steady_clock::now() - before, std::chrono::seconds(4));
  EXPECT_FALSE(watchdog->isRunning());
  EXPECT_EQ(watchdogThreads(), 0) << "stop returns once the thread has ended";
  watchdog->stop();

  // Started again, the thread keeps running: the earlier stop signal was
  // used up by the thread it stopped. Destroying it ends it.
  watchdog->start();
  std::this_thread::sleep_for(milliseconds(1500));
  EXPECT_EQ(watchdogThreads(), 1);
  watchdog.reset();
  EXPECT_EQ(watchdogThreads(), 0);
}

TEST_F(WifiRefreshWatchdogTest, RefreshSignalsDoNotPileUpAndTheThreadTakesThem) {
  auto watchdog = make();
  watchdog->signalRefresh();
  watchdog->signalRefresh();
  EXPECT_EQ(watchdog->pendingRefreshes(), 1u) << "the second signal is lost";
  EXPECT_EQ(watchdog->pendingRefreshes(), 1u) << "looking does not take it";
  watchdog->start();
  EXPECT_TRUE(eventually([&] { return watchdog->pendingRefreshes() == 0; }));
  EXPECT_TRUE(watchdog->isRunning()) << "a refresh does not end the thread";
}

}  // namespace
