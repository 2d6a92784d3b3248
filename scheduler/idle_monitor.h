// The watch loop of Stowclock: counts the ticks of its timer and, after a short settling
// time, checks the schedule on every tick until a schedule value goes missing.
#pragma once

#include <windows.h>

#include "scheduler/schedule_check.h"
#include "scheduler/start_failure_gate.h"

namespace mailstow {

class TIdleMonitor {
 public:
  explicit TIdleMonitor(ScheduleCheck check);

  // Processes the thread's messages until the stop flag is set or the thread is asked to
  // quit. Only the ticks of the timer with the given id count.
  void Run(UINT_PTR timer_id);

 private:
  void CheckOnce();

  ScheduleCheck check_;
  StartFailureGate failure_gate_;
  bool stop_ = false;
};

}  // namespace mailstow
