// Scheduled backups through the real programs: the auto-backup dialog opened from the
// wizard, and unattended runs of Mailstow.exe "/auto" with their archives, log and rotation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "base/ansi_text.h"
#include "base/date_time_value.h"
#include "tests/moment_at.h"
#include "ui/form_layout.h"
#include "base/registry_key.h"
#include "auto/archive_rotation.h"
#include "auto/stowclock_control.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/client_round_trip.h"
#include "tests/e2e/outlook_express_machine.h"
#include "tools/utf_text.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kSettings[] = L"Software\\Corvane\\Mailstow";
constexpr wchar_t kAutoBackup[] = L"Software\\Corvane\\Mailstow\\AutoBackup";
constexpr wchar_t kBackups[] = L"C:\\AutoBackups\\";
constexpr wchar_t kExplorer[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";

struct StoredValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool present() const { return type != REG_NONE; }
  DWORD dword() const {
    return data.size() == 4 ? *reinterpret_cast<const DWORD*>(data.data()) : ~0u;
  }
  std::wstring text() const {
    return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2).c_str();
  }
  double date_time() const {
    double value = 0;
    if (data.size() == 8) memcpy(&value, data.data(), 8);
    return value;
  }
};

StoredValue ReadValue(HKEY root, const std::wstring& key, const std::wstring& name) {
  StoredValue value;
  HKEY handle;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExW(handle, name.c_str(), nullptr, &value.type, nullptr, &size) ==
      ERROR_SUCCESS) {
    value.data.resize(size);
    RegQueryValueExW(handle, name.c_str(), nullptr, nullptr, value.data.data(), &size);
  } else {
    value.type = REG_NONE;
  }
  RegCloseKey(handle);
  return value;
}

using testing::MomentAt;

std::wstring Today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return AutoArchiveDateText(now.wDay, now.wMonth, now.wYear);
}

// An older archive of that name, written `days_ago` days before now.
void PlaceOldArchive(const std::wstring& name, int days_ago) {
  const std::wstring path = kBackups + name;
  WriteBytes(path, "old archive " + std::string(name.begin(), name.end()));
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER time{{now.dwLowDateTime, now.dwHighDateTime}};
  time.QuadPart -= static_cast<ULONGLONG>(days_ago) * 864000000000ULL;
  const FILETIME written{time.LowPart, time.HighPart};
  HANDLE file =
      CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
  std::sort(names.begin(), names.end());
  return names;
}

std::wstring FavoritesFolder() {
  return ReadRegistryString(
      HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      L"Favorites");
}

class AutoBackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EndProcessesNamed(L"Stowclock.exe");
    // A run started by an earlier test (the dialog's "Run now") may still show its balloon.
    EndProcessesNamed(L"Mailstow.exe");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
    RegistryKey run;
    if (run.Open(HKEY_CURRENT_USER, kRunKeyPath, false)) run.DeleteValue(kStowclockRunValue);
    folder_ = PrepareProgramFolder(L"auto",
                                   {L"Mailstow.exe", L"English.lng", L"Sqx.dll", L"Stowclock.exe"});
    RemoveTree(L"C:\\AutoBackups");
    CreateDirectoryW(L"C:\\AutoBackups", nullptr);
    RegistryKey explorer;
    ASSERT_TRUE(explorer.Open(HKEY_CURRENT_USER, kExplorer, true));
    explorer.WriteString(L"Logon User Name", L"Tess");
    const std::wstring favorites = FavoritesFolder();
    ASSERT_FALSE(favorites.empty());
    RemoveTree(favorites);
    CreateDirectoryW(favorites.c_str(), nullptr);
    WriteBytes(favorites + L"\\Home.url", "[InternetShortcut]\r\nURL=http://home.example/\r\n");
  }
  void TearDown() override { EndProcessesNamed(L"Stowclock.exe"); }

  // Settings of an unattended run into C:\AutoBackups with the clients selected.
  void StoreAutoSettings(int mode, int keep, std::initializer_list<const wchar_t*> clients) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSettings, true));
    key.WriteString(L"BackupDir", kBackups);
    key.WriteInteger(L"BackupMode", mode);
    key.WriteInteger(L"BackupKeep", keep);
    for (const wchar_t* client : clients) {
      RegistryKey selection;
      ASSERT_TRUE(
          selection.Open(HKEY_CURRENT_USER, std::wstring(kAutoBackup) + L"\\" + client, true));
      selection.WriteBool(L"Select", true);
      for (const wchar_t* flag :
           {L"Accounts", L"Mail", L"Signatures", L"Rules", L"Address Book", L"Stationery"}) {
        selection.WriteBool(flag, true);
      }
    }
  }

  // Puts archives on the list of those that scheduled runs wrote.
  void RecordScheduled(const std::vector<std::wstring>& paths) {
    std::wstring list;
    for (const std::wstring& path : paths) list += (list.empty() ? L"" : L"|") + path;
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSettings, true));
    key.WriteString(L"ScheduledArchives", list);
  }

  // Runs Mailstow "/auto" to its end; its exit code.
  DWORD RunAuto() {
    Program run;
    if (!run.Start(folder_ + L"Mailstow.exe", L"/auto")) return ~0u;
    return run.WaitForExit(90s);
  }

  HWND DialogControl(HWND dialog, const wchar_t* component) const {
    return FindControl(dialog, ComponentId(L"Form4", component));
  }

  std::wstring folder_;
};

