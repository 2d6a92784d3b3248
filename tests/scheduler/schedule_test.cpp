#include "scheduler/schedule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "base/date_time_value.h"
#include "tests/moment_at.h"

namespace mailstow {
namespace {

using testing::MomentAt;

constexpr double kHourOfDay = 1.0 / 24.0;

TEST(ScheduleTest, DaysCatchUpByWholePeriodsKeepingTheTimeOfDay) {
  const double now = MomentAt(2025, 3, 14, 21, 0);
  const double last = MomentAt(2025, 3, 11, 9, 0);  // three and a half days earlier
  const ScheduleDecision decision = EvaluateSchedule({last, 1, L"Days"}, now);
  ASSERT_TRUE(decision.due);
  EXPECT_DOUBLE_EQ(decision.next_reference, MomentAt(2025, 3, 14, 9, 0));

  // Period 3: 3.5 days is one whole period.
  EXPECT_DOUBLE_EQ(EvaluateSchedule({last, 3, L"Days"}, now).next_reference, last + 3);
  EXPECT_FALSE(EvaluateSchedule({last, 4, L"Days"}, now).due);
}

TEST(ScheduleTest, HoursCountWithTheScheduleHourAndCatchUp) {
  const double now = MomentAt(2025, 6, 1, 12, 0);
  EXPECT_FALSE(EvaluateSchedule({now - 1.9 * kHourOfDay, 2, L"Hours"}, now).due);
  // A calendar hour is slightly shorter than the schedule's hour: over 1000 hours the
  // difference grows to about 29 seconds.
  const double ten_seconds = 10.0 / 86400;
  EXPECT_FALSE(EvaluateSchedule({now - 1000 * kHourOfDay - ten_seconds, 1000, L"Hours"}, now).due);
  EXPECT_TRUE(EvaluateSchedule({now - 1.0001 * kScheduleHour, 1, L"Hours"}, now).due);

  // Seven hours late with period 2: three whole periods.
  const double last = now - 7 * kHourOfDay;
  const ScheduleDecision decision = EvaluateSchedule({last, 2, L"Hours"}, now);
  ASSERT_TRUE(decision.due);
  EXPECT_NEAR(decision.next_reference, last + 3 * 2 * kScheduleHour, 1e-9);
}

TEST(ScheduleTest, WeeksAreSevenDayPeriods) {
  const double last = MomentAt(2025, 3, 1, 9, 0);
  EXPECT_FALSE(EvaluateSchedule({last, 2, L"Weeks"}, MomentAt(2025, 3, 15, 8, 59)).due);
  const ScheduleDecision decision =
      EvaluateSchedule({last, 2, L"Weeks"}, MomentAt(2025, 4, 1, 0, 0));
  ASSERT_TRUE(decision.due);
  EXPECT_DOUBLE_EQ(decision.next_reference, MomentAt(2025, 3, 29, 9, 0));
}

TEST(ScheduleTest, MonthsEndingEarlierAreDueFromTheirLastDay) {
  const double last = MomentAt(2025, 1, 31, 10, 0);
  EXPECT_FALSE(EvaluateSchedule({last, 1, L"Months"}, MomentAt(2025, 2, 28, 9, 59)).due);
  const ScheduleDecision decision =
      EvaluateSchedule({last, 1, L"Months"}, MomentAt(2025, 2, 28, 10, 0));
  ASSERT_TRUE(decision.due);
  EXPECT_DOUBLE_EQ(decision.next_reference, MomentAt(2025, 2, 28, 10, 0));
  EXPECT_TRUE(EvaluateSchedule({MomentAt(2024, 1, 31), 1, L"Months"}, MomentAt(2024, 2, 29)).due);
  EXPECT_FALSE(
      EvaluateSchedule({MomentAt(2024, 1, 31), 1, L"Months"}, MomentAt(2024, 2, 28, 23, 0)).due);
  // Later months count from the original day again, also across the year's end.
  EXPECT_DOUBLE_EQ(*AddCalendarMonths(last, 2), MomentAt(2025, 3, 31, 10, 0));
  EXPECT_DOUBLE_EQ(*AddCalendarMonths(last, 13), MomentAt(2026, 2, 28, 10, 0));
  EXPECT_FALSE(AddCalendarMonths(MomentAt(9999, 12, 1), 1).has_value());
}

TEST(ScheduleTest, MonthsCatchUpByWholePeriods) {
  const double last = MomentAt(2025, 1, 15, 8, 0);
  // Five whole months elapsed, period 2: the reference moves four months.
  EXPECT_DOUBLE_EQ(EvaluateSchedule({last, 2, L"Months"}, MomentAt(2025, 6, 20)).next_reference,
                   MomentAt(2025, 5, 15, 8, 0));
  // A minute before the sixth month is complete it is still five.
  EXPECT_DOUBLE_EQ(
      EvaluateSchedule({last, 3, L"Months"}, MomentAt(2025, 7, 15, 7, 59)).next_reference,
      MomentAt(2025, 4, 15, 8, 0));
  EXPECT_DOUBLE_EQ(
      EvaluateSchedule({last, 3, L"Months"}, MomentAt(2025, 7, 15, 8, 0)).next_reference,
      MomentAt(2025, 7, 15, 8, 0));
}

TEST(ScheduleTest, OnlyTheExactIntervalWordsTrigger) {
  const double now = MomentAt(2025, 6, 1);
  for (const wchar_t* word : {L"days", L"DAYS", L"Day", L" Days", L"Days ", L"", L"Minutes"}) {
    EXPECT_FALSE(EvaluateSchedule({now - 400, 1, word}, now).due) << word;
  }
  for (const wchar_t* word : {L"Hours", L"Days", L"Weeks", L"Months"}) {
    EXPECT_TRUE(EvaluateSchedule({now - 400, 1, word}, now).due) << word;
  }
}

TEST(ScheduleTest, UnfollowableSchedulesAreNeverDue) {
  const double now = MomentAt(2025, 6, 1);
  for (const wchar_t* word : {L"Hours", L"Days", L"Weeks", L"Months"}) {
    SCOPED_TRACE(word);
    EXPECT_FALSE(EvaluateSchedule({now - 400, 0, word}, now).due);
    EXPECT_FALSE(EvaluateSchedule({now - 400, std::numeric_limits<int>::min(), word}, now).due);
    EXPECT_FALSE(EvaluateSchedule({now + 2, 1, word}, now).due);  // reference in the future
    EXPECT_FALSE(EvaluateSchedule({std::numeric_limits<double>::quiet_NaN(), 1, word}, now).due);
    EXPECT_FALSE(EvaluateSchedule({-std::numeric_limits<double>::infinity(), 1, word}, now).due);
    EXPECT_FALSE(EvaluateSchedule({-1e300, 1, word}, now).due);
    // A huge period is not yet due, and computing that overflows nothing.
    EXPECT_FALSE(EvaluateSchedule({now - 400, std::numeric_limits<int>::max(), word}, now).due);
  }
}

// Whatever the lateness, a due run moves the reference to within one period before now,
// so the next check finds nothing due.
TEST(ScheduleTest, AfterARunTheNextCheckIsNotDue) {
  std::mt19937 random(99);
  std::uniform_real_distribution<double> lateness(0, 3000);
  std::uniform_int_distribution<int> period(1, 40);
  const double now = MomentAt(2025, 6, 1, 13, 17);
  for (const wchar_t* word : {L"Hours", L"Days", L"Weeks", L"Months"}) {
    for (int round = 0; round < 500; ++round) {
      const ScheduleSettings settings{now - lateness(random), period(random), word};
      const ScheduleDecision decision = EvaluateSchedule(settings, now);
      if (!decision.due) continue;
      ASSERT_LE(decision.next_reference, now) << word;
      ASSERT_GT(decision.next_reference, settings.last_backup) << word;
      ASSERT_FALSE(EvaluateSchedule({decision.next_reference, settings.period, word}, now).due)
          << word << " " << settings.last_backup << " " << settings.period;
    }
  }
}

}  // namespace
}  // namespace mailstow
