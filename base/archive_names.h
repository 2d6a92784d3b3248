// Default names of backup archives.
#pragma once

#include <string>
#include <string_view>

namespace mailstow {

// last_path + prefix + the short date with every character other than 0-9 replaced by "-"
// + ".ebk".
std::wstring DefaultArchiveName(std::wstring_view last_path, std::wstring_view prefix,
                                std::wstring_view short_date);

// The save dialog's suggestion: prefix + day-month-year without leading zeros + ".ebk".
std::wstring SuggestedArchiveFileName(std::wstring_view prefix, int day, int month, int year);

// The folder part of a path, with its trailing separator ("" when there is none).
std::wstring FolderOf(std::wstring_view path);

}  // namespace mailstow