TEST_F(AutoBackupTest, DialogStoresSelectionsAndScheduleAndStartsAndStopsStowclock) {
  {
    // The start day and time the pickers show: 15 March 2027, 09:00.
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSettings, true));
    key.WriteDateTime(L"BackupDate", MomentAt(2027, 3, 15));
    key.WriteDateTime(L"BackupTime", MomentAt(2026, 1, 1, 9, 0));
  }
  // A program of the same name from another folder runs: it is not this Stowclock, so ours is
  // still started, and turning automatic backup off leaves the other one alone.
  const std::wstring other = PrepareProgramFolder(L"auto-decoy", {});
  CopyInto(DistFolder() + L"Stowclock.exe", other, L"stowclock.exe");
  Program decoy;
  ASSERT_TRUE(decoy.Start(other + L"stowclock.exe", L""));
  WizardSession wizard;
  ASSERT_TRUE(wizard.Start(folder_));
  wizard.Press(L"Button8");
  HWND dialog = wizard.OtherForm();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(dialog), L"Auto BackUp...");

  // Outlook Express with its six items, and the Favorites.
  HWND clients = DialogControl(dialog, L"ListBox1");
  HWND items = DialogControl(dialog, L"ListBox2");
  ASSERT_EQ(ListCount(clients), 10);
  ListToggle(clients, 0);
  ASSERT_EQ(ListCount(items), 6);
  for (int row = 0; row < 6; ++row) ListToggle(items, row);
  ListToggle(clients, 9);
  EXPECT_EQ(ListText(items, 0), L"Favorites");
  EXPECT_TRUE(ListTicked(items, 0));
  Click(DialogControl(dialog, L"CheckBox1"));
  TypeText(DialogControl(dialog, L"Edit1"), L"C:\\AutoBackups\\Scheduled");
  TypeText(DialogControl(dialog, L"Edit2"), L"2");
  SendMessageW(DialogControl(dialog, L"ComboBox1"), CB_SETCURSEL, 2, 0);  // Weeks
  Click(DialogControl(dialog, L"RadioButton4"));
  std::this_thread::sleep_for(300ms);
  if (SendMessageW(DialogControl(dialog, L"CheckBox2"), BM_GETCHECK, 0, 0) != BST_CHECKED) {
    Click(DialogControl(dialog, L"CheckBox2"));
  }
  TypeText(DialogControl(dialog, L"Edit3"), L"4");
  std::this_thread::sleep_for(300ms);
  wizard.Screenshot(L"auto_backup_general");

  // A password pair that differs: the box, and nothing saved.
  Click(DialogControl(dialog, L"CheckBox3"));
  TypeText(DialogControl(dialog, L"Edit4"), L"one");
  TypeText(DialogControl(dialog, L"Edit5"), L"two");
  Click(DialogControl(dialog, L"Button2"));
  EXPECT_TRUE(wizard.Answer(L"Incorrect password!", L"OK"));
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupInterval").text() == L"Weeks");
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kSettings, L"LastBackupDate").present());
  EXPECT_EQ(WindowText(DialogControl(dialog, L"Edit4")), L"");
  wizard.Screenshot(L"auto_backup_advanced");

  TypeText(DialogControl(dialog, L"Edit4"), L"s3cret");
  TypeText(DialogControl(dialog, L"Edit5"), L"s3cret");
  Click(DialogControl(dialog, L"Button2"));
  for (int i = 0; i < 100 && IsShown(dialog); ++i) std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(IsShown(dialog));

  // The selections, as booleans.
  const std::wstring oe = std::wstring(kAutoBackup) + L"\\Outlook Express";
  for (const wchar_t* flag :
       {L"Select", L"Accounts", L"Mail", L"Signatures", L"Rules", L"Address Book", L"Stationery"}) {
    const StoredValue value = ReadValue(HKEY_CURRENT_USER, oe, flag);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << flag;
    EXPECT_EQ(value.dword(), 1u) << flag;
  }
  EXPECT_EQ(
      ReadValue(HKEY_CURRENT_USER, std::wstring(kAutoBackup) + L"\\Favorites", L"Select").dword(),
      1u);
  const StoredValue eudora_mail =
      ReadValue(HKEY_CURRENT_USER, std::wstring(kAutoBackup) + L"\\Eudora", L"Mail");
  EXPECT_EQ(eudora_mail.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(eudora_mail.dword(), 0u);

  // The settings with their types.
  const StoredValue dir = ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupDir");
  EXPECT_EQ(dir.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(dir.text(), L"C:\\AutoBackups\\Scheduled\\");
  EXPECT_TRUE(FileExists(L"C:\\AutoBackups\\Scheduled"));
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupPeriod").dword(), 2u);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupInterval").text(), L"Weeks");
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupMode").dword(), 2u);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupKeep").dword(), 4u);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupUsePsw").dword(), 1u);
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupPsw").text().empty());
  const StoredValue reference = ReadValue(HKEY_CURRENT_USER, kSettings, L"LastBackupDate");
  EXPECT_EQ(reference.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_NEAR(reference.date_time(), MomentAt(2027, 3, 1, 9, 0), 1.0 / 86400);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"AutoBackup").dword(), 1u);

  // Stowclock starts at logon from the user's Run key, with the path quoted, and runs now.
  const StoredValue run = ReadValue(HKEY_CURRENT_USER, kRunKeyPath, kStowclockRunValue);
  EXPECT_EQ(run.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(run.text(), L"\"" + folder_ + L"Stowclock.exe\"");
  EXPECT_EQ(RunningStowclocks(folder_).size(), 1u);

  // Reopened, the dialog shows what was stored; automatic backup off stops Stowclock.
  wizard.Press(L"Button8");
  dialog = wizard.OtherForm();
  ASSERT_NE(dialog, nullptr);
  items = DialogControl(dialog, L"ListBox2");
  for (int row = 0; row < 6; ++row) EXPECT_TRUE(ListTicked(items, row)) << row;
  EXPECT_EQ(WindowText(DialogControl(dialog, L"Edit4")), L"s3cret");
  EXPECT_EQ(SendMessageW(DialogControl(dialog, L"ComboBox1"), CB_GETCURSEL, 0, 0), 2);
  // "Run now" starts an unattended run of the stored selection at once.
  Click(DialogControl(dialog, L"Button4"));
  const std::wstring favorites_archive =
      L"C:\\AutoBackups\\Scheduled\\Tess FavoritesBackup " + Today() + L".ebk";
  for (int i = 0;
       i < 600 && FileBytes(folder_ + L"AutoLog.txt").find("Error code") == std::string::npos;
       ++i) {
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_TRUE(FileExists(favorites_archive));
  // Unticking a client clears its item flags.
  ListToggle(DialogControl(dialog, L"ListBox1"), 0);
  EXPECT_FALSE(ListTicked(items, 0));
  EXPECT_FALSE(ListEntryEnabled(items, 0));
  // A mouse click on Eudora's box, while another row is selected, ticks Eudora.
  HWND client_list = DialogControl(dialog, L"ListBox1");
  SendMessageW(client_list, LB_SETCURSEL, 0, 0);
  SendMessageW(client_list, LB_SETTOPINDEX, 0, 0);
  const LPARAM eudora_box = MAKELPARAM(8, 2 * 18 + 9);
  SendMessageW(client_list, WM_LBUTTONDOWN, MK_LBUTTON, eudora_box);
  SendMessageW(client_list, WM_LBUTTONUP, 0, eudora_box);
  EXPECT_TRUE(ListTicked(client_list, 2));
  EXPECT_EQ(ListCount(items), 5);
  EXPECT_TRUE(ListEntryEnabled(items, 0));
  Click(DialogControl(dialog, L"CheckBox1"));
  Click(DialogControl(dialog, L"Button2"));
  for (int i = 0; i < 100 && IsShown(dialog); ++i) std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(wizard.NoBox());
  EXPECT_EQ(
      ReadValue(HKEY_CURRENT_USER, std::wstring(kAutoBackup) + L"\\Eudora", L"Select").dword(), 1u);
  EXPECT_TRUE(RunningStowclocks(folder_).empty());
  EXPECT_EQ(decoy.WaitForExit(0s), static_cast<DWORD>(STILL_ACTIVE));
  decoy.Kill();
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kRunKeyPath, kStowclockRunValue).present());
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"AutoBackup").dword(), 0u);
  // "Run now" put the start day to today.
  EXPECT_EQ(std::floor(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupDate").date_time()),
            std::floor(LocalNowAsDays()));
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, oe, L"Mail").dword(), 0u);
  wizard.Close();
}

