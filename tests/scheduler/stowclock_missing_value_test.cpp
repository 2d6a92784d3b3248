// The real Stowclock.exe: it waits a minute and twelve ticks before its first check.
#include <gtest/gtest.h>

#include "base/registry_key.h"
#include "tests/scheduler/stowclock_harness.h"

namespace mailstow {
namespace {

TEST(StowclockMissingValueTest, EndsByItselfAtTheFirstCheckWithoutAReference) {
  testing::ProgramFolder folder;
  const double now = LocalNowAsDays();
  testing::StoreSchedule(L"Software\\Corvane\\Mailstow", {std::nullopt, now, 1, L"Hours"});

  testing::StowclockProcess stowclock(folder);
  ASSERT_TRUE(stowclock.started());
  EXPECT_TRUE(stowclock.WaitForExit(180000));
  EXPECT_TRUE(folder.Launches().empty());
}

}  // namespace
}  // namespace mailstow
