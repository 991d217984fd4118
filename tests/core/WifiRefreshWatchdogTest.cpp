#include "core/WifiRefreshWatchdog.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
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
// The thread name as the host keeps it (15 characters).
const char kHostThreadName[] = "tWifiRefreshWat";
constexpr auto kPatience = std::chrono::seconds(20);

bool hostObjectExists(const char* name) {
  std::string hostName;
  if (!winkernel::hostObjectName(name, &hostName)) {
    return false;
  }
  int descriptor = shm_open(hostName.c_str(), O_RDONLY, 0);
  if (descriptor < 0) {
    return false;
  }
  close(descriptor);
  return true;
}

// Threads of this process that carry the watchdog thread's name.
int watchdogThreads() {
  int found = 0;
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) {
    return -1;
  }
  while (dirent* task = readdir(tasks)) {
    if (task->d_name[0] == '.') {
      continue;
    }
    std::string path = std::string("/proc/self/task/") + task->d_name + "/comm";
    FILE* comm = std::fopen(path.c_str(), "r");
    if (comm == nullptr) {
      continue;  // ended meanwhile
    }
    char name[32] = {};
    if (std::fgets(name, sizeof name, comm) != nullptr) {
      name[std::strcspn(name, "\n")] = '\0';
      found += std::strcmp(name, kHostThreadName) == 0 ? 1 : 0;
    }
    std::fclose(comm);
  }
  closedir(tasks);
  return found;
}

