#include "scheduler/schedule_check.h"

#include <utility>

#include "base/registry_key.h"
#include "scheduler/mailstow_launcher.h"

namespace mailstow {
namespace {

constexpr wchar_t kLastBackupDate[] = L"LastBackupDate";
constexpr wchar_t kBackupTime[] = L"BackupTime";
constexpr wchar_t kBackupDate[] = L"BackupDate";
constexpr wchar_t kBackupPeriod[] = L"BackupPeriod";
constexpr wchar_t kBackupInterval[] = L"BackupInterval";

}  // namespace

ScheduleCheck::ScheduleCheck(std::wstring settings_key, std::wstring program_folder)
    : settings_key_(std::move(settings_key)), program_folder_(std::move(program_folder)) {}

CheckResult ScheduleCheck::Run(double now) const {
  CheckResult result;
  RegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, settings_key_, true)) return result;

  const RegistryRead<double> last = key.ReadDateTime(kLastBackupDate);
  const RegistryRead<int> period = key.ReadInteger(kBackupPeriod);
  const RegistryRead<std::wstring> interval = key.ReadString(kBackupInterval);
  if (last.status == ReadStatus::kMissing || !key.ValueExists(kBackupTime) ||
      period.status == ReadStatus::kMissing || interval.status == ReadStatus::kMissing) {
    result.outcome = CheckOutcome::kStop;
    return result;
  }
  // A wrongly typed value cannot be followed; it may be stored again correctly later.
  if (!last.ok() || !period.ok() || !interval.ok()) return result;
  result.settings = {last.value, period.value, interval.value};
  // Monthly runs keep the day of the chosen start day.
  const RegistryRead<double> start_day = key.ReadDateTime(kBackupDate);
  if (start_day.ok()) result.settings.anchor_day = AnchorDayOf(start_day.value);

  const ScheduleDecision decision = EvaluateSchedule(result.settings, now);
  if (!decision.due) return result;
  if (!StartUnattendedRun(program_folder_)) {
    result.outcome = CheckOutcome::kStartFailed;
    return result;
  }
  // Without the moved reference every later check would start another run at once.
  result.outcome = key.WriteDateTime(kLastBackupDate, decision.next_reference)
                       ? CheckOutcome::kStarted
                       : CheckOutcome::kStop;
  return result;
}

}  // namespace mailstow
