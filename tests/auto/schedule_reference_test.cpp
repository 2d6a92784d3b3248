// The reference moment that the auto-backup dialog stores, and that the scheduler then
// finds the first backup due at the chosen start moment.
#include "auto/schedule_reference.h"

#include <gtest/gtest.h>

#include "base/date_time_value.h"
#include "tests/moment_at.h"

namespace mailstow {
namespace {

using testing::MomentAt;

constexpr double kSecond = 1.0 / 86400.0;

struct ReferenceCase {
  const char* name;
  double start;
  int period;
  IntervalUnit unit;
  const wchar_t* word;
  double expected;
  // A clamped month end moves the scheduler's grid to the clamped day, so the first backup
  // falls due before the start moment.
  bool clamped = false;
};

TEST(ScheduleReferenceTest, OnePeriodBeforeTheStartAndDueFromTheStartOn) {
  const ReferenceCase cases[] = {
      {"two weeks", MomentAt(2026, 3, 15, 9), 2, IntervalUnit::kWeeks, L"Weeks",
       MomentAt(2026, 3, 1, 9)},
      {"month end clamps", MomentAt(2026, 3, 31, 9), 1, IntervalUnit::kMonths, L"Months",
       MomentAt(2026, 2, 28, 9), true},
      {"leap year", MomentAt(2028, 3, 31, 18, 30), 1, IntervalUnit::kMonths, L"Months",
       MomentAt(2028, 2, 29, 18, 30), true},
      {"months across the year", MomentAt(2027, 1, 15, 8), 3, IntervalUnit::kMonths, L"Months",
       MomentAt(2026, 10, 15, 8)},
      {"days", MomentAt(2026, 12, 6, 22), 3, IntervalUnit::kDays, L"Days",
       MomentAt(2026, 12, 3, 22)},
      // 0.041667 of a day per hour: a few hundredths of a second beyond 23:00.
      {"hours across midnight", MomentAt(2027, 1, 1, 1), 2, IntervalUnit::kHours, L"Hours",
       MomentAt(2026, 12, 31, 23)},
  };
  for (const ReferenceCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<double> reference = ScheduleReference(c.start, c.period, c.unit);
    ASSERT_TRUE(reference.has_value());
    EXPECT_NEAR(*reference, c.expected, 0.1 * kSecond);
    // The scheduler agrees: a backup is due a second after the start, and (unless the
    // month end was clamped) nothing a minute before it.
    const ScheduleSettings stored{*reference, c.period, c.word};
    EXPECT_EQ(EvaluateSchedule(stored, c.start - 60 * kSecond).due, c.clamped);
    EXPECT_TRUE(EvaluateSchedule(stored, c.start + kSecond).due);
  }
}

TEST(ScheduleReferenceTest, StartMomentJoinsThePickersAndRefusesNoPeriod) {
  // The day of the date picker with the time of day of the time picker.
  EXPECT_DOUBLE_EQ(StartMoment(MomentAt(2026, 3, 15, 17, 45), MomentAt(2001, 1, 2, 9, 30)),
                   MomentAt(2026, 3, 15, 9, 30));
  EXPECT_FALSE(ScheduleReference(MomentAt(2026, 3, 15), 0, IntervalUnit::kDays).has_value());
  EXPECT_FALSE(ScheduleReference(MomentAt(100, 1, 15), 1, IntervalUnit::kMonths).has_value());
}

}  // namespace
}  // namespace mailstow
