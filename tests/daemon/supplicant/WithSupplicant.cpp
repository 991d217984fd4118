// Runs a command beside a supplicant started from networks.conf, which it
// ends afterwards; the command finds the supplicant's configuration file in
// WIRELESS_TEST_SUPPLICANT_CONFIG. Usage: in-private-network with_supplicant
// COMMAND [ARGUMENT...]
#include <cstdio>

#include "tests/daemon/supplicant/Supplicant.h"

int main(int argc, char** argv) {
  using namespace supplicant_test;
  if (argc < 2 || !inPrivateNetwork()) {
    std::fputs("usage: in-private-network with_supplicant COMMAND [ARGUMENT...]\n", stderr);
    return 2;
  }
  Supplicant supplicant(readFile(NETWORKS_FILE));
  setenv("WIRELESS_TEST_SUPPLICANT_CONFIG", kConfigFile, 1);
  pid_t command = fork();
  if (command == 0) {
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  waitpid(command, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
