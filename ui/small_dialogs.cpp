#include "small_dialogs.h"

#include <shlobj.h>

namespace mailstow {

void ProcessPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    if (root == nullptr || !IsDialogMessageW(root, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

void RunModal(FormWindow& dialog, HWND owner, const bool& closed) {
  if (owner != nullptr) EnableWindow(owner, FALSE);
  RECT owner_rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (owner != nullptr && IsWindowVisible(owner)) GetWindowRect(owner, &owner_rect);
  RECT rect;
  GetWindowRect(dialog.hwnd(), &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  SetWindowPos(dialog.hwnd(), HWND_TOP,
               owner_rect.left + (owner_rect.right - owner_rect.left - width) / 2,
               owner_rect.top + (owner_rect.bottom - owner_rect.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(dialog.hwnd());
  while (!closed) {
    MSG message;
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      PostQuitMessage(0);
      break;
    }
    if (!IsDialogMessageW(dialog.hwnd(), &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  if (owner != nullptr) EnableWindow(owner, TRUE);
  ShowWindow(dialog.hwnd(), SW_HIDE);
  if (owner != nullptr && IsWindowVisible(owner)) SetForegroundWindow(owner);
}

void Delay(DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  while (GetTickCount64() < end) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - GetTickCount64()),
                              QS_ALLINPUT);
    ProcessPendingMessages();
  }
}

PasswordPrompt::PasswordPrompt(FormWindow& form, UserPrompts& prompts, MessageLookup message)
    : form_(form), prompts_(prompts), message_(std::move(message)) {
  form_.OnCommand([this](const std::wstring& component, int notification) {
    if (notification == BN_CLICKED) OnCommand(component);
  });
  form_.on_message = [this](UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (message != WM_CLOSE) return false;
    OnCommand(L"Button2");
    result = 0;
    return true;
  };
}

std::optional<std::wstring> PasswordPrompt::Ask(HWND owner) {
  cancelled_ = 0;
  closed_ = false;
  SetWindowTextW(form_.hwnd(), message_(L"Message16").c_str());
  form_.SetText(L"Edit1", L"");
  SetFocus(form_.Control(L"Edit1"));
  RunModal(form_, owner, closed_);
  if (cancelled_ == 1) return std::nullopt;
  return password_;
}

void PasswordPrompt::OnCommand(const std::wstring& component) {
  if (component == L"Button1") {
    const std::wstring text = form_.Text(L"Edit1");
    if (text.empty()) {
      prompts_.Show(PromptKind::kError, PromptButtons::kOk, message_(L"Message2"));
      SetFocus(form_.Control(L"Edit1"));
      return;
    }
    password_ = text;
    closed_ = true;
  } else if (component == L"Button2") {
    cancelled_ = 1;
    closed_ = true;
  }
}

namespace {

int CALLBACK StartAtFolder(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace

std::wstring BrowseForFolder(HWND owner, const std::wstring& start) {
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.lpszTitle = L"Select Folder";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_VALIDATE | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  info.lParam = reinterpret_cast<LPARAM>(start.c_str());
  info.lpfn = StartAtFolder;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (chosen == nullptr) return start;
  wchar_t path[MAX_PATH] = {};
  const bool ok = SHGetPathFromIDListW(chosen, path) != 0;
  CoTaskMemFree(chosen);
  return ok ? path : start;
}

}  // namespace mailstow
