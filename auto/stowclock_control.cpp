#include "auto/stowclock_control.h"

#include <iterator>

#include "base/registry_key.h"
#include "base/text_case.h"
#include "guard/process_list.h"
#include "scheduler/mailstow_launcher.h"

namespace mailstow {

namespace {

// The session of a process; false when it cannot be told.
bool SessionOf(DWORD process_id, DWORD* session) {
  return ProcessIdToSessionId(process_id, session) != FALSE;
}

// The full path of a process's executable; empty when it cannot be read (a process of
// another user may not be opened at all).
std::wstring ImagePathOf(DWORD process_id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  if (process == nullptr) return {};
  wchar_t path[MAX_PATH * 4];
  DWORD length = static_cast<DWORD>(std::size(path));
  const bool read = QueryFullProcessImageNameW(process, 0, path, &length) != FALSE;
  CloseHandle(process);
  return read ? std::wstring(path, length) : std::wstring();
}

}  // namespace

std::vector<DWORD> RunningStowclocks(const std::wstring& program_folder) {
  DWORD own_session = 0;
  if (!SessionOf(GetCurrentProcessId(), &own_session)) return {};
  const std::wstring program = program_folder + kStowclockProgram;
  ProcessList processes;
  processes.Refresh();
  std::vector<DWORD> found;
  for (const ProcessInfo& process : processes.entries()) {
    if (!EqualsIgnoreCase(process.name, kStowclockProgram)) continue;
    DWORD session = 0;
    if (!SessionOf(process.process_id, &session) || session != own_session) continue;
    if (EqualsIgnoreCase(ImagePathOf(process.process_id), program)) {
      found.push_back(process.process_id);
    }
  }
  return found;
}

bool StopStowclocks(const std::wstring& program_folder) {
  bool all_ended = true;
  for (const DWORD id : RunningStowclocks(program_folder)) {
    if (!EndProcess(id)) all_ended = false;
  }
  return all_ended;
}

bool StartStowclock(const std::wstring& program_folder) {
  return StartProgramIn(program_folder, kStowclockProgram, StowclockRunCommand(program_folder));
}

std::wstring StowclockRunCommand(const std::wstring& program_folder) {
  return L"\"" + program_folder + kStowclockProgram + L"\"";
}

bool RegisterStowclockAtLogon(const std::wstring& program_folder) {
  RegistryKey key;
  return key.Open(HKEY_CURRENT_USER, kRunKeyPath, true) &&
         key.WriteString(kStowclockRunValue, StowclockRunCommand(program_folder));
}

void UnregisterStowclockAtLogon() {
  for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    RegistryKey key;
    if (key.Open(root, kRunKeyPath, false) && key.ValueExists(kStowclockRunValue)) {
      key.DeleteValue(kStowclockRunValue);
    }
  }
}

}  // namespace mailstow
