// The check against the real registry, in a key of its own. Its program folder holds no
// Mailstow.exe, so any attempted start shows as kStartFailed; the successful start is
// covered by the tests of the whole program.
#include "scheduler/schedule_check.h"

#include <gtest/gtest.h>

#include "base/registry_key.h"
#include "tests/scheduler/stowclock_harness.h"

namespace mailstow {
namespace {

using testing::ReadLastBackupDate;
using testing::StoredSchedule;
using testing::StoreSchedule;

constexpr wchar_t kKey[] = L"Software\\MailstowTests\\ScheduleCheck";
constexpr double kNow = 45730.875;  // 2025-03-14 21:00
constexpr double kLate = kNow - 3.5;
const StoredSchedule kDueDaily{kLate, 0.375, 1, L"Days"};

class ScheduleCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
  CheckOutcome Check() const {
    return ScheduleCheck(kKey, L"C:\\no such folder\\").Run(kNow).outcome;
  }
};

TEST_F(ScheduleCheckTest, AFailedStartLeavesTheReferenceUnchanged) {
  StoreSchedule(kKey, kDueDaily);
  EXPECT_EQ(Check(), CheckOutcome::kStartFailed);
  EXPECT_EQ(Check(), CheckOutcome::kStartFailed);
  EXPECT_EQ(ReadLastBackupDate(kKey), kLate);
}

TEST_F(ScheduleCheckTest, AnyMissingScheduleValueStopsTheWatch) {
  for (int missing = 0; missing < 4; ++missing) {
    StoredSchedule schedule = kDueDaily;
    if (missing == 0) schedule.last_backup.reset();
    if (missing == 1) schedule.backup_time.reset();
    if (missing == 2) schedule.period.reset();
    if (missing == 3) schedule.interval.reset();
    StoreSchedule(kKey, schedule);
    EXPECT_EQ(Check(), CheckOutcome::kStop) << missing;
  }
}

TEST_F(ScheduleCheckTest, UnfollowableValuesKeepWatchingWithoutAStart) {
  StoredSchedule schedule = kDueDaily;
  schedule.interval = L"days";
  StoreSchedule(kKey, schedule);
  EXPECT_EQ(Check(), CheckOutcome::kNotDue);

  schedule = kDueDaily;
  schedule.period = 0;
  StoreSchedule(kKey, schedule);
  EXPECT_EQ(Check(), CheckOutcome::kNotDue);

  StoreSchedule(kKey, kDueDaily);
  RegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kKey, false));
  ASSERT_TRUE(key.WriteString(L"BackupPeriod", L"1"));
  EXPECT_EQ(Check(), CheckOutcome::kNotDue);
}

}  // namespace
}  // namespace mailstow
