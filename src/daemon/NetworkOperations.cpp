// Operations on single networks and the adapter. Each asks the daemon first
// and changes memory only when the daemon reported success.
#include <memory>

#include "core/ScopedLock.h"
#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "daemon/DaemonText.h"
#include "daemon/WifiDaemon.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"

namespace {

using HostLock = ScopedLock<WifiHostSettings>;

// Appends a fresh copy of text to a caller's array.
void copyOut(const char* text, char** array, uint8_t* count) {
  array[*count] = text::copy(text);
  ++*count;
}

}  // namespace

bool WifiHostSettings::getAdapters(char** adapters, uint8_t capacity, uint8_t* count) {
  if (adapters == nullptr || count == nullptr) return false;
  *count = 0;
  if (adapters_ == nullptr || adapterCount_ == 0) return true;
  for (uint8_t i = 0; i < adapterCount_ && i < kAdapterCapacity && *count < capacity; ++i) {
    copyOut(adapters_[i], adapters, count);
  }
  return true;
}

bool WifiHostSettings::getNetworkSsids(const char* /*adapter*/, char** ssids, uint8_t capacity,
                                       uint8_t* count) {
  if (ssids == nullptr || count == nullptr) return false;
  *count = 0;
  if (networkDatabase_ == nullptr) return true;
  ScopedLock<WifiNetworkDatabase> held(*networkDatabase_);
  for (WifiNetwork* network = networkDatabase_->first(); network != nullptr && *count < capacity;
       network = network->getNext()) {
    if (network->getSsid() == nullptr) return false;
    ssids[(*count)++] = text::copy(network->getSsid(), network->getSsidLength());
  }
  return true;
}

bool WifiHostSettings::addNetwork(const char* adapter, const char* ssid) {
  // A network without a name could never be found again.
  if (ssid == nullptr) return false;
  HostLock held(*this);
  if (findNetwork(adapter, ssid) != nullptr) return false;
  WifiDaemon* daemon = WifiDaemon::getInstance();
  if (daemon == nullptr) return false;
  uint8_t networkId = 0;
  if (!daemon->addNetwork(adapter, ssid, &networkId)) return false;

  std::unique_ptr<WifiNetwork> network(new WifiNetwork());
  network->setSsid(ssid);
  network->setNetworkId(networkId);
  if (networkDatabase_ != nullptr && networkDatabase_->add(network.get())) network.release();
  return true;
}

void WifiHostSettings::forgetIfCurrent(const WifiNetwork& network) {
  ScopedMutex held(&mutex_);
  if (currentNetwork_ != nullptr && currentNetwork_->sharesSsidWith(network)) currentNetwork_ = nullptr;
}

bool WifiHostSettings::removeNetwork(const char* adapter, const char* ssid) {
  HostLock held(*this);
  WifiNetwork* network = findNetwork(adapter, ssid);
  if (network == nullptr) return true;
  WifiDaemon* daemon = WifiDaemon::getInstance();
  if (daemon == nullptr) return false;
  if (!daemon->removeNetwork(adapter, network->getNetworkId())) return false;
  forgetIfCurrent(*network);
  if (networkDatabase_ != nullptr) networkDatabase_->remove(network->getSsid());
  return true;
}

bool WifiHostSettings::disconnect(const char* adapter, const char* ssid) {
  HostLock held(*this);
  WifiNetwork* network = findNetwork(adapter, ssid);
  if (network == nullptr) return true;
  WifiDaemon* daemon = WifiDaemon::getInstance();
  if (daemon == nullptr) return false;
  if (!daemon->disconnectNetwork(adapter, network->getNetworkId())) return false;
  forgetIfCurrent(*network);
  if (network->getStatus() != NETWORK_STATUS_DISABLED) network->setStatus(NETWORK_STATUS_ENABLED);
  daemonState_ = DAEMON_STATE_DISCONNECTED;
  return true;
}

bool WifiHostSettings::connect(const char* adapter, const char* ssid) {
  HostLock held(*this);
  WifiNetwork* network = findNetwork(adapter, ssid);
  if (network == nullptr) return false;
  WifiDaemon* daemon = WifiDaemon::getInstance();
  if (daemon == nullptr) return false;
  if (daemonState_ == DAEMON_STATE_DISCONNECTED && !daemon->reconnect(adapter)) return false;
  if (!daemon->selectNetwork(adapter, network->getNetworkId())) return false;

  ScopedMutex current(&mutex_);
  if (currentNetwork_ != nullptr && !currentNetwork_->sharesSsidWith(*network)) {
    if (currentNetwork_->getStatus() != NETWORK_STATUS_DISABLED) {
      currentNetwork_->setStatus(NETWORK_STATUS_ENABLED);
    }
    currentNetwork_ = nullptr;
  }
  if (currentNetwork_ == nullptr) {
    currentNetwork_ = network;
    network->setStatus(NETWORK_STATUS_CONNECTING);
  }
  return true;
}

bool WifiHostSettings::roam(const char* adapter) {
  HostLock held(*this);
  WifiDaemon* daemon = WifiDaemon::getInstance();
  if (daemon == nullptr) return false;
  if (!daemon->disconnectNetwork(adapter, 0)) return false;
  if (networkDatabase_ != nullptr) {
    for (WifiNetwork* network = networkDatabase_->first(); network != nullptr; network = network->getNext()) {
      daemon->setNetworkVariable(adapter, network->getNetworkId(), "disabled", "0");
    }
  }
  return daemon->reconnect(adapter);
}
