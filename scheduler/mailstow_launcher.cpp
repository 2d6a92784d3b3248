#include "scheduler/mailstow_launcher.h"

#include <windows.h>

#include <vector>

namespace mailstow {
namespace {

constexpr wchar_t kProgramName[] = L"Mailstow.exe";

}  // namespace

std::wstring UnattendedRunCommandLine(const std::wstring& program_folder) {
  return L"\"" + program_folder + kProgramName + L"\" \"/auto\"";
}

bool StartUnattendedRun(const std::wstring& program_folder) {
  return StartProgramIn(program_folder, kProgramName, UnattendedRunCommandLine(program_folder));
}

bool StartProgramIn(const std::wstring& program_folder, const std::wstring& program,
                    const std::wstring& command_line) {
  const std::wstring path = program_folder + program;
  // CreateProcessW may write into the command line, so it gets a copy of its own.
  std::vector<wchar_t> writable(command_line.begin(), command_line.end());
  writable.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(path.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      program_folder.empty() ? nullptr : program_folder.c_str(), &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace mailstow
