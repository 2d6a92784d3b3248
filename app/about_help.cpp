// The about box and the help document.
#include <windows.h>

#include <shellapi.h>

#include "app/main_form.h"
#include "ui/small_dialogs.h"

#ifndef MAILSTOW_VERSION
#define MAILSTOW_VERSION L"1.0.0"
#endif

namespace mailstow {
namespace {

constexpr wchar_t kHelpFile[] = L"help.html";

}  // namespace

void MainForm::ShowAbout() {
  FormWindow& about = *form3_;
  SetWindowTextW(about.hwnd(), (form1_->Text(L"Button1") + L"...").c_str());
  about.SetText(L"Label1", L"Mailstow");
  about.SetText(L"Label2", about.Text(L"Label3") + L" " + MAILSTOW_VERSION);
  about.SetText(L"Label4", L"Backups of your mail, kept safe.");
  bool closed = false;
  about.OnCommand([&closed](const std::wstring& component, int notification) {
    if (component == L"Button1" && notification == BN_CLICKED) closed = true;
  });
  about.on_message = [&closed](UINT message, WPARAM wparam, LPARAM, LRESULT& result) {
    if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wparam) == IDCANCEL)) {
      closed = true;
      result = 0;
      return true;
    }
    return false;
  };
  RunModal(about, form1_->hwnd(), closed);
  about.on_message = nullptr;
  about.OnCommand(nullptr);
}

void MainForm::ShowHelp() {
  const std::wstring file = program_folder_ + kHelpFile;
  ShellExecuteW(form1_->hwnd(), L"open", file.c_str(), nullptr, program_folder_.c_str(),
                SW_SHOWNORMAL);
}

}  // namespace mailstow
