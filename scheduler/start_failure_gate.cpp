#include "scheduler/start_failure_gate.h"

#include <cstring>

namespace mailstow {
namespace {

bool SameSettings(const ScheduleSettings& a, const ScheduleSettings& b) {
  // The moments are compared by their stored bits, so that an odd value stays "unchanged".
  return std::memcmp(&a.last_backup, &b.last_backup, sizeof(a.last_backup)) == 0 &&
         a.period == b.period && a.interval == b.interval;
}

}  // namespace

bool StartFailureGate::ShouldReport(const ScheduleSettings& settings) {
  if (reported_ && SameSettings(*reported_, settings)) return false;
  reported_ = settings;
  return true;
}

void StartFailureGate::StartSucceeded() { reported_.reset(); }

}  // namespace mailstow
