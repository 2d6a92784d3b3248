// The messages component: message texts by key ("Message1" ...) from section [Messages]
// of a language file, for message boxes and for captions set in code.
#pragma once

#include <optional>
#include <string>

#include "base/ini_text.h"
#include "app/language_file_access.h"
#include "app/lng_ini_supp.h"
#include "base/user_prompts.h"

namespace mailstow {

class MsgINISupp {
 public:
  // captions, when given, lends its file name while this component has none.
  explicit MsgINISupp(UserPrompts& prompts, const LngINISupp* captions = nullptr)
      : prompts_(prompts), captions_(captions) {}

  const std::wstring& file_name() const { return file_name_; }
  void set_file_name(std::wstring file_name) { file_name_ = std::move(file_name); }

  // Reads the file (the user is told when there is no file name or the file cannot be
  // read) and marks it loaded unless there was no file name.
  LanguageFileState Load();
  bool loaded() const { return loaded_; }

  // The decoded text of key; "ERROR" when the file lacks it or could not be read. Loads
  // first when not loaded, or when the file name in use has changed since. nullopt when
  // there is no file name: the user has been told and the calling operation must stop.
  std::optional<std::wstring> GetMessageText(const std::wstring& key);

  // Empties the file name and clears the loaded mark.
  void Clear();

 private:
  std::wstring EffectiveFileName() const;

  UserPrompts& prompts_;
  const LngINISupp* captions_;
  std::wstring file_name_;
  bool loaded_ = false;
  std::wstring loaded_file_name_;
  IniText text_;
};

}  // namespace mailstow
