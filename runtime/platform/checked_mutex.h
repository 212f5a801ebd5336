// A non-recursive mutex that reports misuse instead of waiting (a POSIX error-checking
// mutex: locking it again from the thread that holds it fails at once, unlocking from a
// thread that does not hold it fails), and a condition to wait on under it.
#pragma once

#include <memory>

namespace qrn {

class CheckedMutex {
 public:
  CheckedMutex();
  ~CheckedMutex();
  CheckedMutex(const CheckedMutex&) = delete;
  CheckedMutex& operator=(const CheckedMutex&) = delete;
  // False (without waiting) when this thread already holds it.
  bool lock();
  bool try_lock();
  // False when this thread does not hold it.
  bool unlock();
  void* native();  // for Condition

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class Condition {
 public:
  Condition();
  ~Condition();
  Condition(const Condition&) = delete;
  Condition& operator=(const Condition&) = delete;
  // Waits with the mutex held (released while waiting) until notified or ms pass; false on
  // time-out. Wake-ups without a notification can happen: check what was awaited.
  bool wait_for(CheckedMutex& mutex, double ms);
  void notify_all();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qrn
