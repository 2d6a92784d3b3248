// Feeds arbitrary bytes to the dump reader as a file decoded in a single-byte code page and
// checks what it yields: nothing outside the allowed branches, and every kept value writes
// back to a line that reads as the same value.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/reg_text_format.h"
#include "engine/reg_text_parser.h"
#include "engine/registry_branches.h"

namespace {

bool FitsAll(std::wstring_view) { return true; }

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace mailstow;
  const std::wstring text(data, data + size);
  const std::vector<RegistryBranch> allowed = {{TRootKeys::rkHKEY_CURRENT_USER, L"identities"},
                                               {TRootKeys::rkHKEY_LOCAL_MACHINE, L"A\\B"}};
  const RegImportPlan filtered = ParseRegText(text, &allowed);
  for (const auto& key : filtered.keys) {
    Check(IsWithinBranches(key.root, key.key_path, allowed));
  }

  const RegImportPlan plan = ParseRegText(text, nullptr);
  Check(plan.keys.size() >= filtered.keys.size());
  for (const auto& key : plan.keys) {
    Check(key.key_path == NormalizedKeyPath(key.key_path));
    std::vector<std::wstring> lines{KeyLine(key.root, key.key_path)};
    for (const auto& value : key.values) {
      const auto line = ValueLine(value, FitsAll);
      Check(line.has_value());
      lines.push_back(*line);
    }
    const RegImportPlan again = ParseRegText(JoinLines(lines), nullptr);
    Check(again.refused.empty());
    Check(again.keys.size() == 1);
    Check(again.keys[0].root == key.root && again.keys[0].key_path == key.key_path);
    Check(again.keys[0].values == key.values);
  }
  return 0;
}
