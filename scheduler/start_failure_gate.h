// Decides whether a failed start of the backup run is worth a message box. The check runs
// once a second and would otherwise show the same box again every second: a failure is
// reported once, and again only after a start has succeeded or the schedule has changed.
#pragma once

#include <optional>

#include "scheduler/schedule.h"

namespace mailstow {

class StartFailureGate {
 public:
  // True when the user should be told about this failed start.
  bool ShouldReport(const ScheduleSettings& settings);
  void StartSucceeded();

 private:
  std::optional<ScheduleSettings> reported_;
};

}  // namespace mailstow
