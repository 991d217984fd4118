/* A C program using the library through its public header alone, against
 * the product's backend, which finds no adapters: every answer is the empty
 * or failed one, and nothing may crash on null arguments. */
#include <stdint.h>
#include <stdio.h>

#include "wireless/wireless.h"

static int failures = 0;

#define CHECK(condition)                                                     \
  do {                                                                       \
    if (!(condition)) {                                                      \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
      ++failures;                                                            \
    }                                                                        \
  } while (0)

int main(void) {
  static char sentinel[] = "untouched";
  char* text = sentinel;
  char** lines = NULL;
  uint8_t count = 9;
  const char* keys[] = {"channel", "psk", NULL};
  const char* values[] = {"6", "", "x"};

  CHECK(sizeof(bool) == 1);
  CHECK(stopWifiService(NULL)); /* nothing to stop yet */

  /* The backend alone. */
  CHECK(!isWifiEnabled(NULL, "wlan0"));
  CHECK(!isWifiEnabled(NULL, NULL));
  CHECK(!hashCACertificates(NULL));
  CHECK(!discoverNetworks(NULL, "wlan0", &lines, 8, &count));
  CHECK(lines == NULL && count == 9); /* the scan failed: left as they were */
  CHECK(!discoverNetworks(NULL, "wlan0", NULL, 8, NULL));

  /* The host settings, unloaded. */
  CHECK(getDaemonStatus(NULL, "wlan0") == 0);
  CHECK(!getWifiAdapter(NULL, &text));
  CHECK(text == NULL);
  CHECK(!getWifiAdapter(NULL, NULL));
  text = sentinel;
  CHECK(!getCurrentNetwork(NULL, "wlan0", &text));
  CHECK(text == NULL);
  CHECK(!connectToNetwork(NULL, "wlan0", "office"));
  CHECK(disconnectFromNetwork(NULL, "wlan0", "office"));
  CHECK(removeWifiNetwork(NULL, "wlan0", "office"));
  CHECK(!addWifiNetwork(NULL, "wlan0", "office"));
  CHECK(!roamNetworks(NULL, "wlan0"));
  CHECK(saveWifiHostSettings(NULL, "wlan0")); /* nothing to save */
  CHECK(!setNetworkParameters(NULL, "wlan0", "office", keys, values, 3));
  CHECK(!setNetworkParameters(NULL, NULL, NULL, NULL, NULL, 0));
  CHECK(setHostParameters(NULL, "wlan0", keys, values, 3));
  CHECK(!getWifiHostSettingsXML(NULL, NULL, 1)); /* no writer */

  CHECK(stopWifiService(NULL));
  CHECK(stopWifiService(NULL));
  if (failures == 0) printf("all checks passed\n");
  return failures == 0 ? 0 : 1;
}
