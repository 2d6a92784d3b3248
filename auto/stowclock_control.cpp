#include "auto/stowclock_control.h"

#include "base/registry_key.h"
#include "base/text_case.h"
#include "guard/process_list.h"
#include "scheduler/mailstow_launcher.h"

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
