// The cleanup run at uninstall: stops a running Stowclock and deletes its program file.
#pragma once

#include <string>

#include "base/user_prompts.h"

namespace mailstow {

// program_folder ends with "\"; cannot_stop is the text shown when the running scheduler
// cannot be opened to end it.
void RunUninstallCleanup(const std::wstring& program_folder, UserPrompts& prompts,
                         const std::wstring& cannot_stop);

}  // namespace mailstow
