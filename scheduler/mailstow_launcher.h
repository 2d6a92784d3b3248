// Starts the unattended backup run: Mailstow.exe from the given program folder with the
// switch "/auto". The run is only started, not waited for.
#pragma once

#include <string>

namespace mailstow {

// The system message box shown when the run cannot be started.
inline constexpr wchar_t kStartFailureTitle[] = L"Error!";
inline constexpr wchar_t kRunProgramMissing[] = L"Stowclock: Mailstow executable not found!";

// The command line of the run. Both parts are quoted, so that a program folder with spaces
// cannot make Windows start another program whose name is a prefix of the path.
std::wstring UnattendedRunCommandLine(const std::wstring& program_folder);

// Starts the run with the normal show state. False when it could not be started.
bool StartUnattendedRun(const std::wstring& program_folder);

// Starts program_folder + program with the command line, in that folder (where the programs
// keep their logs and staging folder), with the normal show state; not waited for. False
// when it could not be started.
bool StartProgramIn(const std::wstring& program_folder, const std::wstring& program,
                    const std::wstring& command_line);

}  // namespace mailstow
