#include "app/lng_ini_supp.h"

namespace mailstow {

LanguageFileState LngINISupp::Apply(CaptionTarget& target) {
  const LanguageFile file = OpenLanguageFile(file_name_, prompts_);
  for (const std::wstring& section : file.text.SectionNames()) {
    for (const std::wstring& key : file.text.KeyNames(section)) {
      target.SetComponentText(section, key, file.text.ReadString(section, key, L""));
    }
  }
  return file.state;
}

}  // namespace mailstow
