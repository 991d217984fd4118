#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/WinKernel.h"
#include "winkernel/KernelSupport.h"

namespace {

using std::chrono::milliseconds;

// Long enough never to expire on a loaded machine; used where INFINITE
// would hang the test run if the object were never signalled.
constexpr DWORD kPatience = 20000;

// Every test works in a namespace of its own, so that parallel test
// processes never share named objects.
class WinKernelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    space_ = "wk-" + std::to_string(getpid()) + "-" + info->name();
    setenv(winkernel::kNamespaceVariable, space_.c_str(), 1);
  }

  std::string space_;
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
  if (pid <= 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

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

TEST_F(WinKernelTest, BadHandlesFailWithInvalidHandle) {
  int notAnObject = 7;
  HANDLE closed = CreateSemaphoreA(nullptr, 0, 1, nullptr);
  ASSERT_NE(closed, nullptr);
  ASSERT_TRUE(CloseHandle(closed));
  const HANDLE bad[] = {nullptr, INVALID_HANDLE_VALUE, &notAnObject, closed};
  for (HANDLE handle : bad) {
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ReleaseMutex(handle));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ReleaseSemaphore(handle, 1, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(MapViewOfFile(handle, FILE_MAP_ALL_ACCESS, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  EXPECT_FALSE(UnmapViewOfFile(&notAnObject));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
  EXPECT_FALSE(UnmapViewOfFile(nullptr));

  // A handle of the wrong kind is refused by the calls of the other kinds.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 1, nullptr);
  HANDLE mapping =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 16, nullptr);
  ASSERT_NE(mutex, nullptr);
  ASSERT_NE(semaphore, nullptr);
  ASSERT_NE(mapping, nullptr);
  EXPECT_FALSE(ReleaseMutex(semaphore));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(ReleaseSemaphore(mutex, 1, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(MapViewOfFile(semaphore, FILE_MAP_ALL_ACCESS, 0, 0, 0), nullptr);
  EXPECT_EQ(WaitForSingleObject(mapping, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  // The semaphore was not touched by the refused calls.
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(CloseHandle(mutex));
  EXPECT_TRUE(CloseHandle(semaphore));
  EXPECT_TRUE(CloseHandle(mapping));

  // The last error belongs to the thread that made it.
  EXPECT_FALSE(CloseHandle(nullptr));
  DWORD otherThreadError = 1;
  std::thread([&] { otherThreadError = GetLastError(); }).join();
  EXPECT_EQ(otherThreadError, ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(WinKernelTest, UnnamedMutexIsReentrantForItsOwnerOnly) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  ASSERT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_OBJECT_0);

  std::atomic<bool> acquired{false};
  DWORD timedWait = 0;
  BOOL foreignRelease = TRUE;
  DWORD foreignReleaseError = 0;
  std::thread other([&] {
    timedWait = WaitForSingleObject(mutex, 50);
    foreignRelease = ReleaseMutex(mutex);
    foreignReleaseError = GetLastError();
    if (WaitForSingleObject(mutex, kPatience) == WAIT_OBJECT_0) {
      acquired = true;
      ReleaseMutex(mutex);
    }
  });
  std::this_thread::sleep_for(milliseconds(150));
  EXPECT_FALSE(acquired);
  EXPECT_TRUE(ReleaseMutex(mutex));
  std::this_thread::sleep_for(milliseconds(150));
  EXPECT_FALSE(acquired) << "one release of two levels must not free the mutex";
  EXPECT_TRUE(ReleaseMutex(mutex));
  other.join();
  EXPECT_TRUE(acquired);
  EXPECT_EQ(timedWait, WAIT_TIMEOUT);
  EXPECT_FALSE(foreignRelease);
  EXPECT_EQ(foreignReleaseError, ERROR_NOT_OWNER);
  // Every level has been given back.
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
  EXPECT_TRUE(CloseHandle(mutex));

  // Initially owned: others time out until the creator releases it.
  HANDLE owned = CreateMutexA(nullptr, TRUE, nullptr);
  ASSERT_NE(owned, nullptr);
  DWORD before = 0;
  std::thread([&] { before = WaitForSingleObject(owned, 20); }).join();
  EXPECT_EQ(before, WAIT_TIMEOUT);
  EXPECT_TRUE(ReleaseMutex(owned));
  DWORD after = 0;
  std::thread([&] {
    after = WaitForSingleObject(owned, 0);
    ReleaseMutex(owned);
  }).join();
  EXPECT_EQ(after, WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(owned));
}

TEST_F(WinKernelTest, SemaphoreCountsBetweenZeroAndItsMaximum) {
  EXPECT_EQ(CreateSemaphoreA(nullptr, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateSemaphoreA(nullptr, 2, 1, nullptr), nullptr);
  EXPECT_EQ(CreateSemaphoreA(nullptr, -1, 1, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateSemaphoreA(nullptr, 0, 1, "named"), nullptr);

  HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 2, nullptr);
  ASSERT_NE(semaphore, nullptr);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(semaphore, 30), WAIT_TIMEOUT);

  LONG previous = -1;
  EXPECT_TRUE(ReleaseSemaphore(semaphore, 1, &previous));
  EXPECT_EQ(previous, 0);
  EXPECT_TRUE(ReleaseSemaphore(semaphore, 1, &previous));
  EXPECT_EQ(previous, 1);
  previous = -1;
  EXPECT_FALSE(ReleaseSemaphore(semaphore, 1, &previous));
  EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_POSTS);
  EXPECT_EQ(previous, -1);
  EXPECT_FALSE(ReleaseSemaphore(semaphore, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(ReleaseSemaphore(semaphore, -1, nullptr));
  // Exactly the maximum is there to take.
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);
  // A release beyond the maximum adds nothing at all.
  EXPECT_FALSE(ReleaseSemaphore(semaphore, 3, nullptr));
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);

  // A release wakes a thread blocked in its wait.
  std::atomic<DWORD> result{WAIT_FAILED};
  std::thread waiter([&] { result = WaitForSingleObject(semaphore, kPatience); });
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_TRUE(ReleaseSemaphore(semaphore, 1, nullptr));
  waiter.join();
  EXPECT_EQ(result.load(), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);

  // Closing the handle while another thread waits leaves that wait intact.
  std::thread closedWhileWaiting([&] { result = WaitForSingleObject(semaphore, 200); });
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_TRUE(CloseHandle(semaphore));
  closedWhileWaiting.join();
  EXPECT_EQ(result.load(), WAIT_TIMEOUT);
}

TEST_F(WinKernelTest, NamedMutexIsOneMutexBehindEveryHandle) {
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "shared"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  HANDLE first = CreateMutexA(nullptr, FALSE, "shared");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_TRUE(hostObjectExists("shared"));
  HANDLE second = CreateMutexA(nullptr, TRUE, "shared");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  HANDLE opened = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "shared");
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_NE(first, second);

  // The initial owner of an existing mutex is ignored: nobody holds it.
  DWORD free = WAIT_FAILED;
  std::thread([&] {
    free = WaitForSingleObject(opened, 0);
    ReleaseMutex(opened);
  }).join();
  EXPECT_EQ(free, WAIT_OBJECT_0);

  // Levels taken through one handle are the owner's through any of them.
  ASSERT_EQ(WaitForSingleObject(first, INFINITE), WAIT_OBJECT_0);
  ASSERT_EQ(WaitForSingleObject(second, 100), WAIT_OBJECT_0);
  std::atomic<bool> acquired{false};
  DWORD timedWait = 0;
  std::thread other([&] {
    timedWait = WaitForSingleObject(opened, 50);
    if (WaitForSingleObject(opened, kPatience) == WAIT_OBJECT_0) {
      acquired = true;
      ReleaseMutex(opened);
    }
  });
  std::this_thread::sleep_for(milliseconds(150));
  EXPECT_TRUE(ReleaseMutex(opened));
  std::this_thread::sleep_for(milliseconds(150));
  EXPECT_FALSE(acquired);
  EXPECT_TRUE(ReleaseMutex(first));
  other.join();
  EXPECT_TRUE(acquired);
  EXPECT_EQ(timedWait, WAIT_TIMEOUT);
  EXPECT_FALSE(ReleaseMutex(second));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);

  // The name goes with the last handle.
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_TRUE(CloseHandle(second));
  EXPECT_TRUE(hostObjectExists("shared")) << "one handle is still open";
  EXPECT_TRUE(CloseHandle(opened));
  EXPECT_FALSE(hostObjectExists("shared"));
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "shared"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(WinKernelTest, NamedObjectNamesAreKeptApartByKindAndNamespace) {
  HANDLE mapping =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 16, "taken");
  ASSERT_NE(mapping, nullptr);
  EXPECT_EQ(CreateMutexA(nullptr, FALSE, "taken"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "taken"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  // Another namespace has its own objects of the same names.
  std::string other = space_ + "-other";
  setenv(winkernel::kNamespaceVariable, other.c_str(), 1);
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "taken"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "taken");
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_TRUE(CloseHandle(mutex));
  setenv(winkernel::kNamespaceVariable, space_.c_str(), 1);
  HANDLE again = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "taken");
  EXPECT_NE(again, nullptr);
  EXPECT_TRUE(CloseHandle(again));
  EXPECT_TRUE(CloseHandle(mapping));

  // Host names: one component, and different Windows names never meet.
  std::string a;
  std::string b;
  ASSERT_TRUE(winkernel::hostObjectName("/wifi_shmem", &a));
  EXPECT_EQ(a.find('/', 1), std::string::npos) << a;
  ASSERT_TRUE(winkernel::hostObjectName("_wifi_shmem", &b));
  EXPECT_NE(a, b);
  ASSERT_TRUE(winkernel::hostObjectName("a/b", &a));
  ASSERT_TRUE(winkernel::hostObjectName("a%2Fb", &b));
  EXPECT_NE(a, b);
  ASSERT_TRUE(winkernel::hostObjectName("Global\\x y", &a));
  EXPECT_EQ(a.find_first_of("\\ ", 0), std::string::npos) << a;
  setenv(winkernel::kNamespaceVariable, "x.y", 1);
  ASSERT_TRUE(winkernel::hostObjectName("z", &a));
  setenv(winkernel::kNamespaceVariable, "x", 1);
  ASSERT_TRUE(winkernel::hostObjectName("y.z", &b));
  EXPECT_NE(a, b);
  unsetenv(winkernel::kNamespaceVariable);
  ASSERT_TRUE(winkernel::hostObjectName("y.z", &a));
  EXPECT_NE(a, b);
  setenv(winkernel::kNamespaceVariable, space_.c_str(), 1);

  std::string tooLong(300, 'n');
  EXPECT_FALSE(winkernel::hostObjectName(tooLong.c_str(), &a));
  EXPECT_EQ(CreateMutexA(nullptr, FALSE, tooLong.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_EQ(
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8, tooLong.c_str()),
      nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

TEST_F(WinKernelTest, NamedMutexWorksAcrossProcesses) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, "crossing");
  ASSERT_NE(mutex, nullptr);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = forkChild([&] {
    close(ready[0]);
    HANDLE own = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "crossing");
    if (own == nullptr) {
      return 10;
    }
    if (WaitForSingleObject(own, 50) != WAIT_TIMEOUT) {
      return 11;
    }
    char byte = 'r';
    if (write(ready[1], &byte, 1) != 1) {
      return 12;
    }
    if (WaitForSingleObject(own, kPatience) != WAIT_OBJECT_0) {
      return 13;
    }
    if (!ReleaseMutex(own) || !CloseHandle(own)) {
      return 14;
    }
    return 0;
  });
  ASSERT_GT(child, 0);
  close(ready[1]);
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the child failed before its first wait";
  close(ready[0]);
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(exitStatus(child), 0);
  // The child released it properly: a plain, not an abandoned, wait.
  EXPECT_EQ(WaitForSingleObject(mutex, 1000), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_TRUE(CloseHandle(mutex));
  EXPECT_FALSE(hostObjectExists("crossing")) << "the child closed its handle, so did we";
}

TEST_F(WinKernelTest, NamedMutexHeldByADeadProcessIsAbandonedToTheNextWaiter) {
  for (DWORD timeout : {INFINITE, kPatience}) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "orphaned");
    ASSERT_NE(mutex, nullptr);
    // The child takes it through the inherited handle and dies holding it.
    pid_t child = forkChild([&] {
      if (WaitForSingleObject(mutex, 0) != WAIT_OBJECT_0 ||
          WaitForSingleObject(mutex, 0) != WAIT_OBJECT_0) {
        return 1;
      }
      return 0;
    });
    ASSERT_EQ(exitStatus(child), 0);

    EXPECT_EQ(WaitForSingleObject(mutex, timeout), WAIT_ABANDONED);
    // It is ours now, at one level, and nobody else's.
    DWORD other = WAIT_FAILED;
    std::thread([&] { other = WaitForSingleObject(mutex, 20); }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    // And it is in order again.
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(CloseHandle(mutex));
    EXPECT_FALSE(hostObjectExists("orphaned"));
  }
}

TEST_F(WinKernelTest, NamedMutexHeldByAnEndedThreadIsAbandoned) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "left");
  ASSERT_NE(mutex, nullptr);
  DWORD taken = WAIT_FAILED;
  std::thread([&] { taken = WaitForSingleObject(mutex, 0); }).join();
  ASSERT_EQ(taken, WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(mutex, kPatience), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_TRUE(CloseHandle(mutex));
}

TEST_F(WinKernelTest, CreatingTogetherMakesExactlyOneCreator) {
  constexpr int kChildren = 6;
  for (bool mutexes : {true, false}) {
    // start: closed by the parent to let all children create at once;
    // created: each child reports there; finish: closed by the parent once
    // all have reported, so every handle is open at the same time.
    int start[2];
    int created[2];
    int finish[2];
    ASSERT_EQ(pipe(start), 0);
    ASSERT_EQ(pipe(created), 0);
    ASSERT_EQ(pipe(finish), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < kChildren; ++i) {
      children.push_back(forkChild([&] {
        close(start[1]);
        close(created[0]);
        close(finish[1]);
        char byte = 'c';
        if (read(start[0], &byte, 1) != 0) {
          return 20;
        }
        HANDLE handle =
            mutexes ? CreateMutexA(nullptr, FALSE, "race")
                    : CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64,
                                         "race");
        if (handle == nullptr) {
          return 21;
        }
        int result = GetLastError() == ERROR_ALREADY_EXISTS ? 1 : 0;
        bool reported = write(created[1], &byte, 1) == 1;
        close(created[1]);
        if (!reported || read(finish[0], &byte, 1) != 0) {
          return 22;
        }
        CloseHandle(handle);
        return result;
      }));
    }
    close(start[0]);
    close(created[1]);
    close(finish[0]);
    close(start[1]);
    int reported = 0;
    char byte;
    while (reported < kChildren && read(created[0], &byte, 1) == 1) {
      ++reported;
    }
    EXPECT_EQ(reported, kChildren);
    close(finish[1]);
    close(created[0]);
    int creators = 0;
    int openers = 0;
    for (pid_t child : children) {
      int status = exitStatus(child);
      creators += status == 0 ? 1 : 0;
      openers += status == 1 ? 1 : 0;
    }
    EXPECT_EQ(creators, 1) << (mutexes ? "mutex" : "mapping");
    EXPECT_EQ(openers, kChildren - 1);
    EXPECT_FALSE(hostObjectExists("race"));
  }
}

TEST_F(WinKernelTest, NamedMappingIsSharedAndGoesWithItsLastHandleOrView) {
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "block"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  HANDLE created =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 24, "block");
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  auto* view = static_cast<unsigned char*>(MapViewOfFile(created, FILE_MAP_ALL_ACCESS, 0, 0, 24));
  ASSERT_NE(view, nullptr);
  for (int i = 0; i < 24; ++i) {
    ASSERT_EQ(view[i], 0) << "byte " << i;
  }
  std::memcpy(view, "refresh", 8);

  HANDLE again = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 24, "block");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  HANDLE opened = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "block");
  ASSERT_NE(opened, nullptr);
  auto* second = static_cast<char*>(MapViewOfFile(opened, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(second, nullptr);
  EXPECT_NE(static_cast<void*>(second), static_cast<void*>(view));
  EXPECT_STREQ(second, "refresh");
  second[0] = 'R';
  EXPECT_EQ(view[0], 'R');

  // Another process sees and changes the same bytes.
  pid_t child = forkChild([] {
    HANDLE own = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "block");
    auto* bytes = own != nullptr
                      ? static_cast<char*>(MapViewOfFile(own, FILE_MAP_ALL_ACCESS, 0, 0, 24))
                      : nullptr;
    if (bytes == nullptr || std::strcmp(bytes, "Refresh") != 0) {
      return 1;
    }
    bytes[0] = 'C';
    return UnmapViewOfFile(bytes) && CloseHandle(own) ? 0 : 2;
  });
  ASSERT_EQ(exitStatus(child), 0);
  EXPECT_EQ(view[0], 'C');

  // Bad requests.
  EXPECT_EQ(MapViewOfFile(opened, FILE_MAP_ALL_ACCESS, 0, 0, 25), nullptr);
  EXPECT_EQ(MapViewOfFile(opened, FILE_MAP_ALL_ACCESS, 0, 8, 8), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MAPPED_ALIGNMENT);
  EXPECT_EQ(MapViewOfFile(opened, FILE_MAP_ALL_ACCESS, 1, 0, 0), nullptr);
  EXPECT_EQ(MapViewOfFile(opened, 0, 0, 0, 0), nullptr);
  int file = 3;
  EXPECT_EQ(CreateFileMappingA(&file, nullptr, PAGE_READWRITE, 0, 24, "file"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, "empty"),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, 0x02, 0, 8, "readonly"), nullptr);
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // A view keeps the mapping and its name after the handles are closed.
  EXPECT_TRUE(UnmapViewOfFile(second));
  EXPECT_FALSE(UnmapViewOfFile(second));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
  EXPECT_TRUE(CloseHandle(created));
  EXPECT_TRUE(CloseHandle(again));
  EXPECT_TRUE(CloseHandle(opened));
  HANDLE whileViewed = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "block");
  ASSERT_NE(whileViewed, nullptr);
  EXPECT_TRUE(CloseHandle(whileViewed));
  EXPECT_EQ(view[0], 'C');
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "block"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(hostObjectExists("block"));

  // Made anew, it starts from zeros again.
  HANDLE fresh = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 24, "block");
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  auto* zeros = static_cast<char*>(MapViewOfFile(fresh, FILE_MAP_ALL_ACCESS, 0, 0, 24));
  ASSERT_NE(zeros, nullptr);
  EXPECT_EQ(zeros[0], 0);
  EXPECT_TRUE(UnmapViewOfFile(zeros));
  EXPECT_TRUE(CloseHandle(fresh));

  // An unnamed mapping belongs to its handle alone.
  HANDLE unnamed =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
  ASSERT_NE(unnamed, nullptr);
  auto* first = static_cast<char*>(MapViewOfFile(unnamed, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  auto* other = static_cast<char*>(MapViewOfFile(unnamed, FILE_MAP_READ, 0, 0, 4096));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(other, nullptr);
  first[4095] = 'z';
  EXPECT_EQ(other[4095], 'z');
  EXPECT_TRUE(UnmapViewOfFile(first));
  EXPECT_TRUE(UnmapViewOfFile(other));
  EXPECT_TRUE(CloseHandle(unnamed));
}

uint32_t runUntilReleased(void* argument) {
  auto* gate = static_cast<std::atomic<int>*>(argument);
  char name[16] = {};
  pthread_getname_np(pthread_self(), name, sizeof name);
  gate->store(std::strcmp(name, "aVeryLongThread") == 0 ? 1 : -1);
  while (gate->load() != 2) {
    std::this_thread::sleep_for(milliseconds(1));
  }
  return 0;
}

uint32_t returnAtOnce(void* argument) {
  static_cast<std::atomic<int>*>(argument)->fetch_add(1);
  return 0;
}

TEST_F(WinKernelTest, ThreadHandleIsSignalledWhenTheThreadEnds) {
  std::atomic<int> gate{0};
  HANDLE thread = winkernel::createThread(runUntilReleased, &gate, "aVeryLongThreadName");
  ASSERT_NE(thread, INVALID_HANDLE_VALUE);
  ASSERT_NE(thread, nullptr);
  while (gate.load() == 0) {
    std::this_thread::sleep_for(milliseconds(1));
  }
  EXPECT_EQ(gate.load(), 1) << "the name is cut to 15 characters";
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
  gate = 2;
  EXPECT_EQ(WaitForSingleObject(thread, kPatience), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  EXPECT_FALSE(ReleaseMutex(thread));
  EXPECT_TRUE(CloseHandle(thread));

  // Closed without a wait, whether still running or already ended.
  std::atomic<int> count{0};
  for (int i = 0; i < 8; ++i) {
    HANDLE quick = winkernel::createThread(returnAtOnce, &count, nullptr);
    ASSERT_NE(quick, INVALID_HANDLE_VALUE);
    if (i % 2 == 0) {
      std::this_thread::sleep_for(milliseconds(5));
    }
    EXPECT_TRUE(CloseHandle(quick));
  }
  while (count.load() != 8) {
    std::this_thread::sleep_for(milliseconds(1));
  }
  // Outlives the test: the thread may still look at it after the return.
  static std::atomic<int> held{0};
  HANDLE running = winkernel::createThread(runUntilReleased, &held, "x");
  ASSERT_NE(running, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(running));
  while (held.load() == 0) {
    std::this_thread::sleep_for(milliseconds(1));
  }
  held = 2;

  EXPECT_EQ(winkernel::createThread(nullptr, nullptr, "none"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
