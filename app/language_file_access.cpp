#include "app/language_file_access.h"

#include "base/ini_file.h"

namespace mailstow {

LanguageFile OpenLanguageFile(const std::wstring& file_name, UserPrompts& prompts) {
  LanguageFile file;
  if (file_name.empty()) {
    prompts.Show(PromptKind::kPlain, PromptButtons::kOk, kNoFileNameMessage);
    return file;
  }
  std::optional<IniText> text = LoadIniFile(file_name);
  if (!text) {
    prompts.Show(PromptKind::kPlain, PromptButtons::kOk, kUnreadableFileMessage);
    file.state = LanguageFileState::kUnreadable;
    return file;
  }
  file.state = LanguageFileState::kRead;
  file.text = std::move(*text);
  return file;
}

}  // namespace mailstow
