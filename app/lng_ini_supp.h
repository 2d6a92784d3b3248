// The captions component: puts the captions of a language file onto the components of
// all forms. A section names a form ("Form1" ... "Form5"), its keys name components.
#pragma once

#include <string>

#include "app/caption_target.h"
#include "app/language_file_access.h"
#include "base/user_prompts.h"

namespace mailstow {

class LngINISupp {
 public:
  explicit LngINISupp(UserPrompts& prompts) : prompts_(prompts) {}

  const std::wstring& file_name() const { return file_name_; }
  void set_file_name(std::wstring file_name) { file_name_ = std::move(file_name); }

  // Sets every caption the file has onto the matching components of target, in file
  // order; components without a key keep their text. With no file name, or a file that
  // cannot be read, the user is told and nothing changes; kNoFileName means the calling
  // operation must stop.
  LanguageFileState Apply(CaptionTarget& target);

  void Clear() { file_name_.clear(); }

 private:
  UserPrompts& prompts_;
  std::wstring file_name_;
};

}  // namespace mailstow
