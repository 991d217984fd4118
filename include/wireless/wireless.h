/*
 * wireless: the flat C interface of the Wi-Fi host settings library.
 *
 * Conventions for every function below:
 *
 * - Linkage and names: C linkage, exported by these exact names. The header
 *   compiles as C (C99 or later) and as C++.
 * - Booleans are one byte: `bool` (C99 `_Bool`, C++ `bool`), 1 for true and
 *   0 for false. Small counts and capacities are `uint8_t`; parameter counts
 *   are `uint32_t`.
 * - Strings passed in are NUL-terminated 8-bit strings owned by the caller;
 *   the library copies whatever it keeps.
 * - Strings and arrays handed out are allocated by the library with the
 *   global C++ `operator new` and belong to the caller from then on, who
 *   releases each string and each array with the global `operator delete`
 *   (`::operator delete(p)`, not `delete[]` and not `free`). The library
 *   exports no release function, so C callers release through a C++ helper
 *   of their own.
 * - Out-pointers (the addresses where a result is stored) must not be null;
 *   a function given a null out-pointer returns false and touches nothing.
 * - `handler` is the caller's error sink (an `ErrorHandler` of the platform
 *   support library), or null. The library never reports through it itself;
 *   it hands it to the platform's encryption of secrets and to the creation
 *   of the host settings. To C callers it is an opaque type.
 * - Failures are results: false, 0 or a null out-string. Nothing is thrown.
 * - The first function that needs the host settings creates them and loads
 *   them from the Wi-Fi daemon; stopWifiService() throws them away again.
 *   stopWifiService() must not run while any other function runs.
 * - Secrets (pre-shared key, EAP password, private key passwords) leave the
 *   library only in the encrypted form the platform's Crypt produces, and
 *   setNetworkParameters() expects them in that form.
 */
#ifndef WIRELESS_WIRELESS_H
#define WIRELESS_WIRELESS_H

#include <stdint.h>

/* Everything else in the library is hidden; these are exported. */
#if defined(_WIN32)
#define WIRELESS_API __declspec(dllexport)
#elif defined(__GNUC__)
#define WIRELESS_API __attribute__((visibility("default")))
#else
#define WIRELESS_API
#endif

