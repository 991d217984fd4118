#pragma once

// A wpa_supplicant of the test's own on the loopback interface (wired
// driver), its configuration file and control sockets under /run. Only for
// processes that in-private-network started: there /run and the network are
// theirs, and the library finds the supplicant in its conventional control
// directory.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

namespace supplicant_test {

constexpr const char* kAdapter = "lo";
constexpr const char* kControlSocket = "/run/wpa_supplicant/lo";
constexpr const char* kConfigFile = "/run/wireless-test.conf";

inline bool inPrivateNetwork() { return std::getenv("WIRELESS_PRIVATE_NETWORK") != nullptr; }

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class Supplicant {
 public:
  explicit Supplicant(const std::string& networks) {
    std::ofstream(kConfigFile) << "ctrl_interface=/run/wpa_supplicant\nupdate_config=1\n" << networks;
    start();
  }
  ~Supplicant() { stop(SIGTERM); }

  // Starts it on the configuration file as it stands; true once its control
  // socket is there.
  bool start() {
    pid_ = fork();
    if (pid_ == 0) {
      execlp("wpa_supplicant", "wpa_supplicant", "-q", "-i", kAdapter, "-D", "wired", "-c", kConfigFile, nullptr);
      _exit(127);
    }
    for (int waited = 0; waited < 500 && waitpid(pid_, nullptr, WNOHANG) == 0; ++waited) {
      if (access(kControlSocket, F_OK) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  // Ends it with the signal. A killed supplicant leaves its socket behind;
  // it goes too, so that start() waits for the new one.
  void stop(int signal) {
    if (pid_ <= 0) return;
    kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    unlink(kControlSocket);
  }

  void signal(int number) const { kill(pid_, number); }

 private:
  pid_t pid_ = -1;
};

}  // namespace supplicant_test
