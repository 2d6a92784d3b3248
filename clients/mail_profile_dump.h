// The mail profile that a registry dump holds, the dump moved between the two registry
// locations of mail profiles, and folder texts moved from one machine's folders to another's.
// Portable, so that the rules are tested natively.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mailstow {

// The profile of a dump: the key name after profiles_path in its first key line
// ("[HKEY_CURRENT_USER\<profiles_path>\<profile>...]", letter case ignored). Nullopt when the
// first key line names another key or the profile is not a plain name.
std::optional<std::wstring> DumpedProfile(std::wstring_view dump, std::wstring_view profiles_path);

// The dump with every key line below HKEY_CURRENT_USER\from_path moved below to_path. Value
// lines stay as they are, also when their data mentions either path.
std::wstring RelocatedDump(std::wstring_view dump, std::wstring_view from_path,
                           std::wstring_view to_path);

// The path with the folder old_base at its start replaced by new_base, the rest kept. Nullopt
// when old_base is empty or the path does not lie in that folder (letter case ignored).
std::optional<std::wstring> Rebased(std::wstring_view path, std::wstring_view old_base,
                                    std::wstring_view new_base);

}  // namespace mailstow
