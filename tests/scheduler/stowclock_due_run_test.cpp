// Runs the real Stowclock.exe (it waits a minute and twelve ticks before its first check).
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/registry_key.h"
#include "tests/scheduler/stowclock_harness.h"

namespace mailstow {
namespace {

using testing::ProgramFolder;
using testing::ReadLastBackupDate;
using testing::StoreSchedule;
using testing::StowclockProcess;

constexpr wchar_t kSettingsKey[] = L"Software\\Corvane\\Mailstow";
constexpr DWORD kFirstCheckWithin = 180000;

TEST(StowclockDueRunTest, StartsOneRunWithAutoAndMovesTheReferenceByWholeDays) {
  const char* dist = std::getenv("MAILSTOW_DIST");
  ASSERT_NE(dist, nullptr);
  ProgramFolder folder;
  folder.CopyIn(testing::WindowsPathOf(std::string(dist) + "/Stowclock.exe"), L"Stowclock.exe");
  folder.AddStandInMailstow();
  const double reference = LocalNowAsDays() - 3.5;
  StoreSchedule(kSettingsKey, {reference, reference, 1, L"Days"});

  StowclockProcess stowclock(folder);
  ASSERT_TRUE(stowclock.started());
  ASSERT_TRUE(folder.WaitForLaunch(kFirstCheckWithin));
  // Let a few more checks pass: a reference that was not moved far enough would start
  // another run at the next one.
  Sleep(3000);

  // Removing a schedule value makes Stowclock end at its next check.
  RegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSettingsKey, false));
  const std::optional<double> moved = ReadLastBackupDate(kSettingsKey);
  ASSERT_TRUE(key.DeleteValue(L"BackupPeriod"));
  EXPECT_TRUE(stowclock.WaitForExit(30000));

  ASSERT_TRUE(moved.has_value());
  EXPECT_DOUBLE_EQ(*moved, reference + 3);
  const std::vector<testing::Launch> launches = folder.Launches();
  ASSERT_EQ(launches.size(), 1u);
  ASSERT_EQ(launches[0].arguments.size(), 2u) << launches[0].command_line;
  EXPECT_EQ(_wcsicmp(launches[0].arguments[0].c_str(), (folder.path() + L"Mailstow.exe").c_str()),
            0)
      << launches[0].command_line;
  EXPECT_EQ(launches[0].arguments[1], L"/auto");
}

}  // namespace
}  // namespace mailstow