// Waits up to kPatience for `done`.
template <typename Condition>
bool eventually(Condition done) {
  auto deadline = steady_clock::now() + kPatience;
  while (!done()) {
    if (steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

// The helper program watchdog_peer, run as a second process with the
// environment (and so the kernel namespace) of this one.
class Peer {
 public:
  Peer() = default;
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;
  ~Peer() {
    closeInput();
    if (output_ >= 0) {
      close(output_);
    }
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  bool start() {
    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0) {
      return false;
    }
    if (pipe2(output, O_CLOEXEC) != 0) {
      close(input[0]);
      close(input[1]);
      return false;
    }
    pid_ = fork();
    if (pid_ == 0) {
      dup2(input[0], STDIN_FILENO);
      dup2(output[1], STDOUT_FILENO);
      execl(WATCHDOG_PEER_PATH, "watchdog_peer", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(input[0]);
    close(output[1]);
    input_ = input[1];
    output_ = output[0];
    return pid_ > 0;
  }

  // The next line the peer prints, without its end; empty when it printed
  // nothing more within kPatience.
  std::string readLine() {
    std::string line;
    auto deadline = steady_clock::now() + kPatience;
    for (;;) {
      auto left = std::chrono::duration_cast<milliseconds>(deadline - steady_clock::now());
      pollfd ready{output_, POLLIN, 0};
      if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
        return std::string();
      }
      char c;
      if (read(output_, &c, 1) != 1) {
        return std::string();
      }
      if (c == '\n') {
        return line;
      }
      line.push_back(c);
    }
  }

  // Reads the peer's report: whether it attached, created the block, and
  // the count it saw.
  bool readReport(int* attached, int* creator, unsigned* count) {
    std::string line = readLine();
    return std::sscanf(line.c_str(), "attached=%d creator=%d count=%u", attached, creator,
                       count) == 3;
  }

  // Tells the peer to destroy its watchdog.
  void release() {
    if (input_ >= 0) {
      ssize_t written = write(input_, "go\n", 3);
      (void)written;
    }
    closeInput();
  }

  // The peer's exit status, -1 when it did not exit normally.
  int wait() {
    int status = 0;
    pid_t waited = waitpid(pid_, &status, 0);
    pid_ = -1;
    return waited > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  void closeInput() {
    if (input_ >= 0) {
      close(input_);
      input_ = -1;
    }
  }

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
};

class WifiRefreshWatchdogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string space = "wd-" + std::to_string(getpid()) + "-" + info->name();
    setenv(winkernel::kNamespaceVariable, space.c_str(), 1);
    ASSERT_FALSE(hostObjectExists(kBlockName));
  }

  // Whatever a test did, the watchdogs it destroyed took the block and the
  // guard with them.
  void TearDown() override {
    EXPECT_FALSE(hostObjectExists(kBlockName));
    EXPECT_FALSE(hostObjectExists(kGuardName));
  }

  static std::unique_ptr<WifiRefreshWatchdog> make() {
    auto watchdog = std::make_unique<WifiRefreshWatchdog>();
    EXPECT_TRUE(watchdog->init());
    return watchdog;
  }

  static void expectBlockGone() {
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kGuardName), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  }
};

TEST_F(WifiRefreshWatchdogTest, FirstCreatesTheBlockAndTheOthersOpenIt) {
  auto first = make();
  EXPECT_TRUE(first->isAttached());
  EXPECT_TRUE(first->isCreator());
  EXPECT_EQ(first->attachCount(), 1u);

  auto second = make();
  EXPECT_TRUE(second->isAttached());
  EXPECT_FALSE(second->isCreator());
  EXPECT_EQ(second->attachCount(), 2u);
  EXPECT_EQ(first->attachCount(), 2u);

  // A second init neither attaches nor counts again.
  EXPECT_TRUE(second->init());
  EXPECT_EQ(first->attachCount(), 2u);

  second.reset();
  EXPECT_EQ(first->attachCount(), 1u);
  first.reset();
  expectBlockGone();

  // The block is made anew by the next first watchdog, and the creator may
  // also leave before the others.
  auto creator = make();
  EXPECT_TRUE(creator->isCreator());
  EXPECT_EQ(creator->attachCount(), 1u);
  auto opener = make();
  EXPECT_FALSE(opener->isCreator());
  creator.reset();
  EXPECT_EQ(opener->attachCount(), 1u);
  opener.reset();
  expectBlockGone();
}

TEST_F(WifiRefreshWatchdogTest, BlockCarriesTheCreatorsSemaphoreUntilTheLastDetach) {
  auto watchdog = make();
  HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName);
  ASSERT_NE(mapping, nullptr);
  auto* block = static_cast<WifiSharedBlock*>(
      MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(WifiSharedBlock)));
  ASSERT_NE(block, nullptr);

  HANDLE semaphore = block->semaphore;
  EXPECT_NE(semaphore, INVALID_HANDLE_VALUE);
  // A live semaphore of this process, with nothing in it.
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);
  EXPECT_EQ(block->reserved, ~uint64_t{0});
  EXPECT_EQ(block->attachCount, 1u);
  EXPECT_EQ(block->padding, 0u);

  // The last watchdog closes it; the view above keeps the block to look at.
  watchdog.reset();
  EXPECT_EQ(block->semaphore, INVALID_HANDLE_VALUE);
  EXPECT_EQ(block->reserved, ~uint64_t{0});
  EXPECT_EQ(block->attachCount, 1u) << "the last watchdog leaves the count at 1";
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  EXPECT_TRUE(UnmapViewOfFile(block));
  EXPECT_TRUE(CloseHandle(mapping));
  expectBlockGone();
}

TEST_F(WifiRefreshWatchdogTest, LastDetacherClosesOnlyASemaphoreThisProcessMade) {
  auto watchdog = make();
  ASSERT_TRUE(watchdog->isCreator());
  HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName);
  ASSERT_NE(mapping, nullptr);
  auto* block = static_cast<WifiSharedBlock*>(
      MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(WifiSharedBlock)));
  ASSERT_NE(block, nullptr);

  // As if another process had made the block, and its handle value happened
  // to name an unrelated semaphore here.
  HANDLE made = block->semaphore;
  HANDLE unrelated = CreateSemaphoreA(nullptr, 0, 1, nullptr);
  ASSERT_NE(unrelated, nullptr);
  block->semaphore = unrelated;
  watchdog.reset();
  EXPECT_EQ(block->semaphore, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(ReleaseSemaphore(unrelated, 1, nullptr)) << "an unrelated semaphore was closed";
  EXPECT_TRUE(CloseHandle(unrelated));
  EXPECT_EQ(WaitForSingleObject(made, 0), WAIT_TIMEOUT) << "not in the block any more, so kept";
  EXPECT_TRUE(UnmapViewOfFile(block));
  EXPECT_TRUE(CloseHandle(mapping));

  // The semaphore the process made for the old block goes when it makes
  // the next one.
  auto next = make();
  EXPECT_TRUE(next->isCreator());
  EXPECT_EQ(WaitForSingleObject(made, 0), WAIT_FAILED);
  next.reset();
}

