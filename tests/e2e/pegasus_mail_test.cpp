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
#include "tests/e2e/wizard_session.h"
#include "tools/machine_world.h"
#include "tools/utf_text.h"
#include "tools/world_installer.h"
#include "tools/world_removal.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kMailBoxKey[] = L"SOFTWARE\\Classes\\software\\pegasus mail\\MailBox";
constexpr wchar_t kUserModeKey[] = L"SOFTWARE\\Classes\\software\\pegasus mail\\Username";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Joined(const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& line : lines) text += ToUtf8(line) + "\n";
  return text;
}

std::string FileBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// A machine value, read in the view the clients and the adapters use.
std::wstring MachineText(const wchar_t* key) {
  RegistryKey opened;
  if (!opened.Open(HKEY_LOCAL_MACHINE, key, false, KEY_READ)) return L"";
  return opened.ReadString(L"").value;
}

std::set<std::wstring> Listed(const std::wstring& folder) {
  const std::vector<std::wstring> names = ListFolder(folder);
  return {names.begin(), names.end()};
}

class PegasusMailTest : public ::testing::Test {
 protected:
  void Install(uint64_t seed) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
    WorldRequest request;
    request.seed = seed;
    request.scale = 0.01;
    request.clients = {L"PegasusMail"};
    std::vector<ClientWorld> worlds;
    std::wstring error;
    InstallSummary summary;
    ASSERT_TRUE(DescribeMachineWorld(request, &worlds, &error) &&
                RemoveScope(ScopeOf(worlds), &error) && InstallWorld(worlds, &summary, &error))
        << ToUtf8(error);
    scope_ = ScopeOf(worlds);
    folder_ = PrepareProgramFolder(L"pegasus_mail", {L"Mailstow.exe", L"English.lng", L"Sqx.dll"});
    RemoveTree(L"C:\\Backups");
    RemoveTree(L"C:\\Restore");
  }
  void TearDown() override { wizard_.Close(); }

  void StartAt(const wchar_t* action) {
    wizard_.Close();
    ASSERT_TRUE(wizard_.Start(folder_));
    wizard_.Next();
    wizard_.Press(action);
    wizard_.Next();
    ASSERT_TRUE(wizard_.Checked(L"RadioButton8"));  // the default mail client, preselected
    wizard_.Next();
  }

  void Backup(const std::wstring& archive, const std::vector<std::wstring>& offered) {
    StartAt(L"RadioButton1");
    ASSERT_EQ(wizard_.ActivePage(), 4);
    HWND list = wizard_.Control(L"CheckListBox1");
    std::vector<std::wstring> listed;
    for (int i = 0; i < ListCount(list); ++i) listed.push_back(ListText(list, i));
    EXPECT_EQ(listed, offered);
    EXPECT_FALSE(IsWindowEnabled(wizard_.Control(L"CheckListBox2")));
    wizard_.Screenshot(L"pegasus_mail_backup_lists");
    wizard_.Next();
    ASSERT_EQ(wizard_.ActivePage(), 5);
    wizard_.FillArchivePage(archive, L"", false);
    wizard_.Next();
    ASSERT_EQ(wizard_.ActivePage(), 6);
    wizard_.Next();
    wizard_.WaitForPage(8);
    ASSERT_EQ(wizard_.ActivePage(), 8);
    EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup completed!");
  }

  // Opens the archive, checks the offered users, unticks the named positions and restores
  // directly or into the other folder.
  void Restore(const std::wstring& archive, const std::vector<std::wstring>& offered,
               const std::vector<int>& unticked = {}, const std::wstring& other_folder = L"") {
    StartAt(L"RadioButton2");
    ASSERT_EQ(wizard_.ActivePage(), 9);
    wizard_.Type(L"Edit4", archive);
    wizard_.Next();
    ASSERT_EQ(wizard_.ActivePage(), 10);
    HWND list = wizard_.Control(L"CheckListBox3");
    std::vector<std::wstring> listed;
    for (int i = 0; i < ListCount(list); ++i) listed.push_back(ListText(list, i));
    EXPECT_EQ(listed, offered);
    for (int position : unticked) ListToggle(list, position);
    wizard_.Next();
    ASSERT_EQ(wizard_.ActivePage(), 11);
    if (other_folder.empty()) {
      wizard_.Next();
      EXPECT_TRUE(wizard_.Answer(L"Are you sure?", L"Yes"));
    } else {
      wizard_.Press(L"RadioButton12");
      wizard_.Type(L"Edit5", other_folder);
      wizard_.Next();
      EXPECT_TRUE(wizard_.Answer(L"Create directory?", L"Yes"));
    }
    ASSERT_TRUE(wizard_.RunFrom(12, 14));
  }

  std::wstring Log() const { return ReadSystemTextFile(folder_ + L"Log.txt").value_or(L""); }

  SnapshotSpec scope_;
  std::wstring folder_;
  WizardSession wizard_;
};

