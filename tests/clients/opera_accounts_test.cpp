#include "clients/opera_accounts.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

using Names = std::vector<std::wstring>;

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
