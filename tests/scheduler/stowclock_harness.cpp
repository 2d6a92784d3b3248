#include "tests/scheduler/stowclock_harness.h"

#include <shellapi.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "app/registry_key.h"

namespace mailstow::testing {
namespace {

std::wstring Utf8ToWide(const std::string& text) {
  const int count =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
  return wide;
}

std::string WideToUtf8(const std::wstring& text) {
  const int count = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(count), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), count,
                      nullptr, nullptr);
  return narrow;
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& command_line) {
  std::vector<std::wstring> arguments;
  int count = 0;
  LPWSTR* parts = CommandLineToArgvW(command_line.c_str(), &count);
  if (parts == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.emplace_back(parts[i]);
  LocalFree(parts);
  return arguments;
}

void DeleteFolderTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteFolderTree(folder + name + L"\\");
      } else {
        DeleteFileW((folder + name).c_str());
      }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

std::wstring WindowsPathOf(const std::string& linux_path) {
  std::wstring path = L"Z:" + Utf8ToWide(linux_path);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

std::wstring StandInPath() { return WindowsPathOf(MAILSTOW_STAND_IN); }

ProgramFolder::ProgramFolder() {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  static int counter = 0;
  path_ = std::wstring(temp) + L"Stow clock " + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(++counter) + L"\\";
  DeleteFolderTree(path_);
  CreateDirectoryW(path_.c_str(), nullptr);
}

ProgramFolder::~ProgramFolder() { DeleteFolderTree(path_); }

void ProgramFolder::CopyIn(const std::wstring& source, const std::wstring& name) const {
  CopyFileW(source.c_str(), (path_ + name).c_str(), FALSE);
}

void ProgramFolder::AddStandInMailstow() const { CopyIn(StandInPath(), L"Mailstow.exe"); }

std::vector<Launch> ProgramFolder::Launches() const {
  std::vector<Launch> launches;
  std::ifstream file(WideToUtf8(path_ + L"launches.txt"), std::ios::binary);
  // The stand-in writes a whole line at once; a line without its end is still being written.
  std::stringstream content;
  content << file.rdbuf();
  const std::string text = content.str();
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    Launch launch;
    launch.command_line = Utf8ToWide(text.substr(start, end - start));
    launch.arguments = SplitCommandLine(launch.command_line);
    launches.push_back(launch);
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
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, 10000);
    }
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
  if (schedule.last_backup) {
    key.WriteDateTime(L"LastBackupDate", *schedule.last_backup);
  } else {
    key.DeleteValue(L"LastBackupDate");
  }
  if (schedule.backup_time) {
    key.WriteDateTime(L"BackupTime", *schedule.backup_time);
  } else {
    key.DeleteValue(L"BackupTime");
  }
  if (schedule.period) {
    key.WriteInteger(L"BackupPeriod", *schedule.period);
  } else {
    key.DeleteValue(L"BackupPeriod");
  }
  if (schedule.interval) {
    key.WriteString(L"BackupInterval", *schedule.interval);
  } else {
    key.DeleteValue(L"BackupInterval");
  }
}

std::optional<double> ReadLastBackupDate(const std::wstring& key_path) {
  RegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, key_path, false, KEY_READ)) return std::nullopt;
  const RegistryRead<double> value = key.ReadDateTime(L"LastBackupDate");
  if (!value.ok()) return std::nullopt;
  return value.value;
}

}  // namespace mailstow::testing
