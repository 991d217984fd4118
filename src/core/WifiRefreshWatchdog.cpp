#include "core/WifiRefreshWatchdog.h"

#include <atomic>
#include <cstring>

namespace {

const char kSharedMemoryName[] = "/wifi_shmem";
const char kSharedMutexName[] = "wifiMutex";
const char kThreadName[] = "tWifiRefreshWatchdog";
constexpr size_t kNameBufferSize = 32;
constexpr DWORD kBlockSize = sizeof(WifiSharedBlock);
constexpr uint64_t kAllOnes = ~static_cast<uint64_t>(0);

// The block semaphore made by this process when it created the block, null
// when none. The handle stored in the block means something only in the
// process that made it, so a last detacher closes it only when it is this
// one.
std::atomic<HANDLE> createdBlockSemaphore{nullptr};

HANDLE orNone(HANDLE handle) { return handle != nullptr ? handle : INVALID_HANDLE_VALUE; }

// 0 when the wait timed out, -1 for any other outcome.
int32_t waitOn(HANDLE semaphore, uint32_t seconds) {
  uint64_t milliseconds = static_cast<uint64_t>(seconds) * 1000u;
  if (milliseconds >= INFINITE) {
    milliseconds = INFINITE - 1;
  }
  return WaitForSingleObject(semaphore, static_cast<DWORD>(milliseconds)) == WAIT_TIMEOUT ? 0 : -1;
}

}  // namespace

WifiRefreshWatchdog::WifiRefreshWatchdog() = default;

WifiRefreshWatchdog::~WifiRefreshWatchdog() {
  stop();
  detach();
  if (refreshSemaphore_ != INVALID_HANDLE_VALUE) {
    CloseHandle(refreshSemaphore_);
    refreshSemaphore_ = INVALID_HANDLE_VALUE;
  }
  if (stopSemaphore_ != INVALID_HANDLE_VALUE) {
    CloseHandle(stopSemaphore_);
    stopSemaphore_ = INVALID_HANDLE_VALUE;
  }
  PlatformUtil::destroyMutex(&mutex_);
  delete[] sharedMemoryName_;
  sharedMemoryName_ = nullptr;
  sharedBlock_ = nullptr;
  mappingHandle_ = INVALID_HANDLE_VALUE;
  thread_ = INVALID_HANDLE_VALUE;
}

bool WifiRefreshWatchdog::init() {
  if (sharedMemoryName_ == nullptr) {
    sharedMemoryName_ = new char[kNameBufferSize];
    std::memset(sharedMemoryName_, 0, kNameBufferSize);
    std::memcpy(sharedMemoryName_, kSharedMemoryName, sizeof kSharedMemoryName);
  }
  if (stopSemaphore_ == INVALID_HANDLE_VALUE) {
    stopSemaphore_ = orNone(CreateSemaphoreA(nullptr, 0, 1, nullptr));
  }
  if (refreshSemaphore_ == INVALID_HANDLE_VALUE) {
    refreshSemaphore_ = orNone(CreateSemaphoreA(nullptr, 0, 1, nullptr));
  }
  if (mutex_ == nullptr) {
    PlatformUtil::createMutex(&mutex_);
  }
  attach();
  return true;
}

int32_t WifiRefreshWatchdog::attach() {
  if (sharedBlock_ != nullptr || sharedMemoryName_ == nullptr) {
    return 0;
  }
  // "wifiMutex" is opened (or, by the first watchdog of the host, created)
  // first and held while the block is opened or created, so that of two
  // processes starting together only one creates and initialises the block.
  // A process that died holding it does not block the others: the wait
  // comes back abandoned and counts as taken.
  sharedMutex_ = CreateMutexA(nullptr, FALSE, kSharedMutexName);
  if (sharedMutex_ == nullptr) {
    return 0;
  }
  PlatformUtil::lockMutex(&sharedMutex_);

  bool created = false;
  HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, sharedMemoryName_);
  if (mapping == nullptr) {
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize,
                                 sharedMemoryName_);
    created = mapping != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
  }
  void* view =
      mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kBlockSize) : nullptr;
  if (view == nullptr) {
    // Left unattached: the block is not touched.
    if (mapping != nullptr) {
      CloseHandle(mapping);
    }
    PlatformUtil::destroyMutex(&sharedMutex_);
    return 0;
  }
  mappingHandle_ = mapping;
  sharedBlock_ = static_cast<WifiSharedBlock*>(view);
  creator_ = created ? 1 : 0;

  if (created) {
    std::memset(sharedBlock_, 0, sizeof(WifiSharedBlock));
    HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    // A semaphore recorded from an earlier block belongs to a block that is
    // gone (this one could not have been created otherwise).
    HANDLE stale = createdBlockSemaphore.exchange(semaphore);
    if (stale != nullptr) {
      CloseHandle(stale);
    }
    sharedBlock_->semaphore = orNone(semaphore);
    sharedBlock_->reserved = kAllOnes;
  }
  sharedBlock_->attachCount += 1;
  PlatformUtil::unlockMutex(&sharedMutex_);
  return 0;
}

