// Runs the real Stowclock.exe (it waits a minute and twelve ticks before its first check).
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/registry_key.h"
#include "tests/scheduler/stowclock_harness.h"

namespace mailstow {
namespace {

using testing::ProgramFolder;
using testing::StoreSchedule;
using testing::StowclockProcess;

TEST(StowclockMissingValueTest, EndsByItselfAtTheFirstCheckWithoutAReference) {
  const char* dist = std::getenv("MAILSTOW_DIST");
  ASSERT_NE(dist, nullptr);
  ProgramFolder folder;
  folder.CopyIn(testing::WindowsPathOf(std::string(dist) + "/Stowclock.exe"), L"Stowclock.exe");
  folder.AddStandInMailstow();
  const double now = LocalNowAsDays();
  StoreSchedule(L"Software\\Corvane\\Mailstow", {std::nullopt, now, 1, L"Hours"});

  StowclockProcess stowclock(folder);
  ASSERT_TRUE(stowclock.started());
  EXPECT_TRUE(stowclock.WaitForExit(180000));
  EXPECT_TRUE(folder.Launches().empty());
}

}  // namespace
}  // namespace mailstow
