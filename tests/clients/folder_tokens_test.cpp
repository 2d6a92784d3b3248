#include "clients/folder_tokens.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

TEST(FolderTokens, FoldersComeFromTheApplicationDataFolder) {
  const TokenFolders folders =
      TokenFoldersFrom(L"C:\\Documents and Settings\\Ann\\Application Data", L"C:\\WINDOWS");
  EXPECT_EQ(folders.user_profile, L"C:\\Documents and Settings\\Ann");
  EXPECT_EQ(folders.system_drive, L"C:");
  EXPECT_EQ(folders.program_files, L"C:\\Program Files");
  EXPECT_EQ(folders.system_root, L"C:\\WINDOWS");
  // Too few backslashes: the token stands for the folder itself rather than nothing.
  EXPECT_EQ(TokenFoldersFrom(L"D:", L"").user_profile, L"D:");
}

TEST(FolderTokens, OnlyALeadingTokenIsReplacedInAnyCase) {
  const TokenFolders folders =
      TokenFoldersFrom(L"C:\\Users\\Ann\\AppData\\Roaming", L"C:\\Windows");
  EXPECT_EQ(ReplaceLeadingToken(L"%UserProfile%\\Local Settings\\Store", folders),
            L"C:\\Users\\Ann\\Local Settings\\Store");
  EXPECT_EQ(ReplaceLeadingToken(L"%SYSTEMDRIVE%\\Mail", folders), L"C:\\Mail");
  EXPECT_EQ(ReplaceLeadingToken(L"%programfiles%\\Common", folders), L"C:\\Program Files\\Common");
  EXPECT_EQ(ReplaceLeadingToken(L"%SystemRoot%\\Web", folders), L"C:\\Windows\\Web");
  EXPECT_EQ(ReplaceLeadingToken(L"D:\\%userprofile%\\x", folders), L"D:\\%userprofile%\\x");
  EXPECT_EQ(ReplaceLeadingToken(L"%userprofil", folders), L"%userprofil");
}

}  // namespace
}  // namespace mailstow
