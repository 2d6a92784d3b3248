#include "auto/schedule_reference.h"

#include <cmath>

namespace mailstow {

double StartMoment(double start_day, double start_time) {
  return std::floor(start_day) + (start_time - std::floor(start_time));
}

std::optional<double> ScheduleReference(double start, int period, IntervalUnit unit) {
  if (period < 1 || !std::isfinite(start)) return std::nullopt;
  switch (unit) {
    case IntervalUnit::kHours:
      return start - period * kScheduleHour;
    case IntervalUnit::kDays:
      return start - period;
    case IntervalUnit::kWeeks:
      return start - 7.0 * period;
    case IntervalUnit::kMonths:
      return AddCalendarMonths(start, -static_cast<long long>(period));
  }
  return std::nullopt;
}

}  // namespace mailstow
