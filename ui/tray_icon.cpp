#include "tray_icon.h"

#include <shellapi.h>

namespace mailstow {
namespace {

NOTIFYICONDATAW IconData(HWND owner, const std::wstring& hint) {
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof(data);
  data.hWnd = owner;
  data.uID = 1;
  data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  data.uCallbackMessage = TrayIcon::kCallbackMessage;
  data.hIcon = reinterpret_cast<HICON>(GetClassLongPtrW(owner, GCLP_HICON));
  if (data.hIcon == nullptr) data.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
  lstrcpynW(data.szTip, hint.c_str(), ARRAYSIZE(data.szTip));
  return data;
}

}  // namespace

void TrayIcon::Show() {
  NOTIFYICONDATAW data = IconData(owner_, hint_);
  Shell_NotifyIconW(NIM_ADD, &data);
  visible_ = true;
}

void TrayIcon::Hide() {
  NOTIFYICONDATAW data = IconData(owner_, hint_);
  Shell_NotifyIconW(NIM_DELETE, &data);
  visible_ = false;
}

void TrayIcon::ShowBalloon(const std::wstring& title, const std::wstring& text) {
  if (!visible_) Show();
  NOTIFYICONDATAW data = IconData(owner_, hint_);
  data.uFlags |= NIF_INFO;
  data.dwInfoFlags = NIIF_WARNING;
  lstrcpynW(data.szInfoTitle, title.c_str(), ARRAYSIZE(data.szInfoTitle));
  lstrcpynW(data.szInfo, text.c_str(), ARRAYSIZE(data.szInfo));
  Shell_NotifyIconW(NIM_MODIFY, &data);
}

bool TrayIcon::HandleCallback(LPARAM lparam) {
  if (LOWORD(lparam) == WM_LBUTTONDBLCLK) {
    mark_ = 10;
    if (on_double_click) on_double_click();
  }
  return true;
}

}  // namespace mailstow
