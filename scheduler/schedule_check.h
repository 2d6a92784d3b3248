// One look at the stored schedule: reads the settings, starts the unattended run when it is
// due and then moves the stored reference moment ("LastBackupDate") forward.
#pragma once

#include <string>

#include "scheduler/schedule.h"

namespace mailstow {

enum class CheckOutcome {
  kStop,         // a schedule value is missing (or the reference cannot be stored): end
  kNotDue,       // nothing to do now, including values that cannot be read
  kStarted,      // the run was started and the reference moved
  kStartFailed,  // the run was due but could not be started; the reference is unchanged
};

struct CheckResult {
  CheckOutcome outcome = CheckOutcome::kNotDue;
  ScheduleSettings settings;  // as read; meaningful unless the outcome is kStop
};

class ScheduleCheck {
 public:
  // settings_key: path below HKEY_CURRENT_USER; program_folder ends with a separator.
  ScheduleCheck(std::wstring settings_key, std::wstring program_folder);

  CheckResult Run(double now) const;

 private:
  std::wstring settings_key_;
  std::wstring program_folder_;
};

}  // namespace mailstow
