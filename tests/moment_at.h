// Registry date-time values of calendar moments, for tests.
#pragma once

#include "base/date_time_value.h"

namespace mailstow::testing {

inline double MomentAt(int year, int month, int day, int hour = 0, int minute = 0) {
  CivilDateTime value;
  value.year = year;
  value.month = month;
  value.day = day;
  value.hour = hour;
  value.minute = minute;
  return ToDays(value);
}

}  // namespace mailstow::testing
