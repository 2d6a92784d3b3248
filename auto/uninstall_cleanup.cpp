#include "uninstall_cleanup.h"

#include <windows.h>

#include "auto/stowclock_control.h"

namespace mailstow {

void RunUninstallCleanup(const std::wstring& program_folder, UserPrompts& prompts,
                         const std::wstring& cannot_stop) {
  if (!StopStowclocks(program_folder))
    prompts.Show(PromptKind::kError, PromptButtons::kOk, cannot_stop);
  // A Stowclock that could not be ended keeps its file: deleting it fails while it runs.
  DeleteFileW((program_folder + kStowclockProgram).c_str());
}

}  // namespace mailstow
