#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "platform/WinKernel.h"
#include "winkernel/KernelSupport.h"

namespace {

using std::chrono::milliseconds;

// Long enough never to expire on a loaded machine; used where INFINITE
// would hang the test run if the object were never signalled.
constexpr DWORD kPatience = 20000;

// Every test works in a kernel namespace of its own, so that parallel test
// processes never share named objects.
class WinKernelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string space = "wk-" + std::to_string(getpid()) + "-" +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name();
    setenv(winkernel::kNamespaceVariable, space.c_str(), 1);
  }
};

// The child's exit status, or -1 when it did not exit normally.
int exitStatus(pid_t pid) {
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A result and the last error it left.
std::pair<DWORD, DWORD> withError(DWORD result) { return {result, GetLastError()}; }

TEST_F(WinKernelTest, SemaphoreCountsUpToItsMaximumAndWaitsTimeOut) {
  EXPECT_EQ(CreateSemaphoreA(nullptr, 2, 1, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 2, nullptr);
  auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(semaphore, 50), WAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - before, milliseconds(40)) << "the wait must last its time";

  LONG previous = -1;
  EXPECT_TRUE(ReleaseSemaphore(semaphore, 2, &previous) && previous == 0);
  EXPECT_EQ(withError(ReleaseSemaphore(semaphore, 1, nullptr)), std::make_pair(DWORD{0}, DWORD{ERROR_TOO_MANY_POSTS}));
  // Exactly the maximum is there to take; a refused release added nothing.
  for (DWORD expected : {WAIT_OBJECT_0, WAIT_OBJECT_0, WAIT_TIMEOUT}) EXPECT_EQ(WaitForSingleObject(semaphore, 0), expected);
  EXPECT_FALSE(ReleaseSemaphore(semaphore, 3, nullptr));
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);

  // A release wakes a thread blocked in its wait.
  DWORD woken = WAIT_FAILED;
  std::thread waiter([&] { woken = WaitForSingleObject(semaphore, kPatience); });
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_TRUE(ReleaseSemaphore(semaphore, 1, nullptr));
  waiter.join();
  EXPECT_EQ(woken, WAIT_OBJECT_0);

  // A closed handle is refused, not followed.
  EXPECT_TRUE(CloseHandle(semaphore));
  EXPECT_EQ(withError(WaitForSingleObject(semaphore, 0)), std::make_pair(DWORD{WAIT_FAILED}, DWORD{ERROR_INVALID_HANDLE}));
  EXPECT_FALSE(CloseHandle(semaphore));
}

TEST_F(WinKernelTest, NamedMutexIsSharedWithAChildAndAbandonedWhenItDiesHoldingIt) {
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "shared"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  // The child opens the mutex, finds it held by us, then takes it once we
  // release it, and gives it back or dies holding it. Each wait kind of
  // ours (unlimited, timed, polling) must see the outcome.
  const std::pair<bool, DWORD> cases[] = {{false, kPatience}, {true, INFINITE}, {true, kPatience}, {true, 0}};
  for (const auto& [diesHolding, timeout] : cases) {
    SCOPED_TRACE(testing::Message() << "dies " << diesHolding << " timeout " << timeout);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "shared");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE again = CreateMutexA(nullptr, TRUE, "shared");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(mutex != nullptr && again != nullptr);

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
      HANDLE own = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "shared");
      if (own == nullptr || WaitForSingleObject(own, 50) != WAIT_TIMEOUT || !CloseHandle(own)) _exit(1);
      if (write(ready[1], "r", 1) != 1) _exit(2);
      // The inherited handle holds no count of the child's, so dying with it
      // leaves the name to our handles alone.
      if (WaitForSingleObject(mutex, kPatience) != WAIT_OBJECT_0) _exit(3);
      _exit(diesHolding || ReleaseMutex(mutex) ? 0 : 4);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the child failed before its wait";
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(exitStatus(child), 0);
    close(ready[0]);
    close(ready[1]);

    // Taken through the other handle; ours now at one level, nobody else's.
    EXPECT_EQ(WaitForSingleObject(again, timeout), diesHolding ? WAIT_ABANDONED : WAIT_OBJECT_0);
    DWORD other = WAIT_FAILED;
    std::thread([&] { other = WaitForSingleObject(mutex, 20); }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(withError(ReleaseMutex(mutex)), std::make_pair(DWORD{0}, DWORD{ERROR_NOT_OWNER}));

    // The name goes with the last handle.
    EXPECT_TRUE(CloseHandle(mutex) && CloseHandle(again));
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "shared"), nullptr);
  }
}

TEST_F(WinKernelTest, NamedMappingIsSharedAndGoesWithItsLastHandle) {
  auto create = [] { return CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 24, "block"); };
  auto open = [] { return OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "block"); };
  auto view = [](HANDLE mapping) { return static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 24)); };
  EXPECT_EQ(withError(open() == nullptr), std::make_pair(DWORD{1}, DWORD{ERROR_FILE_NOT_FOUND}));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    HANDLE created = create();
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "made anew after the last handle went";
    char* first = view(created);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::memcmp(first, std::string(24, '\0').data(), 24), 0) << "starts from zeros";
    std::strcpy(first, "refresh");
    HANDLE again = create();
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    HANDLE opened = open();
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "block"), nullptr) << "a mapping is no mutex";

    // Another process sees and changes the same bytes.
    pid_t child = fork();
    if (child == 0) {
      HANDLE own = open();
      char* bytes = own != nullptr ? view(own) : nullptr;
      if (bytes == nullptr || std::strcmp(bytes, "refresh") != 0) _exit(1);
      bytes[0] = 'R';
      _exit(UnmapViewOfFile(bytes) && CloseHandle(own) ? 0 : 2);
    }
    EXPECT_EQ(exitStatus(child), 0);
    EXPECT_EQ(first[0], 'R');

    EXPECT_TRUE(UnmapViewOfFile(first) && CloseHandle(created) && CloseHandle(again));
    HANDLE stillThere = open();
    EXPECT_NE(stillThere, nullptr) << "one handle is still open";
    EXPECT_TRUE(CloseHandle(stillThere) && CloseHandle(opened));
    EXPECT_EQ(withError(open() == nullptr), std::make_pair(DWORD{1}, DWORD{ERROR_FILE_NOT_FOUND}));
  }
}

}  // namespace
