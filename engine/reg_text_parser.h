// The text of registry dump files (".reg"), reading side: turns the lines of a dump into
// the keys and values to write, and a list of the lines it refused and why. Portable and
// free of side effects, so a damaged or crafted file can do no more than name keys.
//
// Each line is classified after its leading blanks: the header, empty lines and ";"
// comments are skipped; "[" starts a key line; a quote starts a value line of the key named
// last. A line that is none of these is skipped and reported. A key line must end with "]"
// and name one of the six root keys; otherwise it is refused together with its value
// lines, and so is a key outside the allowed branches when such a list is given. A value
// line that cannot be read (no closing quote, bad hexadecimal, overlong) is refused alone;
// value lines before any key line have no key to go to and are refused too.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/reg_text_format.h"
#include "engine/registry_branches.h"

namespace mailstow {

// Longer lines are refused: a registry value does not need more than this in hex text.
inline constexpr size_t kMaxRegLineLength = 8 * 1024 * 1024;

struct RegKeyImport {
  TRootKeys root = TRootKeys::rkHKEY_CURRENT_USER;
  std::wstring key_path;  // Normalised: single backslashes, none leading or trailing.
  std::vector<RegistryValue> values;
  size_t line_number = 0;  // 1-based, of the key line.
};

struct RegImportPlan {
  std::vector<RegKeyImport> keys;     // In file order; a key named twice appears twice.
  std::vector<std::wstring> refused;  // One message per refused line or key.
};

// The lines of a text split at CR LF, a lone CR or a lone LF.
std::vector<std::wstring_view> SplitLines(std::wstring_view text);

// Reads the lines of a dump. With allowed_branches, keys outside them are refused.
RegImportPlan ParseRegLines(const std::vector<std::wstring_view>& lines,
                            const std::vector<RegistryBranch>* allowed_branches);

RegImportPlan ParseRegText(std::wstring_view text,
                           const std::vector<RegistryBranch>* allowed_branches);

}  // namespace mailstow
