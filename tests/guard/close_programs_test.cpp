// The running-client check on real windows: a program named like a client executable
// shows its windows in the close-programs dialog, and "Close all" ends it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "ui/form_layout.h"
#include "guard/close_programs_dialog.h"
#include "tests/e2e/driver.h"

namespace mailstow {
namespace {

using namespace std::chrono_literals;

TEST(CloseProgramsDialog, ListsTheClientWindowsAndCloseAllEndsTheProgramOnce) {
  const std::wstring folder = e2e::PrepareProgramFolder(L"guard", {});
  e2e::CopyInto(e2e::DistFolder() + L"..\\tests\\guard\\fake_client.exe", folder, L"outlook.exe");
  e2e::Program client;
  ASSERT_TRUE(client.Start(folder + L"outlook.exe", L""));
  for (int i = 0; i < 100 && client.TopLevelWindows(L"FakeClient").size() < 3; ++i) {
    std::this_thread::sleep_for(100ms);
  }
  ASSERT_EQ(client.TopLevelWindows(L"FakeClient").size(), 3u);

  WindowList windows;
  windows.what_to_find = WindowVisibility::kAll;
  windows.Refresh();
  FormWindow form(*FindForm(L"Form5"));
  ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr), nullptr, L"", false));
  CloseProgramsDialog dialog(form, windows);

  EXPECT_FALSE(dialog.CheckRunningClient(L"eudora.exe", nullptr));
  EXPECT_FALSE(IsWindowVisible(form.hwnd()));

  std::vector<std::wstring> listed;
  std::atomic<bool> clicked = false;
  std::thread user([&] {
    HWND list = form.Control(L"ListBox1");
    for (int i = 0; i < 100 && !IsWindowVisible(form.hwnd()); ++i)
      std::this_thread::sleep_for(50ms);
    for (int i = 0; i < e2e::ListCount(list); ++i) listed.push_back(e2e::ListText(list, i));
    e2e::Click(form.Control(L"Button3"));
    clicked = true;
  });
  EXPECT_TRUE(dialog.CheckRunningClient(L"outlook.exe", nullptr));
  user.join();
  EXPECT_TRUE(clicked);
  // Listed in window order (topmost first), the multimedia helper window left out.
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::wstring>{L"1 Reminder", L"Inbox - Fake Mail"}));
  EXPECT_EQ(client.WaitForExit(5s), 0xFFFFFFFFu);
  EXPECT_EQ(SendMessageW(form.Control(L"ListBox1"), LB_GETCOUNT, 0, 0), 0);

  // Nothing of it is left: the next check finds no window.
  windows.Refresh();
  EXPECT_FALSE(dialog.CheckRunningClient(L"outlook.exe", nullptr));
}

}  // namespace
}  // namespace mailstow