// The backup folder is shared with the wizard's own backups, look-alikes and another user's
// archives: rotation deletes only what this user's scheduled runs wrote, and a file that holds
// today's name but was not written by a scheduled run is never overwritten.
TEST_F(AutoBackupTest, RotationDeletesOnlyThisUsersScheduledArchives) {
  StoreAutoSettings(2, 3, {L"Favorites"});
  std::vector<std::wstring> scheduled;
  for (int i = 1; i <= 5; ++i) {
    const std::wstring name = L"Tess FavoritesBackup " + std::to_wstring(i) + L"-1-2020.ebk";
    PlaceOldArchive(name, 20 - i);
    scheduled.push_back(kBackups + name);
  }
  // The oldest was split: its volume parts go with it.
  PlaceOldArchive(L"Tess FavoritesBackup 1-1-2020.z01", 19);
  PlaceOldArchive(L"Tess FavoritesBackup 1-1-2020.z02", 19);
  RecordScheduled(scheduled);
  const std::vector<std::wstring> foreign = {
      L"Tess FavoritesBackup 2-2-2020.ebk",   // a wizard backup that looks generated
      L"tess favoritesbackup 3-2-2020.ebk",   // another letter case
      L"Tess FavoritesBackup 06-2-2020.ebk",  // a leading zero
      L"Tess FavoritesBackup - before reinstall.ebk",
      L"FavoritesBackup 4-2-2020.ebk",  // the wizard's name without a user part
      L"Bob FavoritesBackup 1-1-2020.ebk",
      L"Tess OExpressBackup 1-1-2020.ebk",
      L"Notes.txt",
  };
  for (const std::wstring& name : foreign) PlaceOldArchive(name, 40);
  // A wizard backup made today under exactly the scheduled name.
  const std::wstring today = L"Tess FavoritesBackup " + Today() + L".ebk";
  PlaceOldArchive(today, 0);
  const std::wstring second_copy = L"Tess FavoritesBackup " + Today() + L" (2).ebk";

  ASSERT_EQ(RunAuto(), 0u);
  std::vector<std::wstring> expected = foreign;
  expected.insert(expected.end(),
                  {L"Tess FavoritesBackup 3-1-2020.ebk", L"Tess FavoritesBackup 4-1-2020.ebk",
                   L"Tess FavoritesBackup 5-1-2020.ebk", today, second_copy});
  EXPECT_EQ(Sorted(ListFolder(kBackups)), Sorted(expected));
  EXPECT_EQ(FileBytes(kBackups + today), "old archive " + ToAnsi(today));
  EXPECT_FALSE(ArchiveMembers(kBackups + second_copy).empty());
  for (const std::wstring& name : foreign) {
    EXPECT_EQ(FileBytes(kBackups + name), "old archive " + ToAnsi(name)) << ToAnsi(name);
  }
  const std::string log = FileBytes(folder_ + L"AutoLog.txt");
  EXPECT_NE(log.find(ToAnsi(L"Destination file: " + std::wstring(kBackups) + second_copy)),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Error code: 0"), std::string::npos);
  // The list forgets what rotation deleted and holds the new archive.
  const std::wstring list = ReadValue(HKEY_CURRENT_USER, kSettings, L"ScheduledArchives").text();
  EXPECT_EQ(list.find(L"1-1-2020"), std::wstring::npos) << ToAnsi(list);
  EXPECT_NE(list.find(second_copy), std::wstring::npos) << ToAnsi(list);

  // A second run of the day replaces its own archive; keep 0 keeps all.
  StoreAutoSettings(2, 0, {L"Favorites"});
  ASSERT_EQ(RunAuto(), 0u);
  EXPECT_EQ(Sorted(ListFolder(kBackups)), Sorted(expected));

  // Overwrite: the newest older scheduled archive goes, nothing else.
  StoreAutoSettings(1, 0, {L"Favorites"});
  ASSERT_EQ(RunAuto(), 0u);
  std::erase(expected, std::wstring(L"Tess FavoritesBackup 5-1-2020.ebk"));
  EXPECT_EQ(Sorted(ListFolder(kBackups)), Sorted(expected));
}

// Without "Logon User Name" the account name keeps users apart; a selection of registry
// items only is a backup like any other; the run stages in a folder of its own, which a wizard
// started and closed meanwhile leaves alone.
TEST_F(AutoBackupTest, AccountNamePrefixRegistryOnlyBackupAndAStagingFolderOfItsOwn) {
  SnapshotSpec scope;
  ASSERT_TRUE(InstallClientWorld(L"OutlookExpress", 5, 0.01, &scope));
  RegistryKey explorer;
  ASSERT_TRUE(explorer.Open(HKEY_CURRENT_USER, kExplorer, true));
  explorer.DeleteValue(L"Logon User Name");
  wchar_t account[257];
  DWORD length = 257;
  ASSERT_TRUE(GetUserNameW(account, &length));
  StoreAutoSettings(2, 3, {L"Outlook Express"});
  RegistryKey selection;
  ASSERT_TRUE(
      selection.Open(HKEY_CURRENT_USER, std::wstring(kAutoBackup) + L"\\Outlook Express", true));
  for (const wchar_t* file_item : {L"Mail", L"Address Book", L"Stationery"}) {
    selection.WriteBool(file_item, false);
  }
  CreateDirectoryW((folder_ + L"Temp").c_str(), nullptr);
  WriteBytes(folder_ + L"Temp\\infobak.ini", "the wizard's manifest");
  ASSERT_EQ(RunAuto(), 0u);
  const std::wstring archive =
      kBackups + (std::wstring(account) + L" OExpressBackup " + Today() + L".ebk");
  const std::string log = FileBytes(folder_ + L"AutoLog.txt");
  ASSERT_TRUE(FileExists(archive)) << log;
  const std::vector<std::wstring> members = ArchiveMembers(archive);
  EXPECT_TRUE(std::any_of(members.begin(), members.end(), [](const std::wstring& m) {
    return m.ends_with(L".reg");
  })) << log;
  EXPECT_EQ(log.find("Skipped"), std::string::npos) << log;

  // The wizard's staged manifest was neither read nor overwritten by the run, and the run left
  // nothing staged behind.
  EXPECT_EQ(FileBytes(folder_ + L"Temp\\infobak.ini"), "the wizard's manifest");
  EXPECT_TRUE(ListFolder(folder_ + L"AutoTemp").empty());
  // A wizard started and closed meanwhile empties only its own staging folder.
  WriteBytes(folder_ + L"AutoTemp\\infobak.ini", "the run's manifest");
  WizardSession wizard;
  ASSERT_TRUE(wizard.Start(folder_));
  wizard.Close();
  EXPECT_EQ(FileBytes(folder_ + L"AutoTemp\\infobak.ini"), "the run's manifest");
}

TEST_F(AutoBackupTest, NothingSelectedLeavesOnlyTheDateLineAndUnavailableClientsAreSkipped) {
  StoreAutoSettings(2, 3, {});
  ASSERT_EQ(RunAuto(), 0u);
  std::string log = FileBytes(folder_ + L"AutoLog.txt");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  EXPECT_TRUE(ListFolder(kBackups).empty());

  // A client none of whose files are on this machine (no Eudora world) and one without
  // identities (no Pegasus Mail world) leave no archive and no deletion behind.
  RemoveTree(L"C:\\AutoBackups");
  CreateDirectoryW(L"C:\\AutoBackups", nullptr);
  PlaceOldArchive(L"EudoraBackup 1-1-2020.ebk", 3);
  StoreAutoSettings(1, 0, {L"Eudora", L"Pegasus Mail"});
  ASSERT_EQ(RunAuto(), 0u);
  EXPECT_EQ(ListFolder(kBackups), std::vector<std::wstring>{L"EudoraBackup 1-1-2020.ebk"});
  log = FileBytes(folder_ + L"AutoLog.txt");
  EXPECT_NE(log.find("Skipped Eudora"), std::string::npos) << log;
  EXPECT_NE(log.find("Skipped Pegasus Mail"), std::string::npos) << log;
}

TEST_F(AutoBackupTest, UninstallEndsOnlyThisFoldersStowclockAndDeletesItsFile) {
  // Nothing running: no box holds the cleanup up, and the program file goes.
  Program quiet;
  ASSERT_TRUE(quiet.Start(folder_ + L"Mailstow.exe", L"/uninst"));
  EXPECT_EQ(quiet.WaitForExit(30s), 0u);
  EXPECT_FALSE(FileExists(folder_ + L"Stowclock.exe"));

  // This folder's Stowclock and a same-named program of another folder run: only ours is
  // ended, without a box.
  CopyInto(DistFolder() + L"Stowclock.exe", folder_, L"Stowclock.exe");
  const std::wstring other = PrepareProgramFolder(L"auto-other", {});
  CopyInto(DistFolder() + L"Stowclock.exe", other, L"stowclock.exe");
  Program ours;
  Program foreign;
  ASSERT_TRUE(ours.Start(folder_ + L"Stowclock.exe", L""));
  ASSERT_TRUE(foreign.Start(other + L"stowclock.exe", L""));
  for (int i = 0; i < 50 && RunningStowclocks(other).empty(); ++i) {
    std::this_thread::sleep_for(100ms);
  }
  ASSERT_EQ(RunningStowclocks(folder_), std::vector<DWORD>{ours.pid()});
  ASSERT_EQ(RunningStowclocks(other), std::vector<DWORD>{foreign.pid()});
  Program cleanup;
  ASSERT_TRUE(cleanup.Start(folder_ + L"Mailstow.exe", L"/uninst"));
  EXPECT_EQ(cleanup.WaitForExit(30s), 0u);
  EXPECT_NE(ours.WaitForExit(5s), static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_EQ(foreign.WaitForExit(0s), static_cast<DWORD>(STILL_ACTIVE));
  foreign.Kill();
  EXPECT_FALSE(FileExists(folder_ + L"Stowclock.exe"));
}

// The wizard window of a running Mailstow, hidden or not: the one form with a taskbar button.
struct WizardWindowSearch {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK FindWizardWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WizardWindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process_id || ClassName(window) != L"MailstowForm") return TRUE;
  if ((GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW) == 0) return TRUE;
  search->found = window;
  return FALSE;
}

HWND WizardWindowOf(DWORD process_id) {
  WizardWindowSearch search{process_id, nullptr};
  EnumWindows(FindWizardWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A run that fails shows no box: each question becomes a log line, the client counts as failed
// and deletes nothing, a balloon tells at once, and the next wizard start tells once.
TEST_F(AutoBackupTest, FailedRunAsksNothingDeletesNothingAndIsToldAtTheNextStart) {
  SnapshotSpec scope;
  ASSERT_TRUE(InstallClientWorld(L"OutlookExpress", 5, 0.01, &scope));
  StoreAutoSettings(1, 0, {L"Outlook Express", L"Favorites"});
  PlaceOldArchive(L"Tess OExpressBackup 1-1-2020.ebk", 5);
  PlaceOldArchive(L"Tess FavoritesBackup 1-1-2020.ebk", 5);
  // Today's Outlook Express archive of an earlier scheduled run is held open by another
  // program: the pack cannot replace it.
  const std::wstring held = kBackups + (L"Tess OExpressBackup " + Today() + L".ebk");
  PlaceOldArchive(L"Tess OExpressBackup " + Today() + L".ebk", 0);
  RecordScheduled({kBackups + std::wstring(L"Tess OExpressBackup 1-1-2020.ebk"),
                   kBackups + std::wstring(L"Tess FavoritesBackup 1-1-2020.ebk"), held});
  HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);

  // While another run holds the run lock, a run ends at once and touches nothing.
  HANDLE lock = CreateMutexW(nullptr, FALSE, L"Local\\MailstowUnattendedBackup");
  EXPECT_EQ(RunAuto(), 2u);
  EXPECT_FALSE(FileExists(folder_ + L"AutoLog.txt"));
  CloseHandle(lock);

  Program run;
  ASSERT_TRUE(run.Start(folder_ + L"Mailstow.exe", L"/auto"));
  bool box_seen = false;
  DWORD exit_code = STILL_ACTIVE;
  for (int i = 0; i < 900 && exit_code == STILL_ACTIVE; ++i) {
    box_seen = box_seen || !run.TopLevelWindows(L"#32770").empty();
    exit_code = run.WaitForExit(100ms);
  }
  CloseHandle(holder);
  EXPECT_EQ(exit_code, 0u);
  EXPECT_FALSE(box_seen);
  const std::string log = FileBytes(folder_ + L"AutoLog.txt");
  EXPECT_NE(log.find("Not asked in an unattended run: "), std::string::npos) << log;
  EXPECT_NE(log.find("Backup of Microsoft Outlook Express failed"), std::string::npos) << log;
  EXPECT_EQ(FileBytes(kBackups + std::wstring(L"Tess OExpressBackup 1-1-2020.ebk")),
            "old archive Tess OExpressBackup 1-1-2020.ebk");
  EXPECT_EQ(FileBytes(held), "old archive " + ToAnsi(L"Tess OExpressBackup " + Today() + L".ebk"));
  // The Favorites went on: backed up, and by mode 1 their older archive rotated away.
  EXPECT_FALSE(ArchiveMembers(kBackups + (L"Tess FavoritesBackup " + Today() + L".ebk")).empty());
  EXPECT_FALSE(FileExists(kBackups + std::wstring(L"Tess FavoritesBackup 1-1-2020.ebk")));
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"AutoBackupFailed").text(),
            L"Microsoft Outlook Express");

  // The next wizard start tells once, naming the client and the log.
  WizardSession wizard;
  ASSERT_TRUE(wizard.Start(folder_));
  HWND box = wizard.WaitForBox();
  ASSERT_NE(box, nullptr);
  const std::wstring told = MessageBoxText(box);
  EXPECT_NE(told.find(L"The scheduled backup of Microsoft Outlook Express from "),
            std::wstring::npos)
      << ToAnsi(told);
  EXPECT_NE(told.find(L"did not complete. AutoLog.txt in " + folder_ + L" tells why."),
            std::wstring::npos)
      << ToAnsi(told);
  PressButton(box, L"OK");
  wizard.Close();
  ASSERT_TRUE(wizard.Start(folder_));
  EXPECT_TRUE(wizard.NoBox());
  wizard.Close();
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kSettings, L"AutoBackupFailed").present());
}

