// The load of 32 networks from a real supplicant through the library (new
// host settings each time), against the floor of a bare C
// client making the same round trips, in alternating rounds of one run.
// Run it with scripts/bench-supplicant, which gives it a network of its own.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/BareSupplicantClient.h"
#include "tests/daemon/supplicant/Supplicant.h"
#include "wireless/wireless.h"

namespace {

constexpr int kRounds = 15;
constexpr int kLoadsPerRound = 10;

// Milliseconds per load of one round; -1 when a load failed. Before each
// load, prepare runs untimed.
double timeRound(const std::function<void()>& prepare, const std::function<bool()>& load) {
  std::chrono::duration<double, std::milli> spent{0};
  for (int i = 0; i < kLoadsPerRound; ++i) {
    prepare();
    auto start = std::chrono::steady_clock::now();
    if (!load()) return -1;
    spent += std::chrono::steady_clock::now() - start;
  }
  return spent.count() / kLoadsPerRound;
}

// Networks with PSK and SSIDs long enough that the list takes more than one
// reply: "\xc3\xa9" 15 times and two digits, which the supplicant lists
// escaped.
std::string manyNetworks(int count) {
  std::string networks;
  for (int i = 0; i < count; ++i) {
    std::string ssid = "3" + std::to_string(i / 10) + "3" + std::to_string(i % 10);
    for (int e = 0; e < 15; ++e) ssid += "c3a9";
    networks += "network={\n\tssid=" + ssid + "\n\tpsk=\"passphrase " + std::to_string(i) + "\"\n}\n";
  }
  return networks;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  using namespace supplicant_test;
  if (!inPrivateNetwork()) {
    std::fputs("needs a network of its own: run scripts/bench-supplicant\n", stderr);
    return 2;
  }
  Supplicant supplicant(manyNetworks(32));
  int bare = bare_open(kControlSocket);
  int requests = bare_load(bare);
  if (bare < 0 || requests < 0) {
    std::fputs("the supplicant does not answer\n", stderr);
    return 1;
  }
  // Throwing the host settings away waits for their watchdog thread, up to
  // a second: that is not part of the load.
  auto throwAway = [] { stopWifiService(nullptr); };
  auto libraryLoad = [] {
    char* adapter = nullptr;
    bool loaded = getWifiAdapter(nullptr, &adapter);
    ::operator delete(adapter);
    return loaded;
  };
  std::vector<double> library;
  std::vector<double> floor;
  // The two take turns at going first.
  for (int round = 0; round < kRounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      if ((round + turn) % 2 == 0) {
        library.push_back(timeRound(throwAway, libraryLoad));
      } else {
        floor.push_back(timeRound([] {}, [bare, requests] { return bare_load(bare) == requests; }));
      }
    }
    if (library.back() < 0 || floor.back() < 0) {
      std::fputs("a load failed\n", stderr);
      return 1;
    }
  }
  double ratio = median(library) / median(floor);
  std::printf("load of 32 networks, %d round trips (median of %d rounds of %d loads)\n", requests, kRounds,
              kLoadsPerRound);
  std::printf("  library:     %8.3f ms\n  bare client: %8.3f ms\n  ratio:       %8.3f (target <= 1.2)\n",
              median(library), median(floor), ratio);
  return ratio <= 1.2 ? 0 : 3;
}
