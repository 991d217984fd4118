#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/WinKernel.h"
#include "winkernel/KernelSupport.h"

namespace {

using std::chrono::milliseconds;

// Long enough never to expire on a loaded machine; used where INFINITE
// would hang the test run if the object were never signalled.
constexpr DWORD kPatience = 20000;

// A result and the last error it left.
std::pair<DWORD, DWORD> withError(DWORD result) { return {result, GetLastError()}; }

TEST(WinKernelTest, SemaphoreCountsUpToItsMaximumAndWaitsTimeOut) {
  EXPECT_EQ(CreateSemaphoreA(nullptr, 2, 1, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 2, nullptr);
  auto before = std::chrono::steady_clock::now();
  EXPECT_TRUE(WaitForSingleObject(semaphore, 50) == WAIT_TIMEOUT && std::chrono::steady_clock::now() - before >= milliseconds(40));
  LONG previous = -1;
  EXPECT_TRUE(ReleaseSemaphore(semaphore, 2, &previous) && previous == 0);
  EXPECT_EQ(withError(ReleaseSemaphore(semaphore, 1, nullptr)), std::make_pair(DWORD{0}, DWORD{ERROR_TOO_MANY_POSTS}));
  // Exactly the maximum is there to take; a refused release added nothing.
  for (DWORD expected : {WAIT_OBJECT_0, WAIT_OBJECT_0, WAIT_TIMEOUT}) EXPECT_EQ(WaitForSingleObject(semaphore, 0), expected);
  // A closed handle is refused, not followed.
  EXPECT_TRUE(CloseHandle(semaphore));
  EXPECT_EQ(withError(WaitForSingleObject(semaphore, 0)), std::make_pair(DWORD{WAIT_FAILED}, DWORD{ERROR_INVALID_HANDLE}));
  EXPECT_FALSE(CloseHandle(semaphore));
}

// A child opens the named mutex, takes it once we release it, and gives it
// back or dies holding it. Each wait kind of ours (unlimited, timed,
// polling) must see the outcome.
TEST(WinKernelTest, NamedMutexIsSharedWithAChildAndAbandonedWhenItDiesHoldingIt) {
  setenv(winkernel::kNamespaceVariable, ("wk-" + std::to_string(getpid())).c_str(), 1);
  const std::pair<bool, DWORD> cases[] = {{false, kPatience}, {true, INFINITE}, {true, kPatience}, {true, 0}};
  for (const auto& [diesHolding, timeout] : cases) {
    SCOPED_TRACE(testing::Message() << "dies " << diesHolding << " timeout " << timeout);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "shared");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE again = CreateMutexA(nullptr, TRUE, "shared");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    int ready[2];
    ASSERT_TRUE(mutex != nullptr && again != nullptr && pipe(ready) == 0);
    pid_t child = fork();
    if (child == 0) {
      HANDLE own = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "shared");
      if (own == nullptr || WaitForSingleObject(own, 50) != WAIT_TIMEOUT || write(ready[1], "r", 1) != 1) _exit(1);
      if (WaitForSingleObject(own, kPatience) != WAIT_OBJECT_0) _exit(3);
      _exit(diesHolding || (ReleaseMutex(own) && CloseHandle(own)) ? 0 : 4);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the child failed before its wait";
    EXPECT_TRUE(ReleaseMutex(mutex));
    int status = -1;
    EXPECT_TRUE(waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0);
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
    EXPECT_EQ(withError(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "shared") == nullptr), std::make_pair(DWORD{1}, DWORD{ERROR_FILE_NOT_FOUND}));
  }
}

}  // namespace
