// The notification-area icon shown during unattended backups. A double-click sets the
// tray mark to 10 and raises the double-click event.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace mailstow {

class TrayIcon {
 public:
  static constexpr UINT kCallbackMessage = WM_APP + 41;

  TrayIcon(HWND owner, std::wstring hint) : owner_(owner), hint_(std::move(hint)) {}

  void Show();
  void Hide();
  // A notification balloon at the icon (shown when it is not).
  void ShowBalloon(const std::wstring& title, const std::wstring& text);
  bool visible() const { return visible_; }
  int mark() const { return mark_; }

  // Call from the owner's window procedure for kCallbackMessage; true when handled.
  bool HandleCallback(LPARAM lparam);
  std::function<void()> on_double_click;

 private:
  HWND owner_;
  std::wstring hint_;
  bool visible_ = false;
  int mark_ = 0;
};

}  // namespace mailstow
