// Where Windows keeps a user's own copy of files that a program without administrator rights
// writes below a protected folder (the Program Files folders): the user's "VirtualStore"
// folder, which repeats the protected path without its drive. Programs built before this
// redirection read and write that copy, so it is what such a mail client sees.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mailstow {

// The VirtualStore copy of path: local_app_data + "\VirtualStore" + path without its drive,
// when path lies at or below one of the protected folders (compared without regard to case);
// empty otherwise, and when path or local_app_data is not an absolute path on a drive.
std::wstring VirtualStorePath(std::wstring_view path, std::wstring_view local_app_data,
                              const std::vector<std::wstring>& protected_folders);

}  // namespace mailstow
