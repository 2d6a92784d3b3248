#include "clients/opera_accounts.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

using Names = std::vector<std::wstring>;

// An account made after the backup stays listed after the older archive is restored; the
// archive's own lines, order and other parts are kept.
TEST(OperaAccounts, RestoredListKeepsTheAccountsMadeSince) {
  struct Case {
    const wchar_t* archived;
    const wchar_t* here;
    const wchar_t* merged;
  };
  const Case cases[] = {
      {L"[Accounts]\r\naccount1=1\r\n\r\n[Settings]\r\nNext Id=2\r\n",
       L"[Accounts]\r\naccount1=1\r\naccount2=1\r\n\r\n[Settings]\r\nNext Id=3\r\n",
       L"[Accounts]\r\naccount1=1\r\naccount2=1\r\n\r\n[Settings]\r\nNext Id=2\r\n"},
      // Names compare without regard to case; nothing new, nothing changes.
      {L"[Accounts]\r\nWork=1\r\n", L"[accounts]\r\nwork=1\r\n", L"[Accounts]\r\nWork=1\r\n"},
      // No list here, or an empty one: the archive's list as it is.
      {L"[Accounts]\nmail=1\n", L"", L"[Accounts]\nmail=1\n"},
      // An archive without an accounts part gets one; its line ends are kept.
      {L"Opera Preferences version 2.0\n", L"[Accounts]\r\nnew=1\r\n",
       L"Opera Preferences version 2.0\n[Accounts]\nnew=1\n"},
      // Only the accounts part here counts, and the last line of the archive may lack its end.
      {L"[Accounts]\r\na=1", L"[Other]\r\nx=1\r\n[Accounts]\r\nb=1\r\n",
       L"[Accounts]\r\na=1\r\nb=1\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MergedOperaAccountList(c.archived, c.here), c.merged) << c.here;
  }
}

TEST(OperaAccounts, NamesComeFromTheAccountsPartOnly) {
  struct Case {
    const wchar_t* text;
    Names names;
  };
  const Case cases[] = {
      {L"", {}},
      {L"[Accounts]\r\naccount1=1\r\naccount2=1\r\n", {L"account1", L"account2"}},
      // The part starts at "[accounts]" in any case and ends at any other line with "[".
      {L"x=1\r\n[ACCOUNTS]\r\nmail=1\r\n[Other]\r\nnot=1\r\n", {L"mail"}},
      {L"[Accounts]\nfirst=1\nvalue with [ bracket=1\nlost=1\n", {L"first"}},
      {L"[Accounts]\r\na=1\r\n[Accounts]\r\nb=1", {L"a", L"b"}},
      // The last "?" before the final two characters starts the name.
      {L"[Accounts]\r\npop?Work=1\r\na?b?Home=1\r\n", {L"Work", L"Home"}},
      {L"[Accounts]\r\nName=?\r\nNa?e=1\r\n", {L"Name", L"e"}},
      // Lines too short for the rule, or that give an empty name, give no account.
      {L"[Accounts]\r\n\r\nx\r\nxy\r\n?=1\r\nok=1\r\n", {L"ok"}},
  };
  for (const Case& c : cases) EXPECT_EQ(OperaAccountNames(c.text), c.names) << c.text;
}

TEST(OperaAccounts, ProgramFolderOfACommandLine) {
  struct Case {
    const wchar_t* command_line;
    const wchar_t* folder;
  };
  const Case cases[] = {
      {L"C:\\Program Files\\Opera\\Opera.exe", L"C:\\Program Files\\Opera\\"},
      {L"\"C:\\Program Files\\Opera\\Opera.exe\" -newwindow", L"C:\\Program Files\\Opera\\"},
      {L"\"C:\\Opera\\Opera.exe", L"C:\\Opera\\"},
      {L"\"Opera.exe\" C:\\x\\y", L""},
      {L"Opera.exe", L""},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(OperaProgramFolder(c.command_line), c.folder);
}

}  // namespace
}  // namespace mailstow
