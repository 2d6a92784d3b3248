// Pegasus Mail backed up and restored through the real wizard, on a multi-user world (four
// users in the user list, one literally "Default User", a mailbox value with a trailing
// separator, a user folder with a sub-folder) and on a single-user world: back up, wipe,
// restore directly and compare; the same archive into another folder; one user restored into
// a user list that changed since; and a crafted archive whose dump names foreign keys and
// whose user names leave the mailbox folder.
#include <gtest/gtest.h>

#include <set>

#include "base/ini_file.h"
#include "base/registry_key.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/client_round_trip.h"
#include "tests/registry_denial.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kMailBoxKey[] = L"SOFTWARE\\Classes\\software\\pegasus mail\\MailBox";
constexpr wchar_t kUserModeKey[] = L"SOFTWARE\\Classes\\software\\pegasus mail\\Username";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// A machine value, read in the view the clients and the adapters use.
std::wstring MachineText(const wchar_t* key) {
  RegistryKey opened;
  if (!opened.Open(HKEY_LOCAL_MACHINE, key, false, KEY_READ)) return L"";
  return opened.ReadString(L"").value;
}

class PegasusMailTest : public ClientRoundTrip {
 protected:
  PegasusMailTest() : ClientRoundTrip({L"RadioButton8", L"pegasus_mail", L"PegasusMail"}) {}

  // Backs up every user of the world; the list offers them and no items to choose.
  void BackupUsers(const std::wstring& archive, const std::vector<std::wstring>& offered) {
    Backup(archive);
    EXPECT_EQ(shown_.identities, offered);
    EXPECT_FALSE(shown_.items_enabled);
  }
};

TEST_F(PegasusMailTest, MultiUserRoundTripOneUserIntoAChangedListAndACraftedArchive) {
  ASSERT_TRUE(InstallWorld(6));
  const std::wstring mailbox = MachineText(kMailBoxKey);
  ASSERT_TRUE(mailbox.ends_with(L"\\ADMIN\\"));
  const std::wstring base = mailbox.substr(0, mailbox.size() - 7);  // cut before "\ADMIN\"
  const std::vector<std::wstring> users = {L"ADMIN", L"BEN", L"Default User", L"Zo\u00eb"};
  const Snapshot before = TakeSnapshot(scope_);
  const std::wstring archive = L"C:\\Backups\\pegasus.ebk";
  BackupUsers(archive, users);  // the list line too short to name a user is not offered

  // Whole user folders, the sub-folder with its file included; "Default User" is a user of the
  // list with a folder of its own.
  const std::vector<std::wstring> members = ArchiveMembers(archive);
  const std::set<std::wstring> stored(members.begin(), members.end());
  for (const std::wstring& user : users) {
    for (const std::wstring& file : ListFolder(base + L"\\" + user)) {
      EXPECT_TRUE(stored.count(user + L"\\" + file)) << ToUtf8(user + L"\\" + file);
    }
  }
  for (const std::wstring& file : ListFolder(base + L"\\BEN\\ATTACH")) {
    EXPECT_TRUE(stored.count(L"BEN\\ATTACH\\" + file)) << ToUtf8(file);
  }
  EXPECT_TRUE(stored.count(L"Pmail.usr"));
  EXPECT_TRUE(stored.count(L"user.reg"));

  // Lost: the user folders, the user list and the user-mode key.
  const std::string list_before = FileBytes(base + L"\\Pmail.usr");
  for (const std::wstring& user : users) RemoveTree(base + L"\\" + user);
  DeleteFileW((base + L"\\Pmail.usr").c_str());
  ASSERT_TRUE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUserModeKey));
  Restore(archive, users);
  EXPECT_EQ(Joined(Differences(before, TakeSnapshot(scope_))), "");

  OpenForRestore(archive, users);
  RestoreInto(L"C:\\Restore\\");
  for (const std::wstring& user : users) {
    EXPECT_EQ(Listed(L"C:\\Restore\\" + user), Listed(base + L"\\" + user)) << ToUtf8(user);
  }
  EXPECT_EQ(FileBytes(L"C:\\Restore\\Pmail.usr"), list_before);
  EXPECT_TRUE(FileExists(L"C:\\Restore\\user.reg"));

  // Since the backup, ADMIN left the list and NEWBIE joined; restoring ADMIN alone adds its
  // line and keeps every other line as it was.
  const std::string changed = "N BEN;Ben Adler\r\nN NEWBIE;Created later";
  ASSERT_TRUE(WriteBytes(base + L"\\Pmail.usr", changed));
  Restore(archive, users, {.unticked = {1, 2, 3}});
  EXPECT_EQ(FileBytes(base + L"\\Pmail.usr"),
            changed + "\r\nY ADMIN;Anna Adler (administrator)\r\n");

  // A crafted archive: its dump writes the mailbox key and a start-up entry besides the user
  // mode, and two user names leave the mailbox folder.
  const std::string mode_key = "[HKEY_LOCAL_MACHINE\\" + ToUtf8(kUserModeKey) + "]\r\n";
  const std::vector<PackedMember> crafted = {
      {L"infobak.ini",
       "[Backup]\r\nEmailClient=PegasusMail\r\n[Identities]\r\nItem1=BEN\r\nItem2=..\\Escape\r\n"
       "Item3=C:\\Escape\r\n[Items]\r\nItem1=Mail Folders\r\n"},
      {L"user.reg", "REGEDIT4\r\n\r\n" + mode_key + "\"\"=\"Single-user mode\"\r\n\r\n" +
                        "[HKEY_LOCAL_MACHINE\\" + ToUtf8(kMailBoxKey) +
                        "]\r\n\"\"=\"C:\\Elsewhere\\X\"\r\n\r\n[HKEY_CURRENT_USER\\" +
                        ToUtf8(kRunKey) + "]\r\n\"Planted\"=\"C:\\planted.exe\"\r\n"},
      {L"BEN\\NOTE.CNM", "a note"},
  };
  const std::wstring crafted_archive = L"C:\\Backups\\crafted.ebk";
  ASSERT_TRUE(PackMembers(crafted_archive, crafted));
  Restore(crafted_archive, {L"BEN", L"..\\Escape", L"C:\\Escape"});
  EXPECT_TRUE(FileExists(base + L"\\BEN\\NOTE.CNM"));
  EXPECT_FALSE(FileExists(base + L"\\..\\Escape"));
  EXPECT_FALSE(FileExists(L"C:\\Escape"));
  EXPECT_EQ(MachineText(kMailBoxKey), mailbox);
  EXPECT_NE(
      RegGetValueW(HKEY_CURRENT_USER, kRunKey, L"Planted", RRF_RT_ANY, nullptr, nullptr, nullptr),
      ERROR_SUCCESS);
  EXPECT_EQ(MachineText(kUserModeKey), L"Single-user mode");
  EXPECT_TRUE(LogHolds({L"User not restored, its name is not a valid folder name: ..\\Escape",
                        L"User not restored, its name is not a valid folder name: C:\\Escape",
                        L"Registry dump imported in part: user.reg"}));
}