TEST_F(PegasusMailTest, MultiUserRoundTripOneUserIntoAChangedListAndACraftedArchive) {
  Install(6);
  const std::wstring mailbox = MachineText(kMailBoxKey);
  ASSERT_TRUE(mailbox.ends_with(L"\\ADMIN\\"));
  const std::wstring base = mailbox.substr(0, mailbox.size() - 7);  // cut before "\ADMIN\"
  const std::vector<std::wstring> users = {L"ADMIN", L"BEN", L"Default User", L"Zo\u00eb"};
  const Snapshot before = TakeSnapshot(scope_);
  const std::wstring archive = L"C:\\Backups\\pegasus.ebk";
  Backup(archive, users);  // the list line too short to name a user is not offered

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

  Restore(archive, users, {}, L"C:\\Restore\\");
  for (const std::wstring& user : users) {
    EXPECT_EQ(Listed(L"C:\\Restore\\" + user), Listed(base + L"\\" + user)) << ToUtf8(user);
  }
  EXPECT_EQ(FileBytes(L"C:\\Restore\\Pmail.usr"), list_before);
  EXPECT_TRUE(FileExists(L"C:\\Restore\\user.reg"));

  // Since the backup, ADMIN left the list and NEWBIE joined; restoring ADMIN alone adds its
  // line and keeps every other line as it was.
  const std::string changed = "N BEN;Ben Adler\r\nN NEWBIE;Created later";
  WriteBytes(base + L"\\Pmail.usr", changed);
  Restore(archive, users, {1, 2, 3});
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
  const std::wstring log = Log();
  for (const wchar_t* line : {L"User not restored, its name is not a valid folder name: ..\\Escape",
                              L"User not restored, its name is not a valid folder name: C:\\Escape",
                              L"Registry dump imported in part: user.reg"}) {
    EXPECT_NE(log.find(line), std::wstring::npos) << ToUtf8(line) << "\n" << ToUtf8(log);
  }
}

TEST_F(PegasusMailTest, SingleUserRoundTripAndAnotherFolder) {
  Install(7);
  const std::wstring mailbox = MachineText(kMailBoxKey);
  const std::wstring base = mailbox.substr(0, mailbox.rfind(L'\\'));
  const std::wstring user_folder = base + L"\\Mail";
  ASSERT_FALSE(ListFolder(user_folder).empty());
  const Snapshot before = TakeSnapshot(scope_);
  const std::wstring archive = L"C:\\Backups\\single.ebk";
  Backup(archive, {L"Default User"});
  EXPECT_TRUE(ArchiveIni(archive, L"infobak.ini").KeyNames(L"Directory").empty());

  RemoveTree(user_folder);
  ASSERT_TRUE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUserModeKey));
  Restore(archive, {L"Default User"});
  EXPECT_EQ(Joined(Differences(before, TakeSnapshot(scope_))), "");
  EXPECT_FALSE(FileExists(base + L"\\Pmail.usr"));

  Restore(archive, {L"Default User"}, {}, L"C:\\Restore\\");
  EXPECT_EQ(Listed(L"C:\\Restore\\Default User"), Listed(user_folder));
  EXPECT_TRUE(FileExists(L"C:\\Restore\\user.reg"));
}

}  // namespace
}  // namespace mailstow::e2e
