#include "guard/window_rules.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

TEST(WindowRules, TaskBarStyle) {
  EXPECT_TRUE(PassesTaskBarStyle(0x00CF0000u));   // overlapped window
  EXPECT_FALSE(PassesTaskBarStyle(0x80000000u));  // bare popup
  EXPECT_TRUE(PassesTaskBarStyle(0x80000000u | 0x00080000u | 0x00020000u));
  EXPECT_FALSE(PassesTaskBarStyle(0x80000000u | 0x00080000u | 0x00020000u | 0x08000000u));
}

TEST(WindowRules, ClientWindowsMatchBySubstringAndSkipTheMultimediaHelper) {
  EXPECT_TRUE(WindowBelongsToClient(L"OUTLOOK.EXE", L"Inbox", L"outlook.exe"));
  EXPECT_TRUE(WindowBelongsToClient(L"C:\\x\\xpoco.exe", L"Poco", L"poco.exe"));
  EXPECT_FALSE(
      WindowBelongsToClient(L"OUTLOOK.EXE", L"MCI Command Handling Window", L"outlook.exe"));
  EXPECT_FALSE(WindowBelongsToClient(L"thebat.exe", L"The Bat", L"outlook.exe"));
  EXPECT_FALSE(WindowBelongsToClient(L"", L"x", L"outlook.exe"));
}

}  // namespace
}  // namespace mailstow