TEST_F(PegasusMailTest, SingleUserRoundTripAndAnotherFolder) {
  ASSERT_TRUE(InstallWorld(7));
  const std::wstring mailbox = MachineText(kMailBoxKey);
  const std::wstring base = mailbox.substr(0, mailbox.rfind(L'\\'));
  const std::wstring user_folder = base + L"\\Mail";
  ASSERT_FALSE(ListFolder(user_folder).empty());
  const Snapshot before = TakeSnapshot(scope_);
  const std::wstring archive = L"C:\\Backups\\single.ebk";
  BackupUsers(archive, {L"Default User"});
  EXPECT_TRUE(ArchiveIni(archive, L"infobak.ini").KeyNames(L"Directory").empty());

  RemoveTree(user_folder);
  ASSERT_TRUE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUserModeKey));
  Restore(archive, {L"Default User"});
  EXPECT_EQ(ChangesSince(before), "");
  EXPECT_FALSE(FileExists(base + L"\\Pmail.usr"));

  OpenForRestore(archive, {L"Default User"});
  RestoreInto(L"C:\\Restore\\");
  EXPECT_EQ(Listed(L"C:\\Restore\\Default User"), Listed(user_folder));
  EXPECT_TRUE(FileExists(L"C:\\Restore\\user.reg"));
}

// A user without administrator rights may not write the machine-wide user-mode key: while
// the key holds what the archive has, the restore completes; once it differs, the user folder
// still comes back, the key stays as it is, and the restore ends as not completed with a box
// that says why.
TEST_F(PegasusMailTest, WithoutAdministratorRightsTheUserModeStaysAndTheRestoreSaysWhy) {
  ASSERT_TRUE(InstallWorld(7));
  const std::wstring mailbox = MachineText(kMailBoxKey);
  const std::wstring user_folder = mailbox.substr(0, mailbox.rfind(L'\\')) + L"\\Mail";
  const Tree files = FilesBelow(user_folder);
  ASSERT_FALSE(files.empty());
  const std::wstring archive = L"C:\\Backups\\single.ebk";
  BackupUsers(archive, {L"Default User"});

  RemoveTree(user_folder);
  {
    RegistryWriteDenial denial(HKEY_LOCAL_MACHINE, kUserModeKey);
    ASSERT_TRUE(denial.applied());
    Restore(archive, {L"Default User"});
    EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!");
    EXPECT_TRUE(wizard_.NoBox());
    EXPECT_TRUE(LogHolds({L"Registry dump already in place, not written: user.reg"}));
  }
  EXPECT_EQ(FilesBelow(user_folder), files);

  RemoveTree(user_folder);
  {
    RegistryKey mode;
    ASSERT_TRUE(mode.Open(HKEY_LOCAL_MACHINE, kUserModeKey, true));
    ASSERT_TRUE(mode.WriteString(L"", L"changed since"));
  }
  {
    RegistryWriteDenial denial(HKEY_LOCAL_MACHINE, kUserModeKey);
    ASSERT_TRUE(denial.applied());
    Restore(archive, {L"Default User"});
    EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore not completed!");
    const std::wstring part = L"user.reg (HKEY_LOCAL_MACHINE\\" + std::wstring(kUserModeKey) + L")";
    EXPECT_TRUE(wizard_.Answer(
        L"Administrator rights are needed to restore this part of the backup file: " + part,
        L"OK"));
    EXPECT_TRUE(LogHolds({L"Needs administrator rights: " + part}));
  }
  EXPECT_EQ(MachineText(kUserModeKey), L"changed since");
  EXPECT_EQ(FilesBelow(user_folder), files);
}

}  // namespace
}  // namespace mailstow::e2e
