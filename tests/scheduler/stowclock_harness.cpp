#include "tests/scheduler/stowclock_harness.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/registry_key.h"

namespace mailstow::testing {
namespace {

namespace fs = std::filesystem;

// A Linux path of the build as Wine sees it.
fs::path WindowsPathOf(const char* linux_path) {
  return fs::path(L"Z:" + fs::u8path(linux_path).make_preferred().wstring());
}

}  // namespace

ProgramFolder::ProgramFolder() {
  static int counter = 0;
  const fs::path folder =
      fs::temp_directory_path() /
      (L"Stow clock " + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const char* dist = std::getenv("MAILSTOW_DIST");
  fs::copy_file(WindowsPathOf(dist != nullptr ? dist : "") / "Stowclock.exe",
                folder / "Stowclock.exe");
  fs::copy_file(WindowsPathOf(MAILSTOW_STAND_IN), folder / "Mailstow.exe");
  path_ = folder.wstring() + L"\\";
}

ProgramFolder::~ProgramFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::vector<std::wstring> ProgramFolder::Launches() const {
  std::vector<std::wstring> launches;
  std::ifstream record(fs::path(path_) / "launches.txt", std::ios::binary);
  for (std::string line; std::getline(record, line);) {
    launches.push_back(fs::u8path(line).wstring());
  }
  return launches;
}

bool ProgramFolder::WaitForLaunch(DWORD timeout_ms) const {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  while (Launches().empty()) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(100);
  }
  return true;
}

StowclockProcess::StowclockProcess(const ProgramFolder& folder) {
  job_ = CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof(limits));

  const std::wstring program = folder.path() + L"Stowclock.exe";
  std::wstring command_line = L"\"" + program + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                      CREATE_SUSPENDED, nullptr, folder.path().c_str(), &startup, &info)) {
    return;
  }
  AssignProcessToJobObject(job_, info.hProcess);
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
  process_ = info.hProcess;
}

StowclockProcess::~StowclockProcess() {
  if (process_ != nullptr) {
    TerminateProcess(process_, 1);  // no effect when it has ended already
    WaitForSingleObject(process_, 10000);
    CloseHandle(process_);
  }
  if (job_ != nullptr) CloseHandle(job_);
}

bool StowclockProcess::WaitForExit(DWORD timeout_ms) const {
  return process_ != nullptr && WaitForSingleObject(process_, timeout_ms) == WAIT_OBJECT_0;
}

void StoreSchedule(const std::wstring& key_path, const StoredSchedule& schedule) {
  RegistryKey key;
  key.Open(HKEY_CURRENT_USER, key_path, true);
  for (const wchar_t* name :
       {L"LastBackupDate", L"BackupTime", L"BackupPeriod", L"BackupInterval"}) {
    key.DeleteValue(name);
  }
  if (schedule.last_backup) key.WriteDateTime(L"LastBackupDate", *schedule.last_backup);
  if (schedule.backup_time) key.WriteDateTime(L"BackupTime", *schedule.backup_time);
  if (schedule.period) key.WriteInteger(L"BackupPeriod", *schedule.period);
  if (schedule.interval) key.WriteString(L"BackupInterval", *schedule.interval);
}

std::optional<double> ReadLastBackupDate(const std::wstring& key_path) {
  RegistryKey key;
  key.Open(HKEY_CURRENT_USER, key_path, false, KEY_READ);
  const RegistryRead<double> value = key.ReadDateTime(L"LastBackupDate");
  return value.ok() ? std::optional<double>(value.value) : std::nullopt;
}

}  // namespace mailstow::testing
