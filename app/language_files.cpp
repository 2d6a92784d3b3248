#include "app/language_files.h"

#include <algorithm>

#include "base/text_case.h"

namespace mailstow {

namespace {
constexpr std::wstring_view kExtension = L".lng";
}  // namespace

std::wstring LanguageFileName(const std::wstring& program_folder, const std::wstring& language) {
  return program_folder + language + std::wstring(kExtension);
}

bool HasLanguageFileExtension(std::wstring_view file_name) {
  return file_name.size() >= kExtension.size() &&
         EqualsIgnoreCase(file_name.substr(file_name.size() - kExtension.size()), kExtension);
}

std::wstring LanguageOfFileName(std::wstring_view file_name) {
  return std::wstring(
      file_name.substr(0, file_name.size() - std::min(file_name.size(), kExtension.size())));
}

int LastIndexOfLanguage(const std::vector<LanguageEntry>& languages, std::wstring_view language) {
  for (size_t i = languages.size(); i > 0; --i) {
    if (EqualsIgnoreCase(languages[i - 1].file, language)) return static_cast<int>(i - 1);
  }
  return -1;
}

}  // namespace mailstow
