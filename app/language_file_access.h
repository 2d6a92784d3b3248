// Opening the language file for the captions and messages components, with the two
// messages the user gets when that is not possible.
#pragma once

#include <string>

#include "base/ini_text.h"
#include "base/user_prompts.h"

namespace mailstow {

enum class LanguageFileState {
  kRead,        // the file was read
  kUnreadable,  // the user was warned; the operation goes on without texts from the file
  kNoFileName,  // the user was told; the operation that asked must stop
};

struct LanguageFile {
  LanguageFileState state = LanguageFileState::kNoFileName;
  IniText text;  // empty unless state is kRead
};

inline constexpr wchar_t kNoFileNameMessage[] = L"ERROR!!!\r\nFile not preset!";
inline constexpr wchar_t kUnreadableFileMessage[] =
    L"WARNING!!!\r\n Language File Not Found! Its now creating a new!";

LanguageFile OpenLanguageFile(const std::wstring& file_name, UserPrompts& prompts);

}  // namespace mailstow
