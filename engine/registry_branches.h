// The registry branches that a restore may write: a root key and a key path each. A key
// lies inside a branch when its root is the branch's root and the branch's path components
// are the first components of its path, compared without regard to letter case. The folding
// covers a subset of the letters the registry folds, so it can refuse a key that differs
// only in the case of a rarer letter, but never lets through a key the registry tells apart.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/reg_text_format.h"

namespace mailstow {

struct RegistryBranch {
  TRootKeys root = TRootKeys::rkHKEY_CURRENT_USER;
  std::wstring key_path;  // Components separated by backslashes; leading ones optional.
};

// The non-empty components of a key path: "\a\\b\" gives {"a", "b"}.
std::vector<std::wstring> KeyPathComponents(std::wstring_view key_path);

// The components joined with single backslashes, without leading or trailing ones.
std::wstring NormalizedKeyPath(std::wstring_view key_path);

bool IsWithinBranches(TRootKeys root, std::wstring_view key_path,
                      const std::vector<RegistryBranch>& branches);

}  // namespace mailstow
