#pragma once

// What the POSIX stand-in of the Windows kernel calls offers beyond
// WinKernel.h: the further error codes it reports, the thread handles the
// platform library hands out, and the host name a named object lives under.

#include <cstdint>
#include <string>

#include "platform/WinKernel.h"

#ifndef _WIN32
#define ERROR_ACCESS_DENIED 5u
#define ERROR_GEN_FAILURE 31u
#define ERROR_NOT_SUPPORTED 50u
#define ERROR_INVALID_NAME 123u
#define ERROR_FILENAME_EXCED_RANGE 206u
#define ERROR_NOT_OWNER 288u
#define ERROR_INVALID_ADDRESS 487u
#define ERROR_MUTANT_LIMIT_EXCEEDED 587u
#define ERROR_MAPPED_ALIGNMENT 1132u
#define ERROR_TIMEOUT 1460u
#define FILE_MAP_WRITE 0x0002u
#define FILE_MAP_READ 0x0004u
#endif

namespace winkernel {

// Environment variable whose value, when set and not empty, is put in front
// of every object name, so that a process (and the children that inherit its
// environment) sees its own set of named objects. Read at every call.
constexpr const char* kNamespaceVariable = "WIRELESS_KERNEL_NAMESPACE";

// Starts a thread running entry(argument), named `name` (cut to the 15
// characters the host allows; null for no name). Returns a handle that
// WaitForSingleObject waits on until the thread has ended and CloseHandle
// releases, or INVALID_HANDLE_VALUE (with the error set) when no thread
// could be started.
HANDLE createThread(uint32_t (*entry)(void* argument), void* argument, const char* name);

// The host shared-memory name that the object called `name` has under the
// current namespace. False when the result would be too long for the host.
bool hostObjectName(const char* name, std::string* hostName);

}  // namespace winkernel
