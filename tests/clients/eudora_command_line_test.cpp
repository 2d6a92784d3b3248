#include "clients/eudora_command_line.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

TEST(EudoraCommandLine, TheDataFolderIsTheSecondArgument) {
  struct Case {
    const wchar_t* command_line;
    const wchar_t* folder;
  };
  const Case cases[] = {
      // Short program path: the text between the first two spaces.
      {L"C:\\PROGRA~1\\QUALCOMM\\Eudora\\Eudora.exe C:\\Mail C:\\Mail\\eudora.ini", L"C:\\Mail"},
      // Quoted arguments with spaces; a trailing backslash goes.
      {L"\"C:\\Program Files\\Eudora\\Eudora.exe\" \"C:\\My Mail\\\" \"C:\\My Mail\\eudora.ini\"",
       L"C:\\My Mail"},
      // An unquoted program path with spaces ends at ".exe".
      {L"C:\\Program Files\\Qualcomm\\Eudora\\EUDORA.EXE C:\\Mail\\ C:\\Mail\\eudora.ini",
       L"C:\\Mail"},
      {L"C:\\Eudora\\Eudora.exe  C:\\Mail", L"C:\\Mail"},  // repeated spaces
      {L"C:\\Eudora\\Eudora.exe", L""},                    // no data folder
      {L"C:\\Mail", L"C:\\Mail"},                          // one argument, not a program
      {L"", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EudoraDataFolder(c.command_line), c.folder)
        << testing::PrintToString(std::wstring(c.command_line));
  }
}

}  // namespace
}  // namespace mailstow
