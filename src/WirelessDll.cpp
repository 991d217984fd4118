// The entry point of wireless.dll: the library keeps no per-thread state, so
// it asks not to be told of threads starting and ending, and reports
// success.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}
