// Starting, stopping and registering the scheduler program Stowclock, as the auto-backup
// dialog and the uninstall cleanup do it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace mailstow {

inline constexpr wchar_t kStowclockProgram[] = L"Stowclock.exe";
// The value under the Run keys that starts Stowclock at logon.
inline constexpr wchar_t kStowclockRunValue[] = L"Stowclock";
inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The identifiers of the running processes of this program folder's Stowclock in the current
// session: the executable's full path is program_folder + "Stowclock.exe" (in any letter
// case). Another user's Stowclock (fast user switching) and a program of the same name
// elsewhere are not ours to find or end.
std::vector<DWORD> RunningStowclocks(const std::wstring& program_folder);

// Ends this program folder's Stowclock of the current session and waits for each. False when
// one could not be ended.
bool StopStowclocks(const std::wstring& program_folder);

// Starts program_folder + "Stowclock.exe" in its own folder. False when it could not start.
bool StartStowclock(const std::wstring& program_folder);

// The quoted program path that the logon start value holds.
std::wstring StowclockRunCommand(const std::wstring& program_folder);

// Writes the logon start value under HKEY_CURRENT_USER's Run key, which the user can
// always write. False when it could not be written.
bool RegisterStowclockAtLogon(const std::wstring& program_folder);

// Removes the logon start value from HKEY_CURRENT_USER's Run key and, where it is present
// and writable, from HKEY_LOCAL_MACHINE's.
void UnregisterStowclockAtLogon();

}  // namespace mailstow
