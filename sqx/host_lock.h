// The lock and condition the worker threads share. On Windows these are the system's slim
// lock and condition variable, which wait on an address; the C++ library's portable ones are
// built there on event objects, a system call for every wait and every wake-up.
#pragma once

#include <mutex>

#if defined(_WIN32)
#include <windows.h>
#else
#include <condition_variable>
#endif

namespace sqx {

#if defined(_WIN32)

class HostMutex {
 public:
  void lock() { AcquireSRWLockExclusive(&lock_); }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }
  SRWLOCK* native() { return &lock_; }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

class HostCondition {
 public:
  template <typename Predicate>
  void wait(std::unique_lock<HostMutex>& lock, Predicate ready) {
    while (!ready()) SleepConditionVariableSRW(&condition_, lock.mutex()->native(), INFINITE, 0);
  }
  void notify_one() { WakeConditionVariable(&condition_); }
  void notify_all() { WakeAllConditionVariable(&condition_); }

 private:
  CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

#else

using HostMutex = std::mutex;
using HostCondition = std::condition_variable;

#endif

}  // namespace sqx
