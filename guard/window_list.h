// The list of top-level windows with the executable of each window's process.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace mailstow {

struct WinInfo {
  HWND parent = nullptr;
  HWND window = nullptr;
  DWORD thread_id = 0;
  std::wstring parent_caption;  // "Desktop" without a parent, "NoName" for an empty caption
  std::wstring class_name;
  std::wstring executable;  // as the process snapshot reports it
  DWORD process_id = 0;
  LONG style = 0;
  LONG ex_style = 0;
  std::wstring caption;
};

enum class WindowVisibility { kAll, kVisibleOnly, kInvisibleOnly };

class WindowList {
 public:
  static constexpr size_t kMaxWindows = 256;

  WindowVisibility what_to_find = WindowVisibility::kVisibleOnly;
  bool empty_names = false;
  bool task_bar_style = true;

  // Collects the windows again; rebuilds the entries only when the set of windows changed.
  // Returns true when the entries were rebuilt.
  bool Refresh();
  const std::vector<WinInfo>& entries() const { return entries_; }

 private:
  std::vector<HWND> handles_;
  std::vector<WinInfo> entries_;
};

// Whether a listed window belongs to the client's executable, as the close-programs dialog
// counts them.
bool AnyWindowOfClient(const WindowList& windows, std::wstring_view client_executable);

// The executable of a process as the process snapshot names it; empty when not found.
std::wstring ExecutableOfProcess(DWORD process_id);

}  // namespace mailstow
