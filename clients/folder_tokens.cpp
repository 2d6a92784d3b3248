#include "folder_tokens.h"

#include <array>
#include <utility>

namespace mailstow {
namespace {

// A up to, not including, its n-th backslash; A itself when it has fewer.
std::wstring UpToBackslash(std::wstring_view text, int n) {
  size_t position = std::wstring_view::npos;
  for (int i = 0; i < n; ++i) {
    position = text.find(L'\\', position == std::wstring_view::npos ? 0 : position + 1);
    if (position == std::wstring_view::npos) return std::wstring(text);
  }
  return std::wstring(text.substr(0, position));
}

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    wchar_t c = text[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

TokenFolders TokenFoldersFrom(std::wstring_view app_data, std::wstring_view windows_folder) {
  TokenFolders folders;
  folders.user_profile = UpToBackslash(app_data, 3);
  folders.system_drive = UpToBackslash(app_data, 1);
  folders.program_files = folders.system_drive + L"\\Program Files";
  folders.system_root = std::wstring(windows_folder);
  return folders;
}

std::wstring ReplaceLeadingToken(std::wstring_view text, const TokenFolders& folders) {
  const std::array<std::pair<std::wstring_view, const std::wstring*>, 4> tokens = {{
      {L"%userprofile%", &folders.user_profile},
      {L"%systemdrive%", &folders.system_drive},
      {L"%programfiles%", &folders.program_files},
      {L"%systemroot%", &folders.system_root},
  }};
  for (const auto& [token, folder] : tokens) {
    if (StartsWithIgnoringCase(text, token))
      return *folder + std::wstring(text.substr(token.size()));
  }
  return std::wstring(text);
}

}  // namespace mailstow