TEST_F(WifiRefreshWatchdogTest, AnotherProcessCountsItselfInAndOut) {
  auto local = make();
  ASSERT_TRUE(local->isCreator());

  Peer peer;
  ASSERT_TRUE(peer.start());
  int attached = -1;
  int creator = -1;
  unsigned count = 0;
  ASSERT_TRUE(peer.readReport(&attached, &creator, &count));
  EXPECT_EQ(attached, 1);
  EXPECT_EQ(creator, 0);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(local->attachCount(), 2u);

  peer.release();
  EXPECT_EQ(peer.readLine(), "destroyed");
  EXPECT_EQ(peer.wait(), 0);
  EXPECT_EQ(local->attachCount(), 1u);
  local.reset();
  expectBlockGone();

  // Now the other process creates the block and leaves first; the last
  // watchdog here does not own the block's semaphore.
  Peer maker;
  ASSERT_TRUE(maker.start());
  ASSERT_TRUE(maker.readReport(&attached, &creator, &count));
  EXPECT_EQ(creator, 1);
  EXPECT_EQ(count, 1u);
  auto joiner = make();
  EXPECT_FALSE(joiner->isCreator());
  EXPECT_EQ(joiner->attachCount(), 2u);
  maker.release();
  EXPECT_EQ(maker.readLine(), "destroyed");
  EXPECT_EQ(maker.wait(), 0);
  EXPECT_EQ(joiner->attachCount(), 1u);
  joiner.reset();
  expectBlockGone();
}

TEST_F(WifiRefreshWatchdogTest, ProcessesStartingTogetherCreateTheBlockOnce) {
  constexpr int kPeers = 4;
  std::vector<std::unique_ptr<Peer>> peers;
  for (int i = 0; i < kPeers; ++i) {
    peers.push_back(std::make_unique<Peer>());
    ASSERT_TRUE(peers.back()->start());
  }
  int creators = 0;
  for (auto& peer : peers) {
    int attached = -1;
    int creator = -1;
    unsigned count = 0;
    ASSERT_TRUE(peer->readReport(&attached, &creator, &count));
    EXPECT_EQ(attached, 1);
    EXPECT_GE(count, 1u);
    EXPECT_LE(count, static_cast<unsigned>(kPeers));
    creators += creator;
  }
  EXPECT_EQ(creators, 1);

  auto local = make();
  EXPECT_FALSE(local->isCreator());
  EXPECT_EQ(local->attachCount(), static_cast<uint32_t>(kPeers + 1));
  for (auto& peer : peers) {
    peer->release();
  }
  for (auto& peer : peers) {
    EXPECT_EQ(peer->readLine(), "destroyed");
    EXPECT_EQ(peer->wait(), 0);
  }
  EXPECT_EQ(local->attachCount(), 1u);
  local.reset();
  expectBlockGone();
}

