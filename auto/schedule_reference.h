// The reference moment ("LastBackupDate") that the auto-backup dialog stores for the
// scheduler: one period before the chosen start moment, so that the first backup falls due
// at the start moment itself.
#pragma once

#include <optional>

#include "scheduler/schedule.h"

namespace mailstow {

// The start moment: the day of `start_day` at the time of day of `start_time` (both
// registry date-time values).
double StartMoment(double start_day, double start_time);

// start minus `period` units: hours of the scheduler's length taken from the whole moment
// (so they carry across midnight), whole days, weeks of 7 days, or calendar months with a day
// beyond the target month's end becoming its last day. Empty for a period below 1 or a
// result outside the calendar.
std::optional<double> ScheduleReference(double start, int period, IntervalUnit unit);

}  // namespace mailstow
