// Reading and writing language files, and opening one for the captions and messages
// components with the two messages the user gets when that is not possible.
//
// The shipped files are UTF-8 with a byte-order mark, so that they read the same on every
// system code page; files that users wrote themselves may be in the system's ANSI code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

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

// The text of a language file's bytes: UTF-8 or UTF-16 (either byte order) after a
// byte-order mark; without one, UTF-8 when the bytes are valid UTF-8 beyond ASCII (as text
// editors save it today), otherwise the system's ANSI code page.
std::wstring DecodeLanguageFileText(std::string_view bytes);

// The parsed language file; nullopt when it cannot be read.
std::optional<IniText> LoadLanguageFile(const std::wstring& path);

// Writes text as a new language file, UTF-8 with a byte-order mark; false, leaving any
// existing file untouched, when path exists or cannot be written completely.
bool CreateLanguageFile(const std::wstring& path, const std::wstring& text);

LanguageFile OpenLanguageFile(const std::wstring& file_name, UserPrompts& prompts);

}  // namespace mailstow
