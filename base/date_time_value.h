// Date-time values as the registry stores them: a double counting days since
// 1899-12-30 00:00, the fraction being the time of day.
#pragma once

namespace mailstow {

struct CivilDateTime {
  int year = 1899;
  int month = 12;  // 1..12
  int day = 30;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Days since 1899-12-30 for a proleptic Gregorian date and time.
double ToDays(const CivilDateTime& value);

// The calendar date and time of a day count; inverse of ToDays to the millisecond.
CivilDateTime FromDays(double days);

// Number of days in the given month of the given year.
int DaysInMonth(int year, int month);

}  // namespace mailstow
