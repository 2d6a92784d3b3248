// The languages available in the program folder, and the choice of the language at
// start-up.
#pragma once

#include <string>
#include <vector>

namespace mailstow {

// The [Language] "Language" value of every "*.lng" file in the program folder (hidden,
// system and read-only files included), in the order of the folder listing; a file
// without that value, or one that cannot be read, is listed as "ERROR". program_folder
// ends with a path separator.
std::vector<std::wstring> ListLanguages(const std::wstring& program_folder);

struct LanguageChoice {
  std::wstring language;                // the language in use
  std::wstring file_name;               // program folder + language + ".lng"
  std::vector<std::wstring> languages;  // the language list, as ListLanguages gives it
  int selected = -1;  // last entry equal to language ignoring case; -1 when there is none
};

// Chooses the language at start-up from the stored one: when its file is missing the
// language becomes English, and a missing "English.lng" is first written from the
// built-in text.
LanguageChoice ChooseStartupLanguage(const std::wstring& program_folder,
                                     const std::wstring& stored_language);

}  // namespace mailstow
