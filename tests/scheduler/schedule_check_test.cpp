#include "scheduler/schedule_check.h"

#include <gtest/gtest.h>

#include "app/registry_key.h"
#include "tests/scheduler/stowclock_harness.h"

namespace mailstow {
namespace {

using testing::ProgramFolder;
using testing::ReadLastBackupDate;
using testing::StoredSchedule;
using testing::StoreSchedule;

constexpr wchar_t kKey[] = L"Software\\MailstowTests\\ScheduleCheck";
constexpr double kNow = 45730.875;  // 2025-03-14 21:00
constexpr double kThreeAndAHalfDaysAgo = kNow - 3.5;

class ScheduleCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }

  StoredSchedule DueDaily() const { return {kThreeAndAHalfDaysAgo, 0.375, 1, L"Days"}; }
  CheckResult Check() const { return ScheduleCheck(kKey, folder_.path()).Run(kNow); }

  ProgramFolder folder_;
};

TEST_F(ScheduleCheckTest, ADueRunStartsMailstowWithAutoAndMovesTheReference) {
  folder_.AddStandInMailstow();
  StoreSchedule(kKey, DueDaily());

  EXPECT_EQ(Check().outcome, CheckOutcome::kStarted);
  EXPECT_DOUBLE_EQ(ReadLastBackupDate(kKey).value_or(0), kThreeAndAHalfDaysAgo + 3);

  ASSERT_TRUE(folder_.WaitForLaunch(30000));
  const std::vector<testing::Launch> launches = folder_.Launches();
  ASSERT_EQ(launches.size(), 1u);
  // The folder's name holds a space: the program path still arrives as one argument.
  ASSERT_EQ(launches[0].arguments.size(), 2u) << launches[0].command_line;
  EXPECT_EQ(_wcsicmp(launches[0].arguments[0].c_str(), (folder_.path() + L"Mailstow.exe").c_str()),
            0)
      << launches[0].command_line;
  EXPECT_EQ(launches[0].arguments[1], L"/auto");

  // The moved reference makes the next check find nothing due.
  EXPECT_EQ(Check().outcome, CheckOutcome::kNotDue);
}

TEST_F(ScheduleCheckTest, AFailedStartLeavesTheReferenceUnchanged) {
  StoreSchedule(kKey, DueDaily());  // the folder holds no Mailstow.exe
  const CheckResult result = Check();
  EXPECT_EQ(result.outcome, CheckOutcome::kStartFailed);
  EXPECT_EQ(result.settings.interval, L"Days");
  EXPECT_DOUBLE_EQ(ReadLastBackupDate(kKey).value_or(0), kThreeAndAHalfDaysAgo);
  EXPECT_EQ(Check().outcome, CheckOutcome::kStartFailed);
}

TEST_F(ScheduleCheckTest, AnyMissingScheduleValueStopsTheWatch) {
  for (int missing = 0; missing < 4; ++missing) {
    StoredSchedule schedule = DueDaily();
    if (missing == 0) schedule.last_backup.reset();
    if (missing == 1) schedule.backup_time.reset();
    if (missing == 2) schedule.period.reset();
    if (missing == 3) schedule.interval.reset();
    StoreSchedule(kKey, schedule);
    EXPECT_EQ(Check().outcome, CheckOutcome::kStop) << missing;
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
  EXPECT_EQ(Check().outcome, CheckOutcome::kStop);
}

TEST_F(ScheduleCheckTest, UnfollowableValuesKeepWatchingWithoutARun) {
  // No Mailstow.exe in the folder: a wrongly attempted start would show as kStartFailed.
  StoredSchedule lower_case = DueDaily();
  lower_case.interval = L"days";
  StoreSchedule(kKey, lower_case);
  EXPECT_EQ(Check().outcome, CheckOutcome::kNotDue);

  StoredSchedule zero_period = DueDaily();
  zero_period.period = 0;
  StoreSchedule(kKey, zero_period);
  EXPECT_EQ(Check().outcome, CheckOutcome::kNotDue);

  StoreSchedule(kKey, DueDaily());
  RegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kKey, false));
  ASSERT_TRUE(key.WriteString(L"BackupPeriod", L"1"));
  EXPECT_EQ(Check().outcome, CheckOutcome::kNotDue);
  EXPECT_DOUBLE_EQ(ReadLastBackupDate(kKey).value_or(0), kThreeAndAHalfDaysAgo);
}

}  // namespace
}  // namespace mailstow
