// Writes a world, with this machine's folders already in place, into the registry and the file
// system of the current user. Existing keys, values and files of the same names are overwritten;
// nothing else is touched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/world_plan.h"

namespace mailstow {

struct InstallSummary {
  uint64_t keys = 0;
  uint64_t values = 0;
  uint64_t files = 0;
  uint64_t bytes = 0;
};

// False, with the reason in *error, at the first key, value, folder or file that cannot be
// written.
bool InstallWorld(const std::vector<ClientWorld>& worlds, InstallSummary* summary,
                  std::wstring* error);

}  // namespace mailstow
