#pragma once

#include <cstdint>

#include "platform/PlatformUtil.h"
#include "platform/WinKernel.h"

// The host-wide shared block every watchdog counts itself in.
struct WifiSharedBlock {
  HANDLE semaphore;       // made by the creating process; all ones once closed
  uint64_t reserved;      // all ones; read by no one
  uint32_t attachCount;   // watchdogs attached, over all processes
  uint32_t padding;
};
static_assert(sizeof(WifiSharedBlock) == 24, "the shared block is 24 bytes");

// The refresh channel of the host settings object: attaches to the shared
// block "/wifi_shmem" (guarded by the named mutex "wifiMutex") and runs a
// thread, "tWifiRefreshWatchdog", that waits on a stop and a refresh
// semaphore one second at a time until stop().
class WifiRefreshWatchdog {
 public:
  WifiRefreshWatchdog();
  ~WifiRefreshWatchdog();
  WifiRefreshWatchdog(const WifiRefreshWatchdog&) = delete;
  WifiRefreshWatchdog& operator=(const WifiRefreshWatchdog&) = delete;

  bool init();
  void start();
  // Tells the thread to end and waits until it has.
  void stop();
  void signalRefresh();

  // Introspection for tests and diagnostics.
  bool isAttached() const { return sharedBlock_ != nullptr; }
  bool isCreator() const { return creator_ != 0; }
  bool isRunning() const { return thread_ != INVALID_HANDLE_VALUE; }
  // attachCount of the shared block read under "wifiMutex"; 0 when detached.
  uint32_t attachCount();
  // Refresh signals not yet taken by the thread (at most 1). Takes them and
  // gives them back, so it is exact only while the thread is not running.
  uint32_t pendingRefreshes();

 private:
  int32_t attach();
  void detach();
  int32_t waitStop(uint32_t seconds);
  int32_t waitRefresh(uint32_t seconds);
  static uint32_t run(void* watchdog);

  char* sharedMemoryName_ = nullptr;
  WifiSharedBlock* sharedBlock_ = nullptr;
  PlatformUtil::MutexHandle mutex_ = nullptr;
  HANDLE stopSemaphore_ = INVALID_HANDLE_VALUE;
  HANDLE refreshSemaphore_ = INVALID_HANDLE_VALUE;
  HANDLE mappingHandle_ = INVALID_HANDLE_VALUE;
  PlatformUtil::MutexHandle sharedMutex_ = nullptr;
  uint8_t creator_ = 0;
  PlatformUtil::ThreadHandle thread_ = INVALID_HANDLE_VALUE;
};
