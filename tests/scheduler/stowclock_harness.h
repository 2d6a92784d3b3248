// Helpers of the scheduler's Windows tests: a throw-away program folder with the stand-in
// Mailstow.exe, the launches it recorded, a Stowclock process that cannot outlive its
// test, and the stored schedule values.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace mailstow::testing {

// A Linux path of the build as Wine sees it.
std::wstring WindowsPathOf(const std::string& linux_path);

// The stand-in Mailstow.exe built for these tests.
std::wstring StandInPath();

// One recorded start of the stand-in, split as Windows splits a command line.
struct Launch {
  std::wstring command_line;
  std::vector<std::wstring> arguments;  // arguments[0] is the program
};

class ProgramFolder {
 public:
  // A new empty folder in the temporary folder; the name holds a space on purpose.
  ProgramFolder();
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  const std::wstring& path() const { return path_; }  // ends with a separator
  void CopyIn(const std::wstring& source, const std::wstring& name) const;
  void AddStandInMailstow() const;

  std::vector<Launch> Launches() const;
  // Waits until the stand-in has recorded at least one start; false after timeout_ms.
  bool WaitForLaunch(DWORD timeout_ms) const;

 private:
  std::wstring path_;
};

// Stowclock.exe started from a program folder. It runs in a job that ends it when the test
// ends, however the test ends.
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

// The schedule values under a key below HKEY_CURRENT_USER; a member left empty is removed.
struct StoredSchedule {
  std::optional<double> last_backup;
  std::optional<double> backup_time;
  std::optional<int> period;
  std::optional<std::wstring> interval;
};
void StoreSchedule(const std::wstring& key, const StoredSchedule& schedule);
std::optional<double> ReadLastBackupDate(const std::wstring& key);

}  // namespace mailstow::testing
