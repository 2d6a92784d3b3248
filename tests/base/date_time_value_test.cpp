#include "base/date_time_value.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

TEST(DateTimeValue, KnownDaysMatchTheRegistryConvention) {
  EXPECT_DOUBLE_EQ(ToDays({1899, 12, 30}), 0.0);
  EXPECT_DOUBLE_EQ(ToDays({1900, 1, 1}), 2.0);
  EXPECT_DOUBLE_EQ(ToDays({1899, 12, 29, 18}), -1.0 + 0.75);
  EXPECT_DOUBLE_EQ(ToDays({2000, 2, 29, 12}), 36585.5);
}

TEST(DateTimeValue, RoundTripsToTheMillisecond) {
  for (double days : {0.0, 1.25, 36585.5, 45000.999988, 46363.0416666, -3.5}) {
    const CivilDateTime civil = FromDays(days);
    EXPECT_NEAR(ToDays(civil), days, 1.0 / 86400000.0) << days;
  }
  const CivilDateTime late = FromDays(ToDays({2026, 12, 31, 23, 59, 59, 999}));
  EXPECT_EQ(late.year, 2026);
  EXPECT_EQ(late.day, 31);
  EXPECT_EQ(late.millisecond, 999);
}

TEST(DateTimeValue, MonthLengthsFollowLeapYears) {
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
  EXPECT_EQ(DaysInMonth(2026, 4), 30);
}

}  // namespace
}  // namespace mailstow
