// When a scheduled backup is due and where the schedule's reference moment moves after a
// run. All moments are registry date-time values: days since 1899-12-30, the fraction
// being the time of day.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mailstow {

enum class IntervalUnit { kHours, kDays, kWeeks, kMonths };

// The unit named by a stored interval word; the comparison is exact and case-sensitive,
// so "days" names no unit.
std::optional<IntervalUnit> ParseIntervalUnit(std::wstring_view word);

// The length of one hour as the schedule counts it (slightly more than 1/24 of a day).
inline constexpr double kScheduleHour = 0.041667;

// The stored schedule as read from the settings.
struct ScheduleSettings {
  double last_backup = 0;  // the reference moment
  int period = 0;          // number of interval units between runs
  std::wstring interval;   // "Hours", "Days", "Weeks" or "Months"
  // Months: the day of the month that runs fall on (the start day's), so that a schedule
  // started on the 31st runs on the last day of shorter months and on the 31st again when
  // the month has one. 0 takes the reference's own day.
  int anchor_day = 0;
};

struct ScheduleDecision {
  bool due = false;
  // When due: the reference moment to store after a successful start. It is the old
  // reference advanced by whole periods to less than one period before the present.
  double next_reference = 0;
};

// Decides for the present moment now. A schedule that cannot be followed (unknown interval
// word, a period of 0 or below, a reference that is no calendar moment) is never due.
ScheduleDecision EvaluateSchedule(const ScheduleSettings& settings, double now);

// The day of the month of a moment, as a monthly schedule's anchor; 0 when the value is no
// calendar moment.
int AnchorDayOf(double moment);

// The moment advanced by a number of calendar months at the same time of day, on the anchor
// day (the moment's own day when anchor_day is 0); a day that the target month lacks becomes
// that month's last day. Empty when the result would lie beyond the calendar's range (year
// 9999).
std::optional<double> AddCalendarMonths(double moment, long long months, int anchor_day = 0);

}  // namespace mailstow
