#include "app/language_list.h"

#include <windows.h>

#include "app/english_language.h"
#include "app/language_file_access.h"

namespace mailstow {
namespace {

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring LanguageOfFile(const std::wstring& path) {
  const std::optional<IniText> file = LoadLanguageFile(path);
  return file ? file->ReadString(L"Language", L"Language", kMissingText) : kMissingText;
}

}  // namespace

std::vector<LanguageEntry> ListLanguages(const std::wstring& program_folder) {
  std::vector<LanguageEntry> languages;
  WIN32_FIND_DATAW entry{};
  const HANDLE search = FindFirstFileW((program_folder + L"*.lng").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return languages;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    if (!HasLanguageFileExtension(entry.cFileName)) continue;
    languages.push_back(
        {LanguageOfFile(program_folder + entry.cFileName), LanguageOfFileName(entry.cFileName)});
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return languages;
}

LanguageChoice ChooseStartupLanguage(const std::wstring& program_folder,
                                     const std::wstring& stored_language) {
  LanguageChoice choice;
  choice.language = stored_language;
  if (!FileExists(LanguageFileName(program_folder, stored_language))) {
    const std::wstring english = LanguageFileName(program_folder, kEnglishLanguage);
    if (!FileExists(english)) CreateLanguageFile(english, BuiltInEnglishText());
    choice.language = kEnglishLanguage;
  }
  choice.languages = ListLanguages(program_folder);
  choice.selected = LastIndexOfLanguage(choice.languages, choice.language);
  choice.file_name = LanguageFileName(program_folder, choice.language);
  return choice;
}

}  // namespace mailstow