// Outlook open: the run waits without a dialog; the window shown from the tray and closed ends
// the run, which then skips the rest, deletes nothing and leaves no failure note.
TEST_F(AutoBackupTest, OpenOutlookIsWaitedForWithoutADialogAndClosingTheWindowEndsTheRun) {
  SnapshotSpec scope;
  ASSERT_TRUE(InstallClientWorld(L"Outlook", 8, 0.01, &scope));
  StoreAutoSettings(1, 0, {L"Microsoft Outlook", L"Favorites"});
  PlaceOldArchive(L"Tess FavoritesBackup 1-1-2020.ebk", 5);
  RecordScheduled({kBackups + std::wstring(L"Tess FavoritesBackup 1-1-2020.ebk")});
  const std::wstring client_folder = PrepareProgramFolder(L"auto-outlook", {});
  CopyInto(DistFolder() + L"..\\tests\\guard\\fake_client.exe", client_folder, L"outlook.exe");
  Program outlook;
  ASSERT_TRUE(outlook.Start(client_folder + L"outlook.exe", L""));
  ASSERT_NE(outlook.WaitForWindow(L"FakeClient"), nullptr);

  Program run;
  ASSERT_TRUE(run.Start(folder_ + L"Mailstow.exe", L"/auto"));
  for (int i = 0; i < 300 && FileBytes(folder_ + L"AutoLog.txt").find("Waiting for Microsoft") ==
                                 std::string::npos;
       ++i) {
    std::this_thread::sleep_for(100ms);
  }
  ASSERT_NE(FileBytes(folder_ + L"AutoLog.txt").find("Waiting for Microsoft Outlook"),
            std::string::npos);
  EXPECT_TRUE(run.TopLevelWindows(L"#32770").empty());
  EXPECT_EQ(run.WaitForExit(0s), static_cast<DWORD>(STILL_ACTIVE));
  // Shown from the tray icon, then closed.
  const HWND form = WizardWindowOf(run.pid());
  ASSERT_NE(form, nullptr);
  PostMessageW(form, WM_APP + 41, 1, WM_LBUTTONDBLCLK);
  for (int i = 0; i < 100 && !IsShown(form); ++i) std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(IsShown(form));
  PostMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitForExit(60s), 0u);
  const std::string log = FileBytes(folder_ + L"AutoLog.txt");
  EXPECT_NE(log.find("Skipped Microsoft Outlook: the run was ended."), std::string::npos) << log;
  EXPECT_NE(log.find("Skipped Internet Explorer Favorites: the run was ended."), std::string::npos)
      << log;
  EXPECT_EQ(Sorted(ListFolder(kBackups)), Sorted({L"Tess FavoritesBackup 1-1-2020.ebk"}));
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kSettings, L"AutoBackupFailed").present());
}

