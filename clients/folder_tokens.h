// Folder texts stored by mail clients may begin with a token standing for a folder of the
// machine ("%userprofile%", "%systemdrive%", "%programfiles%", "%systemroot%").
#pragma once

#include <string>
#include <string_view>

namespace mailstow {

struct TokenFolders {
  std::wstring user_profile;   // the application-data folder up to its third backslash
  std::wstring system_drive;   // up to its first backslash ("C:")
  std::wstring program_files;  // system drive + "\Program Files"
  std::wstring system_root;    // the Windows folder
};

// The token folders derived from the application-data folder A and the Windows folder.
// With fewer backslashes in A than a token needs, the token stands for A itself.
TokenFolders TokenFoldersFrom(std::wstring_view app_data, std::wstring_view windows_folder);

// The text with a token at its start (any letter case) replaced by its folder.
std::wstring ReplaceLeadingToken(std::wstring_view text, const TokenFolders& folders);

}  // namespace mailstow
