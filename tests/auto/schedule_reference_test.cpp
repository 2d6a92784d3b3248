// The reference moment that the auto-backup dialog stores, and that the scheduler then
// finds the first backup due at the chosen start moment.
#include "auto/schedule_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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
};

TEST(ScheduleReferenceTest, OnePeriodBeforeTheStartAndDueFromTheStartOn) {
  const ReferenceCase cases[] = {
      {"two weeks", MomentAt(2026, 3, 15, 9), 2, IntervalUnit::kWeeks, L"Weeks",
       MomentAt(2026, 3, 1, 9)},
      {"month end clamps", MomentAt(2026, 3, 31, 9), 1, IntervalUnit::kMonths, L"Months",
       MomentAt(2026, 2, 28, 9)},
      {"leap year", MomentAt(2028, 3, 31, 18, 30), 1, IntervalUnit::kMonths, L"Months",
       MomentAt(2028, 2, 29, 18, 30)},
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
    // The scheduler, anchored on the start day as it is stored, agrees: a backup is due a
    // second after the start, and nothing a minute before it.
    const ScheduleSettings stored{*reference, c.period, c.word, AnchorDayOf(c.start)};
    EXPECT_FALSE(EvaluateSchedule(stored, c.start - 60 * kSecond).due);
    EXPECT_TRUE(EvaluateSchedule(stored, c.start + kSecond).due);
  }
}

// A monthly schedule started on the 29th, 30th or 31st, followed as the scheduler does (a check
// every hour, the reference moved after each start) through a leap year: every run falls on
// the anchor day, or on the last day of a month that lacks it, never earlier and never drifting.
TEST(ScheduleReferenceTest, MonthlyRunsKeepTheirAnchorDayThroughAYear) {
  for (const int anchor : {29, 30, 31}) {
    SCOPED_TRACE(anchor);
    const double start = MomentAt(2028, 1, anchor, 20);
    ScheduleSettings stored{*ScheduleReference(start, 1, IntervalUnit::kMonths), 1, L"Months",
                            AnchorDayOf(start)};
    std::vector<CivilDateTime> runs;
    for (int hour = 0; hour < 24 * 400; ++hour) {
      const double now = start - 1 + hour / 24.0 + kSecond;
      if (now > MomentAt(2029, 1, 31, 23)) break;
      const ScheduleDecision decision = EvaluateSchedule(stored, now);
      if (!decision.due) continue;
      runs.push_back(FromDays(now));
      stored.last_backup = decision.next_reference;
    }
    ASSERT_EQ(runs.size(), 13u);
    for (size_t i = 0; i < runs.size(); ++i) {
      const int year = 2028 + static_cast<int>(i) / 12;
      const int month = static_cast<int>(i) % 12 + 1;
      EXPECT_EQ(runs[i].year, year);
      EXPECT_EQ(runs[i].month, month);
      EXPECT_EQ(runs[i].day, std::min(anchor, DaysInMonth(year, month))) << year << "-" << month;
      EXPECT_EQ(runs[i].hour, 20);
    }
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
