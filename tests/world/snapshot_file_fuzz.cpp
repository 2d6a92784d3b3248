// Snapshot files are read from wherever a user points the tool: any text must be refused or
// parsed, and whatever parses must come back unchanged through its text form.
#include <cstdlib>
#include <string_view>

#include "tools/snapshot_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace mailstow;
  Snapshot parsed;
  std::wstring error;
  if (!ParseSnapshot(std::string_view(reinterpret_cast<const char*>(data), size), &parsed,
                     &error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  Snapshot again;
  if (!ParseSnapshot(SerializeSnapshot(parsed), &again, &error) || !(again == parsed) ||
      !Differences(parsed, again).empty()) {
    std::abort();
  }
  return 0;
}