// A store file that another program holds open fails that client's backup without a box
// that nobody would answer: the log names the file, the older archive stays, the run goes on.
TEST_F(AutoBackupTest, AHeldStoreFileIsLoggedAndFailsOnlyItsClient) {
  SnapshotSpec scope;
  ASSERT_TRUE(InstallClientWorld(L"OutlookExpress", 5, 0.01, &scope));
  StoreAutoSettings(1, 0, {L"Outlook Express", L"Favorites"});
  PlaceOldArchive(L"OExpressBackup 1-1-2020.ebk", 5);
  const std::vector<OeIdentity> identities = MachineIdentities();
  ASSERT_FALSE(identities.empty());
  const std::vector<std::wstring> store_files = ListFolder(identities[0].store);
  ASSERT_FALSE(store_files.empty());
  const std::wstring held_path = identities[0].store + L"\\" + store_files[0];
  const HANDLE held = CreateFileW(held_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const DWORD exit_code = RunAuto();
  CloseHandle(held);
  ASSERT_EQ(exit_code, 0u) << "the run waited";

  const std::wstring log = FromAnsi(FileBytes(folder_ + L"AutoLog.txt"));
  EXPECT_NE(log.find(L"In use by another program: " + held_path + L"\r\n"), std::wstring::npos)
      << ToUtf8(log);
  EXPECT_NE(log.find(L"Backup of Microsoft Outlook Express failed: no old backup deleted."),
            std::wstring::npos);
  EXPECT_EQ(FileBytes(kBackups + std::wstring(L"OExpressBackup 1-1-2020.ebk")),
            "old archive OExpressBackup 1-1-2020.ebk");
  EXPECT_FALSE(FileExists(kBackups + (L"Tess OExpressBackup " + Today() + L".ebk")));
  EXPECT_FALSE(ArchiveMembers(kBackups + (L"Tess FavoritesBackup " + Today() + L".ebk")).empty());
}

}  // namespace
}  // namespace mailstow::e2e
