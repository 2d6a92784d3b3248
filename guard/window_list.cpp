#include "window_list.h"

#include <tlhelp32.h>

#include "guard/window_rules.h"

namespace mailstow {
namespace {

struct Collector {
  const WindowList* list;
  std::vector<HWND> handles;
};

std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

bool Accepted(const WindowList& list, HWND window) {
  if (!list.empty_names && GetWindowTextLengthW(window) == 0) return false;
  const bool visible = IsWindowVisible(window) != 0;
  if (list.what_to_find == WindowVisibility::kVisibleOnly && !visible) return false;
  if (list.what_to_find == WindowVisibility::kInvisibleOnly && visible) return false;
  if (list.task_bar_style) {
    if (GetWindow(window, GW_OWNER) != nullptr) return false;
    const auto style = static_cast<uint32_t>(GetWindowLongW(window, GWL_STYLE));
    HWND popup = GetLastActivePopup(window);
    const bool popup_passes =
        popup != nullptr && IsWindow(popup) &&
        PassesTaskBarStyle(static_cast<uint32_t>(GetWindowLongW(popup, GWL_STYLE)));
    if (!PassesTaskBarStyle(style) && !popup_passes) return false;
  }
  return true;
}

BOOL CALLBACK Collect(HWND window, LPARAM param) {
  auto* collector = reinterpret_cast<Collector*>(param);
  if (collector->handles.size() >= WindowList::kMaxWindows) return FALSE;
  if (Accepted(*collector->list, window)) collector->handles.push_back(window);
  return TRUE;
}

}  // namespace

std::wstring ExecutableOfProcess(DWORD process_id) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return {};
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  std::wstring executable;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == process_id) {
      executable = entry.szExeFile;
      break;
    }
  }
  CloseHandle(snapshot);
  return executable;
}

bool WindowList::Refresh() {
  Collector collector{this, {}};
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&collector));
  // The whole set of handles is compared: two different sets can have the same sum.
  if (collector.handles == handles_ && !handles_.empty()) return false;
  handles_ = std::move(collector.handles);
  entries_.clear();
  for (HWND window : handles_) {
    WinInfo info;
    info.window = window;
    info.parent = reinterpret_cast<HWND>(GetWindowLongPtrW(window, GWLP_HWNDPARENT));
    info.thread_id = GetWindowThreadProcessId(window, &info.process_id);
    if (info.parent == nullptr) {
      info.parent_caption = L"Desktop";
    } else {
      info.parent_caption = TextOf(info.parent);
      if (info.parent_caption.empty()) info.parent_caption = L"NoName";
    }
    wchar_t class_name[256] = {};
    GetClassNameW(window, class_name, 256);
    info.class_name = class_name;
    info.executable = ExecutableOfProcess(info.process_id);
    info.style = GetWindowLongW(window, GWL_STYLE);
    info.ex_style = GetWindowLongW(window, GWL_EXSTYLE);
    info.caption = TextOf(window);
    entries_.push_back(std::move(info));
  }
  return true;
}

bool AnyWindowOfClient(const WindowList& windows, std::wstring_view client_executable) {
  for (const WinInfo& entry : windows.entries()) {
    if (WindowBelongsToClient(entry.executable, entry.caption, client_executable)) return true;
  }
  return false;
}

}  // namespace mailstow
