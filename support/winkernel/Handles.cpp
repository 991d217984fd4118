// The handle table, the thread's last error, and the calls that work on any
// kind of handle: WaitForSingleObject and CloseHandle.

#include <pthread.h>

#include <unordered_map>
#include <utility>

#include "KernelObject.h"

namespace winkernel {

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

struct HandleTable {
  std::mutex lock;
  std::unordered_map<const void*, std::shared_ptr<Object>> objects;
};

void lockBeforeFork() { tableLock().lock(); }
void unlockAfterFork() { tableLock().unlock(); }

// Never destroyed: detached threads may still close handles while the
// process exits.
HandleTable& handleTable() {
  static HandleTable* table = [] {
    auto* created = new HandleTable;
    pthread_atfork(lockBeforeFork, unlockAfterFork, unlockAfterFork);
    return created;
  }();
  return *table;
}

}  // namespace

Object::~Object() { seal_ = 0; }

DWORD Object::wait(DWORD /*milliseconds*/) {
  setLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

void setLastError(DWORD code) { lastError = code; }

std::mutex& tableLock() { return handleTable().lock; }

HANDLE publish(const std::shared_ptr<Object>& object) {
  HandleTable& table = handleTable();
  std::lock_guard<std::mutex> guard(table.lock);
  table.objects.emplace(object.get(), object);
  return object.get();
}

std::shared_ptr<Object> lookup(HANDLE handle) {
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
    HandleTable& table = handleTable();
    std::lock_guard<std::mutex> guard(table.lock);
    auto found = table.objects.find(handle);
    if (found != table.objects.end() && found->second->intact()) {
      return found->second;
    }
  }
  setLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

}  // namespace winkernel

using winkernel::setLastError;

extern "C" {

DWORD GetLastError(void) { return winkernel::lastError; }

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  std::shared_ptr<winkernel::Object> target = winkernel::lookup(object);
  if (target == nullptr) {
    return WAIT_FAILED;
  }
  return target->wait(milliseconds);
}

BOOL CloseHandle(HANDLE object) {
  std::shared_ptr<winkernel::Object> closed;
  if (object != nullptr && object != INVALID_HANDLE_VALUE) {
    winkernel::HandleTable& table = winkernel::handleTable();
    std::lock_guard<std::mutex> guard(table.lock);
    auto found = table.objects.find(object);
    if (found != table.objects.end()) {
      closed = std::move(found->second);
      table.objects.erase(found);
    }
  }
  if (closed == nullptr) {
    setLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // The object goes when its last user lets go of it, outside the table
  // lock: a wait still in progress keeps it alive until it returns.
  closed.reset();
  return TRUE;
}

}  // extern "C"
