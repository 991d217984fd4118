#include "core/WifiHostSettings.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "core/NullExceptionHandler.h"
#include "core/ScopedLock.h"
#include "core/WifiNetworkDatabase.h"
#include "core/WifiRefreshWatchdog.h"
#include "daemon/DaemonText.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"
#include "platform/Orv.h"

namespace {

std::atomic<WifiHostSettings*> instance{nullptr};
// Serialises building and replacing the instance, so that concurrent first
// calls build exactly one. Reads of a built instance don't take it.
std::mutex creation;

WifiHostSettings* build(ErrorHandler* handler) {
  if (handler != nullptr) return new WifiHostSettings(handler);
  std::unique_ptr<ErrorHandler> fallback(new NullExceptionHandler());
  return new WifiHostSettings(fallback.get());
}

}  // namespace

WifiHostSettings* WifiHostSettings::getInstance(ErrorHandler* handler) {
  WifiHostSettings* current = instance.load(std::memory_order_acquire);
  if (current != nullptr) return current;
  std::lock_guard<std::mutex> held(creation);
  current = instance.load(std::memory_order_acquire);
  if (current != nullptr) return current;
  current = build(handler);
  instance.store(current, std::memory_order_release);
  return current;
}

WifiHostSettings* WifiHostSettings::recreateInstance(ErrorHandler* handler) {
  std::lock_guard<std::mutex> held(creation);
  delete instance.exchange(nullptr, std::memory_order_acq_rel);
  WifiHostSettings* created = build(handler);
  instance.store(created, std::memory_order_release);
  return created;
}

void WifiHostSettings::destroyInstance() {
  std::lock_guard<std::mutex> held(creation);
  delete instance.exchange(nullptr, std::memory_order_acq_rel);
}

WifiHostSettings::WifiHostSettings(ErrorHandler* /*handler: construction reports nothing*/)
    : lastRefreshTime_(Orv::getInstance()->currentTimeMillis()) {
  refreshWatchdog_ = new WifiRefreshWatchdog();
  if (refreshWatchdog_->init()) {
    refreshWatchdog_->start();
  } else {
    delete refreshWatchdog_;
    refreshWatchdog_ = nullptr;
  }
  PlatformUtil::createMutex(&mutex_);
  networkDatabase_ = new WifiNetworkDatabase();
  if (!loadNetworkDatabase()) teardown();
}

WifiHostSettings::~WifiHostSettings() {
  PlatformUtil::lockMutex(&mutex_);
  teardown();
  PlatformUtil::destroyMutex(&mutex_);
}

void WifiHostSettings::teardown() {
  if (refreshWatchdog_ != nullptr) {
    refreshWatchdog_->stop();
    delete refreshWatchdog_;
    refreshWatchdog_ = nullptr;
  }
  // currentNetwork points into the database: clear it before the records go.
  currentNetwork_ = nullptr;
  delete networkDatabase_;
  networkDatabase_ = nullptr;
  releaseAdapters();
  resetState();
}

void WifiHostSettings::releaseAdapters() {
  if (adapters_ == nullptr) return;
  for (uint8_t i = 0; i < kAdapterCapacity; ++i) text::release(adapters_[i]);
  ::operator delete(adapters_);
  adapters_ = nullptr;
}

void WifiHostSettings::resetState() {
  daemonState_ = DAEMON_STATE_UNKNOWN;
  currentNetwork_ = nullptr;
  adapterCount_ = 0;
  lastRefreshTime_ = 0;
}

bool WifiHostSettings::reload() {
  ScopedLock<WifiHostSettings> held(*this);
  currentNetwork_ = nullptr;
  if (networkDatabase_ != nullptr) networkDatabase_->clear();
  releaseAdapters();
  resetState();
  if (!loadNetworkDatabase()) teardown();
  return true;
}

bool WifiHostSettings::lock() {
  if (networkDatabase_ != nullptr) networkDatabase_->lock();
  PlatformUtil::lockMutex(&mutex_);
  return true;
}

bool WifiHostSettings::unlock() {
  PlatformUtil::unlockMutex(&mutex_);
  if (networkDatabase_ != nullptr) networkDatabase_->unlock();
  return true;
}

WifiNetwork* WifiHostSettings::findNetwork(const char* /*adapter*/, const char* ssid) const {
  if (networkDatabase_ == nullptr || ssid == nullptr) return nullptr;
  WifiNetwork::SsidKey key(ssid);
  for (WifiNetwork* network = networkDatabase_->first(); network != nullptr;
       network = network->getNext()) {
    if (network->hasSsid(key)) return network;
  }
  return nullptr;
}
