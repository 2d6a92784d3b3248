// Naming and matching of the language files "<language>.lng" in the program folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mailstow {

inline constexpr wchar_t kEnglishLanguage[] = L"English";
// What a lookup yields when the file has no such key, or there is no readable file.
inline constexpr wchar_t kMissingText[] = L"ERROR";

// program_folder ends with a path separator.
std::wstring LanguageFileName(const std::wstring& program_folder, const std::wstring& language);

// Whether a folder entry's name has the language file extension ".lng" (any case). A
// folder listing for "*.lng" may also return names like "x.lngold" through their short
// names; those are not language files.
bool HasLanguageFileExtension(std::wstring_view file_name);

// An entry of the language list.
struct LanguageEntry {
  std::wstring name;  // shown in the list: the file's [Language] value, "ERROR" when missing
  std::wstring file;  // the file's base name as found: what choosing the entry loads and stores
  bool operator==(const LanguageEntry&) const = default;
};

// The base name of a language file's name ("Español.lng" gives "Español").
std::wstring LanguageOfFileName(std::wstring_view file_name);

// Index of the last entry whose file is language ignoring case; -1 when there is none.
int LastIndexOfLanguage(const std::vector<LanguageEntry>& languages, std::wstring_view language);

}  // namespace mailstow
