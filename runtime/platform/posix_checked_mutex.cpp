// The error-checking mutex and its condition over POSIX threads (see checked_mutex.h). The
// condition measures its waits on the monotonic clock, so a change of the wall clock
// neither shortens nor stretches them.
#include "platform/checked_mutex.h"

#include <pthread.h>
#include <time.h>

namespace qrn {

struct CheckedMutex::Impl {
  pthread_mutex_t mutex;
};

CheckedMutex::CheckedMutex() : impl_(new Impl) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ERRORCHECK);
  pthread_mutex_init(&impl_->mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

CheckedMutex::~CheckedMutex() { pthread_mutex_destroy(&impl_->mutex); }

bool CheckedMutex::lock() { return pthread_mutex_lock(&impl_->mutex) == 0; }
bool CheckedMutex::try_lock() { return pthread_mutex_trylock(&impl_->mutex) == 0; }
bool CheckedMutex::unlock() { return pthread_mutex_unlock(&impl_->mutex) == 0; }
void* CheckedMutex::native() { return &impl_->mutex; }

struct Condition::Impl {
  pthread_cond_t condition;
};

Condition::Condition() : impl_(new Impl) {
  pthread_condattr_t attributes;
  pthread_condattr_init(&attributes);
  pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
  pthread_cond_init(&impl_->condition, &attributes);
  pthread_condattr_destroy(&attributes);
}

Condition::~Condition() { pthread_cond_destroy(&impl_->condition); }

bool Condition::wait_for(CheckedMutex& mutex, double ms) {
  if (ms < 0) ms = 0;
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  long long nanoseconds = static_cast<long long>(ms * 1e6) + deadline.tv_nsec;
  deadline.tv_sec += static_cast<time_t>(nanoseconds / 1000000000LL);
  deadline.tv_nsec = static_cast<long>(nanoseconds % 1000000000LL);
  auto* native = static_cast<pthread_mutex_t*>(mutex.native());
  return pthread_cond_timedwait(&impl_->condition, native, &deadline) == 0;
}

void Condition::notify_all() { pthread_cond_broadcast(&impl_->condition); }

}  // namespace qrn
