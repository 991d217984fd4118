// Costs of the whole-database operations on a full daemon: 32 configured
// networks (the most one list read holds), each answering every variable.
#include <benchmark/benchmark.h>

#include <string>

#include "core/ScopedLock.h"
#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "model/WifiNetwork.h"
#include "platform/XWriter.h"
#include "tests/daemon/DaemonScript.h"

namespace {

constexpr int kNetworks = 32;

void scriptFullDaemon() {
  std::vector<std::string> list;
  std::vector<std::string> scan;
  script().reset().adapters({"wlan0"}).result("saveConfig", true);
  for (int id = 0; id < kNetworks; ++id) {
    std::string ssid = "network-" + std::to_string(id);
    list.push_back(std::to_string(id) + "\t" + ssid + "\tany\t" + (id == 0 ? "[CURRENT]" : ""));
    scan.push_back("00:11:22:33:44:" + std::to_string(10 + id) + "\t2437\t190\t[WPA2-PSK-CCMP]\t" + ssid);
    uint8_t networkId = static_cast<uint8_t>(id);
    script()
        .variable(networkId, "key_mgmt", "WPA-PSK")
        .variable(networkId, "psk", "correct horse battery staple")
        .variable(networkId, "pairwise", "CCMP TKIP")
        .variable(networkId, "group", "CCMP")
        .variable(networkId, "proto", "RSN")
        .variable(networkId, "priority", "5")
        .variable(networkId, "identity", "user@example.org")
        .variable(networkId, "ca_cert", "/etc/certs/ca.pem");
  }
  script().networks(list).scanResults(scan).status({"ssid=network-0", "wpa_state=COMPLETED"});
}

void BM_LoadDatabase(benchmark::State& state) {
  scriptFullDaemon();
  for (auto _ : state) {
    WifiHostSettings settings(nullptr);
    benchmark::DoNotOptimize(settings.networkDatabase());
    state.PauseTiming();
    script().clearCalls();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LoadDatabase)->Unit(benchmark::kMicrosecond);

void BM_FindLastNetwork(benchmark::State& state) {
  scriptFullDaemon();
  WifiHostSettings settings(nullptr);
  for (auto _ : state) {
    ScopedLock<WifiHostSettings> held(settings);
    benchmark::DoNotOptimize(settings.findNetwork("wlan0", "network-0"));
  }
}
BENCHMARK(BM_FindLastNetwork);

void BM_SaveEveryParameter(benchmark::State& state) {
  scriptFullDaemon();
  WifiHostSettings settings(nullptr);
  for (auto _ : state) {
    state.PauseTiming();
    {
      ScopedLock<WifiHostSettings> held(settings);
      for (WifiNetwork* network = settings.networkDatabase()->first(); network != nullptr;
           network = network->getNext()) {
        for (int flag = 0; flag < WifiNetwork::CHANGE_COUNT; ++flag) {
          network->setChanged(static_cast<WifiNetwork::Change>(flag), true);
        }
      }
    }
    script().clearCalls();
    state.ResumeTiming();
    benchmark::DoNotOptimize(settings.save());
  }
}
BENCHMARK(BM_SaveEveryParameter)->Unit(benchmark::kMicrosecond);

void BM_DetailedXml(benchmark::State& state) {
  scriptFullDaemon();
  WifiHostSettings settings(nullptr);
  for (auto _ : state) {
    StringXWriter writer;
    settings.writeXml(&writer, nullptr, true);
    benchmark::DoNotOptimize(writer.str().size());
    state.PauseTiming();
    script().clearCalls();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DetailedXml)->Unit(benchmark::kMicrosecond);

}  // namespace
