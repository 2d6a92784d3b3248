#include "scheduler/schedule.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/date_time_value.h"

namespace mailstow {
namespace {

// 0100-01-01 and the day after 9999-12-31: the moments a calendar date can name.
constexpr double kFirstMoment = -657434.0;
constexpr double kEndOfMoments = 2958466.0;
constexpr std::int64_t kFirstMonthIndex = 100 * 12;
constexpr std::int64_t kLastMonthIndex = 9999 * 12 + 11;

bool IsCalendarMoment(double moment) {
  return std::isfinite(moment) && moment >= kFirstMoment && moment < kEndOfMoments;
}

// Runs by a fixed length of whole days: due after period_days, and the reference moves by
// the whole periods contained in the whole days elapsed.
ScheduleDecision EvaluateFixedDays(double last, double now, std::int64_t period_days) {
  const double elapsed = now - last;
  if (elapsed < static_cast<double>(period_days)) return {};
  const auto whole_days = static_cast<std::int64_t>(std::floor(elapsed));
  const std::int64_t periods = whole_days / period_days;
  return {true, last + static_cast<double>(periods * period_days)};
}

ScheduleDecision EvaluateHours(double last, double now, int period) {
  const double step = period * kScheduleHour;
  const double elapsed = now - last;
  if (elapsed < step) return {};
  const double periods = std::floor(elapsed / step);
  return {true, last + periods * step};
}

// The number of whole calendar months from last to now (0 when now is earlier).
long long WholeMonthsElapsed(double last, double now, int anchor_day) {
  const CivilDateTime from = FromDays(std::floor(last));
  const CivilDateTime to = FromDays(std::floor(now));
  long long months = static_cast<long long>(to.year - from.year) * 12 + (to.month - from.month);
  // The month difference overshoots by one when the day or time of day is not reached yet.
  while (months > 0) {
    const std::optional<double> reached = AddCalendarMonths(last, months, anchor_day);
    if (reached && *reached <= now) break;
    --months;
  }
  return std::max(months, 0LL);
}

ScheduleDecision EvaluateMonths(double last, double now, int period, int anchor_day) {
  const std::optional<double> first_due = AddCalendarMonths(last, period, anchor_day);
  if (!first_due || now < *first_due) return {};
  const long long elapsed = WholeMonthsElapsed(last, now, anchor_day);
  const std::optional<double> next = AddCalendarMonths(last, elapsed / period * period, anchor_day);
  if (!next) return {};
  return {true, *next};
}

}  // namespace

std::optional<IntervalUnit> ParseIntervalUnit(std::wstring_view word) {
  if (word == L"Hours") return IntervalUnit::kHours;
  if (word == L"Days") return IntervalUnit::kDays;
  if (word == L"Weeks") return IntervalUnit::kWeeks;
  if (word == L"Months") return IntervalUnit::kMonths;
  return std::nullopt;
}

int AnchorDayOf(double moment) {
  return IsCalendarMoment(moment) ? FromDays(std::floor(moment)).day : 0;
}

std::optional<double> AddCalendarMonths(double moment, long long months, int anchor_day) {
  if (!IsCalendarMoment(moment)) return std::nullopt;
  if (months > kLastMonthIndex || months < -kLastMonthIndex) return std::nullopt;
  const double day_start = std::floor(moment);
  const double time_of_day = moment - day_start;
  const CivilDateTime date = FromDays(day_start);
  const std::int64_t month_index =
      static_cast<std::int64_t>(date.year) * 12 + (date.month - 1) + months;
  if (month_index < kFirstMonthIndex || month_index > kLastMonthIndex) return std::nullopt;
  CivilDateTime target;
  target.year = static_cast<int>(month_index / 12);
  target.month = static_cast<int>(month_index % 12) + 1;
  const int day = anchor_day >= 1 && anchor_day <= 31 ? anchor_day : date.day;
  target.day = std::min(day, DaysInMonth(target.year, target.month));
  return ToDays(target) + time_of_day;
}

ScheduleDecision EvaluateSchedule(const ScheduleSettings& settings, double now) {
  const std::optional<IntervalUnit> unit = ParseIntervalUnit(settings.interval);
  if (!unit || settings.period <= 0) return {};
  if (!IsCalendarMoment(settings.last_backup) || !IsCalendarMoment(now)) return {};
  switch (*unit) {
    case IntervalUnit::kHours:
      return EvaluateHours(settings.last_backup, now, settings.period);
    case IntervalUnit::kDays:
      return EvaluateFixedDays(settings.last_backup, now, settings.period);
    case IntervalUnit::kWeeks:
      return EvaluateFixedDays(settings.last_backup, now, 7LL * settings.period);
    case IntervalUnit::kMonths:
      return EvaluateMonths(settings.last_backup, now, settings.period, settings.anchor_day);
  }
  return {};
}

}  // namespace mailstow
