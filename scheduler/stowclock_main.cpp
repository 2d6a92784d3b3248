// Stowclock: a program without a window that starts the unattended backup run of Mailstow
// whenever the schedule stored in Mailstow's settings makes one due.
#include <windows.h>

#include <string>
#include <vector>

#include "scheduler/idle_monitor.h"
#include "scheduler/schedule_check.h"

namespace mailstow {
namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Corvane\\Mailstow";
constexpr UINT kStartDelayMs = 60000;
constexpr UINT kTickMs = 1000;

// The folder of this program, with a trailing separator.
std::wstring OwnProgramFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      std::wstring full(path.data(), length);
      return full.substr(0, full.find_last_of(L"\\/") + 1);
    }
    path.resize(path.size() * 2);
  }
}

// Lets the session settle after logon before watching starts. False when the thread was
// asked to quit meanwhile.
bool WaitForStartDelay() {
  const UINT_PTR timer = SetTimer(nullptr, 0, kStartDelayMs, nullptr);
  MSG message;
  bool elapsed = false;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.wParam == timer) {
      elapsed = true;
      break;
    }
  }
  KillTimer(nullptr, timer);
  return elapsed;
}

int RunStowclock() {
  TIdleMonitor monitor(ScheduleCheck(kSettingsKey, OwnProgramFolder()));
  if (!WaitForStartDelay()) return 0;
  const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, nullptr);
  monitor.Run(timer);
  KillTimer(nullptr, timer);
  return 0;
}

}  // namespace
}  // namespace mailstow

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return mailstow::RunStowclock(); }
