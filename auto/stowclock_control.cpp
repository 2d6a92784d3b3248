#include "auto/stowclock_control.h"

#include "app/registry_key.h"
#include "app/text_case.h"
#include "guard/process_list.h"

namespace mailstow {

std::vector<DWORD> RunningStowclocks() {
  ProcessList processes;
  processes.Refresh();
  std::vector<DWORD> found;
  for (const ProcessInfo& process : processes.entries()) {
    if (EqualsIgnoreCase(process.name, kStowclockProgram)) found.push_back(process.process_id);
  }
  return found;
}

bool StopStowclocks() {
  bool all_ended = true;
  for (const DWORD id : RunningStowclocks()) {
    if (!EndProcess(id)) all_ended = false;
  }
  return all_ended;
}

bool StartStowclock(const std::wstring& program_folder) {
  const std::wstring program = program_folder + kStowclockProgram;
  std::wstring command_line = L"\"" + program + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      program_folder.empty() ? nullptr : program_folder.c_str(), &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
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
