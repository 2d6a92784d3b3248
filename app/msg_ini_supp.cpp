#include "app/msg_ini_supp.h"

#include "app/language_files.h"
#include "app/message_decoding.h"

namespace mailstow {

std::wstring MsgINISupp::EffectiveFileName() const {
  if (file_name_.empty() && captions_ != nullptr) return captions_->file_name();
  return file_name_;
}

LanguageFileState MsgINISupp::Load() {
  const std::wstring file_name = EffectiveFileName();
  LanguageFile file = OpenLanguageFile(file_name, prompts_);
  text_ = std::move(file.text);
  loaded_ = file.state != LanguageFileState::kNoFileName;
  loaded_file_name_ = loaded_ ? file_name : std::wstring();
  return file.state;
}

std::optional<std::wstring> MsgINISupp::GetMessageText(const std::wstring& key) {
  if (!loaded_ || loaded_file_name_ != EffectiveFileName()) {
    if (Load() == LanguageFileState::kNoFileName) return std::nullopt;
  }
  return DecodeMessageValue(text_.ReadString(L"Messages", key, kMissingText));
}

void MsgINISupp::Clear() {
  file_name_.clear();
  loaded_ = false;
  loaded_file_name_.clear();
  text_ = IniText();
}

}  // namespace mailstow
