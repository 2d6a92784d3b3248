#include "engine/registry_branches.h"

#include "base/text_case.h"

namespace mailstow {
namespace {

// rkNONE opens HKEY_CURRENT_USER, so both name the same branch.
TRootKeys EffectiveRoot(TRootKeys root) {
  return root == TRootKeys::rkNONE ? TRootKeys::rkHKEY_CURRENT_USER : root;
}

}  // namespace

std::vector<std::wstring> KeyPathComponents(std::wstring_view key_path) {
  std::vector<std::wstring> components;
  size_t start = 0;
  while (start <= key_path.size()) {
    size_t end = key_path.find(kKeyLevelDelim, start);
    if (end == key_path.npos) end = key_path.size();
    if (end > start) components.emplace_back(key_path.substr(start, end - start));
    start = end + 1;
  }
  return components;
}

std::wstring NormalizedKeyPath(std::wstring_view key_path) {
  std::wstring path;
  for (const auto& component : KeyPathComponents(key_path)) {
    if (!path.empty()) path += kKeyLevelDelim;
    path += component;
  }
  return path;
}

bool IsWithinBranches(TRootKeys root, std::wstring_view key_path,
                      const std::vector<RegistryBranch>& branches) {
  const auto components = KeyPathComponents(key_path);
  for (const auto& branch : branches) {
    if (EffectiveRoot(branch.root) != EffectiveRoot(root)) continue;
    const auto prefix = KeyPathComponents(branch.key_path);
    if (prefix.size() > components.size()) continue;
    bool inside = true;
    for (size_t i = 0; i < prefix.size() && inside; ++i) {
      inside = EqualsIgnoreCase(prefix[i], components[i]);
    }
    if (inside) return true;
  }
  return false;
}

}  // namespace mailstow
