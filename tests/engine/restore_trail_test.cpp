// The trail of a restore on the real registry and file system: a restore's writes recorded,
// the trail saved and read back, and taken back to what was there before, byte for byte. Value
// and file names carry the characters the trail file escapes.
#include "engine/restore_trail.h"

#include <gtest/gtest.h>

#include <map>

#include "base/folders.h"
#include "base/registry_key.h"
#include "tests/e2e/driver.h"

namespace mailstow {
namespace {

using e2e::FileBytes;
using e2e::WriteBytes;

constexpr wchar_t kKey[] = L"Software\\MailstowTests\\Trail";
constexpr wchar_t kFolder[] = L"C:\\TrailTest";

using Values = std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>>;
using Tree = std::map<std::wstring, Values>;

// Every key below kKey with its values, and every file below kFolder with its bytes.
void Walk(const std::wstring& path, Tree& tree) {
  RegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, path, false, KEY_READ)) return;
  Values& values = tree[path];
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD name_length = 256;
    BYTE data[512];
    DWORD size = sizeof(data);
    DWORD type = 0;
    if (RegEnumValueW(key.handle(), i, name, &name_length, nullptr, &type, data, &size) !=
        ERROR_SUCCESS)
      break;
    values[std::wstring(name, name_length)] = {type, std::vector<BYTE>(data, data + size)};
  }
  for (const std::wstring& sub : key.SubKeyNames()) Walk(path + L"\\" + sub, tree);
}

void SetText(const std::wstring& path, const std::wstring& name, const std::wstring& text) {
  RegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, path, true));
  ASSERT_TRUE(key.WriteString(name, text));
}

TEST(RestoreTrail, TakesARestoreBackByteForByteAfterASaveAndLoad) {
  DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
  RemoveDirectoryW(kFolder);
  const std::wstring key = kKey;
  const std::wstring odd_name = L"50% of\tall";  // escaped in the trail file
  SetText(key + L"\\Kept", L"replaced", L"before");
  SetText(key + L"\\Kept", odd_name, L"before too");
  SetText(key + L"\\Replaced whole", L"Store Root", L"%systemdrive%\\Mail");
  SetText(key + L"\\Replaced whole\\Below", L"x", L"1");
  const std::wstring folder = kFolder;
  ASSERT_TRUE(CreateFolderTree(folder + L"\\Staging"));
  ASSERT_TRUE(WriteBytes(folder + L"\\kept.mbx", "kept before"));
  ASSERT_TRUE(WriteBytes(folder + L"\\beside.ini", "not in the safety copy"));
  Tree registry_before;
  Walk(key, registry_before);

  // The restore: writes recorded by the trail first, as the archive job and the registry
  // import record them.
  RestoreTrail trail({folder + L"\\Staging"}, folder + L"\\aside");
  trail.AddKeptFile(folder + L"\\kept.mbx");
  const TRootKeys user = TRootKeys::rkHKEY_CURRENT_USER;
  trail.BeforeValueWrite(user, key + L"\\Kept", L"replaced");
  trail.BeforeValueWrite(user, key + L"\\Kept", odd_name);
  trail.BeforeValueWrite(user, key + L"\\Kept", L"new\nvalue");
  SetText(key + L"\\Kept", L"replaced", L"after");
  SetText(key + L"\\Kept", odd_name, L"after");
  SetText(key + L"\\Kept", L"new\nvalue", L"made by the restore");
  trail.BeforeKeyTreeDelete(user, key + L"\\Replaced whole");
  ASSERT_TRUE(DeleteRegistryTree(HKEY_CURRENT_USER, key + L"\\Replaced whole"));
  trail.BeforeKeyWrite(user, key + L"\\Replaced whole");
  SetText(key + L"\\Replaced whole", L"Store Root", L"C:\\Mail");
  trail.BeforeKeyWrite(user, key + L"\\New\\Deep");
  SetText(key + L"\\New\\Deep", L"v", L"made");

  trail.BeforeFolderCreate(folder + L"\\New\\Inner\\");
  ASSERT_TRUE(CreateFolderTree(folder + L"\\New\\Inner"));
  // Folder entries of the archive: one that exists, one made.
  for (const std::wstring& entry : {folder + L"\\New", folder + L"\\Empty"}) {
    ASSERT_TRUE(trail.BeforeFileWrite(entry));
    ASSERT_TRUE(CreateFolderTree(entry));
  }
  for (const std::wstring& file :
       {folder + L"\\kept.mbx", folder + L"\\beside.ini", folder + L"\\New\\Inner\\a%b.mbx",
        folder + L"\\Staging\\dump.reg"}) {
    ASSERT_TRUE(trail.BeforeFileWrite(file));
    ASSERT_TRUE(WriteBytes(file, "written by the restore"));
  }
  ASSERT_FALSE(trail.empty());
  const std::wstring trail_file = folder + L"\\restore.trail";
  ASSERT_TRUE(trail.Save(trail_file));

  // The undo: the trail as read back, then the safety copy (here: kept.mbx as it was).
  RestoreTrail loaded({}, L"");
  ASSERT_TRUE(loaded.Load(trail_file));
  EXPECT_EQ(loaded.TakeBack(), std::vector<std::wstring>{});
  ASSERT_TRUE(WriteBytes(folder + L"\\kept.mbx", "kept before"));
  SetText(key + L"\\Replaced whole", L"Store Root", L"C:\\Mail");  // the copy's client step
  EXPECT_EQ(loaded.PutBackReplacedValues(), std::vector<std::wstring>{});

  Tree registry_after;
  Walk(key, registry_after);
  // The key the restore replaced whole is back with every value below it, from the trail.
  EXPECT_EQ(registry_after, registry_before);
  EXPECT_EQ(FileBytes(folder + L"\\beside.ini"), "not in the safety copy");
  EXPECT_EQ(FileBytes(folder + L"\\kept.mbx"), "kept before");
  EXPECT_FALSE(IsFolder(folder + L"\\New")) << "a folder the restore made stayed";
  EXPECT_FALSE(IsFolder(folder + L"\\Empty")) << "a folder entry the restore made stayed";
  EXPECT_EQ(FileBytes(folder + L"\\Staging\\dump.reg"), "written by the restore");  // not recorded

  // A trail file of another kind is refused.
  ASSERT_TRUE(WriteBytes(trail_file, "F\tC:\\x\r\n"));
  RestoreTrail foreign({}, L"");
  EXPECT_FALSE(foreign.Load(trail_file));
}

}  // namespace
}  // namespace mailstow
