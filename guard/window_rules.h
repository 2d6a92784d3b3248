// The rules of the running-program guard that need no Windows API: which windows count
// as programs in the task bar, and which window entries belong to a client executable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mailstow {

// A window passes when its style lacks WS_POPUP, or when it is a popup with a minimize box
// and a system menu that is not disabled.
bool PassesTaskBarStyle(uint32_t style);

// True when the executable path contains the client's executable name (both compared in
// lower case) and the caption is not that of the multimedia helper window.
bool WindowBelongsToClient(std::wstring_view executable_path, std::wstring_view caption,
                           std::wstring_view client_executable);

std::wstring LowerCase(std::wstring_view text);

}  // namespace mailstow