#ifdef __cplusplus
class ErrorHandler;
class XWriter;
extern "C" {
#else
#include <stdbool.h>
typedef struct ErrorHandler ErrorHandler;
typedef struct XWriter XWriter;
#endif

/* Scans on `adapter` and hands out the scan result lines. On success
 * `*lines` receives a new array of `capacity` entries of which the first
 * `*count` hold one line each (the rest are null); the caller releases every
 * line and the array. False when the scan fails (`*lines` and `*count` left
 * as they were) or when the results can't be read (`*lines` null, `*count`
 * 0). `handler` is not used. Never creates the host settings. */
WIRELESS_API bool discoverNetworks(ErrorHandler* handler, const char* adapter, char*** lines,
                                   uint8_t capacity, uint8_t* count);

/* Connects `adapter` to the configured network `ssid`. False for an SSID
 * that is not configured or when the daemon refuses. */
WIRELESS_API bool connectToNetwork(ErrorHandler* handler, const char* adapter, const char* ssid);

/* Disconnects `adapter` from `ssid`. True also for an SSID that is not
 * configured. */
WIRELESS_API bool disconnectFromNetwork(ErrorHandler* handler, const char* adapter,
                                        const char* ssid);

/* Disconnects, enables every configured network and reconnects, letting the
 * daemon pick the network. */
WIRELESS_API bool roamNetworks(ErrorHandler* handler, const char* adapter);

/* Whether Wi-Fi is enabled on `adapter`, as the daemon reports it. False also
 * when the daemon can't be asked. `handler` is not used. Never creates the
 * host settings. */
WIRELESS_API bool isWifiEnabled(ErrorHandler* handler, const char* adapter);

/* Throws the host settings away (the next call loads them again). Always
 * true, also when there were none. `handler` is not used. */
WIRELESS_API bool stopWifiService(ErrorHandler* handler);

/* The daemon state, asked afresh: 0 unknown, 1 disconnected, 2 idle,
 * 3 scanning, 4 associating, 5 associated, 6 4-way handshake, 7 group
 * handshake, 8 completed. 0 also when nothing can be asked. */
WIRELESS_API uint32_t getDaemonStatus(ErrorHandler* handler, const char* adapter);

/* Hands out a new copy of the first adapter's name in `*adapter`, which the
 * caller releases. On failure (no adapter) `*adapter` is set to null. */
WIRELESS_API bool getWifiAdapter(ErrorHandler* handler, char** adapter);

/* Hands out a new copy of the SSID of the network `adapter` is connected to
 * in `*ssid`, which the caller releases. On failure (none) `*ssid` is set to
 * null. */
WIRELESS_API bool getCurrentNetwork(ErrorHandler* handler, const char* adapter, char** ssid);

/* Adds a network named `ssid` to the daemon and the database. False when it
 * is already configured or the daemon refuses. Saved by
 * saveWifiHostSettings(). */
WIRELESS_API bool addWifiNetwork(ErrorHandler* handler, const char* adapter, const char* ssid);

/* Removes the network `ssid`. True also for an SSID that is not
 * configured. */
WIRELESS_API bool removeWifiNetwork(ErrorHandler* handler, const char* adapter, const char* ssid);

/* Writes the whole host configuration as one XML document to `writer`: a
 * summary when `detailed` is 0, every parameter (secrets encrypted)
 * otherwise. True once the host settings exist; false for a null writer. */
WIRELESS_API bool getWifiHostSettingsXML(XWriter* writer, ErrorHandler* handler, uint8_t detailed);

/* Writes every pending change to the daemon and has it store and reload its
 * configuration. `adapter` is not used. */
WIRELESS_API bool saveWifiHostSettings(ErrorHandler* handler, const char* adapter);

/* Sets parameters of the configured network `ssid`: `keys[i]` is set to
 * `values[i]` for i below `count`. Keys (case-sensitive):
 *   numbers:  authentication channel eap index key_mgmt mode priority
 *             protocol status strength
 *             encryption (6: pairwise CCMP, group TKIP; 8, 16: group only;
 *             1: pairwise only; 2, 4: both)
 *   texts:    clientCertificate clientCertificate2 CACertificateFile
 *             CACertificateDir CACertificateFile2 CACertificateDir2
 *             eapIdentity eapAnonymousIdentity phase1 phase2 privateKeyFile
 *             privateKeyFile2 key1 key2 key3 key4 (an empty value clears)
 *   as given: bssid
 *   secrets:  psk eapPassword privateKeyPassword privateKeyPassword2, in the
 *             encrypted form; empty clears, undecryptable text changes nothing
 *   flag:     ssidBroadcasted (exactly "true" sets it, anything else clears)
 * Unknown keys, null keys and "ssid" are skipped; a null value counts as
 * empty. True whenever the network was found, false when it wasn't.
 * Changes reach the daemon with saveWifiHostSettings(). */
WIRELESS_API bool setNetworkParameters(ErrorHandler* handler, const char* adapter,
                                       const char* ssid, const char* const* keys,
                                       const char* const* values, uint32_t count);

/* Host-wide parameters. No host parameter can be changed at present (the
 * one known key, "wifiEnabled", is ignored like any other): true once the
 * host settings exist. `adapter` and `values` are not used. */
WIRELESS_API bool setHostParameters(ErrorHandler* handler, const char* adapter,
                                    const char* const* keys, const char* const* values,
                                    uint32_t count);

/* Has the daemon rehash its CA certificate directory. `handler` is not
 * used. Never creates the host settings. */
WIRELESS_API bool hashCACertificates(ErrorHandler* handler);

#ifdef __cplusplus
}
#endif

#endif /* WIRELESS_WIRELESS_H */
