#include "core/WifiNetworkDatabase.h"

#include "core/ScopedLock.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"

WifiNetworkDatabase::WifiNetworkDatabase() { PlatformUtil::createMutex(&mutex_); }

WifiNetworkDatabase::~WifiNetworkDatabase() {
  PlatformUtil::lockMutex(&mutex_);
  deleteAll();
  changed_ = 0;
  PlatformUtil::destroyMutex(&mutex_);
}

bool WifiNetworkDatabase::add(WifiNetwork* network) {
  if (network == nullptr) return false;
  ScopedMutex held(&mutex_);
  if (contains(network->getSsid())) return false;
  network->setNext(head_);
  head_ = network;
  markChanged();
  return true;
}

bool WifiNetworkDatabase::remove(const char* ssid) {
  if (text::isEmpty(ssid)) return false;
  ScopedMutex held(&mutex_);
  WifiNetwork::SsidKey key(ssid);
  WifiNetwork* previous = nullptr;
  for (WifiNetwork* network = head_; network != nullptr; network = network->getNext()) {
    if (!network->hasSsid(key)) {
      previous = network;
      continue;
    }
    if (previous == nullptr) {
      head_ = network->getNext();
    } else {
      previous->setNext(network->getNext());
    }
    delete network;
    break;
  }
  markChanged();
  return true;
}

bool WifiNetworkDatabase::contains(const char* ssid) {
  if (text::isEmpty(ssid)) return false;
  ScopedMutex held(&mutex_);
  WifiNetwork::SsidKey key(ssid);
  for (WifiNetwork* network = head_; network != nullptr; network = network->getNext()) {
    if (network->hasSsid(key)) return true;
  }
  return false;
}

uint32_t WifiNetworkDatabase::count() {
  ScopedMutex held(&mutex_);
  uint32_t count = 0;
  for (WifiNetwork* network = head_; network != nullptr; network = network->getNext()) ++count;
  return count;
}

bool WifiNetworkDatabase::clear() {
  ScopedMutex held(&mutex_);
  deleteAll();
  markChanged();
  return true;
}

void WifiNetworkDatabase::deleteAll() {
  WifiNetwork* network = head_;
  while (network != nullptr) {
    WifiNetwork* next = network->getNext();
    delete network;
    network = next;
  }
  head_ = nullptr;
}

void WifiNetworkDatabase::markChanged() {
  ScopedMutex held(&mutex_);
  changed_ = 1;
}

void WifiNetworkDatabase::markUnchanged() {
  ScopedMutex held(&mutex_);
  changed_ = 0;
}

bool WifiNetworkDatabase::isUnchanged() {
  ScopedMutex held(&mutex_);
  return changed_ == 0;
}

void WifiNetworkDatabase::lock() { PlatformUtil::lockMutex(&mutex_); }

void WifiNetworkDatabase::unlock() { PlatformUtil::unlockMutex(&mutex_); }
