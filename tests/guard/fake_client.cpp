// Stands in for a running mail client: a main window, a second window, and the hidden
// multimedia helper window that media-playing programs own; it runs until ended.
#include <windows.h>

#include <initializer_list>

namespace {

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW cls = {};
  cls.lpfnWndProc = Proc;
  cls.hInstance = instance;
  cls.lpszClassName = L"FakeClient";
  RegisterClassW(&cls);
  for (const wchar_t* caption :
       {L"Inbox - Fake Mail", L"1 Reminder", L"MCI command handling window"}) {
    HWND window = CreateWindowExW(0, L"FakeClient", caption, WS_OVERLAPPEDWINDOW, 10, 10, 300, 200,
                                  nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
