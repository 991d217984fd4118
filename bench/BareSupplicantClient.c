#define _DEFAULT_SOURCE
#include "BareSupplicantClient.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

enum { REPLY_SIZE = 4096, FULL_REPLY = 4096 - 256, MAX_NETWORKS = 32, TIMEOUT_MS = 3000 };

/* The variables the load reads of each network, in its order; the WEP ones
 * only for key management NONE or IEEE8021X. */
static const char* const before_wep[] = {"disabled", "bssid", "mode",  "priority", "key_mgmt", "psk",
                                         "pairwise", "group", "proto", "eap",      "auth_alg"};
static const char* const wep[] = {"wep_tx_keyidx", "wep_key0", "wep_key1", "wep_key2", "wep_key3"};
static const char* const after_wep[] = {
    "scan_ssid",   "identity", "anonymous_identity", "password",  "private_key_passwd", "ca_cert",
    "ca_path",     "client_cert", "private_key",     "phase1",    "phase2",             "private_key_passwd2",
    "ca_cert2",    "ca_path2", "client_cert2",       "private_key2"};

int bare_open(const char* path) {
  struct sockaddr_un local = {.sun_family = AF_UNIX};
  struct sockaddr_un remote = {.sun_family = AF_UNIX};
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  strncpy(remote.sun_path, path, sizeof remote.sun_path - 1);
  /* Binding only the family asks the kernel for an abstract address. */
  struct timeval timeout = {.tv_sec = TIMEOUT_MS / 1000};
  if (fd < 0 || bind(fd, (struct sockaddr*)&local, sizeof(sa_family_t)) != 0 ||
      connect(fd, (struct sockaddr*)&remote, sizeof remote) != 0 ||
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  return fd;
}

/* The reply's length (reply NUL-terminated), events skipped; -1 without one. */
static int ask(int fd, const char* command, char* reply) {
  if (send(fd, command, strlen(command), 0) < 0) return -1;
  for (;;) {
    ssize_t length = recv(fd, reply, REPLY_SIZE - 1, 0);
    if (length < 0) return -1;
    reply[length] = '\0';
    if (reply[0] != '<') return (int)length;
  }
}

/* GET_NETWORK of each name; reply holds the last answer. */
static int ask_all(int fd, int id, const char* const* names, int count, char* reply) {
  char command[64];
  for (int i = 0; i < count; ++i) {
    snprintf(command, sizeof command, "GET_NETWORK %d %s", id, names[i]);
    if (ask(fd, command, reply) < 0) return -1;
  }
  return 0;
}

int bare_load(int fd) {
  char reply[REPLY_SIZE];
  char command[64] = "LIST_NETWORKS";
  int ids[MAX_NETWORKS];
  int networks = 0;
  int requests = 0;
  for (int length = FULL_REPLY; length >= FULL_REPLY && networks < MAX_NETWORKS; ++requests) {
    length = ask(fd, command, reply);
    if (length < 0) return -1;
    for (char* line = strchr(reply, '\n'); line != NULL && line[1] != '\0' && networks < MAX_NETWORKS;
         line = strchr(line + 1, '\n')) {
      ids[networks++] = atoi(line + 1);
    }
    snprintf(command, sizeof command, "LIST_NETWORKS LAST_ID=%d", ids[networks - 1]);
  }
  for (int i = 0; i < networks; ++i) {
    if (ask_all(fd, ids[i], before_wep, 5, reply) < 0) return -1;
    int wep_too = strstr(reply, "NONE") != NULL || strstr(reply, "IEEE8021X") != NULL;
    if (ask_all(fd, ids[i], before_wep + 5, 6, reply) < 0 || (wep_too && ask_all(fd, ids[i], wep, 5, reply) < 0) ||
        ask_all(fd, ids[i], after_wep, 16, reply) < 0) {
      return -1;
    }
    requests += 27 + (wep_too ? 5 : 0);
  }
  if (networks > 0 && ask(fd, "SCAN_RESULTS", reply) < 0) return -1;
  requests += networks > 0;
  return ask(fd, "STATUS", reply) < 0 ? -1 : requests + 1;
}
