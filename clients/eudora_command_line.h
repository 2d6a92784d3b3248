// The data folder that Eudora's stored command line names.
#pragma once

#include <string>
#include <string_view>

namespace mailstow {

// The command line's second argument, without quotes and without a trailing backslash. The
// program path is the first argument: a quoted text, or, unquoted, the text up to ".exe"
// followed by a space (so that a path with spaces still ends there), or up to the first
// space. A text of one argument that does not name a program is taken whole; a program alone
// gives an empty folder.
std::wstring EudoraDataFolder(std::wstring_view command_line);

}  // namespace mailstow
