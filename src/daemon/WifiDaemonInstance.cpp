// The process-wide slot of the backend, shared by every backend.
#include <atomic>

#include "daemon/WifiDaemon.h"

namespace {
std::atomic<WifiDaemon*> instance{nullptr};
}

WifiDaemon* WifiDaemon::getInstance() {
  WifiDaemon* current = instance.load(std::memory_order_acquire);
  if (current != nullptr) return current;
  // Concurrent first calls may both build one; only one is published.
  WifiDaemon* created = new WifiDaemon();
  if (instance.compare_exchange_strong(current, created, std::memory_order_acq_rel)) return created;
  delete created;
  return current;
}

void WifiDaemon::destroyInstance() { delete instance.exchange(nullptr, std::memory_order_acq_rel); }
