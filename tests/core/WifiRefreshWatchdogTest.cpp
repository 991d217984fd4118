#include "core/WifiRefreshWatchdog.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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
#include <utility>
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
  int found = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");  // fails for a thread that ended meanwhile
    std::string name;
    found += std::getline(comm, name) && name == "tWifiRefreshWat";
  }
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
    int input[2], output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0 || (pid_ = fork()) < 0) return;
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

  // The next line the peer prints, without its end.
  std::string line() {
    char text[128] = {};
    if (output_ == nullptr || std::fgets(text, sizeof text, output_) == nullptr) return "";
    return std::string(text, std::strcspn(text, "\n"));
  }

  // Ends the peer; true when it destroyed its watchdog and exited cleanly.
  bool finish() {
    if (input_ < 0) return false;
    close(std::exchange(input_, -1));
    const bool destroyed = line() == "destroyed";
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
    std::string space = "wd-" + std::to_string(getpid()) + "-" + info->name();
    setenv(winkernel::kNamespaceVariable, space.c_str(), 1);
  }
  // Whatever a test did, the watchdogs it destroyed took the block and the
  // guard with them.
  void TearDown() override { expectBlockGone(); }

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
  static void expectBlockGone() {
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName), nullptr);
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kGuardName), nullptr);
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
  expectBlockGone();

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

TEST_F(WifiRefreshWatchdogTest, ThreadTakesRefreshSignalsAndStopEndsItBeforeReturning) {
  auto watchdog = make();
  watchdog->stop();  // before start: harmless
  watchdog->signalRefresh();
  watchdog->signalRefresh();
  EXPECT_EQ(watchdog->pendingRefreshes(), 1u) << "the second signal is lost";
  EXPECT_EQ(watchdog->pendingRefreshes(), 1u) << "looking does not take it";
  EXPECT_EQ(watchdogThreads(), 0);
  watchdog->start();
  watchdog->start();  // no second thread
  EXPECT_TRUE(eventually([&] { return watchdog->pendingRefreshes() == 0 && watchdogThreads() == 1; }));
  EXPECT_TRUE(watchdog->isRunning()) << "a refresh does not end the thread";
  watchdog->stop();
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

}  // namespace
