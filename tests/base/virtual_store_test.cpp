#include "base/virtual_store.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace mailstow {
namespace {

const std::vector<std::wstring> kProtected = {L"C:\\Program Files", L"C:\\Program Files (x86)\\"};
constexpr wchar_t kLocal[] = L"C:\\Users\\ann\\AppData\\Local";

struct Case {
  const wchar_t* path;
  const wchar_t* expected;  // empty: not virtualised
};

TEST(VirtualStorePathTest, MapsPathsBelowProtectedFoldersOnly) {
  const Case cases[] = {
      {L"C:\\Program Files\\PocoMail\\poco.ini",
       L"C:\\Users\\ann\\AppData\\Local\\VirtualStore\\Program Files\\PocoMail\\poco.ini"},
      // Letter case of the protected folder, trailing separators, the folder itself.
      {L"c:\\PROGRAM FILES\\Opera\\Mail\\",
       L"C:\\Users\\ann\\AppData\\Local\\VirtualStore\\PROGRAM FILES\\Opera\\Mail"},
      {L"C:\\Program Files (x86)\\Opera",
       L"C:\\Users\\ann\\AppData\\Local\\VirtualStore\\Program Files (x86)\\Opera"},
      {L"C:\\Program Files", L"C:\\Users\\ann\\AppData\\Local\\VirtualStore\\Program Files"},
      // A sibling that merely starts with the same letters, other folders and drives.
      {L"C:\\Program Files Extra\\Opera", L""},
      {L"C:\\Mail\\PocoMail", L""},
      {L"D:\\Program Files\\Opera", L""},
      // Texts that are no absolute paths, and a way back out of the protected folder.
      {L"Program Files\\Opera", L""},
      {L"\\\\server\\Program Files\\Opera", L""},
      {L"C:\\Program Files\\..\\Windows\\win.ini", L""},
      {L"", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VirtualStorePath(c.path, kLocal, kProtected), c.expected)
        << std::string(c.path, c.path + wcslen(c.path));
  }
}

TEST(VirtualStorePathTest, NeedsAnAbsoluteLocalFolderAndARealProtectedFolder) {
  const std::wstring path = L"C:\\Program Files\\Opera\\Mail";
  EXPECT_EQ(VirtualStorePath(path, L"", kProtected), L"");
  EXPECT_EQ(VirtualStorePath(path, L"AppData\\Local", kProtected), L"");
  EXPECT_EQ(VirtualStorePath(path, L"C:\\Local\\", kProtected),
            L"C:\\Local\\VirtualStore\\Program Files\\Opera\\Mail");
  // An unset or root protected folder virtualises nothing.
  EXPECT_EQ(VirtualStorePath(path, kLocal, {L"", L"C:\\"}), L"");
}

}  // namespace
}  // namespace mailstow
