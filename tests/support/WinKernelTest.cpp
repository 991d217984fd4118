#include <gtest/gtest.h>

#include <chrono>
#include <utility>

#include "platform/WinKernel.h"

// The named objects are tested through the refresh watchdog's processes;
// here, what the semaphore does within one process.
namespace {

using std::chrono::milliseconds;

// A result and the last error it left.
std::pair<DWORD, DWORD> withError(DWORD result) { return {result, GetLastError()}; }

TEST(WinKernelTest, SemaphoreCountsUpToItsMaximumAndWaitsTimeOut) {
  EXPECT_TRUE(CreateSemaphoreA(nullptr, 2, 1, nullptr) == nullptr && GetLastError() == ERROR_INVALID_PARAMETER);
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

}  // namespace
