// The real Stowclock.exe: it waits a minute and twelve ticks before its first check.
#include <gtest/gtest.h>

#include "base/registry_key.h"
#include "tests/scheduler/stowclock_harness.h"

namespace mailstow {
namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Corvane\\Mailstow";

TEST(StowclockDueRunTest, StartsOneRunWithAutoAndMovesTheReferenceByWholeDays) {
  testing::ProgramFolder folder;
  const double reference = LocalNowAsDays() - 3.5;
  testing::StoreSchedule(kSettingsKey, {reference, reference, 1, L"Days"});

  testing::StowclockProcess stowclock(folder);
  ASSERT_TRUE(stowclock.started());
  ASSERT_TRUE(folder.WaitForLaunch(180000));
  // A reference not moved far enough would start another run at one of the next checks.
  Sleep(3000);
  const std::optional<double> moved = testing::ReadLastBackupDate(kSettingsKey);
  // Without a schedule value Stowclock ends at its next check.
  testing::StoreSchedule(kSettingsKey, {std::nullopt, reference, 1, L"Days"});
  EXPECT_TRUE(stowclock.WaitForExit(30000));

  EXPECT_EQ(moved, reference + 3);
  const std::vector<std::wstring> expected{folder.path() + L"Mailstow.exe|/auto"};
  EXPECT_EQ(folder.Launches(), expected);
}

}  // namespace
}  // namespace mailstow
