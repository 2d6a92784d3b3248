#include "uninstall_cleanup.h"

#include <windows.h>

#include "guard/process_list.h"

namespace mailstow {

void RunUninstallCleanup(const std::wstring& program_folder, UserPrompts& prompts,
                         const std::wstring& cannot_stop) {
  ProcessList processes;
  processes.Refresh();
  const ProcessInfo* scheduler = nullptr;
  for (const ProcessInfo& process : processes.entries()) {
    if (process.name == L"Stowclock.exe") scheduler = &process;
  }
  if (scheduler != nullptr && !EndProcess(scheduler->process_id)) {
    prompts.Show(PromptKind::kError, PromptButtons::kOk, cannot_stop);
  }
  DeleteFileW((program_folder + L"stowclock.exe").c_str());
}

}  // namespace mailstow
