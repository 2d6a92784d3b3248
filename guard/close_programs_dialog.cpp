#include "close_programs_dialog.h"

#include "ui/small_dialogs.h"
#include "guard/process_list.h"
#include "guard/window_rules.h"

namespace mailstow {

CloseProgramsDialog::CloseProgramsDialog(FormWindow& form, WindowList& windows)
    : form_(form), windows_(windows) {
  SetWindowTextW(form_.hwnd(), L"Active windows...");
  // "Wait 5 minutes" belongs to the form's design; nothing waits on a click any more.
  form_.SetVisible(L"Button2", false);
  form_.OnCommand([this](const std::wstring& component, int notification) {
    if (notification == BN_CLICKED) OnCommand(component);
  });
  form_.on_message = [this](UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (message != WM_CLOSE) return false;
    Close();
    result = 0;
    return true;
  };
}

bool CloseProgramsDialog::CheckRunningClient(const std::wstring& executable, HWND owner) {
  HWND list = form_.Control(L"ListBox1");
  bool found = false;
  for (const WinInfo& entry : windows_.entries()) {
    if (WindowBelongsToClient(entry.executable, entry.caption, executable)) {
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.caption.c_str()));
      found = true;
    }
  }
  if (!found) return false;
  closed_ = false;
  RunModal(form_, owner, closed_);
  return true;
}

void CloseProgramsDialog::OnCommand(const std::wstring& component) {
  if (component == L"Button1") {
    Close();
  } else if (component == L"Button3") {
    CloseAll();
  }
}

void CloseProgramsDialog::CloseAll() {
  HWND list = form_.Control(L"ListBox1");
  windows_.Refresh();
  for (const WinInfo& entry : windows_.entries()) {
    if (SendMessageW(list, LB_GETCOUNT, 0, 0) <= 0) break;
    const auto length = SendMessageW(list, LB_GETTEXTLEN, 0, 0);
    std::wstring first(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first.data()));
    first.resize(static_cast<size_t>(std::max<LRESULT>(length, 0)));
    if (entry.caption != first) continue;
    EndProcess(entry.process_id);
    SendMessageW(list, LB_DELETESTRING, 0, 0);
  }
  Close();
}

void CloseProgramsDialog::Close() {
  SendMessageW(form_.Control(L"ListBox1"), LB_RESETCONTENT, 0, 0);
  closed_ = true;
}

}  // namespace mailstow
