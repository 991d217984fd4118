// Keeping the records in step with the daemon after the load: the network
// list refresh (throttled), the daemon status and the current network.
#include <cstdlib>
#include <cstring>

#include "core/ScopedLock.h"
#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "daemon/DaemonText.h"
#include "daemon/WifiDaemon.h"
#include "model/WifiNetwork.h"
#include "platform/Orv.h"

namespace {

constexpr uint64_t kRefreshIntervalMillis = 5000;

void enableUnlessDisabled(WifiNetwork* network) {
  if (network->getStatus() != NETWORK_STATUS_DISABLED) network->setStatus(NETWORK_STATUS_ENABLED);
}

}  // namespace

void WifiHostSettings::followReportedSsid(const char* adapter, const char* ssid, bool keepDisabled) {
  ScopedMutex held(&mutex_);
  if (currentNetwork_ != nullptr) {
    if (currentNetwork_->hasSsid(ssid)) return;
    if (keepDisabled) {
      enableUnlessDisabled(currentNetwork_);
    } else {
      currentNetwork_->setStatus(NETWORK_STATUS_ENABLED);
    }
  }
  currentNetwork_ = findNetwork(adapter, ssid);
}

void WifiHostSettings::settleCurrentNetwork() {
  ScopedMutex held(&mutex_);
  if (currentNetwork_ == nullptr) return;
  uint32_t state = daemonState_;
  if (state <= DAEMON_STATE_IDLE) {
    enableUnlessDisabled(currentNetwork_);
    currentNetwork_ = nullptr;
  } else if (state < DAEMON_STATE_COMPLETED) {
    currentNetwork_->setStatus(NETWORK_STATUS_CONNECTING);
  } else if (state == DAEMON_STATE_COMPLETED) {
    currentNetwork_->setStatus(NETWORK_STATUS_CONNECTED);
  }
}

bool WifiHostSettings::refreshNetworkList() {
  uint64_t now = Orv::getInstance()->currentTimeMillis();
  if (now - lastRefreshTime_ < kRefreshIntervalMillis) return true;
  lastRefreshTime_ = now;

  WifiDaemon* daemon = WifiDaemon::getInstance();
  if (daemon == nullptr || adapters_ == nullptr) return false;
  const char* adapter = adapters_[0];
  LineArray list(kListCapacity);
  if (!daemon->listNetworks(adapter, list.entries(), list.capacity(), list.count())) return false;
  if (networkDatabase_ == nullptr) return true;

  ScopedLock<WifiNetworkDatabase> held(*networkDatabase_);
  for (WifiNetwork* network = networkDatabase_->first(); network != nullptr; network = network->getNext()) {
    for (uint8_t i = 0; i < list.size(); ++i) {
      const char* line = list.line(i);
      if (line == nullptr) continue;
      WorkingLine fields(line);
      const char* identifier = fields.nextField("\t ");
      if (identifier == nullptr) return false;
      if (std::atoi(identifier) != network->getNetworkId()) continue;
      applyListFlags(network, line);
    }
  }

  LineArray scan(kScanCapacity);
  if (daemon->getScanLines(adapter, scan.entries(), scan.capacity(), scan.count())) {
    mergeScanLines(*networkDatabase_, scan);
  }

  ScopedMutex current(&mutex_);
  if (currentNetwork_ != nullptr && (currentNetwork_->getStatus() == NETWORK_STATUS_ENABLED ||
                                     currentNetwork_->getStatus() == NETWORK_STATUS_DISABLED)) {
    currentNetwork_ = nullptr;
  }
  return true;
}

void WifiHostSettings::applyListFlags(WifiNetwork* network, const char* line) {
  if (std::strstr(line, "[DISABLED]") != nullptr) {
    network->setStatus(NETWORK_STATUS_DISABLED);
    return;
  }
  if (std::strstr(line, "[CURRENT]") == nullptr) {
    network->setStatus(NETWORK_STATUS_ENABLED);
    return;
  }
  // A connected network stays connected.
  if (network->getStatus() != NETWORK_STATUS_CONNECTED) network->setStatus(NETWORK_STATUS_CONNECTING);
  ScopedMutex held(&mutex_);
  if (currentNetwork_ != nullptr && !currentNetwork_->sharesSsidWith(*network)) {
    enableUnlessDisabled(currentNetwork_);
    currentNetwork_ = network;
  } else if (currentNetwork_ == nullptr) {
    currentNetwork_ = network;
  }
}

int32_t WifiHostSettings::getDaemonStatus(const char* adapter) {
  if (adapter == nullptr) return 0;
  LineArray status(kStatusCapacity);
  WifiDaemon* daemon = WifiDaemon::getInstance();
  if (daemon == nullptr || adapters_ == nullptr ||
      !daemon->getStatus(adapters_[0], status.entries(), status.capacity(), status.count())) {
    daemonState_ = DAEMON_STATE_UNKNOWN;
  } else {
    for (uint8_t i = 0; i < status.size(); ++i) {
      const char* line = status.line(i);
      if (line == nullptr) continue;
      if (std::strstr(line, "wpa_state=") != nullptr) {
        daemonState_ = daemonStateOf(line);
      } else if (std::strstr(line, "ssid=") != nullptr && std::strstr(line, "bssid=") == nullptr) {
        followReportedSsid(adapters_[0], std::strchr(line, '=') + 1, false);
      }
    }
  }
  settleCurrentNetwork();
  return static_cast<int32_t>(daemonState_);
}

WifiNetwork* WifiHostSettings::getCurrentNetwork(const char* adapter) {
  if (adapter == nullptr) return nullptr;
  LineArray status(kStatusCapacity);
  WifiDaemon* daemon = WifiDaemon::getInstance();
  if (daemon == nullptr || !daemon->getStatus(adapter, status.entries(), status.capacity(), status.count())) {
    ScopedMutex held(&mutex_);
    if (currentNetwork_ != nullptr) {
      enableUnlessDisabled(currentNetwork_);
      currentNetwork_ = nullptr;
    }
    return nullptr;
  }
  for (uint8_t i = 0; i < status.size(); ++i) {
    const char* line = status.line(i);
    if (line == nullptr || std::strncmp(line, "ssid=", 5) != 0) continue;
    followReportedSsid(adapter, line + 5, true);
    break;
  }
  ScopedMutex held(&mutex_);
  return currentNetwork_;
}
