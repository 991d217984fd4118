// Thread handles: a wait on one returns once the thread has ended. Closing
// the handle joins a thread that has ended and detaches one that still runs,
// so either way its resources are released.

#include <pthread.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>

#include "KernelObject.h"

namespace winkernel {

namespace {

constexpr size_t kMaxThreadName = 15;

struct ThreadState {
  uint32_t (*entry)(void*) = nullptr;
  void* argument = nullptr;
  char name[kMaxThreadName + 1] = {};
  std::mutex lock;
  std::condition_variable ended;
  bool done = false;
};

class Thread final : public Object {
 public:
  Thread(pthread_t thread, std::shared_ptr<ThreadState> state)
      : Object(Kind::Thread), thread_(thread), state_(std::move(state)), starter_(getpid()) {}

  ~Thread() override {
    if (getpid() != starter_) {
      return;  // inherited through fork(): the thread does not exist here
    }
    bool done;
    {
      std::lock_guard<std::mutex> guard(state_->lock);
      done = state_->done;
    }
    if (done && !pthread_equal(thread_, pthread_self())) {
      pthread_join(thread_, nullptr);
    } else {
      pthread_detach(thread_);
    }
  }

  DWORD wait(DWORD milliseconds) override {
    if (getpid() != starter_) {
      setLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    std::unique_lock<std::mutex> lock(state_->lock);
    return waitUntilReady(state_->ended, lock, milliseconds, [this] { return state_->done; })
               ? WAIT_OBJECT_0
               : WAIT_TIMEOUT;
  }

 private:
  pthread_t thread_;
  std::shared_ptr<ThreadState> state_;
  pid_t starter_;
};

void* runThread(void* start) {
  std::shared_ptr<ThreadState> state;
  {
    auto* handedOver = static_cast<std::shared_ptr<ThreadState>*>(start);
    state = std::move(*handedOver);
    delete handedOver;
  }
  if (state->name[0] != '\0') {
    pthread_setname_np(pthread_self(), state->name);
  }
  state->entry(state->argument);
  {
    std::lock_guard<std::mutex> guard(state->lock);
    state->done = true;
  }
  state->ended.notify_all();
  return nullptr;
}

}  // namespace

HANDLE createThread(uint32_t (*entry)(void* argument), void* argument, const char* name) {
  if (entry == nullptr) {
    setLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto state = std::make_shared<ThreadState>();
  state->entry = entry;
  state->argument = argument;
  if (name != nullptr) {
    std::strncpy(state->name, name, kMaxThreadName);
  }
  auto* handedOver = new std::shared_ptr<ThreadState>(state);
  pthread_t thread;
  if (pthread_create(&thread, nullptr, runThread, handedOver) != 0) {
    delete handedOver;
    setLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  return publish(std::make_shared<Thread>(thread, std::move(state)));
}

}  // namespace winkernel
