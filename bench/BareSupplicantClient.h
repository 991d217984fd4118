#ifndef WIRELESS_BENCH_BARE_SUPPLICANT_CLIENT_H
#define WIRELESS_BENCH_BARE_SUPPLICANT_CLIENT_H

/* The floor of a load: a bare client of the supplicant's control interface
 * that makes the round trips the library's load makes and nothing else. */

#ifdef __cplusplus
extern "C" {
#endif

/* A datagram socket bound to an address the kernel picks and connected to
 * the control socket at path; -1 on failure. */
int bare_open(const char* path);

/* The round trips of one load: the network list (continued with LAST_ID
 * while a reply comes near the supplicant's 4 KiB), the variables of every
 * network, the scan results and the status. The number of requests, or -1
 * when one went unanswered. */
int bare_load(int socket);

#ifdef __cplusplus
}
#endif

#endif
