#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "platform/WinKernel.h"
#include "winkernel/KernelSupport.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Long enough never to expire on a loaded machine; used where INFINITE
// would hang the test run if the object were never signalled.
constexpr DWORD kPatience = 20000;

// Every test works in a kernel namespace of its own, so that parallel test
// processes never share named objects.
class WinKernelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string space = "wk-" + std::to_string(getpid()) + "-" + info->name();
    setenv(winkernel::kNamespaceVariable, space.c_str(), 1);
  }
};

// Runs body in a forked child, which exits with body's result.
pid_t forkChild(const std::function<int()>& body) {
  pid_t pid = fork();
  if (pid == 0) {
    _exit(body());
  }
  return pid;
}

// The child's exit status, or -1 when it did not exit normally.
int exitStatus(pid_t pid) {
  int status = 0;
  bool exited = pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status);
  return exited ? WEXITSTATUS(status) : -1;
}

TEST_F(WinKernelTest, SemaphoreCountsUpToItsMaximumAndWaitsTimeOut) {
  EXPECT_EQ(CreateSemaphoreA(nullptr, 2, 1, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 2, nullptr);
  ASSERT_NE(semaphore, nullptr);
  auto before = steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(semaphore, 50), WAIT_TIMEOUT);
  EXPECT_GE(steady_clock::now() - before, milliseconds(40)) << "the wait must last its time";

  LONG previous = -1;
  EXPECT_TRUE(ReleaseSemaphore(semaphore, 2, &previous));
  EXPECT_EQ(previous, 0);
  EXPECT_FALSE(ReleaseSemaphore(semaphore, 1, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_POSTS);
  // Exactly the maximum is there to take; a refused release added nothing.
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);
  EXPECT_FALSE(ReleaseSemaphore(semaphore, 3, nullptr));
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);

  // A release wakes a thread blocked in its wait.
  std::atomic<DWORD> woken{WAIT_FAILED};
  std::thread waiter([&] { woken = WaitForSingleObject(semaphore, kPatience); });
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_TRUE(ReleaseSemaphore(semaphore, 1, nullptr));
  waiter.join();
  EXPECT_EQ(woken.load(), WAIT_OBJECT_0);

  // A closed handle is refused, not followed.
  EXPECT_TRUE(CloseHandle(semaphore));
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(semaphore));
}

TEST_F(WinKernelTest, NamedMutexIsSharedWithAChildAndAbandonedWhenItDiesHoldingIt) {
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "shared"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  // The child opens the mutex, finds it held by us, then takes it once we
  // release it, and gives it back or dies holding it. Each wait kind of
  // ours (unlimited, timed, polling) must see the outcome.
  struct Case {
    bool diesHolding;
    DWORD timeout;
  };
  const Case cases[] = {{false, kPatience}, {true, INFINITE}, {true, kPatience}, {true, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "dies " << c.diesHolding << " timeout " << c.timeout);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "shared");
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE again = CreateMutexA(nullptr, TRUE, "shared");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = forkChild([&] {
      HANDLE own = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "shared");
      char byte = 'r';
      if (own == nullptr || WaitForSingleObject(own, 50) != WAIT_TIMEOUT || !CloseHandle(own) ||
          write(ready[1], &byte, 1) != 1) {
        return 1;
      }
      // The inherited handle holds no count of the child's, so dying with
      // it leaves the name to our handles alone.
      if (WaitForSingleObject(mutex, kPatience) != WAIT_OBJECT_0) {
        return 2;
      }
      return c.diesHolding || ReleaseMutex(mutex) ? 0 : 3;
    });
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the child failed before its wait";
    close(ready[0]);
    EXPECT_TRUE(ReleaseMutex(mutex));
    ASSERT_EQ(exitStatus(child), 0);

    // Taken through the other handle; ours now at one level, nobody else's.
    DWORD expected = c.diesHolding ? WAIT_ABANDONED : WAIT_OBJECT_0;
    EXPECT_EQ(WaitForSingleObject(again, c.timeout), expected);
    DWORD other = WAIT_FAILED;
    std::thread([&] { other = WaitForSingleObject(mutex, 20); }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);

    // The name goes with the last handle.
    EXPECT_TRUE(CloseHandle(mutex));
    EXPECT_TRUE(CloseHandle(again));
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "shared"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  }
}

TEST_F(WinKernelTest, NamedMappingIsSharedAndGoesWithItsLastHandle) {
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "block"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  auto create = [] {
    return CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 24, "block");
  };
  auto view = [](HANDLE mapping) {
    return static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 24));
  };

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    HANDLE created = create();
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "made anew after the last handle went";
    char* first = view(created);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::memcmp(first, std::string(24, '\0').data(), 24), 0) << "starts from zeros";
    std::strcpy(first, "refresh");

    HANDLE again = create();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    HANDLE opened = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "block");
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "block"), nullptr) << "a mapping is no mutex";

    // Another process sees and changes the same bytes.
    pid_t child = forkChild([&] {
      HANDLE own = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "block");
      char* bytes = own != nullptr ? view(own) : nullptr;
      if (bytes == nullptr || std::strcmp(bytes, "refresh") != 0) {
        return 1;
      }
      bytes[0] = 'R';
      return UnmapViewOfFile(bytes) && CloseHandle(own) ? 0 : 2;
    });
    ASSERT_EQ(exitStatus(child), 0);
    EXPECT_EQ(first[0], 'R');

    EXPECT_TRUE(UnmapViewOfFile(first));
    EXPECT_TRUE(CloseHandle(created));
    EXPECT_TRUE(CloseHandle(again));
    HANDLE stillThere = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "block");
    EXPECT_NE(stillThere, nullptr) << "one handle is still open";
    EXPECT_TRUE(CloseHandle(stillThere));
    EXPECT_TRUE(CloseHandle(opened));
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "block"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  }
}

}  // namespace
