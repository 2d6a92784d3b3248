#include "scheduler/idle_monitor.h"

#include <optional>
#include <utility>

#include "base/registry_key.h"
#include "scheduler/mailstow_launcher.h"

namespace mailstow {
namespace {

// Ticks that pass before the first check.
constexpr int kSettlingTicks = 12;

void ShowStartFailure(const ScheduleSettings& settings) {
  const bool hourly = ParseIntervalUnit(settings.interval) == IntervalUnit::kHours;
  const wchar_t* text = hourly ? kRunProgramMissing : L"Program execute error!";
  MessageBoxW(nullptr, text, kStartFailureTitle, MB_OK | MB_ICONERROR);
}

}  // namespace

TIdleMonitor::TIdleMonitor(ScheduleCheck check) : check_(std::move(check)) {}

void TIdleMonitor::Run(UINT_PTR timer_id) {
  int ticks = 0;
  MSG message;
  while (!stop_) {
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) return;
    if (message.message != WM_TIMER || message.wParam != timer_id) continue;
    if (ticks < kSettlingTicks) {
      ++ticks;
      continue;
    }
    CheckOnce();
  }
}

void TIdleMonitor::CheckOnce() {
  const CheckResult result = check_.Run(LocalNowAsDays());
  switch (result.outcome) {
    case CheckOutcome::kStop:
      stop_ = true;
      break;
    case CheckOutcome::kStarted:
      failure_gate_.StartSucceeded();
      break;
    case CheckOutcome::kStartFailed:
      if (failure_gate_.ShouldReport(result.settings)) ShowStartFailure(result.settings);
      break;
    case CheckOutcome::kNotDue:
      break;
  }
}

}  // namespace mailstow
