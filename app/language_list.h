// The languages available in the program folder, and the choice of the language at
// start-up.
#pragma once

#include <string>
#include <vector>

#include "app/language_files.h"

namespace mailstow {

// Every "*.lng" file in the program folder (hidden, system and read-only files included),
// in the order of the folder listing: shown under its [Language] "Language" value ("ERROR"
// when the file lacks it or cannot be read), chosen by the file's own name, which is never
// passed through the ANSI code page. program_folder ends with a path separator.
std::vector<LanguageEntry> ListLanguages(const std::wstring& program_folder);

struct LanguageChoice {
  std::wstring language;                 // the language in use
  std::wstring file_name;                // program folder + language + ".lng"
  std::vector<LanguageEntry> languages;  // the language list, as ListLanguages gives it
  int selected = -1;  // last entry whose file is language ignoring case; -1 when there is none
};

// Chooses the language at start-up from the stored one: when its file is missing the
// language becomes English, and a missing "English.lng" is first written from the
// built-in text (UTF-8 with a byte-order mark, like the shipped files).
LanguageChoice ChooseStartupLanguage(const std::wstring& program_folder,
                                     const std::wstring& stored_language);

}  // namespace mailstow
