/* The public header compiles as C99, and a C program links against the
 * library by the exported names (the whole export table is checked in
 * tests/jni). The product's backend finds no adapters: nothing is loaded,
 * and stopping is always possible. */
#include <stddef.h>

#include "wireless/wireless.h"

int main(void) {
  char* adapter = "";
  return sizeof(bool) == 1 && !getWifiAdapter(NULL, &adapter) && adapter == NULL && stopWifiService(NULL) ? 0 : 1;
}