void WifiRefreshWatchdog::detach() {
  if (sharedBlock_ == nullptr) {
    return;
  }
  PlatformUtil::lockMutex(&sharedMutex_);
  WifiSharedBlock* block = sharedBlock_;
  if (block->attachCount > 1) {
    block->attachCount -= 1;
    PlatformUtil::unlockMutex(&sharedMutex_);
  } else if (block->semaphore != INVALID_HANDLE_VALUE) {
    // The last watchdog of the host; the count stays at 1 as the block goes.
    HANDLE semaphore = block->semaphore;
    HANDLE own = semaphore;
    if (createdBlockSemaphore.compare_exchange_strong(own, nullptr)) {
      CloseHandle(semaphore);
    }
    block->semaphore = INVALID_HANDLE_VALUE;
    block->reserved = kAllOnes;
  }
  UnmapViewOfFile(block);
  sharedBlock_ = nullptr;
  if (mappingHandle_ != INVALID_HANDLE_VALUE) {
    CloseHandle(mappingHandle_);
    mappingHandle_ = INVALID_HANDLE_VALUE;
  }
  // Still held by the last watchdog: released, then closed, so the block is
  // gone before another process can take the mutex.
  PlatformUtil::destroyMutex(&sharedMutex_);
}

uint32_t WifiRefreshWatchdog::attachCount() {
  if (sharedBlock_ == nullptr) {
    return 0;
  }
  PlatformUtil::lockMutex(&sharedMutex_);
  uint32_t count = sharedBlock_->attachCount;
  PlatformUtil::unlockMutex(&sharedMutex_);
  return count;
}

void WifiRefreshWatchdog::start() {
  PlatformUtil::lockMutex(&mutex_);
  if (thread_ == INVALID_HANDLE_VALUE) {
    PlatformUtil::ThreadHandle thread = PlatformUtil::createThread(&run, this, kThreadName);
    thread_ = thread != nullptr ? thread : INVALID_HANDLE_VALUE;
  }
  PlatformUtil::unlockMutex(&mutex_);
}

void WifiRefreshWatchdog::stop() {
  PlatformUtil::lockMutex(&mutex_);
  if (thread_ != INVALID_HANDLE_VALUE) {
    if (stopSemaphore_ != INVALID_HANDLE_VALUE) {
      ReleaseSemaphore(stopSemaphore_, 1, nullptr);
    }
    // The thread ends at its next look at the stop semaphore; it must be
    // gone before anything it waits on is closed.
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = INVALID_HANDLE_VALUE;
  }
  PlatformUtil::unlockMutex(&mutex_);
}

void WifiRefreshWatchdog::signalRefresh() {
  if (refreshSemaphore_ != INVALID_HANDLE_VALUE) {
    ReleaseSemaphore(refreshSemaphore_, 1, nullptr);
  }
}

uint32_t WifiRefreshWatchdog::pendingRefreshes() {
  if (refreshSemaphore_ == INVALID_HANDLE_VALUE) {
    return 0;
  }
  LONG pending = 0;
  while (WaitForSingleObject(refreshSemaphore_, 0) == WAIT_OBJECT_0) {
    ++pending;
  }
  if (pending > 0) {
    ReleaseSemaphore(refreshSemaphore_, pending, nullptr);
  }
  return static_cast<uint32_t>(pending);
}

int32_t WifiRefreshWatchdog::waitStop(uint32_t seconds) { return waitOn(stopSemaphore_, seconds); }

int32_t WifiRefreshWatchdog::waitRefresh(uint32_t seconds) {
  return waitOn(refreshSemaphore_, seconds);
}

uint32_t WifiRefreshWatchdog::run(void* watchdog) {
  auto* self = static_cast<WifiRefreshWatchdog*>(watchdog);
  while (self->waitStop(1) == 0) {
    // The refresh signal is only consumed.
    self->waitRefresh(1);
  }
  return 0;
}