TEST_F(WifiRefreshWatchdogTest, GuardAbandonedByADeadProcessDoesNotStopAttaching) {
  HANDLE guard = CreateMutexA(nullptr, FALSE, kGuardName);
  ASSERT_NE(guard, nullptr);
  pid_t child = fork();
  if (child == 0) {
    // Dies holding the guard, as a process killed in the middle of an
    // attach would.
    _exit(WaitForSingleObject(guard, 0) == WAIT_OBJECT_0 ? 0 : 1);
  }
  ASSERT_GT(child, 0);
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  auto watchdog = make();
  EXPECT_TRUE(watchdog->isAttached());
  EXPECT_TRUE(watchdog->isCreator());
  EXPECT_EQ(watchdog->attachCount(), 1u);
  // The guard is free again afterwards.
  DWORD taken = WAIT_FAILED;
  std::thread([&] {
    taken = WaitForSingleObject(guard, 1000);
    ReleaseMutex(guard);
  }).join();
  EXPECT_EQ(taken, WAIT_OBJECT_0);
  watchdog.reset();
  EXPECT_TRUE(CloseHandle(guard));
  expectBlockGone();
}

TEST_F(WifiRefreshWatchdogTest, StartAndStopRunTheThreadOnce) {
  auto watchdog = make();
  EXPECT_FALSE(watchdog->isRunning());
  watchdog->stop();  // before start: nothing to do
  watchdog->stop();
  EXPECT_FALSE(watchdog->isRunning());
  EXPECT_EQ(watchdogThreads(), 0);

  watchdog->start();
  EXPECT_TRUE(watchdog->isRunning());
  watchdog->start();  // a second start makes no second thread
  EXPECT_TRUE(eventually([] { return watchdogThreads() == 1; }));
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(watchdogThreads(), 1);

  auto before = steady_clock::now();
  watchdog->stop();
  EXPECT_LT(steady_clock::now() - before, std::chrono::seconds(4));
  EXPECT_FALSE(watchdog->isRunning());
  EXPECT_EQ(watchdogThreads(), 0) << "stop returns once the thread has ended";
  watchdog->stop();

  // Started again, the thread keeps running: the earlier stop signal was
  // used up by the thread it stopped.
  watchdog->start();
  EXPECT_TRUE(watchdog->isRunning());
  std::this_thread::sleep_for(milliseconds(1500));
  EXPECT_EQ(watchdogThreads(), 1);

  // Destroyed while running: the thread ends with it.
  before = steady_clock::now();
  watchdog.reset();
  EXPECT_LT(steady_clock::now() - before, std::chrono::seconds(4));
  EXPECT_EQ(watchdogThreads(), 0);
  expectBlockGone();
}

TEST_F(WifiRefreshWatchdogTest, RefreshSignalsDoNotPileUpAndAreConsumed) {
  auto watchdog = make();
  EXPECT_EQ(watchdog->pendingRefreshes(), 0u);
  watchdog->signalRefresh();
  watchdog->signalRefresh();
  EXPECT_EQ(watchdog->pendingRefreshes(), 1u) << "the second signal is lost";
  EXPECT_EQ(watchdog->pendingRefreshes(), 1u) << "looking does not consume it";

  watchdog->start();
  EXPECT_TRUE(eventually([&] { return watchdog->pendingRefreshes() == 0; }));
  watchdog->signalRefresh();
  EXPECT_TRUE(eventually([&] { return watchdog->pendingRefreshes() == 0; }));
  EXPECT_TRUE(watchdog->isRunning()) << "a refresh does not end the thread";
  watchdog->stop();
  watchdog->signalRefresh();
  EXPECT_EQ(watchdog->pendingRefreshes(), 1u);
  watchdog.reset();
  expectBlockGone();
}

TEST_F(WifiRefreshWatchdogTest, WatchdogWithoutInitDoesNothingHarmful) {
  auto watchdog = std::make_unique<WifiRefreshWatchdog>();
  EXPECT_FALSE(watchdog->isAttached());
  EXPECT_FALSE(watchdog->isCreator());
  EXPECT_EQ(watchdog->attachCount(), 0u);
  watchdog->signalRefresh();
  EXPECT_EQ(watchdog->pendingRefreshes(), 0u);
  // Without semaphores the thread's first wait fails and it ends.
  watchdog->start();
  watchdog->stop();
  EXPECT_FALSE(watchdog->isRunning());
  watchdog.reset();
  expectBlockGone();
}

}  // namespace
