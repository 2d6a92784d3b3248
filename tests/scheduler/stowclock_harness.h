// Helpers of the scheduler's Windows tests: a throw-away program folder holding Stowclock.exe
// and a stand-in Mailstow.exe that records its starts, a Stowclock process that cannot
// outlive its test, and the stored schedule values.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace mailstow::testing {

class ProgramFolder {
 public:
  // A new folder in the temporary folder; its name holds a space on purpose.
  ProgramFolder();
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  const std::wstring& path() const { return path_; }  // ends with a separator
  // One line per start of the stand-in: its arguments, program first, joined by '|'.
  std::vector<std::wstring> Launches() const;
  // Waits until the stand-in has recorded a start; false after timeout_ms.
  bool WaitForLaunch(DWORD timeout_ms) const;

 private:
  std::wstring path_;
};

// Stowclock.exe started from a program folder, in a job that ends it with the test,
// however the test ends.
class StowclockProcess {
 public:
  explicit StowclockProcess(const ProgramFolder& folder);
  ~StowclockProcess();
  StowclockProcess(const StowclockProcess&) = delete;
  StowclockProcess& operator=(const StowclockProcess&) = delete;

  bool started() const { return process_ != nullptr; }
  // True when the process ended by itself within timeout_ms.
  bool WaitForExit(DWORD timeout_ms) const;

 private:
  HANDLE job_ = nullptr;
  HANDLE process_ = nullptr;
};

// The schedule values under a key below HKEY_CURRENT_USER; an empty member is removed.
struct StoredSchedule {
  std::optional<double> last_backup;
  std::optional<double> backup_time;
  std::optional<int> period;
  std::optional<std::wstring> interval;
};
void StoreSchedule(const std::wstring& key, const StoredSchedule& schedule);
std::optional<double> ReadLastBackupDate(const std::wstring& key);

}  // namespace mailstow::testing
