// The account list of the Opera mail client ("accounts.ini" in its mail folder) and the
// program folder named by its last command line: text rules, free of any Windows API.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mailstow {

// The account names of the list text: one per line inside the [Accounts] part (which any
// other line holding "[" ends), taken from after the line's last "?" before its final two
// characters up to those two characters. Lines that give no name are left out.
std::vector<std::wstring> OperaAccountNames(std::wstring_view text);

// The account list after a restore: the archived list, with the lines of accounts that the
// list here names and the archive does not added at the end of its accounts part, so that an
// account made after the backup stays in Opera. Line ends are those of the archived text.
std::wstring MergedOperaAccountList(std::wstring_view archived, std::wstring_view here);

// The folder (ending with "\") of the program file a command line names: the text inside the
// quotes when it starts with one, else the whole text. Empty when it holds no "\".
std::wstring OperaProgramFolder(std::wstring_view command_line);

}  // namespace mailstow
