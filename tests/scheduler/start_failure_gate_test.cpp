#include "scheduler/start_failure_gate.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

TEST(StartFailureGateTest, ReportsOnceUntilAStartSucceedsOrTheScheduleChanges) {
  StartFailureGate gate;
  const ScheduleSettings settings{45000.25, 1, L"Days"};
  EXPECT_TRUE(gate.ShouldReport(settings));
  EXPECT_FALSE(gate.ShouldReport(settings));
  gate.StartSucceeded();
  EXPECT_TRUE(gate.ShouldReport(settings));
  EXPECT_FALSE(gate.ShouldReport(settings));
  EXPECT_TRUE(gate.ShouldReport({45001.25, 1, L"Days"}));
  EXPECT_TRUE(gate.ShouldReport({45001.25, 2, L"Days"}));
  EXPECT_TRUE(gate.ShouldReport({45001.25, 2, L"Hours"}));
  EXPECT_FALSE(gate.ShouldReport({45001.25, 2, L"Hours"}));
}

}  // namespace
}  // namespace mailstow
