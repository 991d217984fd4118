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
#include <utility>
#include <vector>

#include "platform/WinKernel.h"
#include "winkernel/KernelSupport.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <tlhelp32.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

const char kBlockName[] = "/wifi_shmem";
const char kGuardName[] = "wifiMutex";

// What the tests need of the host: counting this process's threads named as
// the watchdog thread, and running watchdog_peer with its standard input
// and output on pipes.
#ifdef _WIN32
int watchdogThreads() {
  using Describe = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  auto describe = reinterpret_cast<Describe>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetThreadDescription")));
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (describe == nullptr || snapshot == INVALID_HANDLE_VALUE) return -1;
  int found = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (bool more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    HANDLE thread = entry.th32OwnerProcessID == GetCurrentProcessId()
                        ? OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID)
                        : nullptr;
    if (thread == nullptr) continue;
    PWSTR name = nullptr;
    found += describe(thread, &name) >= 0 && name != nullptr && wcscmp(name, L"tWifiRefreshWatchdog") == 0;
    LocalFree(name);
    CloseHandle(thread);
  }
  CloseHandle(snapshot);
  return found;
}

class PeerProcess {
 public:
  // Starts the peer; output is null when it could not be started.
  explicit PeerProcess(const char* mode) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE childInput = nullptr;
    HANDLE childOutput = nullptr;
    HANDLE outputEnd = nullptr;
    if (!CreatePipe(&childInput, &input_, &inheritable, 0)) return;
    if (!CreatePipe(&outputEnd, &childOutput, &inheritable, 0)) {
      CloseHandle(childInput);
      return;
    }
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outputEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string command = std::string("\"" WATCHDOG_PEER_PATH "\" ") + mode;
    PROCESS_INFORMATION process{};
    bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &process);
    CloseHandle(childInput);
    CloseHandle(childOutput);
    if (!started) {
      CloseHandle(outputEnd);
      return;
    }
    CloseHandle(process.hThread);
    process_ = process.hProcess;
    output = _fdopen(_open_osfhandle(reinterpret_cast<intptr_t>(outputEnd), _O_RDONLY), "r");
  }
  void closeInput() { CloseHandle(input_); }
  void kill() { TerminateProcess(process_, 9); }
  // The exit code, once the peer has ended.
  int wait() {
    DWORD code = 1;
    WaitForSingleObject(process_, INFINITE);
    GetExitCodeProcess(process_, &code);
    CloseHandle(process_);
    return static_cast<int>(code);
  }
  std::FILE* output = nullptr;

 private:
  HANDLE input_ = nullptr;
  HANDLE process_ = nullptr;
};
#else
int watchdogThreads() {
  int found = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");  // fails for a thread that ended meanwhile
    std::string name;
    found += std::getline(comm, name) && name == "tWifiRefreshWat";
  }
  return found;
}

class PeerProcess {
 public:
  explicit PeerProcess(const char* mode) {
    int input[2];
    int outputEnds[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(outputEnds, O_CLOEXEC) != 0 || (pid_ = fork()) < 0) {
      return;
    }
    if (pid_ == 0) {
      dup2(input[0], STDIN_FILENO);
      dup2(outputEnds[1], STDOUT_FILENO);
      execl(WATCHDOG_PEER_PATH, "watchdog_peer", mode, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(input[0]);
    close(outputEnds[1]);
    input_ = input[1];
    output = fdopen(outputEnds[0], "r");
  }
  void closeInput() { close(input_); }
  void kill() { ::kill(pid_, SIGKILL); }
  int wait() {
    int status = -1;
    waitpid(pid_, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::FILE* output = nullptr;

 private:
  pid_t pid_ = -1;
  int input_ = -1;
};
#endif

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
// kernel namespace. As "watch" it reports "attached=A creator=C count=N"
// once its watchdog is up, and destroys it when its standard input ends; as
// "hold" it takes "wifiMutex", reports "holding" and keeps it.
class Peer {
 public:
  explicit Peer(const char* mode = "watch") : process_(mode) {}
  ~Peer() { finish(); }

  // The next line the peer prints, without its end.
  std::string line() {
    char text[128] = {};
    if (process_.output == nullptr || std::fgets(text, sizeof text, process_.output) == nullptr) return "";
    text[std::strcspn(text, "\r\n")] = '\0';  // Windows ends lines with \r\n
    return text;
  }

  // Ends the peer; true when it destroyed its watchdog and exited cleanly.
  bool finish() {
    if (process_.output == nullptr) return false;
    process_.closeInput();
    bool destroyed = line() == "destroyed";
    std::fclose(process_.output);
    process_.output = nullptr;
    return process_.wait() == 0 && destroyed;
  }

  // Ends the peer at once, whatever it holds.
  void kill() {
    process_.kill();
    finish();
  }

 private:
  PeerProcess process_;
};

class WifiRefreshWatchdogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    space_ = "wd-" + std::to_string(getpid()) + "-" + info->name();
    static std::string variable;
    variable = std::string(winkernel::kNamespaceVariable) + "=" + space_;
    putenv(variable.data());
  }
  // Whatever a test did, the watchdogs it destroyed took the block and the
  // guard with them, and no process left a file of them behind.
  void TearDown() override {
    expectBlockGone();
#ifndef _WIN32
    DIR* shared = opendir("/dev/shm");
    ASSERT_NE(shared, nullptr);
    while (dirent* entry = readdir(shared)) {
      EXPECT_EQ(std::strstr(entry->d_name, space_.c_str()), nullptr) << entry->d_name;
    }
    closedir(shared);
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
    Peer holder("hold");  // killed holding the guard while this process is attached
    ASSERT_EQ(holder.line(), "holding");
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
