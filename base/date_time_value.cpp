#include "date_time_value.h"

#include <cmath>
#include <cstdint>

namespace mailstow {
namespace {

// Days from 1970-01-01 to a civil date (Howard Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

constexpr std::int64_t kEpochOffset = 25569;  // 1899-12-30 to 1970-01-01
constexpr double kMillisecondsPerDay = 86400000.0;

}  // namespace

double ToDays(const CivilDateTime& v) {
  const std::int64_t days =
      DaysFromCivil(v.year, static_cast<unsigned>(v.month), static_cast<unsigned>(v.day)) +
      kEpochOffset;
  const double ms = ((v.hour * 60.0 + v.minute) * 60.0 + v.second) * 1000.0 + v.millisecond;
  return static_cast<double>(days) + ms / kMillisecondsPerDay;
}

CivilDateTime FromDays(double days) {
  // Round to the millisecond first so that 0.99999999 of a day does not show as 23:59:59.999.
  const double total_ms = std::round(days * kMillisecondsPerDay);
  auto whole_days = static_cast<std::int64_t>(std::floor(total_ms / kMillisecondsPerDay));
  auto ms =
      static_cast<std::int64_t>(total_ms - static_cast<double>(whole_days) * kMillisecondsPerDay);
  CivilDateTime v;
  CivilFromDays(whole_days - kEpochOffset, v.year, v.month, v.day);
  v.millisecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  v.second = static_cast<int>(ms % 60);
  ms /= 60;
  v.minute = static_cast<int>(ms % 60);
  v.hour = static_cast<int>(ms / 60);
  return v;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2) {
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 29 : 28;
  }
  return kDays[month - 1];
}

}  // namespace mailstow
