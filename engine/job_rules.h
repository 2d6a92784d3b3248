// The arithmetic and name rules of archive jobs, free of any Windows API so that they
// are tested natively.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mailstow {

// 100 divided by the number of entries; 100 for none.
double ProgressScaleFor(size_t entry_count);

// Position of a progress bar: entries done × scale + the current file's share, where the
// share is percent × scale / 100; each rounded to the nearest integer, halves to even.
int ProgressPosition(long long entries_done, double scale, int percent);

// The name an entry is stored under: the proposed name without the first
// strip_prefix.size() characters, after the entry's archive folder and a backslash.
std::wstring StoredNameFor(std::wstring_view proposed, std::wstring_view folder,
                           std::wstring_view strip_prefix);

// The output path of an extracted member: the proposed path under the staging folder has
// the staging folder and the separator after it replaced by the entry's target folder.
// Nullopt when the proposal does not lie under the staging folder or its relative part
// could leave the target folder (a drive, a root or a ".." component).
std::optional<std::wstring> OutputPathFor(std::wstring_view proposed, std::wstring_view staging,
                                          std::wstring_view target_folder);

// True when a relative path stays below the folder it is joined to.
bool StaysInside(std::wstring_view relative);

// True when a stored name lies in the folder prefix: it begins with the prefix followed by a
// backslash, compared without regard to ASCII letter case.
bool InFolder(std::wstring_view stored_name, std::wstring_view prefix);

// The target folder of a member taken from an archive folder with its inner folders: the
// target folder (ending with "\\") followed by the folders between the prefix and the member's
// last component, each with a "\\". Nullopt when the member does not lie in the prefix or its
// inner folders could leave the target folder.
std::optional<std::wstring> TreeTargetFolder(std::wstring_view stored_name,
                                             std::wstring_view prefix,
                                             std::wstring_view target_folder);

}  // namespace mailstow
